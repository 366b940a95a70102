#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/ai/ai.h"
#include "support/tempdir.h"
#include "engine/base/error.h"

using namespace vebix;
using vebix::testing::TempDir;
using vebix::testing::writeBytes;
namespace fs = std::filesystem;

namespace {

std::vector<std::string> linesOf(const Ai& ai) {
    return std::vector<std::string>(ai.lines().begin(), ai.lines().end());
}

using Lines = std::vector<std::string>;
const std::string kBom = "\xEF\xBB\xBF";

struct ReadCase {
    std::string name;
    std::string bytes;
    Lines lines;
};

std::vector<ReadCase> readCases() {
    return {
        {"crlf", "a 1 b x\r\nc 2 d y\r\n", {"a 1 b x", "c 2 d y"}},
        {"lf", "a 1 b x\nc 2 d y\n", {"a 1 b x", "c 2 d y"}},
        {"cr", "a 1 b x\rc 2 d y\r", {"a 1 b x", "c 2 d y"}},
        {"mixed", "a 1 b x\rc 2 d y\r\ne 3 f z\n", {"a 1 b x", "c 2 d y", "e 3 f z"}},
        {"no end on last line", "a 1 b x\r\nc 2 d y", {"a 1 b x", "c 2 d y"}},
        {"blank lines dropped", "\r\na 1 b x\r\n\r\n\n\rc 2 d y\r\n\r\n", {"a 1 b x", "c 2 d y"}},
        {"bom on any line",
         kBom + "a 1 b x\r\nc 2 d y\r\n" + kBom + "e 3 f z\r\n" + kBom + "\r\n",
         {"a 1 b x", "c 2 d y", "e 3 f z"}},
        {"bytes unchanged", "k 1 s caf\xC3\xA9 \xFF\xFE\r\n", {"k 1 s caf\xC3\xA9 \xFF\xFE"}},
        {"long line whole",
         "k 1 s " + std::string(5000, 'x') + "\r\nk 2 s y\r\n",
         {"k 1 s " + std::string(5000, 'x'), "k 2 s y"}},
        {"empty", "", {}},
    };
}

}  // namespace

TEST(DataFile, LoadFileAndLoadTextReadTheSameLines) {
    TempDir dir;
    for (const auto& c : readCases()) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("mind.dat");
        writeBytes(path, c.bytes);
        Ai fromFile;
        EXPECT_EQ(fromFile.loadFile(path), c.lines.size());
        EXPECT_EQ(linesOf(fromFile), c.lines);
        EXPECT_EQ(fromFile.fileName(), path);
        for (TextLines keep : {TextLines::Copied, TextLines::Viewed}) {
            Ai fromText;
            EXPECT_EQ(fromText.loadText("template", c.bytes, keep), c.lines.size());
            EXPECT_EQ(linesOf(fromText), c.lines);
            EXPECT_EQ(fromText.fileName(), "template");
        }
    }
}

TEST(DataFile, LoadFileCutsALineAtNul) {
    TempDir dir;
    writeBytes(dir.file("m.dat"), std::string("k 1 s ab\0cd\r\nk 2 s e\r\n", 21));
    Ai ai;
    ai.loadFile(dir.file("m.dat"));
    EXPECT_EQ(linesOf(ai), (Lines{"k 1 s ab", "k 2 s e"}));
}

// Byte patterns at the edges of a file read in place: the end of the file, of a page, NULs.
TEST(DataFile, LoadFileEdgesOfTheFile) {
    const std::string page(4096 - 6, 'p');
    const std::vector<ReadCase> cases = {
        {"nul ends the file", std::string("k 1 s a\r\nk 2 s b\0", 17), {"k 1 s a", "k 2 s b"}},
        {"nul in last line without end", std::string("k 1 s a\0zz", 10), {"k 1 s a"}},
        {"nul only", std::string("\0\0", 2), {}},
        {"nul starts a line", std::string("\0a\r\nk 2 s b\r\n", 13), {"k 2 s b"}},
        {"cr only, last line without end", "k 1 s a\rk 2 s b", {"k 1 s a", "k 2 s b"}},
        {"last line fills the page, no end", "k 1 s " + page, {"k 1 s " + page}},
        {"line end is the last byte of the page",
         "k 1 s " + page.substr(2) + "\r\n",
         {"k 1 s " + page.substr(2)}},
        {"lone cr at the end of the page",
         "k 1 s " + page.substr(1) + "\r" + "k 2 s b",
         {"k 1 s " + page.substr(1), "k 2 s b"}},
        {"bom only", kBom, {}},
        {"line ends only", "\r\n\r\r\n\n", {}},
    };
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("edge.dat");
        writeBytes(path, c.bytes);
        Ai ai;
        EXPECT_EQ(ai.loadFile(path), c.lines.size());
        EXPECT_EQ(linesOf(ai), c.lines);
    }
}

