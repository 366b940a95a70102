// vebix learn in process: the atomic append to a mind, and the command on a fake clock.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <set>
#include <sstream>
#include <string>

#include "app/cli/commands.h"
#include "app/platform/console.h"
#include "app/mind/mindappend.h"
#include "app/mind/templatemind.h"
#include "app/mind/vebixai.h"
#include "engine/ai/mindline.h"
#include "engine/base/error.h"
#include "engine/base/lines.h"
#include "support/fakeclock.h"

namespace vebix {
namespace {

class MindAppendTest : public ::testing::Test {
protected:
    std::string path(const char* name) const { return dir_.filePath(name).toStdString(); }
    std::string read(const std::string& file) const {
        QFile f(QString::fromStdString(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }
    void put(const std::string& file, std::string_view bytes) const {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    QStringList entries() const { return QDir(dir_.path()).entryList(QDir::Files); }

    QTemporaryDir dir_;
};

constexpr std::string_view kNewLines = "k 10 Ann hello\r\nk 11 <ai> hi Ann\r\n";

// Gives text as the new lines; seen gets the lines the producer was shown, each ended by LF.
MindLinesProducer lines(std::string_view text, std::string* seen = nullptr) {
    return [text, seen](const ExistingMind& existing, const ByteSink& sink) {
        existing.forEachLine([seen](std::string_view line) {
            if (seen) *seen += std::string(line) + "\n";
        });
        sink(text);
    };
}

TEST_F(MindAppendTest, NewMindStartsFromTheTemplateOrEmptyAndLoads) {
    const std::string fromTemplate = path("Vebix.mdd");
    EXPECT_TRUE(appendToMind(fromTemplate, NewMindStart::Template, lines(kNewLines)).created);
    EXPECT_EQ(read(fromTemplate), std::string(templateMindText()) + std::string(kNewLines));
    VebixAi loaded;
    loaded.loadFile(fromTemplate);
    EXPECT_EQ(loaded.botName(), "Vebix");
    EXPECT_EQ(loaded.lines().size(), 122u + 2u);

    const std::string empty = path("Robo.mdd");
    EXPECT_TRUE(appendToMind(empty, NewMindStart::Empty, lines(kNewLines)).created);
    EXPECT_EQ(read(empty),
              "\xEF\xBB\xBF"
              "1.2 1.2 \"Robo\"\r\n\r\n" +
                  std::string(kNewLines));
    VebixAi robo;
    robo.loadFile(empty);
    EXPECT_EQ(robo.botName(), "Robo");
    EXPECT_EQ(robo.lines().size(), 2u);
    EXPECT_EQ(entries(), (QStringList{"Robo.mdd", "Vebix.mdd"}));
}

TEST_F(MindAppendTest, OldBytesStayVerbatimUnreadableLinesIncluded) {
    const std::string mind = path("old.mdd");
    const std::string old = "1.1 1.1 Old\nnot a mind line\r\nx 5 Bob hey\rlast without end";
    put(mind, old);
    std::string seen;
    EXPECT_FALSE(appendToMind(mind, NewMindStart::Template, lines(kNewLines, &seen)).created);
    EXPECT_EQ(seen, "1.1 1.1 Old\nnot a mind line\nx 5 Bob hey\nlast without end\n");
    EXPECT_EQ(read(mind), old + "\r\n" + std::string(kNewLines));
    VebixAi loaded;
    loaded.loadFile(mind);
    EXPECT_EQ(loaded.lines().size(), 3u + 2u);
}

TEST_F(MindAppendTest, RefusalsAndCancelsLeaveTheFileAsItWas) {
    const std::string letter = path("letter.mdd");
    put(letter, "Dear Ann,\r\nhow are you?\r\n");
    EXPECT_THROW(appendToMind(letter, NewMindStart::Template, lines(kNewLines)), Error);
    EXPECT_EQ(read(letter), "Dear Ann,\r\nhow are you?\r\n");

    const std::string mind = path("mind.mdd");
    put(mind, templateMindText());
    EXPECT_THROW(appendToMind(mind, NewMindStart::Template,
                              [](const ExistingMind&, const ByteSink& sink) {
                                  sink("half a line");
                                  throw AppendCancelled{};
                              }),
                 AppendCancelled);
    EXPECT_EQ(read(mind), templateMindText());
    // No temporary file is left behind.
    EXPECT_EQ(entries(), (QStringList{"letter.mdd", "mind.mdd"}));
}

TEST(MindAppend, EmptyMindsAreNamedAfterTheirFile) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {{"/x/Robo.mdd", "Robo"},
                 {"/x/my.bot.mdd", "my.bot"},
                 {"/x/\"Q\".mdd", "Q"},
                 {"/x/.mdd", "Vebix"},
                 {"/x/plain", "plain"}};
    for (const auto& c : cases) EXPECT_EQ(botNameForPath(c.path), c.name) << c.path;
}

// Runs vebix learn in process; the exit status, and what it wrote to standard output and error.
struct Learned {
    int status;
    std::string out, err;
};
Learned learn(QStringList args) {
    std::istringstream in;
    std::ostringstream out, err;
    Console console{in, out, err};
    const int status = cli::runLearnCommand(args, console);
    return {status, out.str(), err.str()};
}

// The command reads the time from the program's clock: the import ends at its "now", and a
// second import in the same second (asked to learn the same again) still gets keys of its own.
TEST_F(MindAppendTest, CommandStampsLinesFromTheClock) {
    FakeClock fake(1700000000);
    ScopedClock scoped(fake);
    const std::string mind = path("m.mdd");
    const std::string input = path("talk.txt");
    put(input, "hi\nhello\n");
    std::set<std::string> keys;
    for (int run = 0; run < 2; ++run) {
        std::istringstream in;
        std::ostringstream out, err;
        Console console{in, out, err};
        QStringList args{QString::fromStdString(mind), QString::fromStdString(input),
                         QStringLiteral("--bot"), QStringLiteral("$B"), QStringLiteral("--empty")};
        if (run == 1) args << QStringLiteral("--again");
        ASSERT_EQ(cli::runLearnCommand(args, console), 0) << err.str();
        EXPECT_EQ(err.str(), "");
        EXPECT_EQ(out.str(), "Learned 2 lines in 1 conversation (plain text) into " + mind +
                                 (run == 0 ? " (a new mind)\n" : "\n"));
    }
    VebixAi loaded;
    loaded.loadFile(mind);
    ASSERT_EQ(loaded.lines().size(), 4u);
    std::vector<std::string> seen;
    for (std::string_view line : loaded.lines()) {
        const MindLine m = parseLine(line, AiSuffix::Keep);
        keys.emplace(m.key);
        seen.push_back(std::string(m.key) + " " + std::string(m.time) + " " +
                       std::string(m.speaker) + " " + std::string(m.text));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"learn-1700000000-1 1699999999 $a hi",
                                              "learn-1700000000-1 1700000000 <ai> hello",
                                              "learn-1700000001-1 1699999999 $a hi",
                                              "learn-1700000001-1 1700000000 <ai> hello"}));
    EXPECT_EQ(keys.size(), 2u);
}

// Learning a file again teaches only what the mind did not learn from it before: a repeat adds
// nothing, a log that grew adds its new lines, --again adds it all; what another learn put
// there or a chat said does not count, nor does a learned conversation that only starts alike.
TEST_F(MindAppendTest, LearningAgainLeavesOutWhatWasLearnedBefore) {
    FakeClock fake(1700000000);
    ScopedClock scoped(fake);
    const std::string first = "hi\nhello\n\nhow are you\nfine\n";
    struct Case {
        const char* what;
        std::string mindAfterFirst;  // lines put into the mind after the first learn
        std::string second;          // the input learned the second time
        bool again;
        std::string said;                // the summary's start
        std::vector<std::string> added;  // "n speaker text" of the lines the second learn added
    };
    const Case cases[] = {
        {"the same file",
         "",
         first,
         false,
         "Learned nothing new into M; skipped 4 lines (4 learned before (--again learns them))",
         {}},
        {"the same file, --again",
         "",
         first,
         true,
         "Learned 4 lines in 2 conversations",
         {"1 $a hi", "1 <ai> hello", "2 $a how are you", "2 <ai> fine"}},
        {"a grown log",
         "",
         first + "good\n\nbye\n",
         false,
         "Learned 2 lines in 2 conversations (plain text) into M; skipped 4 lines",
         {"1 $a good", "2 $a bye"}},
        {"a conversation that only starts alike",
         "",
         "hi\nhowdy\n",
         false,
         "Learned 2 lines in 1 conversation",
         {"1 $a hi", "1 <ai> howdy"}},
        {"a conversation learned in part",
         "",
         "hi\n",
         false,
         "Learned 1 line in 1 conversation",
         {"1 $a hi"}},
        {"the same lines said in a chat, not learned",
         "Ann 5 $a what now\r\nAnn 6 <ai> lunch\r\n",
         "what now\nlunch\n",
         false,
         "Learned 2 lines in 1 conversation",
         {"1 $a what now", "1 <ai> lunch"}},
        {"a key in other letter case",
         "LEARN-9-1 5 $a well\r\nLEARN-9-1 6 <ai> good\r\n",
         "well\ngood\n",
         false,
         "Learned nothing new",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string mind = path("again.mdd");
        QFile::remove(QString::fromStdString(mind));
        const std::string input = path("talk.txt");
        put(input, first);
        const QStringList base{QString::fromStdString(mind), QString::fromStdString(input),
                               QStringLiteral("--bot"), QStringLiteral("$B"),
                               QStringLiteral("--empty")};
        ASSERT_EQ(learn(base).status, 0);
        put(mind, read(mind) + c.mindAfterFirst);
        const std::string before = read(mind);

        put(input, c.second);
        QStringList args = base;
        if (c.again) args << QStringLiteral("--again");
        const Learned r = learn(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::string said = r.out;
        said.replace(said.find(mind), mind.size(), "M");
        EXPECT_EQ(said.rfind(c.said, 0), 0u) << said;
        ASSERT_EQ(read(mind).rfind(before, 0), 0u) << "the old bytes stay";
        std::vector<std::string> added;
        forEachLine(std::string_view(read(mind)).substr(before.size()), [&](std::string_view l) {
            const MindLine m = parseLine(l, AiSuffix::Keep);
            EXPECT_EQ(m.key.rfind("learn-1700000001-", 0), 0u) << m.key;
            added.push_back(std::string(m.key.substr(m.key.rfind('-') + 1)) + " " +
                            std::string(m.speaker) + " " + std::string(m.text));
        });
        EXPECT_EQ(added, c.added);
    }
}

}  // namespace
}  // namespace vebix
