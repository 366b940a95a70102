// Other bots' output is shown, not obeyed, and never costs more than a bound: escape sequences
// in a linked bot's reply (and in what the mind learned from it) reach a terminal escaped; a
// reply, a request or a bot name of hundreds of megabytes is read only as far as its bound;
// the settings never take such a name whole. reply --learn keeps its lines in a rescue file as
// chat does when the mind cannot be saved.
#include <sys/stat.h>
#include <unistd.h>
#include <sys/wait.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mind/vebixai.h"
#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

class HostileBots : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.valid());
        mind_ = home_.write("work/mind.mdd", kSmallMind);
        QDir().mkpath(QString::fromStdString(home_.path("bot")));
        home_.write("bot/UDLP.NFO", "2\r\n0\r\nbot.sh\r\nOther\r\n");
    }
    void scriptedBot(const std::string& body) {
        const std::string script = home_.write("bot/bot.sh", "#!/bin/sh\n" + body + "\n");
        ::chmod(script.c_str(), 0755);
    }
    std::vector<std::string> terminalEnv() const { return home_.environment({"TERM=xterm"}); }

    ScratchHome home_;
    std::string mind_;
};

// The escapes a hostile bot sends: set the window title, clear the screen, a C1 CSI.
const std::string kHostile =
    "\x1b]0;pwned\x07\x1b[2J\xC2\x9B"
    "31mhello there";
const std::string kShown = "\\x1b]0;pwned\\x07\\x1b[2J\\u009b31mhello there";

TEST_F(HostileBots, EscapesFromABotReachATerminalEscapedInLinkChatAndReply) {
    scriptedBot("printf '" + std::string("\\033]0;pwned\\007\\033[2J\\302\\23331mhello there") +
                "\\r\\n' > CHAT.MSG");
    {
        PtySession link(
            {"link", "../bot", "--mind", "mind.mdd", "--turns", "1", "--no-delay", "--learn"},
            terminalEnv(), home_.work());
        ASSERT_TRUE(link.waitFor("Link Mode ended"));
        EXPECT_EQ(link.waitExit(), 0) << link.screen();
        EXPECT_NE(link.screen().find(kShown), std::string::npos) << link.screen();
        EXPECT_EQ(link.screen().find("\x1b]0;"), std::string::npos) << link.screen();
        EXPECT_EQ(link.screen().find("\x1b[2J"), std::string::npos) << link.screen();
    }
    // The line was learned byte for byte...
    ASSERT_NE(home_.read(mind_).find(kHostile), std::string::npos) << home_.read(mind_);
    // ...so the mind may say it, in a chat or a reply: shown escaped there too.
    std::string said = "1.2 1.2 \"Mo\"\r\n\r\n";
    for (int i = 1; i <= 5; ++i)
        said += "$ " + std::to_string(i) + "001 $a hello there\r\n$ " + std::to_string(i) +
                "002 $b " + kHostile + "\r\n";
    home_.write("work/said.mdd", said);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"reply", "said.mdd", "hello", "there"},
          std::vector<std::string>{"chat", "said.mdd", "--name", "Ann"}}) {
        SCOPED_TRACE(args.front());
        PtySession session(args, terminalEnv(), home_.work());
        if (args.front() == "chat") {
            ASSERT_TRUE(session.waitFor("<Ann>"));
            session.type("hello there\r");
            ASSERT_TRUE(session.waitFor("<Mo>"));
            // Ctrl-D once the next line is asked for: typed earlier, the terminal could take it
            // before the line editor reads again.
            ASSERT_TRUE(session.waitFor("<Ann>"));
            session.type("\x04");
        }
        session.waitExit();
        EXPECT_EQ(session.screen().find("\x1b]0;"), std::string::npos) << session.screen();
        EXPECT_EQ(session.screen().find("\x1b[2J"), std::string::npos) << session.screen();
        EXPECT_NE(session.screen().find(kShown), std::string::npos) << session.screen();
    }
    // Through a pipe a script gets the bytes as they are.
    const RunResult piped =
        run({"reply", "said.mdd", "hello", "there"}, home_.environment(), home_.work());
    EXPECT_EQ(piped.out, kHostile + "\n");
}