// The lines read stay as they were while the file itself is appended to or replaced, as the
// mind's own saves do; loading again sees the new file.
TEST(DataFile, LoadedLinesOutliveChangesToTheFile) {
    TempDir dir;
    const std::string path = dir.file("m.dat");
    writeBytes(path, "k 1 s a\r\nk 2 s b\r\n");
    Ai ai;
    ai.loadFile(path);
    std::ofstream(path, std::ios::binary | std::ios::app) << "k 3 s c\r\n";
    EXPECT_EQ(linesOf(ai), (Lines{"k 1 s a", "k 2 s b"}));
    Ai again;
    again.loadFile(path);
    EXPECT_EQ(linesOf(again), (Lines{"k 1 s a", "k 2 s b", "k 3 s c"}));

    writeBytes(dir.file("new.dat"), "n 9 s new\r\n");
    fs::rename(dir.file("new.dat"), path);
    EXPECT_EQ(linesOf(ai), (Lines{"k 1 s a", "k 2 s b"}));
    EXPECT_EQ(linesOf(again), (Lines{"k 1 s a", "k 2 s b", "k 3 s c"}));
    ai.appendLine("k 4 s d");
    EXPECT_EQ(linesOf(ai), (Lines{"k 1 s a", "k 2 s b", "k 4 s d"}));
}

