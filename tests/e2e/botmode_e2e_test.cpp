// Bot mode end to end: the built program answers a CHAT.MSG in a temporary folder, with its own
// HOME and XDG_CONFIG_HOME and no display.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "scratchfolder.h"

#include <string>
#include <vector>

#include "app/mind/mindkeeper.h"
#include "app/mind/startup.h"
#include "app/platform/settings.h"
#include "app/mind/vebixai.h"

namespace vebix {
namespace {

const std::string kBom = "\xEF\xBB\xBF";
const std::string kMind =
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n"
    "$ 1001 $a Hi.\r\n$ 1002 $b Hello there, nice to meet you.\r\n"
    "$ 1003 $a How are you today?\r\n$ 1004 $b I am fine, thanks.\r\n"
    "$ 2001 $a What is your name?\r\n$ 2002 $b My name is Mo.\r\n";
constexpr int kMindLines = 6;

struct RunResult {
    int exitCode = -1;
    bool normalExit = false;
    std::string err;
};

class BotModeE2E : public e2e::ScratchFolderTest {
protected:
    std::string spath(const QString& name) const { return path(name).toStdString(); }

    void request(const std::string& bytes) { write(path("work/CHAT.MSG"), bytes); }
    std::string reply() const { return read(path("work/CHAT.MSG")); }
    void info(const std::string& keyLines) {
        write(path("work/UDLPX.NFO"), "2\r\n0\r\nvebix\r\nMo\r\n" + keyLines);
    }
    void infoWithMind(const std::string& extra) {
        info("mind=" + spath("mind.mdd") + "\r\n" + extra);
    }

    RunResult run(const QStringList& args = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/.config"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(path("work"));
        p.start(QString::fromUtf8(VEBIX_EXE), args);
        RunResult r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
            ADD_FAILURE() << "vebix did not end";
            return r;
        }
        r.normalExit = p.exitStatus() == QProcess::NormalExit;
        r.exitCode = p.exitCode();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }

    std::vector<std::string> mindLines(const QString& file) {
        VebixAi ai;
        ai.loadFile(file.toStdString());
        return {ai.lines().begin(), ai.lines().end()};
    }

    // Expects a successful run with a one-line reply; returns the reply without its line end.
    std::string expectAnswered(const RunResult& r) {
        EXPECT_TRUE(r.normalExit);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        std::string bytes = reply();
        EXPECT_GE(bytes.size(), 3u) << bytes;
        if (bytes.size() < 2) return {};
        EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
        bytes.resize(bytes.size() - 2);
        EXPECT_EQ(bytes.find_first_of("\r\n"), std::string::npos) << bytes;
        return bytes;
    }

