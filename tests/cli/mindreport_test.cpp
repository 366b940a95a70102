// Counting what a mind holds and finding the lines the engine would skip or misread.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string>

#include "app/cli/mindreport.h"
#include "engine/base/error.h"

namespace vebix::cli {
namespace {

const std::string kHeader =
    "\xEF\xBB\xBF"
    "1.2 1.2 \"Vebix\"\r\nname=x\r\n\r\n";

// Two conversations ("ann" in two letter cases), three speakers besides the bot.
const std::string kSmallMind = kHeader +
                               "ann 100 Ann hello there robot\r\n"
                               "ann 101 <ai> hello human friend\r\n"
                               "ANN 102 Ann robots say hello\r\n"
                               "\r\n"
                               "bob 50 Bob hi\r\n"
                               "bob 60 Bob2 hello again\r\n"
                               "bob 70 <ai> greetings\r\n";

TEST(MindReport, CountsLinesConversationsSpeakersTimesAndWords) {
    MindReportOptions options;
    options.words = 2;
    options.speakers = 2;
    const MindReport r = readMindReport(kSmallMind, options);
    ASSERT_TRUE(r.isMind) << r.notMind;
    EXPECT_EQ(r.botName, "Vebix");
    EXPECT_EQ(r.version, "1.2");
    EXPECT_EQ(r.headerKeyLines, 1u);
    EXPECT_EQ(r.lines, 6u);
    EXPECT_EQ(r.botLines, 2u);
    EXPECT_EQ(r.conversations, 2u);  // "ann" and "ANN" are one conversation
    EXPECT_EQ(r.speakers, 3u);
    EXPECT_EQ(r.topSpeakers, (std::vector<Counted>{{"Ann", 2}, {"Bob", 1}}));
    EXPECT_EQ(r.firstTime, 50u);
    EXPECT_EQ(r.lastTime, 102u);
    // "hi" is too short to count; ties go in byte order.
    EXPECT_EQ(r.topWords, (std::vector<Counted>{{"hello", 4}, {"again", 1}}));
    EXPECT_TRUE(r.problems.empty());  // not asked for
}

TEST(MindReport, OlderVersionsHaveNoKeyValueLines) {
    const MindReport r = readMindReport("1.1 1.1 Old\nk 5 A some words\n", {});
    ASSERT_TRUE(r.isMind);
    EXPECT_EQ(r.botName, "Old");
    EXPECT_EQ(r.lines, 1u);
    EXPECT_EQ(r.headerKeyLines, 0u);
}

TEST(MindReport, CheckNamesEachFaultWithItsLineNumber) {
    // CR-only line ends throughout; one line of each fault; a last line cut short.
    using namespace std::string_literals;  // the text holds a NUL
    const std::string mind =
        "1.2 1.2 \"Vebix\"\rname=x\r\r"
        "ann 100 Ann fine line\r"         // 4
        "ann 90 Ann earlier than 4\r"     // 5: time goes back
        "ANN 95 Ann later than 5\r"       // 6: fine (compares with 5)
        "bob 20x Bob what time\r"         // 7: unreadable time
        "bob 4294967296 Bob too big\r"    // 8: does not fit 32 bits
        "bob 30 nospeaker\r"              // 9: two blanks only
        "bob 40 Bob bad \xC3\x28 byte\r"  // 10: invalid UTF-8
        "bob 41 Bob nul\0after\r"         // 11: NUL
        "bob 5"s;                         // 12: truncated
    MindReportOptions options;
    options.check = true;
    const MindReport r = readMindReport(mind, options);
    ASSERT_TRUE(r.isMind) << r.notMind;
    struct Expected {
        std::uint64_t line;
        const char* reasonStart;
    };
    const Expected expected[] = {
        {5, "time goes back: earlier than line 4"},
        {7, "unreadable time '20x'"},
        {8, "unreadable time '4294967296'"},
        {9, "malformed fields"},
        {10, "invalid UTF-8"},
        {11, "a NUL byte"},
        {12, "malformed fields"},
    };
    ASSERT_EQ(r.problems.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        EXPECT_EQ(r.problems[i].line, expected[i].line) << i;
        EXPECT_EQ(r.problems[i].reason.rfind(expected[i].reasonStart, 0), 0u)
            << i << ": " << r.problems[i].reason;
    }
    EXPECT_EQ(r.lines, 9u);
    EXPECT_EQ(r.firstTime, 40u);  // unreadable times and malformed lines take no part
    EXPECT_EQ(r.lastTime, 100u);
}

TEST(MindReport, HeaderFaults) {
    MindReportOptions options;
    options.check = true;
    struct Case {
        std::string text;
        bool isMind;
        const char* found;  // in notMind, or in the last problem
    };
    const Case cases[] = {
        {"", false, "empty"},
        {"hello\r\n", false, "Not a valid"},
        {"ann 100 Ann hello\r\n", false, "Incompatible"},
        {"9.9 9.9 \"X\"\r\n", false, "Incompatible"},
        {"1.2 1.2 \"X\"\r\na=b\r\nnot a key value\r\n\r\nk 1 A b\r\n", true, "not key=value"},
        {"1.2 1.2 \"X\"\r\na=b\r\nk 1 A b\r\n", true, "no empty line ends"},
    };
    for (const Case& c : cases) {
        const MindReport r = readMindReport(c.text, options);
        EXPECT_EQ(r.isMind, c.isMind) << c.text;
        if (!c.isMind) {
            EXPECT_NE(r.notMind.find(c.found), std::string::npos) << r.notMind;
        } else {
            ASSERT_FALSE(r.problems.empty()) << c.text;
            EXPECT_EQ(r.problems.back().line, 3u) << c.text;
            EXPECT_NE(r.problems.back().reason.find(c.found), std::string::npos)
                << r.problems.back().reason;
        }
    }
}

TEST(MindReport, ReadsAFileAndRefusesWhatCannotBeRead) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("m.mdd").toStdString();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kSmallMind.data(), static_cast<qint64>(kSmallMind.size()));
    file.close();
    const MindReport r = reportMindFile(path, {});
    EXPECT_TRUE(r.isMind);
    EXPECT_EQ(r.lines, 6u);
    EXPECT_THROW(reportMindFile(dir.filePath("missing.mdd").toStdString(), {}), Error);
    EXPECT_THROW(reportMindFile(dir.path().toStdString(), {}), Error);
}

}  // namespace
}  // namespace vebix::cli
