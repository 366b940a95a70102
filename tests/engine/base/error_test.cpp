#include "engine/base/error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace vebix {
namespace {

TEST(Error, TheSystemsReasonFollowsTheFixedText) {
    EXPECT_EQ(withReason("Unable to save 'a.mdd'", ENOSPC),
              "Unable to save 'a.mdd': No space left on device");
    EXPECT_EQ(systemError("Cannot open 'x'", EACCES).what(),
              std::string("Cannot open 'x': Permission denied"));
    // No reason given: the fixed text stands alone.
    EXPECT_EQ(withReason("Unable to save", 0), "Unable to save");
    EXPECT_FALSE(systemReason(123456).empty());
}

}  // namespace
}  // namespace vebix
