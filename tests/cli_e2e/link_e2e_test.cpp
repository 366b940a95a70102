// vebix link on the built program: against a second copy of the program set up as a UDLP bot,
// against a scripted bot that answers once and then is gone, and a bot name that is not found.
#include <QFile>

#include <gtest/gtest.h>

#include <string>

#include "app/mind/templatemind.h"
#include "app/udlp/udlpformat.h"
#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

std::size_t countOf(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

class LinkCommand : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.valid());
        ownMind_ = home_.write("work/Own.mdd", std::string(templateMindText()));
        QDir().mkpath(QString::fromStdString(home_.path("Bea")));
    }

    // The other bot: a copy of the program in its own folder, with its own mind, that does
    // not learn.
    void makeProgramBot() {
        std::string bea(templateMindText());
        bea.replace(bea.find("\"Vebix\""), 7, "\"Bea\"");
        const std::string mind = home_.write("Bea/Bea.mdd", bea);
        ASSERT_TRUE(QFile::copy(QStringLiteral(VEBIX_EXE),
                                QString::fromStdString(home_.path("Bea/vebix"))));
        const std::string header = "2\r\n0\r\nvebix\r\nBea\r\n";
        home_.write("Bea/UDLP.NFO", header);
        home_.write("Bea/UDLPX.NFO", header + "mind=" + mind +
                                         "\r\nexepath=" + home_.path("Bea/vebix") +
                                         "\r\nshowerrors=false\r\nlearn=false\r\n");
    }

    RunResult link(std::vector<std::string> extra) {
        std::vector<std::string> args{"link", "../Bea", "--mind", "Own.mdd", "--no-delay"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args, home_.environment(), home_.work());
    }

    ScratchHome home_;
    std::string ownMind_;
};

TEST_F(LinkCommand, TwoTurnsWithACopyOfTheProgramLearnOnlyWhenAsked) {
    makeProgramBot();
    const std::string before = home_.read(ownMind_);
    for (const bool learn : {false, true}) {
        std::vector<std::string> extra{"--turns", "2"};
        if (learn) extra.push_back("--learn");
        const RunResult r = link(extra);
        EXPECT_EQ(r.status, 0) << r.err;
        // Each turn: the mind's line and Bea's answer; nothing else on standard output.
        EXPECT_EQ(countOf(r.out, "<Vebix> "), 2u) << r.out;
        EXPECT_EQ(countOf(r.out, "<Bea> "), 2u) << r.out;
        EXPECT_EQ(countOf(r.out, "\n"), 4u) << r.out;
        EXPECT_EQ(r.out.rfind("<Vebix> ", 0), 0u) << r.out;
        EXPECT_NE(r.err.find("Link Mode: Vebix and Bea\n"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Link Mode ended\n"), std::string::npos) << r.err;
        EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << "no colour through a pipe";
        const std::string after = home_.read(ownMind_);
        if (!learn) {
            EXPECT_EQ(after, before);
        } else {
            // Two exchanges answered: the mind's two lines and Bea's two answers.
            EXPECT_EQ(after.substr(0, before.size()), before);
            EXPECT_EQ(countOf(after.substr(before.size()), "\r\n"), 4u) << after;
            EXPECT_NE(after.find("Bea!Bea "), std::string::npos);
        }
        // The other bot was left with no request in its folder.
        EXPECT_FALSE(QFile::exists(QString::fromStdString(home_.path("Bea/CHAT.MSG"))));
    }
}

TEST_F(LinkCommand, ABotThatIsGoneAfterOneAnswerEndsTheLinkWithStatusOne) {
    // Answers the first request, then removes itself: the next turn finds no program, which
    // ends the window's link mode too.
    const std::string script = home_.write("Bea/bot.sh",
                                           "#!/bin/sh\n"
                                           "printf 'Only once\\r\\n' > CHAT.MSG\n"
                                           "rm -f \"$0\"\n");
    QFile::setPermissions(QString::fromStdString(script),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    home_.write("Bea/UDLP.NFO", "2\r\n0\r\nbot.sh\r\nBea\r\n");
    const std::string before = home_.read(ownMind_);
    const RunResult r = link({"--learn"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(countOf(r.out, "<Bea> Only once\n"), 1u) << r.out;
    EXPECT_EQ(countOf(r.out, "<Vebix> "), 2u) << r.out;
    EXPECT_NE(r.err.find("UDLP bot exe file not found"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Link Mode ended\n"), std::string::npos) << r.err;
    // What was answered is still learned and saved.
    EXPECT_NE(home_.read(ownMind_).find("Only once"), std::string::npos);
    EXPECT_GT(home_.read(ownMind_).size(), before.size());
}

// A bot that runs but never writes an answer: the turns pass, yet no link took place, and the
// status says so.
TEST_F(LinkCommand, ABotThatNeverAnswersFailsTheLink) {
    const std::string script = home_.write("Bea/bot.sh", "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(QString::fromStdString(script),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    home_.write("Bea/UDLP.NFO", "2\r\n0\r\nbot.sh\r\nBea\r\n");
    const RunResult r = link({"--turns", "2"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(countOf(r.out, "<Bea> "), 0u) << r.out;
    // --quiet leaves the notes out and keeps the status.
    const RunResult quiet = link({"--turns", "2", "--quiet"});
    EXPECT_EQ(quiet.status, 1) << quiet.err;
    EXPECT_EQ(quiet.err.find("Link Mode ended"), std::string::npos) << quiet.err;
}

TEST_F(LinkCommand, ABotNotFoundIsOneLineAndStatusOne) {
    for (const char* bot : {"Nobody", "../NoSuchFolder"}) {
        const RunResult r =
            run({"link", bot, "--mind", "Own.mdd"}, home_.environment(), home_.work());
        EXPECT_EQ(r.status, 1) << bot;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("vebix link: ", 0), 0u) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
}

// A bot folder the search cannot read is named with why, after the line saying the bot was not
// found: it may have been the one meant.
TEST_F(LinkCommand, AFolderTheSearchCouldNotReadIsNamedWithTheReason) {
    const std::string broken = home_.path("home/.local/share/vebix/bots/Broken");
    QDir().mkpath(QString::fromStdString(broken));
    home_.write("home/.local/share/vebix/bots/Broken/UDLP.NFO", "two\r\n0\r\nbot\r\nBea\r\n");
    const RunResult r =
        run({"link", "Bea", "--mind", "Own.mdd"}, home_.environment(), home_.work());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "vebix link: no UDLP bot named 'Bea' found\nvebix link: passed over " +
                         broken + ": " + std::string(udlp::kBadVersionMessage) + "\n");
}

}  // namespace
}  // namespace vebix::e2e
