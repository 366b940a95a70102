// The block-wise line reader against the in-memory splitter: every way a line end, a CR LF or a
// long line can fall on a block's edge.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/base/error.h"
#include "engine/base/filehandle.h"
#include "engine/base/lines.h"
#include "engine/base/linestream.h"

using namespace vebix;

namespace {

struct Seen {
    std::string text;
    std::uint64_t size;
    bool cut;
    bool nulInRest;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s) {
    return out << testing::PrintToString(s.text) << " size " << s.size << (s.cut ? " cut" : "")
               << (s.nulInRest ? " nul" : "");
}

// What the stream should give: the splitter's lines, cut to a block.
std::vector<Seen> expected(std::string_view text, std::size_t block) {
    std::vector<Seen> out;
    forEachLine(text, [&](std::string_view line) {
        const bool cut = line.size() > block;
        out.push_back({std::string(line.substr(0, cut ? block : line.size())), line.size(), cut,
                       cut && line.substr(block).find('\0') != std::string_view::npos});
    });
    return out;
}

// Up to parts runs of one of the four bytes of kinds each, a byte long or up to longest.
std::string randomText(std::mt19937& random, std::string_view kinds, int parts, int longest) {
    std::string text;
    const int count = static_cast<int>(random() % static_cast<unsigned>(parts));
    for (int p = 0; p < count; ++p)
        text.append(random() % 3 == 0 ? random() % static_cast<unsigned>(longest) : 1,
                    kinds[random() % 4]);
    return text;
}

class LineStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/vebix-linestream-XXXXXX";
        fd_ = ::mkstemp(name);
        ASSERT_GE(fd_, 0);
        ::unlink(name);
    }
    void TearDown() override { ::close(fd_); }

    std::vector<Seen> streamed(const std::string& text, std::size_t block, std::uint64_t length) {
        EXPECT_EQ(::ftruncate(fd_, 0), 0);
        EXPECT_EQ(::pwrite(fd_, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
        LineStream stream(fd_, length, "t", block);
        std::vector<Seen> out;
        LineStream::Line line;
        while (stream.next(line))
            out.push_back({std::string(line.text), line.size, line.cut, line.nulInRest});
        EXPECT_FALSE(stream.next(line));  // and stays at the end
        return out;
    }

    int fd_ = -1;
};

TEST_F(LineStreamTest, GivesTheSplittersLinesWhereverBlocksEnd) {
    std::vector<std::string> texts = {
        "",
        "a",
        "a\n",
        "a\r",
        "a\r\n",
        "\r\n\r\n",
        "\n\r",
        "a\r\r\nb",
        std::string("x\0y\nz", 5),
        std::string(15, 'a') + "\r\n" + "b",  // a CR LF across the edge of a block of 16
        std::string(16, 'a') + "\r\nb",       // a line exactly a block long
        std::string(17, 'a') + "\r\nb",       // one byte longer: cut
        std::string(40, 'a') + std::string("\0", 1) + "bb\r",  // NUL in a cut line's rest
        std::string(31, 'a') + "\r" + "\nz",
    };
    // And texts of every kind of byte that matters, at random, with runs long and short.
    std::mt19937 random(27);
    for (int i = 0; i < 200; ++i)
        texts.push_back(randomText(random, std::string_view("a\r\n\0", 4), 20, 70));
    for (const std::size_t block : {16, 17, 32, 4096}) {
        for (const std::string& text : texts) {
            SCOPED_TRACE(testing::PrintToString(text) + " block " + std::to_string(block));
            EXPECT_EQ(streamed(text, block, text.size()), expected(text, block));
        }
    }
}

// Runs of whole lines: each at its offset in the file, together the file's lines, a CR LF
// never split between two runs, and a line longer than a block given alone, cut.
TEST_F(LineStreamTest, RunsOfLinesCoverTheFileInOrder) {
    std::mt19937 random(7);
    for (int i = 0; i < 300; ++i) {
        const std::string text = randomText(random, "ab\r\n", 30, 40);
        SCOPED_TRACE(testing::PrintToString(text));
        ASSERT_EQ(::ftruncate(fd_, 0), 0);
        ASSERT_EQ(::pwrite(fd_, text.data(), text.size(), 0), static_cast<ssize_t>(text.size()));
        LineStream stream(fd_, text.size(), "t", 16);
        std::vector<Seen> seen;
        std::string_view run;
        std::uint64_t offset = 0;
        LineStream::Line cut;
        while (stream.nextLines(run, offset, cut)) {
            if (cut.cut) {
                seen.push_back({std::string(cut.text), cut.size, true, cut.nulInRest});
                continue;
            }
            ASSERT_FALSE(run.empty());
            ASSERT_LE(offset + run.size(), text.size());
            EXPECT_EQ(text.substr(offset, run.size()), run);
            // A run ends after a line end, unless at the end of the file; a CR ending a run
            // is never followed by an LF.
            const char last = run.back();
            if (offset + run.size() < text.size()) {
                EXPECT_TRUE(last == '\n' || last == '\r');
                if (last == '\r') {
                    EXPECT_NE(text[offset + run.size()], '\n');
                }
            }
            // A long line a run holds whole stands for what next would give of it.
            for (const Seen& l : expected(run, 16)) seen.push_back(l);
        }
        EXPECT_EQ(seen, expected(text, 16));
    }
}

TEST_F(LineStreamTest, ReadsOnlyTheLengthAskedAndStopsWhereAFileWasCut) {
    const std::string text = "one\r\ntwo\r\nthree\r\n";
    EXPECT_EQ(streamed(text, 16, 10), expected("one\r\ntwo\r\n", 16));
    EXPECT_EQ(streamed(text, 16, 7), expected("one\r\ntw", 16));
    // A length beyond the file's end: the file as it is.
    EXPECT_EQ(streamed(text, 16, 1000), expected(text, 16));
}

TEST_F(LineStreamTest, AReadErrorIsReportedWithItsReason) {
    // A folder of the test's own: reading it fails (EISDIR).
    char name[] = "/tmp/vebix-linestream-dir-XXXXXX";
    ASSERT_NE(::mkdtemp(name), nullptr);
    const int folder = ::open(name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ::rmdir(name);
    ASSERT_GE(folder, 0);
    const FdHandle closer(folder);
    LineStream stream(folder, 100, "the folder", 16);
    LineStream::Line line;
    try {
        stream.next(line);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("Read error while reading 'the folder'"),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
