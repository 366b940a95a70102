// Files written by hand or by other programs, or damaged: settings with wrong types, huge values
// and awkward names; UDLP info files with missing lines, huge lines and binary bytes; minds with
// NUL bytes, a 10 MB line, invalid UTF-8 and CR-only line ends. Each is read soundly or refused
// with its message, and bot mode keeps every byte of a mind it read.
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "apptestsupport.h"
#include "support/fakeclock.h"
#include "engine/base/error.h"
#include "app/udlp/botmode.h"
#include "app/mind/startup.h"
#include "app/platform/safefile.h"
#include "app/platform/settings.h"
#include "app/udlp/udlpformat.h"
#include "app/udlp/udlpinfo.h"
#include "app/mind/vebixai.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;
using namespace std::string_literals;

// ---- settings ---------------------------------------------------------------------------------

class HostileSettings : public testing::AppTest {};

TEST_F(HostileSettings, HandWrittenFileReadsSoundly) {
    const std::string huge(1 << 20, 'm');
    writeBytes(
        settingsFile(),
        "[General]\n"
        "Delay=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x11garbage)\n"
        "LastMindFile=@ByteArray(\\xff\\xfe\\0/x)\n"
        "LastUserName=" +
            huge +
            "\n"
            "\xff\xfe garbage line without equals\n"
            "[broken\n"
            // Names as the store writes them ("/", "\\" and "%" escaped twice over), and
            // one with raw UTF-8 and one with a broken sequence, as an editor may leave them.
            "[UserNames]\n"
            "a%252Fb=1\n"
            "back%255Cslash=2\n"
            "100%2525=3\n"
            "J\xC3\xBCrgen=4\n"
            "%25=5\n"
            "bad\xC3=6\n"
            "J%FCrg=7\n"
            "[LinkBotList]\n"
            "x=1, 2, 3\n");
    Settings s;
    // Wrong types read as missing or as text; nothing throws.
    EXPECT_EQ(s.findDword(Settings::Key::Delay), std::nullopt);
    EXPECT_EQ(s.getDword(Settings::Key::Delay), 1u);
    EXPECT_EQ(s.getString(Settings::Key::LastUserName), huge);
    EXPECT_EQ(s.readString(std::string(Settings::kLinkBotListGroup), "x"), "1,2,3");
    EXPECT_EQ(s.readDword(std::string(Settings::kLinkBotListGroup), "x"), std::nullopt);

    std::vector<std::string> names = s.valueNames(Settings::kUserNamesGroup);
    for (const std::string expected :
         {"a/b", "back\\slash", "100%", "J\xC3\xBCrgen", "", "J\xC3\xBCrg"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end())
            << expected << " not among " << ::testing::PrintToString(names);

    // The start-up steps that read the file cope: the delay stays on, and an unusable last
    // mind file gives way to the default one.
    EXPECT_TRUE(readDelaySetting());
    EXPECT_EQ(chooseStartMind(MissingNamedMind::Throw, "", documentsFolder()).mindPath,
              spath("Documents/Vebix.mdd"));
}

TEST_F(HostileSettings, HugeAndOutOfRangeNumbers) {
    const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> cases = {
        {std::string(10000, '9'), std::nullopt},
        {"18446744073709551616", std::nullopt},
        {"4294967295", 4294967295u},
        {"1e3", std::nullopt},
        {"\xEF\xBC\x91", std::nullopt},  // a full-width digit one
    };
    for (const auto& [stored, expected] : cases) {
        writeBytes(settingsFile(), "[General]\nDelay=" + stored + "\n");
        Settings s;
        EXPECT_EQ(s.findDword(Settings::Key::Delay), expected) << stored.substr(0, 40);
    }
}

// ---- UDLP info files --------------------------------------------------------------------------

UdlpInfo readInfo(const std::string& bytes) {
    std::string copy = bytes;
    std::FILE* f = ::fmemopen(copy.data(), copy.size(), "rb");
    if (!f) throw std::runtime_error("fmemopen");
    struct Closer {
        std::FILE* f;
        ~Closer() { std::fclose(f); }
    } closer{f};
    return readUdlpInfo(f);
}

TEST(HostileUdlpInfo, MissingHugeAndBinaryLines) {
    const std::string bad(udlp::kBadVersionMessage);
    // Longer than a line is kept: the name and the mind are cut at the bound, and the lines
    // after them are still read.
    const std::string hugeName(10 << 20, 'N');
    const std::string keptName = hugeName.substr(0, kMaxLineBytes);
    struct Case {
        std::string bytes;
        std::string error;  // empty: reads
        std::string botName, mind;
        bool learn = false;
        bool cut = false;
    };
    const std::vector<Case> cases = {
        {"2\r\n", bad, "", "", false},               // line 2 missing
        {"2", bad, "", "", false},                   // no line end, line 2 missing
        {"2\r\n0", "", "", "", false},               // lines 3 and 4 missing
        {"2\r\n0\r\nvebix\r\n", "", "", "", false},  // line 4 missing
        {"2\r\n0\r\nvebix\r\n" + hugeName + "\r\nlearn=1\r\n", "", keptName, "", true, true},
        {"2\r\n0\r\nvebix\r\nB\r\nmind=" + hugeName + "\n", "", "B",
         hugeName.substr(0, kMaxLineBytes - 5), false, true},
        {"2\0\r\n0\r\n"s, bad, "", "", false},  // a NUL in a version line
        {"\xEF\xBB\xBF"
         "2\r\n0\r\n",
         bad, "", "", false},  // no byte-order mark allowed
        {"2\r\n0\r\n\xFF\xFE\r\n\x80\x81\x00\r\nmind=\xC3\x28\r\nlearn=\x01\r\n"s, "",
         "\x80\x81\x00"s, "\xC3\x28", true},
        {std::string(3 << 20, '7') + "\r\n0\r\n", bad, "", "", false},  // a huge version line
        // No more of the file than the bound is read: a key after it is not seen.
        {"2\r\n0\r\nvebix\r\nB\r\n" + std::string(kMaxReadBytes, '\n') + "learn=1\r\n", "", "B", "",
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 30));
        if (!c.error.empty()) {
            try {
                readInfo(c.bytes);
                ADD_FAILURE() << "read without error";
            } catch (const Error& e) {
                EXPECT_EQ(std::string(e.what()), c.error);
            }
            continue;
        }
        UdlpInfo info = readInfo(c.bytes);
        EXPECT_EQ(info.botName.size(), c.botName.size());
        EXPECT_TRUE(info.botName == c.botName);
        EXPECT_TRUE(info.mind == c.mind);
        EXPECT_EQ(info.learn, c.learn);
        EXPECT_EQ(info.cut, c.cut);
    }
}