// A reply, a request and a bot name of hundreds of megabytes (files that are mostly holes,
// so that the test costs no disk) are read no further than their bounds: the memory a run
// holds stays near that of a run on small files, and the settings take no such name whole.
TEST_F(HostileBots, HugeRepliesRequestsAndNamesCostTheirBoundsOnly) {
    scriptedBot("printf 'fine\\r\\n' > CHAT.MSG");
    const std::vector<std::string> link{"link",    "../bot", "--mind",    "mind.mdd",
                                        "--turns", "1",      "--no-delay"};
    const RunResult first = run(link, home_.environment(), home_.work());
    ASSERT_EQ(first.status, 0) << first.err;
    const long small = first.maxRssKiB;

    // A one-line reply of 500 MB: its first MiB is the answer, said to be cut.
    scriptedBot("rm -f CHAT.MSG; truncate -s 500M CHAT.MSG");
    const RunResult reply = run(link, home_.environment(), home_.work());
    EXPECT_EQ(reply.status, 0) << reply.err;
    EXPECT_NE(reply.err.find("cut"), std::string::npos) << reply.err.substr(0, 300);
    EXPECT_LT(reply.maxRssKiB - small, 64 * 1024) << "KiB more than a small reply";

    // A request of 8 GB in bot mode, and a bot name of 100 MB remembered by link.
    QDir().mkpath(QString::fromStdString(home_.path("botmode")));
    home_.write("botmode/UDLPX.NFO",
                "2\r\n0\r\nvebix\r\nMo\r\nmind=" + mind_ + "\r\nlearn=true\r\n");
    home_.write("botmode/CHAT.MSG", "");
    ASSERT_EQ(::truncate(home_.path("botmode/CHAT.MSG").c_str(), 8LL << 30), 0);
    const RunResult request = run({}, home_.environment(), home_.path("botmode"));
    EXPECT_EQ(request.status, 1);
    EXPECT_NE(request.err.find("CHAT.MSG does not contain appropriate information"),
              std::string::npos);
    EXPECT_LT(request.maxRssKiB - small, 64 * 1024) << "KiB more than a small request";
    EXPECT_EQ(home_.read(mind_), kSmallMind);

    home_.write("bot/UDLP.NFO", "2\r\n0\r\nbot.sh\r\n");
    ASSERT_EQ(::truncate(home_.path("bot/UDLP.NFO").c_str(), 100LL << 20), 0);
    scriptedBot("printf 'fine\\r\\n' > CHAT.MSG");
    const RunResult named = run(link, home_.environment(), home_.work());
    EXPECT_EQ(named.status, 0) << named.err.substr(0, 300);
    EXPECT_LT(named.maxRssKiB - small, 64 * 1024) << "KiB more than a small name";
    const QFileInfo settings(QString::fromStdString(home_.home() + "/.config/Vebix.conf"));
    ASSERT_TRUE(settings.exists());
    EXPECT_LT(settings.size(), 64 * 1024) << "the settings took the name whole";
}

// A request that is a second name (a hard link) of another file, the mind itself here, is not
// read: nothing of that file is learned or sent, and the file keeps its bytes.
TEST_F(HostileBots, AHardLinkedRequestIsNotRead) {
    QDir().mkpath(QString::fromStdString(home_.path("botmode")));
    home_.write("botmode/UDLPX.NFO",
                "2\r\n0\r\nvebix\r\nMo\r\nmind=" + mind_ + "\r\nlearn=true\r\n");
    const std::string chat = home_.path("botmode/CHAT.MSG");
    ASSERT_EQ(::link(mind_.c_str(), chat.c_str()), 0);
    const RunResult r = run({}, home_.environment(), home_.path("botmode"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("hard link"), std::string::npos) << r.err;
    EXPECT_EQ(home_.read(mind_), kSmallMind);
}

// reply --learn whose mind cannot be saved keeps the exchange in a rescue file, as chat does.
TEST_F(HostileBots, ReplyLearnRescuesItsLinesWhenTheMindCannotBeSaved) {
    QDir().mkpath(QString::fromStdString(home_.path("minds")));
    const std::string mind = home_.write("minds/mind.mdd", kSmallMind);
    PtySession reply({"reply", mind, "--learn", "--as", "Ann"}, terminalEnv(), home_.work());
    reply.type("Hi.\r");
    ASSERT_TRUE(reply.waitFor("Hi.\r\n"));  // the terminal's echo
    ASSERT_TRUE(reply.waitFor("\r\n"));     // the answer
    // The mind's place taken by a folder: no write can go there, whoever the test runs as.
    ASSERT_TRUE(QDir().rename(QString::fromStdString(mind),
                              QString::fromStdString(home_.path("minds/moved.mdd"))));
    ASSERT_TRUE(QDir().mkdir(QString::fromStdString(mind)));
    reply.type("\x04");
    ASSERT_TRUE(reply.waitFor("could not be saved"));
    ASSERT_TRUE(reply.waitFor("[t/a/d]"));
    reply.type("\x04");
    EXPECT_EQ(reply.waitExit(), 1) << reply.screen();
    const QStringList rescues = QDir(QString::fromStdString(home_.path("minds")))
                                    .entryList({QStringLiteral("mind.rescued-*.mdd")});
    ASSERT_EQ(rescues.size(), 1) << reply.screen();
    const std::string kept = home_.read(home_.path("minds/" + rescues.first().toStdString()));
    EXPECT_NE(kept.find(" Ann!"), std::string::npos) << kept;
    EXPECT_NE(kept.find(" Hi.\r\n"), std::string::npos) << kept;
}

}  // namespace
}  // namespace vebix::e2e
