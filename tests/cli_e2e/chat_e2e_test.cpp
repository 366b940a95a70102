// `vebix chat` as a person at a terminal uses it (through a pseudo-terminal) and as a script
// pipes into it: the greeting, line editing, saving at the end however the chat ends, colour
// only where allowed, and a rescue file when the mind cannot be saved.
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/platform/settings.h"
#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

constexpr std::string_view kColourEscape = "\x1b[1;3";  // the palette's name colours

// The lines after start in a mind file (a whole write begins with a byte-order mark).
std::vector<std::string> linesAfter(std::string bytes, const std::string& start) {
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    std::vector<std::string> lines;
    if (bytes.compare(0, start.size(), start) != 0) {
        ADD_FAILURE() << "the mind no longer starts as it did:\n" << bytes;
        return lines;
    }
    std::size_t at = start.size();
    for (std::size_t end; (end = bytes.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(bytes.substr(at, end - at));
    return lines;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class ChatE2E : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.valid()); }
    std::vector<std::string> terminalEnv(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> env{"TERM=xterm"};
        env.insert(env.end(), extra.begin(), extra.end());
        return home_.environment(env);
    }
    std::string settingsFile() const { return home_.home() + "/.config/Vebix.conf"; }
    ScratchHome home_;
};

TEST_F(ChatE2E, NewMindLearnsAnEditedLineAndCtrlDSaves) {
    PtySession chat({"chat"}, terminalEnv(), home_.work());
    // The default mind, new: its path is shown, then the name is asked for.
    ASSERT_TRUE(chat.waitFor("Documents/Vebix.mdd"));
    ASSERT_TRUE(chat.waitFor("name"));
    chat.type("Ann\r");
    ASSERT_TRUE(chat.waitFor("Hi, Ann..."));
    ASSERT_TRUE(chat.waitFor("<Ann>"));
    // "helo", the cursor one to the left, "l": the line said is "hello".
    chat.type("helo\x1b[Dl\r");
    ASSERT_TRUE(chat.waitFor("<Ann>"));
    chat.type("\x04");
    EXPECT_EQ(chat.waitExit(), 0) << chat.screen();

    const std::string mind = home_.documents() + "/Vebix.mdd";
    const std::string bytes = home_.read(mind);
    const auto said = bytes.find(" hello\r\n");
    ASSERT_NE(said, std::string::npos) << bytes;
    const std::string rest = bytes.substr(bytes.rfind("\r\n", said) + 2);
    EXPECT_EQ(rest.rfind("Ann!", 0), 0u) << rest;
    // The reply follows the line, learned too.
    const auto replyAt = rest.find("\r\n") + 2;
    EXPECT_NE(rest.find(" <ai> ", replyAt), std::string::npos) << rest;

    Settings settings(QString::fromStdString(settingsFile()));
    EXPECT_EQ(settings.findString(Settings::Key::LastUserName).value_or(""), "Ann");
    EXPECT_EQ(settings.findString(Settings::Key::LastMindFile).value_or(""), mind);
    EXPECT_NE(home_.read(home_.home() + "/.local/state/vebix/history").find("hello"),
              std::string::npos);
    EXPECT_NE(chat.screen().find(kColourEscape), std::string::npos) << chat.screen();
}

