#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/base/error.h"
#include "app/udlp/linkexchange.h"

using namespace vebix;
namespace fs = std::filesystem;

namespace {

// Fake bots are small shell scripts in a folder of their own; the test plays the link program.
class LinkExchangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vebix-link-XXXXXX";
        root_ = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path bot(const std::string& folderName, const std::string& body) {
        fs::path folder = root_ / folderName;
        fs::create_directories(folder);
        fs::path exe = folder / "bot.sh";
        std::ofstream(exe) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(exe, fs::perms::owner_all);
        return exe;
    }
    static std::string read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path root_;
};

}  // namespace

TEST(LinkExchangeDecide, WhatCountsAsAReply) {
    struct Case {
        std::string contents;
        bool got;
        std::string reply;
    };
    const Case cases[] = {
        {"Hello there\r\n", true, "Hello there"},
        {"Hello there", true, "Hello there"},
        {"Hello\nsecond\n", true, "Hello"},
        {"Hi\rthere\r", true, "Hi"},
        {"", false, ""},
        {"\r\n", false, ""},
        {"\r\nlater\r\n", false, ""},
        // The request left in place: first line our own name, second the message.
        {"Vebix\r\nhow are you\r\n", false, ""},
        // Our own name alone is a reply (the other bot may say it).
        {"Vebix\r\n", true, "Vebix"},
        {"Vebix\r\n\r\n", true, "Vebix"},
        {"vebix\r\nhow are you\r\n", true, "vebix"},
        {"!#@\r\n", true, "!#@"},
    };
    for (const auto& c : cases) {
        std::string reply;
        EXPECT_EQ(LinkExchange::decideReply(c.contents, "Vebix", reply), c.got) << c.contents;
        if (c.got) {
            EXPECT_EQ(reply, c.reply) << c.contents;
        }
    }
}

TEST_F(LinkExchangeTest, RequestWrittenAndReplyRead) {
    // The fake bot checks the request byte for byte and answers it.
    fs::path exe = bot("other", R"(printf 'Vebix\r\nhello there\r\n' > expected
if cmp -s expected CHAT.MSG; then printf 'Nice to meet you\r\n' > CHAT.MSG; fi
rm -f expected)");
    LinkExchange link((root_ / "other").string(), exe.string(), "Vebix");
    EXPECT_EQ(link.commandLine(), "\"" + exe.string() + "\"");
    auto r = link.exchange("hello there");
    EXPECT_TRUE(r.started);
    EXPECT_TRUE(r.gotReply);
    EXPECT_EQ(r.reply, "Nice to meet you");
    EXPECT_TRUE(r.error.empty());
    EXPECT_FALSE(fs::exists(root_ / "other" / "CHAT.MSG"));  // read and deleted
}

TEST_F(LinkExchangeTest, MisbehavingBotsGiveNoReply) {
    struct Case {
        std::string name;
        std::string body;
    };
    const Case cases[] = {
        {"untouched", "exit 0"},
        {"empty", ": > CHAT.MSG"},
        {"deleted", "rm CHAT.MSG"},
        {"emptyfirst", "printf '\\r\\nsecond\\r\\n' > CHAT.MSG"},
        {"crash", "printf 'late\\r\\n' > CHAT.MSG; kill -SEGV $$"},
        // Slower than the (shortened) limit: it waits until the test lets it go.
        {"slow", "read line < release"},
    };
    fs::create_directories(root_ / "slow");
    ASSERT_EQ(::mkfifo((root_ / "slow" / "release").c_str(), 0600), 0);
    for (const auto& c : cases) {
        fs::path exe = bot(c.name, c.body);
        LinkExchange link((root_ / c.name).string(), exe.string(), "Vebix");
        link.timeoutMs = 200;
        auto r = link.exchange("hi");
        EXPECT_TRUE(r.started) << c.name;
        EXPECT_FALSE(r.gotReply) << c.name << ": " << r.reply;
        EXPECT_TRUE(r.error.empty()) << c.name;
    }
    // The slow bot was left running; let it go now.
    std::ofstream(root_ / "slow" / "release") << "go\n";
}

TEST_F(LinkExchangeTest, StopEndsTheWaitEarly) {
    fs::create_directories(root_ / "slow");
    ASSERT_EQ(::mkfifo((root_ / "slow" / "release").c_str(), 0600), 0);
    fs::path exe = bot("slow", "read line < release\nprintf 'late\\r\\n' > CHAT.MSG");
    LinkExchange link((root_ / "slow").string(), exe.string(), "Vebix");
    std::atomic<bool> stop{true};  // already asked to stop: the wait gives up at once
    link.stopFlag = &stop;
    link.timeoutMs = 600000;
    auto r = link.exchange("hi");
    EXPECT_TRUE(r.started);
    EXPECT_FALSE(r.gotReply);
    std::ofstream(root_ / "slow" / "release") << "go\n";
}

TEST_F(LinkExchangeTest, MissingExecutableIsReportedEveryTurn) {
    fs::create_directories(root_ / "gone");
    std::string exe = (root_ / "gone" / "bot").string();
    LinkExchange link((root_ / "gone").string(), exe, "Vebix");
    for (int turn = 0; turn < 2; ++turn) {
        auto r = link.exchange("hi");
        EXPECT_FALSE(r.started);
        EXPECT_FALSE(r.gotReply);
        EXPECT_EQ(r.error, "UDLP bot exe file not found \"" + exe + "\"");
        EXPECT_FALSE(fs::exists(root_ / "gone" / "CHAT.MSG"));
    }
}

