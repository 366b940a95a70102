#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/base/lines.h"

using namespace vebix;

namespace {

std::vector<std::string> split(std::string_view text) {
    std::vector<std::string> out;
    forEachLine(text, [&](std::string_view line) { out.emplace_back(line); });
    return out;
}

}  // namespace

TEST(Lines, EveryLineEndAndEdgeCase) {
    using L = std::vector<std::string>;
    struct Case {
        std::string text;
        L lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r", {"a"}},  // a CR at the very end of the buffer
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"\n\r", {"", ""}},  // LF CR is two ends, not one
        {"a\r\rb", {"a", "", "b"}},
        {"a\r\r\nb", {"a", "", "b"}},
        {std::string("x\0y\nz", 5), {std::string("x\0y", 3), "z"}},  // NUL is a byte like any
    };
    for (const Case& c : cases) EXPECT_EQ(split(c.text), c.lines) << testing::PrintToString(c.text);
}

TEST(Lines, ViewsPointIntoTheBufferAndManyCrLinesBeforeOneLf) {
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "line" + std::to_string(i) + "\r";
    text += "last\n";
    LineSplitter lines(text);
    std::string_view line;
    int n = 0;
    while (lines.next(line)) {
        ASSERT_GE(line.data(), text.data());
        ASSERT_LE(line.data() + line.size(), text.data() + text.size());
        EXPECT_EQ(line, n < 1000 ? "line" + std::to_string(n) : std::string("last"));
        ++n;
    }
    EXPECT_EQ(n, 1001);
    EXPECT_FALSE(lines.next(line));
}