TEST_F(ChatE2E, CtrlCAndCtrlDSaveAndColourFollowsNoColor) {
    struct Case {
        const char* name;
        const char* key;
        std::vector<std::string> env;
        bool colour;
    };
    const std::vector<Case> cases = {
        {"Ctrl-C", "\x03", {}, true},
        {"Ctrl-D, NO_COLOR", "\x04", {"NO_COLOR=1"}, false},
        {"Ctrl-C, NO_COLOR", "\x03", {"NO_COLOR=1"}, false},
        {"/quit", "/quit\r", {}, true},
    };
    for (const Case& c : cases) {
        const std::string mind = home_.write("mind.mdd", kSmallMind);
        PtySession chat({"chat", mind, "--name", "Bob"}, terminalEnv(c.env), home_.work());
        ASSERT_TRUE(chat.waitFor("Hi, Bob...")) << c.name;
        ASSERT_TRUE(chat.waitFor("<Bob>")) << c.name;
        chat.type("How are you today?\r");
        ASSERT_TRUE(chat.waitFor("<Mo>")) << c.name;
        ASSERT_TRUE(chat.waitFor("<Bob>")) << c.name;
        chat.type(c.key);
        // Ctrl-C saves, then ends as interrupted.
        EXPECT_EQ(chat.waitExit(), std::string(c.key) == "\x03" ? 130 : 0)
            << c.name << chat.screen();

        const std::vector<std::string> added = linesAfter(home_.read(mind), kSmallMind);
        // The opening line, when the mind opened, comes before the exchange.
        ASSERT_GE(added.size(), 2u) << c.name;
        EXPECT_TRUE(endsWith(added[added.size() - 2], " How are you today?")) << c.name;
        EXPECT_NE(added.back().find(" <ai> "), std::string::npos) << c.name;
        EXPECT_EQ(chat.screen().find(kColourEscape) != std::string::npos, c.colour)
            << c.name << chat.screen();
    }
}