TEST_F(LinkExchangeTest, StrangePathsStartThatExactFileWithNoShell) {
    const std::string names[] = {"a b", "quote\"d", "semi;colon", "$(touch PWNED)",
                                 "`touch PWNED`"};
    for (const auto& name : names) {
        fs::path exe = bot(name, "printf 'from %s\\r\\n' \"$(basename \"$PWD\")\" > CHAT.MSG");
        LinkExchange link((root_ / name).string(), exe.string(), "Vebix");
        auto r = link.exchange("hi");
        EXPECT_TRUE(r.gotReply) << name;
        EXPECT_EQ(r.reply, "from " + name);
    }
    for (auto& e : fs::recursive_directory_iterator(root_))
        EXPECT_NE(e.path().filename(), "PWNED") << e.path();
}

TEST_F(LinkExchangeTest, ExecutableWithoutAFolderIsTheOneInTheBotsFolderNeverOnPath) {
    // Another program of the same name comes first on PATH.
    fs::path decoy = bot("decoy", "printf 'from decoy\r\n' > CHAT.MSG");
    bot("own", "printf 'from own\r\n' > CHAT.MSG");
    const char* oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    ::setenv("PATH", (decoy.parent_path().string() + ":" + saved).c_str(), 1);
    for (const std::string exe : {"bot.sh", "./bot.sh", "../own/bot.sh"}) {
        LinkExchange link((root_ / "own").string(), exe, "Vebix");
        EXPECT_EQ(link.exePath(), (root_ / "own" / "bot.sh").string()) << exe;
        auto r = link.exchange("hi");
        EXPECT_EQ(r.reply, "from own") << exe;
    }
    ::setenv("PATH", saved.c_str(), 1);
}

TEST_F(LinkExchangeTest, BotStillRunningIsSentNothingUntilItHasEnded) {
    // The first start takes its time until the test lets it go; later ones answer at once.
    fs::create_directories(root_ / "slow");
    ASSERT_EQ(::mkfifo((root_ / "slow" / "release").c_str(), 0600), 0);
    bot("slow", R"(n=$(( $(cat starts 2>/dev/null || echo 0) + 1 )); echo $n > starts
msg=$(sed -n 2p CHAT.MSG | tr -d '
')
if [ $n -eq 1 ]; then read line < release; fi
printf 'answer %s to %s
' $n "$msg" > CHAT.MSG)");
    LinkExchange link((root_ / "slow").string(), "bot.sh", "Vebix");
    link.timeoutMs = 200;
    auto first = link.exchange("one");
    EXPECT_TRUE(first.started);
    EXPECT_FALSE(first.gotReply);
    EXPECT_TRUE(link.botRunning());

    // Still at it: no second copy, and its request stays as it was.
    auto second = link.exchange("two");
    EXPECT_TRUE(second.busy);
    EXPECT_FALSE(second.started);
    EXPECT_EQ(read(root_ / "slow" / "starts"), "1\n");
    EXPECT_EQ(read(root_ / "slow" / "CHAT.MSG"), "Vebix\r\none\r\n");

    // Once it has ended (its late answer is not taken for the next one), turns go on.
    std::ofstream(root_ / "slow" / "release") << "go\n";
    link.timeoutMs = 60000;
    auto third = link.exchange("three");
    EXPECT_TRUE(third.started);
    EXPECT_EQ(third.reply, "answer 2 to three");
    EXPECT_FALSE(link.botRunning());
}

TEST_F(LinkExchangeTest, ReleaseEndsTheBotAndRemovesWhatWasLeftInItsFolder) {
    // hung: never answers; late: answers once the test lets it go, after its time ran out.
    for (const std::string name : {"hung", "late"}) {
        fs::create_directories(root_ / name);
        ASSERT_EQ(::mkfifo((root_ / name / "release").c_str(), 0600), 0);
        bot(name, "read line < release\nprintf 'late\\r\\n' > CHAT.MSG");
        LinkExchange link((root_ / name).string(), "bot.sh", "Vebix");
        link.timeoutMs = 200;
        EXPECT_FALSE(link.exchange("hi").gotReply) << name;
        ASSERT_TRUE(fs::exists(root_ / name / "CHAT.MSG")) << name;
        if (name == "late") std::ofstream(root_ / name / "release") << "go\n";
        link.release(name == "late" ? 60000 : 100);
        EXPECT_FALSE(link.botRunning()) << name;
        EXPECT_FALSE(fs::exists(root_ / name / "CHAT.MSG")) << name;
        // Nobody is left to read the release pipe.
        EXPECT_EQ(::open((root_ / name / "release").c_str(), O_WRONLY | O_NONBLOCK), -1) << name;
        EXPECT_EQ(errno, ENXIO) << name;
    }
}

TEST_F(LinkExchangeTest, RequestThatCannotBeWrittenEndsTheLink) {
    LinkExchange link((root_ / "no such folder").string(), "/bin/true", "Vebix");
    EXPECT_THROW(link.exchange("hi"), Error);
}
