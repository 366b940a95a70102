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

namespace {

struct BoundedRead {
    Lines lines;
    std::vector<bool> cut;  // per line: cut to the line bound
    bool anyCut = false;
};

BoundedRead readBounded(const std::string& content, std::size_t maxLine, std::uint64_t maxTotal) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    BoundedLineReader reader(f, maxLine, maxTotal);
    BoundedRead r;
    std::string line;
    while (reader.next(line)) {
        r.lines.push_back(line);
        r.cut.push_back(reader.lastLineCut());
    }
    r.anyCut = reader.anyCut();
    std::fclose(f);
    return r;
}

}  // namespace

TEST(BoundedLineReader, CutsLongLinesAndStopsAtTheTotal) {
    struct Case {
        const char* what;
        std::string in;
        std::size_t maxLine;
        std::uint64_t maxTotal;
        Lines out;
        std::vector<bool> cut;
        bool anyCut;
    };
    const std::string big(5000, 'x');
    const Case cases[] = {
        {"within bounds, every line end",
         "ab\r\ncd\ref\ngh",
         8,
         100,
         {"ab", "cd", "ef", "gh"},
         {false, false, false, false},
         false},
        {"a line at the bound is whole",
         "abcd\r\nef\r\n",
         4,
         100,
         {"abcd", "ef"},
         {false, false},
         false},
        {"a long line keeps its start; the next line is read",
         big + "\r\nnext\r\n",
         10,
         1 << 20,
         {"xxxxxxxxxx", "next"},
         {true, false},
         true},
        {"a long last line without a line end",
         "ab\n" + big,
         3,
         1 << 20,
         {"ab", "xxx"},
         {false, true},
         true},
        {"the total ends the reading mid-line",
         "abc\ndefghij\nklm\n",
         100,
         6,
         {"abc", "de"},
         {false, false},
         true},
        {"the total falls on the end exactly", "abc\n", 100, 4, {"abc"}, {false}, false},
        {"a CR LF split by the total", "ab\r\ncd\r\n", 100, 3, {"ab"}, {false}, true},
        {"NUL and other bytes pass",
         std::string("a\0b\x01\xFF\n", 6),
         100,
         100,
         {std::string("a\0b\x01\xFF", 5)},
         {false},
         false},
    };
    for (const Case& c : cases) {
        const BoundedRead r = readBounded(c.in, c.maxLine, c.maxTotal);
        EXPECT_EQ(r.lines, c.out) << c.what;
        EXPECT_EQ(r.cut, c.cut) << c.what;
        EXPECT_EQ(r.anyCut, c.anyCut) << c.what;
    }
}
