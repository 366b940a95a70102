#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/arena.h"

using namespace vebix;

namespace {

// Short texts (which a std::string would keep inside itself), one longer than a block's
// quarter, and one spanning the end of a block.
std::vector<std::string> samples() {
    std::vector<std::string> out;
    for (int i = 0; i < 300; ++i) out.push_back("w" + std::to_string(i));
    out.push_back(std::string(300, 'L'));
    out.push_back("after the long one");
    return out;
}

}  // namespace

TEST(Arena, ViewsStayValidAfterTheOwnerIsMovedAndKeepsGrowing) {
    const std::vector<std::string> texts = samples();
    auto arena = std::make_unique<Arena>(1024);  // small blocks: many of them are filled
    std::vector<std::string_view> views;
    for (const std::string& t : texts) views.push_back(arena->store(t));

    // Moved into a new owner, and the old one destroyed: the bytes did not move.
    Arena moved(std::move(*arena));
    arena.reset();
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(views[i], texts[i]) << i;
        EXPECT_NE(views[i].data(), texts[i].data()) << i;  // a copy, not the caller's bytes
    }

    // Moved again by assignment, then filled further: the first views still hold.
    Arena assigned;
    assigned = std::move(moved);
    for (int i = 0; i < 1000; ++i) assigned.store("more " + std::to_string(i));
    for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_EQ(views[i], texts[i]) << i;
}

TEST(Arena, MovedFromArenaStartsAfreshAndEmptyStoresAreEmpty) {
    Arena a(64);
    const std::string_view kept = a.store("kept");
    Arena b(std::move(a));
    // The moved-from arena may be used again; it must not write into b's block.
    const std::string_view fresh = a.store("xxxx");  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(kept, "kept");
    EXPECT_EQ(fresh, "xxxx");
    EXPECT_TRUE(a.store("").empty());
    EXPECT_EQ(a.allocate(0), nullptr);
}

TEST(Arena, AdoptedBlocksLiveWithTheArena) {
    auto block = std::make_unique<char[]>(6);
    std::memcpy(block.get(), "adopt", 6);
    const char* bytes = block.get();
    Arena a;
    a.adopt(std::move(block));
    Arena b(std::move(a));
    EXPECT_STREQ(bytes, "adopt");
}