    void expectFailed(const RunResult& r, const std::string& message) {
        EXPECT_TRUE(r.normalExit);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
        EXPECT_FALSE(QFileInfo(path("work/CHAT.MSG")).isFile());
    }
};

TEST_F(BotModeE2E, TemplateMindAnswersWhenThereIsNoInfoAndNoMind) {
    request("Bob\r\nhello\r\n");
    std::string text = expectAnswered(run());
    EXPECT_FALSE(text.empty());
    // Learn is off without UDLPX.NFO: the default mind file is not created.
    EXPECT_FALSE(QFileInfo::exists(path("home/Documents/Vebix.mdd")));
}

// The set-up Enable UDLP makes: the mind is open in a window (a keeper holding it open here)
// while bot mode answers for it; bot mode neither asks nor waits, and appends its exchange.
TEST_F(BotModeE2E, AnswersAndLearnsForAMindAnotherKeeperHoldsOpen) {
    write(path("mind.mdd"), kMind);
    MindKeeper window;
    ASSERT_EQ(window.loadMind(spath("mind.mdd")), MindKeeper::Loaded::Existing);
    infoWithMind("learn=true\r\n");
    request("Bob\r\nHi.\r\n");
    expectAnswered(run());
    EXPECT_EQ(mindLines(path("mind.mdd")).size(), kMindLines + 2u);
}

TEST_F(BotModeE2E, LastUsedMindIsTheDefault) {
    write(path("mind.mdd"), kMind);
    {
        Settings s(path("home/.config/Vebix.conf"));
        s.setString(Settings::Key::LastMindFile, spath("mind.mdd"));
    }
    info("learn=true\r\n");
    request("Bob\r\nHi.\r\n");
    expectAnswered(run());
    EXPECT_EQ(mindLines(path("mind.mdd")).size(), kMindLines + 2u);
}

TEST_F(BotModeE2E, AllLineEndsReadTheSame) {
    for (const std::string& end : {std::string("\r\n"), std::string("\n"), std::string("\r")}) {
        write(path("mind.mdd"), kMind);
        infoWithMind("learn=1\r\n");
        request("Bob" + end + "How are you today?" + end + "ignored" + end);
        expectAnswered(run());
        std::vector<std::string> lines = mindLines(path("mind.mdd"));
        ASSERT_EQ(lines.size(), kMindLines + 2u);
        const std::string& heard = lines[kMindLines];
        EXPECT_EQ(heard.substr(0, 8), "Bob!Bob ");
        EXPECT_EQ(heard.substr(heard.size() - 27), " Bob!Bob How are you today?");
    }
}

TEST_F(BotModeE2E, RequestsWithoutSenderAndMessageFail) {
    for (const std::string& bytes :
         {std::string("Bob\r\n"), std::string("Bob"), std::string("Bob\r\n\r\nhello\r\n"),
          std::string("\r\nhello\r\n"), std::string("")}) {
        request(bytes);
        expectFailed(run(), "CHAT.MSG does not contain appropriate information");
    }
}

TEST_F(BotModeE2E, ProbeIsAnsweredAndNothingIsLearned) {
    write(path("mind.mdd"), kMind);
    infoWithMind("learn=true\r\n");
    request("Other Bot\r\n!#@\r\n");
    EXPECT_EQ(expectAnswered(run()), "<mxo1.7.5>");
    EXPECT_EQ(read(path("mind.mdd")), kMind);

    request("Other Bot\r\n!#@ \r\n");  // an ordinary message
    EXPECT_NE(expectAnswered(run()), "<mxo1.7.5>");
    EXPECT_EQ(mindLines(path("mind.mdd")).size(), kMindLines + 2u);
}

TEST_F(BotModeE2E, LearnOffLeavesTheMindAlone) {
    write(path("mind.mdd"), kMind);
    infoWithMind("learn=false\r\n");
    request("Bob\r\nHi.\r\n");
    expectAnswered(run());
    EXPECT_EQ(read(path("mind.mdd")), kMind);
}

TEST_F(BotModeE2E, LearnOnAddsTwoLinesWithOneStamp) {
    write(path("mind.mdd"), kMind);
    infoWithMind("learn=yes\r\n");
    request("Bob\r\nWhat is your name?\r\n");
    const std::string answer = expectAnswered(run());
    const std::string bytes = read(path("mind.mdd"));
    ASSERT_EQ(bytes.substr(0, kMind.size()), kMind);  // appended, header once
    std::vector<std::string> lines = mindLines(path("mind.mdd"));
    ASSERT_EQ(lines.size(), kMindLines + 2u);
    const std::string heard = lines[kMindLines], said = lines[kMindLines + 1];
    const std::string stamp = heard.substr(8, heard.find(' ', 8) - 8);
    EXPECT_FALSE(stamp.empty());
    EXPECT_EQ(stamp.find_first_not_of("0123456789"), std::string::npos);
    EXPECT_EQ(heard, "Bob!Bob " + stamp + " Bob!Bob What is your name?");
    EXPECT_EQ(said, "Bob!Bob " + stamp + " <ai> " + answer);
}

// NUL bytes in the message are learned as blanks: the mind reloads with the whole message as one
// line (on loading a NUL would end the line), followed by the reply.
TEST_F(BotModeE2E, NulBytesInTheMessageAreLearnedAsBlanks) {
    using namespace std::string_literals;
    write(path("mind.mdd"), kMind);
    infoWithMind("learn=true\r\n");
    request("Bob\r\nWhat is\0your\0\0name?\0\r\n"s);
    const std::string answer = expectAnswered(run());
    EXPECT_EQ(read(path("mind.mdd")).find('\0'), std::string::npos);
    std::vector<std::string> lines = mindLines(path("mind.mdd"));
    ASSERT_EQ(lines.size(), kMindLines + 2u);
    const std::string heard = lines[kMindLines], said = lines[kMindLines + 1];
    const std::string stamp = heard.substr(8, heard.find(' ', 8) - 8);
    EXPECT_EQ(heard, "Bob!Bob " + stamp + " Bob!Bob What is your  name? ");
    EXPECT_EQ(said, "Bob!Bob " + stamp + " <ai> " + answer);
}

TEST_F(BotModeE2E, EmptyMindAnswersIDontKnow) {
    write(path("mind.mdd"), "1.2 1.2 \"Empty\"\r\n\r\n");
    infoWithMind("learn=true\r\n");
    request("Bob\r\nhello\r\n");
    EXPECT_EQ(expectAnswered(run()), "I don't know.....");
    std::vector<std::string> lines = mindLines(path("mind.mdd"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].substr(lines[1].size() - 25), " <ai> I don't know.....#-");
}

TEST_F(BotModeE2E, VersionOneTwoWithoutEmptyLineIsAnEmptyMind) {
    write(path("mind.mdd"), "1.2 1.2 \"NoBody\"\r\n$ 1001 $a Hi.\r\n$ 1002 $b Hello.\r\n");
    infoWithMind("");
    request("Bob\r\nHi.\r\n");
    EXPECT_EQ(expectAnswered(run()), "I don't know.....");
}

TEST_F(BotModeE2E, OldMindFileIsAnsweredFromAndAppendedTo) {
    const std::string old = "1.1 1.1 Oldie\r\n$ 1001 $a Hi.\r\n$ 1002 $b Hello there.\r\n";
    write(path("mind.mdd"), old);
    infoWithMind("learn=true\r\n");
    request("Bob\r\nHi.\r\n");
    expectAnswered(run());
    EXPECT_EQ(read(path("mind.mdd")).substr(0, old.size()), old);
    VebixAi back;
    back.loadFile(spath("mind.mdd"));
    EXPECT_EQ(back.botName(), "Oldie");
    EXPECT_EQ(back.lines().size(), 4u);
}

TEST_F(BotModeE2E, LastLineWithoutLineEndIsKept) {
    std::string unended = kMind.substr(0, kMind.size() - 2);
    write(path("mind.mdd"), unended);
    infoWithMind("learn=true\r\n");
    request("Bob\r\nHi.\r\n");
    expectAnswered(run());
    std::vector<std::string> lines = mindLines(path("mind.mdd"));
    ASSERT_EQ(lines.size(), kMindLines + 2u);
    EXPECT_EQ(lines[kMindLines - 1], "$ 2002 $b My name is Mo.");
    EXPECT_EQ(lines[kMindLines].substr(0, 8), "Bob!Bob ");
}

TEST_F(BotModeE2E, LineWithBadTimeDoesNotStopTheBot) {
    write(path("mind.mdd"), kMind +
                                "$ notatime $a Hi there friend.\r\n$ 3001 $a Hi.\r\n"
                                "$ 3002 $b Hello, how is it going?\r\n");
    infoWithMind("learn=true\r\n");
    request("Bob\r\nHi.\r\n");
    EXPECT_FALSE(expectAnswered(run()).empty());
    EXPECT_EQ(mindLines(path("mind.mdd"))[kMindLines], "$ notatime $a Hi there friend.");
}

TEST_F(BotModeE2E, ShowErrorsOffEndsQuietly) {
    info("mind=" + spath("no-such.mdd") + "\r\nshowerrors=false\r\n");
    request("Bob\r\nhello\r\n");
    expectFailed(run(), "Mind file not found:\r\n" + spath("no-such.mdd"));
}

TEST_F(BotModeE2E, TwoMindFilesSupplied) {
    write(path("mind.mdd"), kMind);
    infoWithMind("");
    request("Bob\r\nhello\r\n");
    expectFailed(run({path("mind.mdd")}), "Two mind files supplied; must have one");
}

TEST_F(BotModeE2E, NamedMindThatDoesNotExist) {
    request("Bob\r\nhello\r\n");
    expectFailed(run({"missing.mdd", "extra", "args"}),
                 "Mind file not found:\r\n" + spath("work/missing.mdd"));
}

TEST_F(BotModeE2E, NamedMindIsUsed) {
    write(path("mind.mdd"), kMind);
    info("learn=true\r\n");
    request("Bob\r\nHi.\r\n");
    expectAnswered(run({path("mind.mdd")}));
    EXPECT_EQ(mindLines(path("mind.mdd")).size(), kMindLines + 2u);
}

TEST_F(BotModeE2E, FolderNamedChatMsgSelectsBotMode) {
    ASSERT_TRUE(QDir(path("work")).mkdir("CHAT.MSG"));
    RunResult r = run();
    EXPECT_TRUE(r.normalExit);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("CHAT.MSG does not contain appropriate information"), std::string::npos)
        << r.err;
}

TEST_F(BotModeE2E, TwoHundredExchangesInARow) {
    write(path("mind.mdd"), kMind);
    infoWithMind("learn=true\r\n");
    const char* messages[] = {"Hi.", "How are you today?", "What is your name?", "ok", "bye!"};
    for (int i = 0; i < 200; ++i) {
        request("Bot" + std::to_string(i % 3) + "\r\n" + messages[i % 5] + "\r\n");
        RunResult r = run();
        ASSERT_EQ(r.exitCode, 0) << "exchange " << i << ": " << r.err;
    }
    VebixAi back;
    back.loadFile(spath("mind.mdd"));
    EXPECT_EQ(back.botName(), "Mo");
    EXPECT_EQ(back.headerLines(), std::vector<std::string>{"app=Vebix"});
    EXPECT_EQ(back.lines().size(), kMindLines + 400u);
    for (std::size_t i = kMindLines; i < back.lines().size(); i += 2)
        EXPECT_EQ(back.lines()[i].substr(0, 3), "Bot") << i;
}

}  // namespace
}  // namespace vebix
