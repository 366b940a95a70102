// One table of special files where a file is expected (a symbolic link, a FIFO, a device, a
// folder, a socket, each made here in the scratch folder) against every command of the built
// program and bot mode: as the mind, as CHAT.MSG and UDLPX.NFO of bot mode, in a linked bot's
// folder, as an input of learn. Each run must end within the guard (no FIFO waited on), say
// what the file is, and leave the file, what a link points to and the mind as they were. A mind
// the user named through a link to a mind keeps working, and is written where the link points.
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/mind/vebixai.h"
#include "cli_e2e/runvebix.h"
#include "support/specialfiles.h"

namespace vebix::e2e {
namespace {

using vebix::testing::Special;
using vebix::testing::specialWords;
using vebix::testing::stillSpecial;

const std::string kSecret = "a file nobody may overwrite\r\n";

bool loadsAsMind(const std::string& path) {
    try {
        VebixAi mind;
        mind.loadFile(path);
        return !mind.botName().empty();
    } catch (const std::exception&) {
        return false;
    }
}

// Every name in folder that the program may have left there (temporary files, lock files).
std::vector<std::string> leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const QString& name :
         QDir(QString::fromStdString(folder))
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (name.contains(QLatin1String(".tmp-")) || name.endsWith(QLatin1String(".lock")))
            names.push_back(name.toStdString());
    return names;
}

class SpecialFileE2E : public ::testing::TestWithParam<Special> {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.valid());
        realMind_ = home_.write("work/real.mdd", kSmallMind);
        secret_ = home_.write("secret.txt", kSecret);
        talk_ = home_.write("work/talk.txt", "hello there\nhow are you?\n");
        QDir().mkpath(QString::fromStdString(home_.path("bot")));
    }

    // Makes the kind at path; a link points to linkTarget. False (the test skipped) where a
    // device cannot be made.
    bool make(const std::string& path, const std::string& linkTarget) {
        const std::string why = vebix::testing::makeSpecial(path, GetParam(), linkTarget);
        if (why.empty()) return true;
        if (GetParam() == Special::Device) {
            skipped_ = "a device node cannot be made here (" + why + ")";
            return false;
        }
        ADD_FAILURE() << why;
        return false;
    }

    // A bot-mode folder whose UDLPX.NFO names mind, learning on, with a request in CHAT.MSG.
    std::string botModeFolder(const std::string& mind) {
        const std::string folder = home_.path("botmode");
        QDir().mkpath(QString::fromStdString(folder));
        home_.write("botmode/UDLPX.NFO",
                    "2\r\n0\r\nvebix\r\nMo\r\nmind=" + mind + "\r\nlearn=true\r\n");
        home_.write("botmode/CHAT.MSG", "Bob\r\nhello there\r\n");
        return folder;
    }

    // The other bot of a link: a script in "bot" that does what body says.
    void scriptedBot(const std::string& body) {
        const std::string script = home_.write("bot/bot.sh", "#!/bin/sh\n" + body + "\n");
        ::chmod(script.c_str(), 0755);
        home_.write("bot/UDLP.NFO", "2\r\n0\r\nbot.sh\r\nOther\r\n");
    }

    ScratchHome home_;
    std::string realMind_;
    std::string secret_;
    std::string talk_;
    std::string skipped_;
};

// The kind where the mind should be, for every command that opens a mind and for bot mode.
TEST_P(SpecialFileE2E, WhereTheMindShouldBe) {
    const Special kind = GetParam();
    const std::string mind = home_.path("work/mind.mdd");
    if (!make(mind, realMind_)) GTEST_SKIP() << skipped_;
    scriptedBot("printf 'fine, thanks\\r\\n' > CHAT.MSG");
    struct Command {
        std::vector<std::string> args;
        std::string input;
        bool learns;  // writes the mind when it works
        bool botMode;
    };
    const std::vector<Command> commands = {
        {{"chat", "mind.mdd", "--name", "Sam"}, "hello\n", true, false},
        {{"reply", "mind.mdd", "hello"}, "", false, false},
        {{"reply", "mind.mdd", "--learn", "hello"}, "", true, false},
        {{"learn", "mind.mdd", "talk.txt"}, "", true, false},
        {{"info", "mind.mdd", "--check"}, "", false, false},
        {{"link", "../bot", "--mind", "mind.mdd", "--turns", "1", "--no-delay", "--learn"},
         "",
         true,
         false},
        {{}, "", true, true},
    };
    for (const Command& c : commands) {
        const std::string what = c.botMode ? "bot mode" : c.args.front();
        SCOPED_TRACE(what + (c.args.size() > 2 ? " " + c.args[2] : ""));
        const std::string before = home_.read(realMind_);
        const std::string folder = c.botMode ? botModeFolder(mind) : home_.work();
        const RunResult r = run(c.args, home_.environment(), folder, c.input);
        EXPECT_TRUE(stillSpecial(mind, kind));
        EXPECT_EQ(home_.read(secret_), kSecret);
        EXPECT_EQ(leftovers(home_.work()), std::vector<std::string>{});
        if (kind == Special::LinkToFile) {
            // The user's link to a mind: it works, and the mind is written where it points.
            EXPECT_TRUE(r.status == 0 || r.status == 3) << r.err;
            EXPECT_TRUE(loadsAsMind(realMind_));
            const std::string after = home_.read(realMind_);
            if (c.learns) {
                EXPECT_GT(after.size(), before.size()) << r.err;
                EXPECT_EQ(after.substr(0, before.size()), before);
            } else {
                EXPECT_EQ(after, before);
            }
            continue;
        }
        EXPECT_EQ(r.status, 1) << r.out << r.err;
        EXPECT_NE(r.err.find(specialWords(kind)), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find("not found"), std::string::npos) << r.err;
        EXPECT_EQ(home_.read(realMind_), before);
    }
}