// What cannot be read in place (a pipe) is read as a stream, with the same lines.
TEST(DataFile, LoadFileReadsAPipe) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string bytes = std::string("k 1 s a\rk 2 s b\0x\r\n", 19) + kBom + "k 3 s c";
    ASSERT_EQ(::write(ends[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(ends[1]);
    Ai ai;
    EXPECT_EQ(ai.loadFile("/proc/self/fd/" + std::to_string(ends[0])), 3u);
    ::close(ends[0]);
    EXPECT_EQ(linesOf(ai), (Lines{"k 1 s a", "k 2 s b", "k 3 s c"}));
}

TEST(DataFile, LoadTextWithoutCopyViewsTheText) {
    const std::string text = "a 1 b x\r\n" + kBom + "c 2 d y";
    Ai views, copies;
    views.loadText("t", text, TextLines::Viewed);
    copies.loadText("t", text, TextLines::Copied);
    ASSERT_EQ(views.lines().size(), 2u);
    EXPECT_TRUE(liesWithin(views.lines()[0], text));
    EXPECT_TRUE(liesWithin(views.lines()[1], text));
    EXPECT_FALSE(liesWithin(copies.lines()[0], text));
    // Lines learned afterwards are copies as usual.
    views.appendLine("e 3 f z");
    EXPECT_FALSE(liesWithin(views.lines()[2], text));
}

TEST(DataFile, LoadReplacesTheMind) {
    Ai ai;
    ai.addLine("k", "1", "s", "old");
    ai.loadText("t", "n 2 s new\n", TextLines::Copied);
    EXPECT_EQ(linesOf(ai), (Lines{"n 2 s new"}));
}

TEST(DataFile, MissingFileGivesAnEmptyMindOfThatName) {
    TempDir dir;
    const std::string path = dir.file("aimain.dat");
    Ai ai;
    ai.addLine("k", "1", "s", "stale");
    EXPECT_EQ(ai.loadFile(path), 0u);
    EXPECT_TRUE(ai.lines().empty());
    EXPECT_EQ(ai.fileName(), path);
    EXPECT_FALSE(fs::exists(path));
}

TEST(DataFile, LoadErrors) {
    TempDir dir;
    const std::string folder = dir.file("adir");
    fs::create_directory(folder);
    Ai ai;
    try {
        ai.loadFile(folder);
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     ("Read error while loading AI file '" + folder + "': Is a directory").c_str());
    }

    if (::geteuid() == 0) GTEST_SKIP() << "root reads files without read permission";
    const std::string locked = dir.file("locked.dat");
    writeBytes(locked, "k 1 s x\r\n");
    fs::permissions(locked, fs::perms::none);
    try {
        ai.loadFile(locked);
        FAIL() << "expected an error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     ("Unable to load AI file '" + locked + "': Permission denied").c_str());
    }
}

namespace {

// Reads a header of "name=value" lines up to the first line holding a blank, as a subclass
// that knows a file header does.
class HeaderAi : public Ai {
public:
    std::vector<std::string> header;
    int finished = 0;
    bool inHeader = true;
    void acceptLoadedLine(std::string_view line) override {
        if (inHeader && line.find(' ') == std::string_view::npos && !line.empty()) {
            header.emplace_back(line);
            return;
        }
        inHeader = false;
        Ai::acceptLoadedLine(line);
    }
    void finishLoading() override { ++finished; }
};

}  // namespace

TEST(DataFile, SubclassHooksSeeEveryLine) {
    TempDir dir;
    HeaderAi ai;
    EXPECT_EQ(ai.loadFile(dir.file("none.dat")), 0u);
    EXPECT_EQ(ai.finished, 0);  // nothing was read

    writeBytes(dir.file("m.mdd"), kBom + "app=Vebix\r\ngender=m\r\n\r\nk 1 s x\r\nk 2 s y\r\n");
    EXPECT_EQ(ai.loadFile(dir.file("m.mdd")), 2u);
    EXPECT_EQ(ai.header, (Lines{"app=Vebix", "gender=m"}));
    EXPECT_EQ(ai.finished, 1);
    EXPECT_EQ(linesOf(ai), (Lines{"k 1 s x", "k 2 s y"}));
}

namespace {

// Every line the loader hands to the hooks, empty ones included, in order.
class RecordingAi : public Ai {
public:
    Lines seen;
    void acceptLoadedLine(std::string_view line) override {
        seen.emplace_back(line);
        Ai::acceptLoadedLine(line);
    }
};

}  // namespace

// A big file is read a block (a megabyte) at a time. Whatever falls on the edge of a block (a
// CR LF cut in two, a lone CR, a line longer than a block, a NUL, a BOM) the hooks see the same
// lines as when the whole text is split at once, and the lines read back whole.
TEST(DataFile, LoadFileReadsBigFilesAcrossBlockEdges) {
    const std::size_t block = std::size_t{1} << 20;
    auto fill = [](std::size_t bytes) {
        std::string out;
        for (int i = 0; out.size() + 40 < bytes; ++i)
            out += "k " + std::to_string(i) + " s some text\r\n";
        return out + std::string(bytes - out.size() - 2, 'p') + "\r\n";  // exactly bytes long
    };
    // tail starting at offset at, after whole lines (the last one without its end)
    auto endingAt = [&](std::size_t at, const std::string& tail) {
        std::string head = fill(at + 2);
        head.resize(at);
        return head + tail;
    };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"cr lf cut by the block edge", endingAt(block - 1, "\r\nk 1 s b\r\n")},
        {"lone cr at the block edge", endingAt(block - 1, "\rk 1 s b\r\n")},
        {"lf at the block edge", endingAt(block - 1, "\nk 1 s b")},
        {"empty line after the edge", endingAt(block, "\r\n\r\n\r\nk 1 s b\r\n")},
        {"line longer than a block",
         "k 0 s " + std::string(block * 2 + 17, 'L') + "\r\nk 1 s b\r\n"},
        {"nul in the second block", fill(block + 100) + std::string("k 1 s ab\0cd\r\nk 2 s e", 20)},
        {"nul ends the line at the edge", endingAt(block - 1, std::string("\0\r\nk 1 s b", 10))},
        {"bom after the edge", endingAt(block - 1, "\r\n" + kBom + "k 1 s b\r\n")},
        {"file ends in cr at the edge", endingAt(block - 1, "\r")},
    };
    TempDir dir;
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        const std::string path = dir.file("big.dat");
        writeBytes(path, bytes);
        RecordingAi fromFile, fromText;
        fromFile.loadFile(path);
        // A file's line ends at a NUL; the text without what follows the NUL on its line.
        std::string text = bytes;
        for (std::size_t nul; (nul = text.find('\0')) != std::string::npos;)
            text.erase(nul, text.find_first_of("\r\n", nul) - nul);
        fromText.loadText("big.dat", text, TextLines::Copied);
        EXPECT_EQ(fromFile.seen, fromText.seen);
        EXPECT_EQ(linesOf(fromFile), linesOf(fromText));
        EXPECT_GT(fromFile.lines().size(), 1u);
        EXPECT_EQ(fromFile.lines().back().substr(0, 4), fromText.lines().back().substr(0, 4));
    }
}