// ---- minds ------------------------------------------------------------------------------------

class HostileMind : public testing::WorkingFolderTest {
protected:
    FakeClock clock_{1700000000};
    ScopedClock scoped_{clock_};
};

TEST_F(HostileMind, BotModeLearnsOnDamagedMindsAndKeepsEveryByte) {
    const std::string header =
        "\xEF\xBB\xBF"
        "1.2 1.2 \"Odd\"\r\napp=Vebix\r\n\r\n";
    const std::string tenMb(10 << 20, 'z');
    struct Case {
        const char* what;
        std::string body;
        std::size_t lines;  // mind lines as read
    };
    const std::vector<Case> cases = {
        {"NUL bytes", "k 1 a hello\0hidden\r\nk 2 <ai> \0\r\nk 3 a how are you\r\n"s, 3},
        {"10 MB line", "k 1 a hello\r\nk 2 a " + tenMb + "\r\nk 3 <ai> how are you\r\n", 3},
        {"invalid UTF-8",
         "k 1 a hello \xC3\x28 \xFF\xFE\r\nk 2 <ai> \xE2\x82 fine\r\nk 3 a \xF0\x9F\x98\r\n", 3},
        {"CR only", "k 1 a hello\rk 2 <ai> hi there\rk 3 a how are you\r", 3},
        {"no line end at the end", "k 1 a hello\r\nk 2 <ai> hi there", 2},
        {"time not a number", "k x1 a hello\r\nk 2 <ai> hi\r\nk 99999999999 a hey\r\n", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string original = (std::string_view(c.what) == std::string_view("CR only")
                                          ? std::string("\xEF\xBB\xBF"
                                                        "1.2 1.2 \"Odd\"\rapp=Vebix\r\r")
                                          : header) +
                                     c.body;
        writeBytes(path("odd.mdd"), original);
        {
            VebixAi read;
            EXPECT_EQ(read.loadFile(spath("odd.mdd")), c.lines);
            EXPECT_EQ(read.botName(), "Odd");
        }
        writeBytes(path("work/UDLPX.NFO"),
                   "2\r\n0\r\nvebix\r\nOdd\r\nmind=" + spath("odd.mdd") + "\r\nlearn=true\r\n");
        writeBytes(path("work/CHAT.MSG"), "Bob\r\nhello, how are you?\r\n");
        std::vector<std::string> boxes;
        ASSERT_EQ(runBotMode("", programPath(), [&](const std::string& m) { boxes.push_back(m); }),
                  0)
            << (boxes.empty() ? "" : boxes.front());

        // Every byte that was there is still there; the exchange follows on lines of its own.
        const std::string after = readBytes(path("odd.mdd"));
        ASSERT_GT(after.size(), original.size());
        EXPECT_TRUE(after.compare(0, original.size(), original) == 0);
        VebixAi back;
        EXPECT_EQ(back.loadFile(spath("odd.mdd")), c.lines + 2);
        EXPECT_EQ(back.lines()[c.lines], "Bob!Bob 1700000000 Bob!Bob hello, how are you?");
        EXPECT_TRUE(
            std::string_view(back.lines()[c.lines + 1]).starts_with("Bob!Bob 1700000000 <ai> "));
    }
}

TEST_F(HostileMind, FilesThatAreNotMindsAreRefusedWithTheirMessage) {
    const std::string notValid = "Not a valid Vebix mind file";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", notValid},
        {std::string("\0\0\0\0", 4), notValid},
        {std::string(1 << 20, '\xFF'), notValid},
        {"\x7F"
         "ELF\x02\x01\x01"s +
             std::string(100, '\0'),
         notValid},
        {"9.9 1.2 \"X\"\r\n\r\nk 1 a hi\r\n", "Incompatible mind file"},
        {"1.2 1.2 \"" + std::string(1 << 20, 'q'), notValid},
    };
    for (const auto& [bytes, message] : cases) {
        writeBytes(path("bad.mdd"), bytes);
        writeBytes(path("work/UDLPX.NFO"),
                   "2\r\n0\r\nvebix\r\nX\r\nmind=" + spath("bad.mdd") + "\r\nlearn=true\r\n");
        writeBytes(path("work/CHAT.MSG"), "Bob\r\nhello\r\n");
        std::vector<std::string> boxes;
        EXPECT_EQ(runBotMode("", programPath(), [&](const std::string& m) { boxes.push_back(m); }),
                  1);
        EXPECT_EQ(boxes, std::vector<std::string>{message});
        EXPECT_EQ(readBytes(path("bad.mdd")), bytes);  // a refused file is not touched
    }
}

}  // namespace
}  // namespace vebix