// The kind as CHAT.MSG in bot mode (a link to the bot's own mind, as an attacker would plant
// it): refused before the mind is loaded; the mind and what a link points to are untouched.
TEST_P(SpecialFileE2E, WhereCHATMSGShouldBe) {
    const Special kind = GetParam();
    const std::string mindBefore = home_.read(realMind_);
    const std::string folder = botModeFolder(realMind_);
    const std::string chat = folder + "/CHAT.MSG";
    QFile::remove(QString::fromStdString(chat));
    if (!make(chat, realMind_)) GTEST_SKIP() << skipped_;
    const RunResult r = run({}, home_.environment(), folder);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("CHAT.MSG does not contain appropriate information"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(specialWords(kind)), std::string::npos) << r.err;
    EXPECT_EQ(home_.read(realMind_), mindBefore);
    EXPECT_EQ(leftovers(folder), std::vector<std::string>{});
    // Bot mode ends by removing CHAT.MSG: a name that is not a folder is gone, and a link went
    // without what it points to.
    EXPECT_EQ(stillSpecial(chat, kind), kind == Special::Folder);
}

// The kind as UDLPX.NFO (a link to a secret file): refused with what it is.
TEST_P(SpecialFileE2E, WhereUDLPXNFOShouldBe) {
    const Special kind = GetParam();
    const std::string mindBefore = home_.read(realMind_);
    const std::string folder = botModeFolder(realMind_);
    const std::string info = folder + "/UDLPX.NFO";
    QFile::remove(QString::fromStdString(info));
    if (!make(info, secret_)) GTEST_SKIP() << skipped_;
    const RunResult r = run({}, home_.environment(), folder);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("UDLPX.NFO"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(specialWords(kind)), std::string::npos) << r.err;
    EXPECT_TRUE(stillSpecial(info, kind));
    EXPECT_EQ(home_.read(secret_), kSecret);
    EXPECT_EQ(home_.read(realMind_), mindBefore);
}

