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

MindLinesProducer lines(std::string_view text, std::string* seen = nullptr) {
    return [text, seen](std::string_view existing, const ByteSink& sink) {
        if (seen) *seen = existing;
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
    EXPECT_EQ(seen, old);
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
                              [](std::string_view, const ByteSink& sink) {
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

// The command reads the time from the program's clock: the import ends at its "now", and a
// second import in the same second still gets keys of its own.
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
        const QStringList args{QString::fromStdString(mind), QString::fromStdString(input),
                               QStringLiteral("--bot"), QStringLiteral("$B"),
                               QStringLiteral("--empty")};
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

}  // namespace
}  // namespace vebix