// What is typed reaches the mind as typed: a line far longer than any buffer, bytes that are
// not UTF-8, a line found with Ctrl-R and sent with Enter, a Ctrl-D typed while the reply is
// still held, and the chat's own commands.
TEST_F(ChatE2E, TypedLinesArriveWhole) {
    const std::string longLine = [] {
        std::string line;
        // Past a megabyte: taken in blocks, not key by key, or it would not end in time.
        for (int i = 0; line.size() < 1024 * 1024 + 1; ++i)
            line += "word" + std::to_string(i) + " ";
        line.pop_back();
        return line;
    }();
    struct Case {
        const char* name;
        // Keys, each followed by the prompt that must show before the next are typed.
        std::vector<std::pair<std::string, std::string>> typed;
        const char* end;  // typed last, without waiting
        std::vector<std::string> learned;
        std::vector<std::string> notLearned;
        std::string twice = {};  // what two of the person's lines end with
    };
    const std::vector<Case> cases = {
        {"a long paste", {{longLine + "\r", "<Bob> "}}, "\x04", {" " + longLine}, {}},
        {"Latin-1", {{"caf\xe9 ol\xe9\r", "<Bob> "}}, "\x04", {" caf\xe9 ol\xe9"}, {}},
        {"Ctrl-R, Enter",
         {{"Hello sailor\r", "<Bob> "}, {"\x12sailo\r", "<Bob> "}},
         "\x04",
         {},
         {},
         " Hello sailor"},
        {"Ctrl-D typed ahead", {}, "How are you today?\r\x04", {" How are you today?"}, {}},
        {"commands",
         {{"/name Zed\r", "<Zed> "},
          {"//slash\r", "<Zed> "},
          {"/help\r", "<Zed> "},
          {"/save\r", "<Zed> "}},
         "/discard\r",
         {"Zed!", " /slash"},
         {"/help", "/save", "/name"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string mind = home_.write("mind.mdd", kSmallMind);
        PtySession chat({"chat", mind, "--name", "Bob", "--delay"}, terminalEnv({"NO_COLOR=1"}),
                        home_.work());
        ASSERT_TRUE(chat.waitFor("Hi, Bob..."));
        ASSERT_TRUE(chat.waitFor("<Bob>"));
        for (const auto& [keys, prompt] : c.typed) {
            chat.type(keys);
            ASSERT_TRUE(chat.waitFor(prompt));
        }
        chat.type(c.end);
        ASSERT_EQ(chat.waitExit(), 0) << chat.screen().substr(0, 2000);
        const std::string saved = home_.read(mind);
        const std::string added = saved.substr(std::min(saved.size(), kSmallMind.size()));
        for (const std::string& part : c.learned)
            EXPECT_NE(added.find(part + (part.back() == '!' ? "" : "\r\n")), std::string::npos)
                << part.substr(0, 80) << "\n"
                << added.substr(0, 2000);
        for (const std::string& part : c.notLearned)
            EXPECT_EQ(added.find(part), std::string::npos) << part;
        if (!c.twice.empty()) {
            int said = 0;
            for (const std::string& line : linesAfter(saved, kSmallMind))
                if (line.rfind("Bob!", 0) == 0 && endsWith(line, c.twice)) ++said;
            EXPECT_EQ(said, 2) << added;
        }
    }
}

TEST_F(ChatE2E, AFailedSaveAsksAndKeepsTheLines) {
    // The mind's place taken by a folder once the chat runs: no write can go there, whoever
    // the test runs as.
    struct Case {
        const char* name;
        std::string answers;  // typed after the question
        int status;
        bool rescued;  // the lines went to a rescue file, not to a file the person chose
    };
    const std::string chosen = home_.path("minds/chosen.mdd");
    const std::vector<Case> cases = {
        {"nobody answers", "\x04", 1, true},
        {"an unknown answer, then end of input", "x\r\x04", 1, true},
        {"save as", "a\r" + chosen + "\r", 0, false},
    };
    for (const Case& c : cases) {
        QDir(QString::fromStdString(home_.path("minds"))).removeRecursively();
        QDir().mkpath(QString::fromStdString(home_.path("minds")));
        const std::string mind = home_.write("minds/mind.mdd", kSmallMind);
        PtySession chat({"chat", mind, "--name", "Ann"}, terminalEnv(), home_.work());
        ASSERT_TRUE(chat.waitFor("<Ann>")) << c.name;
        chat.type("Hi.\r");
        ASSERT_TRUE(chat.waitFor("<Mo>")) << c.name;
        ASSERT_TRUE(chat.waitFor("<Ann>")) << c.name;
        ASSERT_TRUE(QDir().rename(QString::fromStdString(mind),
                                  QString::fromStdString(home_.path("minds/moved.mdd"))));
        ASSERT_TRUE(QDir().mkdir(QString::fromStdString(mind)));
        chat.type("\x04");
        ASSERT_TRUE(chat.waitFor("could not be saved")) << c.name;
        ASSERT_TRUE(chat.waitFor("[t/a/d]")) << c.name;
        chat.type(c.answers);
        EXPECT_EQ(chat.waitExit(), c.status) << c.name << chat.screen();

        const QStringList rescues = QDir(QString::fromStdString(home_.path("minds")))
                                        .entryList({QStringLiteral("mind.rescued-*.mdd")});
        ASSERT_EQ(rescues.size(), c.rescued ? 1 : 0) << c.name << chat.screen();
        const std::string kept =
            c.rescued ? home_.path("minds/" + rescues.first().toStdString()) : chosen;
        if (c.rescued) {
            EXPECT_NE(chat.screen().find(kept), std::string::npos) << c.name << chat.screen();
        }
        const std::vector<std::string> added = linesAfter(home_.read(kept), kSmallMind);
        ASSERT_GE(added.size(), 2u) << c.name;
        EXPECT_TRUE(endsWith(added[added.size() - 2], " Hi.")) << c.name;
        if (!c.rescued) {
            Settings settings(QString::fromStdString(settingsFile()));
            EXPECT_EQ(settings.findString(Settings::Key::LastMindFile).value_or(""), chosen);
        }
    }
}

TEST_F(ChatE2E, PipedLinesAreSaidWithNoEscapes) {
    const std::string mind = home_.write("mind.mdd", kSmallMind);
    {
        // With no terminal to ask, the name used last.
        Settings settings(QString::fromStdString(settingsFile()));
        settings.setString(Settings::Key::LastUserName, "Zed");
    }
    const RunResult r =
        run({"chat", mind}, terminalEnv(), home_.work(), "Hi.\nHow are you today?\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Hi, Zed...\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("<Zed> Hi.\n<Mo> "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("<Zed> How are you today?\n<Mo> "), std::string::npos) << r.out;
    const std::vector<std::string> added = linesAfter(home_.read(mind), kSmallMind);
    ASSERT_GE(added.size(), 4u);
    EXPECT_TRUE(endsWith(added[added.size() - 4], " Hi."));
    EXPECT_TRUE(endsWith(added[added.size() - 2], " How are you today?"));
}

TEST_F(ChatE2E, ANamedMindThatIsMissingIsAnError) {
    const RunResult r = run({"chat", home_.path("nowhere.mdd")}, terminalEnv(), home_.work());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("vebix chat: ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("nowhere.mdd"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home_.path("nowhere.mdd"))));
}

}  // namespace
}  // namespace vebix::e2e