// A linked bot that turns its CHAT.MSG into the kind, every turn: no answer, no hang, nothing
// written through it; and the kind planted there before the link starts is replaced, never
// written through.
TEST_P(SpecialFileE2E, InALinkedBotsFolder) {
    const Special kind = GetParam();
    const std::string stash = home_.path("stash");
    QDir().mkpath(QString::fromStdString(stash));
    for (const char* turn : {"1", "2"})
        if (!make(stash + "/" + turn, secret_)) GTEST_SKIP() << skipped_;
    scriptedBot("rm -f CHAT.MSG; mv \"$(ls -d ../stash/* | head -n 1)\" CHAT.MSG");
    const std::string mindBefore = home_.read(realMind_);
    const RunResult r =
        run({"link", "../bot", "--mind", "real.mdd", "--turns", "2", "--no-delay", "--learn"},
            home_.environment(), home_.work());
    if (kind == Special::Folder) {
        // The folder the bot left cannot be replaced by the next request: that ends the link,
        // with the reason; the folder is not the link's to remove.
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find("Is a directory"), std::string::npos) << r.err;
    } else {
        // Every turn ran and none brought an answer: no link took place.
        EXPECT_EQ(r.status, 1) << r.err;
    }
    EXPECT_EQ(r.out.find("<Other>"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Other was unable to respond"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(specialWords(kind)), std::string::npos) << r.err;
    EXPECT_EQ(home_.read(secret_), kSecret);
    EXPECT_EQ(home_.read(realMind_), mindBefore) << "nothing answered, nothing learned";

    // Planted before the link: the request replaces the name (a folder cannot be replaced,
    // which ends the link with the reason).
    const std::string chat = home_.path("bot/CHAT.MSG");
    QFile::remove(QString::fromStdString(chat));
    QDir().rmdir(QString::fromStdString(chat));
    if (!make(chat, secret_)) GTEST_SKIP() << skipped_;
    scriptedBot("printf 'fine, thanks\\r\\n' > CHAT.MSG");
    const RunResult planted =
        run({"link", "../bot", "--mind", "real.mdd", "--turns", "1", "--no-delay"},
            home_.environment(), home_.work());
    EXPECT_EQ(home_.read(secret_), kSecret);
    if (kind == Special::Folder) {
        EXPECT_EQ(planted.status, 1) << planted.err;
        EXPECT_NE(planted.err.find("Is a directory"), std::string::npos) << planted.err;
    } else {
        EXPECT_EQ(planted.status, 0) << planted.err;
        EXPECT_NE(planted.out.find("<Other> fine, thanks"), std::string::npos) << planted.out;
    }
}

// The kind as the other bot's UDLP.NFO: that is no bot to link with, and the file is left.
TEST_P(SpecialFileE2E, WhereALinkedBotsUDLPNFOShouldBe) {
    const Special kind = GetParam();
    scriptedBot("printf 'fine, thanks\\r\\n' > CHAT.MSG");
    const std::string info = home_.path("bot/UDLP.NFO");
    QFile::remove(QString::fromStdString(info));
    const std::string elsewhere = home_.write("elsewhere.nfo", "2\r\n0\r\nbot.sh\r\nOther\r\n");
    if (!make(info, elsewhere)) GTEST_SKIP() << skipped_;
    const RunResult r = run({"link", "../bot", "--mind", "real.mdd", "--turns", "1", "--no-delay"},
                            home_.environment(), home_.work());
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(stillSpecial(info, kind));
}

// The kind as an input of learn: a link and a FIFO (fed here) are read like a file and a pipe;
// a device, a folder and a socket are refused, and the mind is not written.
TEST_P(SpecialFileE2E, AsAnInputOfLearn) {
    const Special kind = GetParam();
    const std::string input = home_.path("work/input.txt");
    if (!make(input, talk_)) GTEST_SKIP() << skipped_;
    const std::string mindBefore = home_.read(realMind_);
    RunResult r;
    if (kind == Special::Fifo) {
        // The writer opens the FIFO once learn has opened it; learn reads until it is closed.
        std::thread writer([&] {
            QFile fifo(QString::fromStdString(input));
            if (fifo.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
                fifo.write("hello there\nhow are you?\n");
        });
        r = run({"learn", "real.mdd", "input.txt"}, home_.environment(), home_.work());
        writer.join();
    } else {
        r = run({"learn", "real.mdd", "input.txt"}, home_.environment(), home_.work());
    }
    EXPECT_TRUE(stillSpecial(input, kind));
    if (kind == Special::LinkToFile || kind == Special::Fifo) {
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Learned 2 lines"), std::string::npos) << r.out;
        return;
    }
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("cannot read 'input.txt'"), std::string::npos) << r.err;
    EXPECT_EQ(home_.read(realMind_), mindBefore);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFileE2E, ::testing::ValuesIn(vebix::testing::allSpecials()),
                         [](const auto& info) { return vebix::testing::specialName(info.param); });

// Whether the process `pid` has ended (or never existed) within `ms` milliseconds, waited for
// through a pidfd, which polls readable once the process has exited.
bool endsWithin(pid_t pid, int ms) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd < 0) return errno == ESRCH;
    pollfd ready{fd, POLLIN, 0};
    const int n = ::poll(&ready, 1, ms);
    ::close(fd);
    return n == 1;
}

// A linked bot that leaves a FIFO as its CHAT.MSG and a program of its own running: Ctrl-C and
// SIGTERM still end the link at once, and what the bot left running ends with it.
TEST(LinkStops, OnASignalWhateverTheOtherBotLeaves) {
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        ScratchHome home;
        home.write("work/real.mdd", kSmallMind);
        QDir().mkpath(QString::fromStdString(home.path("bot")));
        const std::string script = home.write("bot/bot.sh",
                                              "#!/bin/sh\nrm -f CHAT.MSG; mkfifo CHAT.MSG\n"
                                              "sleep 1000 &\necho $! >> left.pids\n");
        ::chmod(script.c_str(), 0755);
        home.write("bot/UDLP.NFO", "2\r\n0\r\nbot.sh\r\nOther\r\n");
        PtySession link({"link", "../bot", "--mind", "real.mdd", "--no-delay"}, home.environment(),
                        home.work());
        ASSERT_TRUE(link.waitFor("Other was unable to respond"));
        ::kill(link.pid(), signal);
        EXPECT_EQ(link.waitExit(), 130) << link.screen();
        EXPECT_NE(link.screen().find("Link Mode ended"), std::string::npos) << link.screen();
        // Every program the bot left running went with its turn.
        const std::string pids = home.read(home.path("bot/left.pids"));
        ASSERT_FALSE(pids.empty());
        for (std::size_t at = 0; at < pids.size();) {
            const std::size_t end = pids.find('\n', at);
            const pid_t pid = static_cast<pid_t>(std::stol(pids.substr(at, end - at)));
            at = end == std::string::npos ? pids.size() : end + 1;
            // The group was sent SIGKILL; the process may take a moment to finish dying, so
            // wait for its exit as an event (a pidfd becomes readable when it has ended).
            EXPECT_TRUE(endsWithin(pid, 10000)) << "process " << pid << " is still running";
        }
    }
}

}  // namespace
}  // namespace vebix::e2e
