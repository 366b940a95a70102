#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/myfile/readline.h"

using namespace vebix;

namespace {

std::vector<std::string> readAll(const std::string& content) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    std::vector<std::string> lines;
    std::string line;
    while (readLine(line, f)) lines.push_back(line);
    std::fclose(f);
    return lines;
}

using Lines = std::vector<std::string>;

}  // namespace

TEST(ReadLine, LineEnds) {
    struct Case {
        std::string in;
        Lines out;
    };
    const Case cases[] = {
        {"ab\r\ncd\r\n", {"ab", "cd"}},
        {"ab\ncd\n", {"ab", "cd"}},
        {"ab\rcd\r", {"ab", "cd"}},
        {"ab\r\n\ncd\n", {"ab", "", "cd"}},
        {"ab\r\n\r\ncd\r\n", {"ab", "", "cd"}},
        {"ab\n\rcd", {"ab", "", "cd"}},
        // A last line without line end is kept.
        {"ab\r\ncd", {"ab", "cd"}},
        {"", {}},
        {"\n", {""}},
    };
    for (const auto& c : cases) EXPECT_EQ(readAll(c.in), c.out) << c.in;
}

TEST(ReadLine, LongLinesAndAllBytesPassWhole) {
    std::string longLine(100000, 'q');
    std::string binary;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n') binary.push_back(static_cast<char>(b));
    EXPECT_EQ(readAll(longLine + "\r\n" + binary + "\n"), (Lines{longLine, binary}));
}

TEST(ReadLine, TwoStreamsAlternately) {
    // A CR ending a line of one stream does not swallow the LF starting the other.
    std::FILE* a = std::tmpfile();
    std::FILE* b = std::tmpfile();
    std::fputs("a1\r\na2\r\n", a);
    std::fputs("\nb2\n", b);
    std::rewind(a);
    std::rewind(b);
    std::string line;
    ASSERT_TRUE(readLine(line, a));
    EXPECT_EQ(line, "a1");
    ASSERT_TRUE(readLine(line, b));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(readLine(line, a));
    EXPECT_EQ(line, "a2");
    ASSERT_TRUE(readLine(line, b));
    EXPECT_EQ(line, "b2");
    EXPECT_FALSE(readLine(line, a));
    std::fclose(a);
    std::fclose(b);
}

TEST(ReadLine, StreamReusedAfterALoneCrKeepsItsEmptyFirstLine) {
    // freopen keeps the FILE object: nothing of the CR that ended the first file's last line
    // may swallow the LF that starts the second file.
    const std::string first = ::testing::TempDir() + "readline_first.txt";
    const std::string second = ::testing::TempDir() + "readline_second.txt";
    std::FILE* w = std::fopen(first.c_str(), "wb");
    std::fputs("a\r", w);
    std::fclose(w);
    w = std::fopen(second.c_str(), "wb");
    std::fputs("\nb\n", w);
    std::fclose(w);

    std::FILE* f = std::fopen(first.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::string line;
    ASSERT_TRUE(readLine(line, f));
    EXPECT_EQ(line, "a");
    f = std::freopen(second.c_str(), "rb", f);
    ASSERT_NE(f, nullptr);
    ASSERT_TRUE(readLine(line, f));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(readLine(line, f));
    EXPECT_EQ(line, "b");
    EXPECT_FALSE(readLine(line, f));
    std::fclose(f);
    std::remove(first.c_str());
    std::remove(second.c_str());
}
