// What `vebix irc` is told: the config file, the options' values, what must be given, and the
// password files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

#include "app/irc/ircoptions.h"
#include "engine/base/error.h"
#include "support/tempdir.h"

namespace vebix::irc {
namespace {

TEST(IrcOptions, AConfigFileGivesTheSameKeysAsTheOptions) {
    const std::string text =
        "\xEF\xBB\xBF# the bot of #room\n"
        "[irc]\n"
        "mind = robo.mdd\r\n"
        "server = irc.example.org\n"
        "port=6697\n"
        "tls = yes\n"
        "ca-file = ~/ca.pem\n"
        "nick = Robo\n"
        "channel = #room, #other\n"
        "channel = &local\n"
        "ignore = otherbot ChanServ\n"
        "; a comment\n"
        "chance = 5\n"
        "no-learn = true\n"
        "verbose = off\n"
        "password-file = \"/etc/robo password\"\n"
        "\n";
    IrcOptions o;
    EXPECT_EQ(readConfigText(text, "/etc/vebix", "/home/ann", o), std::nullopt);
    EXPECT_EQ(o.mind, "/etc/vebix/robo.mdd");
    EXPECT_EQ(o.server, "irc.example.org");
    EXPECT_EQ(o.effectivePort(), 6697);
    EXPECT_TRUE(o.tls);
    EXPECT_EQ(o.caFile, "/home/ann/ca.pem");
    EXPECT_EQ(o.nick, "Robo");
    EXPECT_EQ(o.channels, (std::vector<std::string>{"#room", "#other", "&local"}));
    EXPECT_EQ(o.ignore, (std::vector<std::string>{"otherbot", "ChanServ"}));
    EXPECT_EQ(o.chance, 5);
    EXPECT_TRUE(o.noLearn);
    EXPECT_FALSE(o.verbose);
    EXPECT_EQ(o.passwordFile, "/etc/robo password");
    EXPECT_EQ(checkOptions(o), std::nullopt);
}

TEST(IrcOptions, AProblemInTheFileNamesItsLine) {
    const struct {
        const char* text;
        const char* problem;
    } cases[] = {
        {"nick = robo\nchanel = #room\n", "line 2: unknown key 'chanel'"},
        {"password = hunter2\n", "line 1: unknown key 'password'"},
        {"\n\nport = 70000\n", "line 3: port must be a number from 1 to 65535, not '70000'"},
        {"chance = 1.5\n", "line 1: chance must be a whole number from 0 to 100, not '1.5'"},
        {"tls = maybe\n", "line 1: tls must be yes or no, not 'maybe'"},
        {"channel = room\n",
         "line 1: 'room' is not a channel name (it starts with '#' and holds no blank or comma)"},
        {"channel =\n", "line 1: channel needs a value"},
        {"just words\n", "line 1: not a 'key = value' line"},
        {"[server]\n", "line 1: unknown section [server]"},
        {"server =\n", "line 1: server needs a value"},
    };
    for (const auto& c : cases) {
        IrcOptions o;
        EXPECT_EQ(readConfigText(c.text, "/f", "/h", o), c.problem) << c.text;
    }
}

TEST(IrcOptions, WhatMustBeGivenAndWhatMustFitTogether) {
    IrcOptions good;
    good.mind = "/m.mdd";
    good.server = "irc.example.org";
    good.nick = "robo";
    good.channels = {"#room"};
    EXPECT_EQ(checkOptions(good), std::nullopt);
    EXPECT_EQ(good.effectivePort(), 6667);

    const struct {
        void (*change)(IrcOptions&);
        const char* problem;
    } cases[] = {
        {[](IrcOptions& o) { o.mind.clear(); }, "no mind given"},
        {[](IrcOptions& o) { o.server.clear(); }, "no server given (--server HOST)"},
        {[](IrcOptions& o) { o.nick.clear(); }, "no nick given (--nick NICK)"},
        {[](IrcOptions& o) { o.nick = "9lives"; },
         "'9lives' is not a nick (letters, digits and -_[]{}\\|^` only)"},
        {[](IrcOptions& o) { o.nick = "ro bo"; },
         "'ro bo' is not a nick (letters, digits and -_[]{}\\|^` only)"},
        {[](IrcOptions& o) { o.channels.clear(); }, "no channel given (--channel '#room')"},
        {[](IrcOptions& o) { o.ignore = {"bad!nick"}; }, "'bad!nick' is not a nick to ignore"},
        {[](IrcOptions& o) { o.insecure = true; }, "--insecure is for TLS only (--tls)"},
        {[](IrcOptions& o) { o.caFile = "/ca.pem"; }, "--ca-file is for TLS only (--tls)"},
        {[](IrcOptions& o) { o.saslPasswordFile = "/pw"; },
         "--sasl-password-file needs --sasl-user"},
    };
    for (const auto& c : cases) {
        IrcOptions o = good;
        c.change(o);
        EXPECT_EQ(checkOptions(o), c.problem) << c.problem;
    }
    IrcOptions tls = good;
    tls.tls = true;
    tls.insecure = true;
    EXPECT_EQ(checkOptions(tls), std::nullopt);
    EXPECT_EQ(tls.effectivePort(), 6697);
}

TEST(IrcOptions, ConfigNamesAndPaths) {
    EXPECT_EQ(configFilePath("robo", "/home/ann/.config"), "/home/ann/.config/vebix/irc/robo.conf");
    EXPECT_EQ(configFilePath("robo.conf", "/c"), "robo.conf");
    EXPECT_EQ(configFilePath("./robo", "/c"), "./robo");
    EXPECT_EQ(configFilePath("/etc/robo", "/c"), "/etc/robo");
    for (const char* key : {"mind", "channel", "sasl-password-file", "no-learn"})
        EXPECT_TRUE(isOptionKey(key)) << key;
    for (const char* key : {"password", "sasl-password", "config", "help"})
        EXPECT_FALSE(isOptionKey(key)) << key;
}

TEST(IrcOptions, PasswordsComeFromTheFirstLineOfAFile) {
    testing::TempDir dir;
    testing::writeBytes(dir.file("pw"), "s3cret\r\nsecond line\n");
    EXPECT_EQ(readSecretFile(dir.file("pw")), "s3cret");
    testing::writeBytes(dir.file("long"), std::string(10000, 'p'));
    EXPECT_EQ(readSecretFile(dir.file("long")).size(), 4096u);
    testing::writeBytes(dir.file("empty"), "\nnot the first\n");
    ::mkdir(dir.file("folder").c_str(), 0700);
    const struct {
        std::string path;
        const char* ending;
    } failing[] = {
        {dir.file("missing"), ": No such file or directory"},
        {dir.file("empty"), ": it is empty"},
        {dir.file("folder"), ": not a file"},
    };
    for (const auto& f : failing) {
        try {
            readSecretFile(f.path);
            ADD_FAILURE() << f.path;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Unable to read the password file '" + f.path + "'" + f.ending);
        }
    }
}

}  // namespace
}  // namespace vebix::irc
