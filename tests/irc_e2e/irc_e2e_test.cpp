// `vebix irc` as the built program against a real IRC server on loopback: people in the room
// talk to it, flood it, throw hostile lines at it and restart the server under it; it must
// answer where it was asked, keep quiet elsewhere, learn the room, stay connected, come back,
// write nothing raw to its log, and leave cleanly with its mind saved.
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/enparse/unicode.h"
#include "ircrig.h"

namespace vebix::irc_e2e {
namespace {

class IrcBotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_TRUE(*VEBIX_NGIRCD)
            << "ngircd is not installed (scripts/vebix-dev test installs it)";
        for (const char* folder : {"home/.config/vebix/irc", "home/.local/share", "server"})
            ASSERT_TRUE(QDir(tmp_.path()).mkpath(QString::fromLatin1(folder)));
        // ngircd started as root runs as nobody, which must still read its own files.
        ::chmod(path("server").c_str(), 0755);
        ::chmod(tmp_.path().toLocal8Bit().constData(), 0755);
        write(path("mo.mdd"), kSmallMind);
    }

    std::string path(const std::string& name) const {
        return QDir(tmp_.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    static void write(const std::string& file, const std::string& bytes) {
        QFile f(QString::fromStdString(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    static std::string read(const std::string& file) {
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::ReadOnly)) return "<missing>";
        return f.readAll().toStdString();
    }

    void startServer(Ngircd::Options options = {}) {
        server_ = std::make_unique<Ngircd>(path("server"), options);
        server_->start();
    }

    // The bot, with the usual options before extra ones (none when usual is false).
    void startBot(const std::vector<std::string>& extra, const std::vector<std::string>& env = {},
                  bool usual = true) {
        std::vector<std::string> argv{VEBIX_EXE, "irc"};
        if (usual)
            argv.insert(argv.end(), {path("mo.mdd"), "--server", "127.0.0.1", "--port",
                                     std::to_string(server_->port()), "--nick", "robo", "--channel",
                                     "#room", "--verbose"});
        argv.insert(argv.end(), extra.begin(), extra.end());
        bot_ = std::make_unique<Process>(argv, environment(env), path(""));
        ASSERT_TRUE(bot_->started());
    }

    std::vector<std::string> environment(const std::vector<std::string>& extra) const {
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string_view v(*e);
            bool keep = true;
            for (std::string_view name :
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "HOME=", "XDG_", "VEBIX_IRC_"})
                if (v.starts_with(name)) keep = false;
            if (keep) env.emplace_back(v);
        }
        env.push_back("HOME=" + path("home"));
        env.push_back("XDG_CONFIG_HOME=" + path("home/.config"));
        env.push_back("XDG_DATA_HOME=" + path("home/.local/share"));
        env.insert(env.end(), extra.begin(), extra.end());
        return env;
    }

    // Someone in #room: connected, registered, joined. An operator with relaxed flood limits
    // (mode F) when floods is set, so that the test itself may flood.
    std::unique_ptr<Person> join(const std::string& nick, bool floods = false,
                                 const std::string& password = {}) {
        auto person = std::make_unique<Person>(server_->port(), nick, password);
        EXPECT_TRUE(person->connected());
        EXPECT_TRUE(wait([&] { return person->find(" 001 ").has_value(); }, {person.get()}));
        if (floods) {
            person->send("OPER " + std::string(Ngircd::operatorName()) + " " +
                         Ngircd::operatorPassword());
            person->send("MODE " + nick + " +F");
            EXPECT_TRUE(wait([&] { return person->find("MODE " + nick + " :+F").has_value(); },
                             {person.get()}));
        }
        person->send("JOIN #room");
        EXPECT_TRUE(wait([&] { return person->find(" 366 ").has_value(); }, {person.get()}));
        return person;
    }

    bool wait(const std::function<bool()>& done, const std::vector<Person*>& people,
              Ms timeout = kGuard) {
        std::vector<Process*> processes;
        if (bot_) processes.push_back(bot_.get());
        if (server_ && server_->process()) processes.push_back(server_->process());
        return waitUntil(done, people, processes, timeout);
    }

    // Sends lines as fast as the server takes them in from a person of mode F: a batch, then a
    // PING whose answer says the batch was read.
    void flood(Person& person, const std::vector<std::string>& lines) {
        for (std::size_t i = 0; i < lines.size(); i += 8) {
            const std::size_t seen = person.lines.size();
            for (std::size_t j = i; j < std::min(lines.size(), i + 8); ++j) person.send(lines[j]);
            const std::string mark = ":batch-" + std::to_string(i);
            person.send("PING " + mark);
            ASSERT_TRUE(wait([&] { return person.find(mark, seen).has_value(); }, {&person}));
        }
    }

    // The first line from `from` on that robo sent with text, or nothing.
    static std::optional<std::size_t> fromRobo(const Person& p, const std::string& text,
                                               std::size_t from = 0) {
        for (std::size_t i = from; i < p.lines.size(); ++i)
            if (p.lines[i].starts_with(":robo!") && p.lines[i].find(text) != std::string::npos)
                return i;
        return std::nullopt;
    }

    // Stops the bot with signal; its exit status (-1: it did not end).
    int stopBot(int signal = SIGTERM) {
        bot_->kill(signal);
        const auto status = bot_->wait(kGuard);
        if (!status || !WIFEXITED(*status)) return -1;
        return WEXITSTATUS(*status);
    }

    // The log's lines each start with the time; none carries a control character or anything
    // that is not UTF-8.
    void expectCleanLog() {
        const std::string& log = bot_->output();
        EXPECT_TRUE(unicode::isValid(log));
        const QRegularExpression stamped(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d vebix irc: "));
        std::size_t start = 0;
        for (std::size_t end; (end = log.find('\n', start)) != std::string::npos; start = end + 1) {
            const std::string line = log.substr(start, end - start);
            EXPECT_TRUE(stamped.match(QString::fromStdString(line)).hasMatch()) << line;
            for (std::size_t i = 0; i < line.size();) {
                std::size_t length = 1;
                const char32_t cp = unicode::decode(line, i, length);
                ASSERT_FALSE(cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) ||
                             (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069))
                    << "raw U+" << std::hex << static_cast<unsigned>(cp) << " in: " << line;
                i += length;
            }
        }
    }

    QTemporaryDir tmp_;
    std::unique_ptr<Ngircd> server_;
    std::unique_ptr<Process> bot_;
};

TEST_F(IrcBotTest, AnswersWhenAskedKeepsQuietOtherwiseLearnsAndLeavesCleanly) {
    startServer();
    auto ann = join("ann");
    startBot({"--channel", "#side"});
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room").has_value(); }, {ann.get()}))
        << bot_->output();

    // Not addressed first: had it been answered, that answer would come before the next one.
    ann->send("PRIVMSG #room :the weather is nice today");
    ann->send("PRIVMSG #room :robo: How are you today?");
    ASSERT_TRUE(
        wait([&] { return fromRobo(*ann, "PRIVMSG #room :ann: ").has_value(); }, {ann.get()}))
        << bot_->output();
    const std::size_t answer = *fromRobo(*ann, "PRIVMSG #room :ann: ");
    EXPECT_EQ(fromRobo(*ann, "PRIVMSG #room"), answer);

    ann->send("PRIVMSG robo :Are you there?");
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "PRIVMSG ann :").has_value(); }, {ann.get()}));
    ann->send("PRIVMSG robo :\x01VERSION\x01");
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "NOTICE ann :\x01VERSION Vebix ").has_value(); },
                     {ann.get()}));
    // A notice is never answered; the private line after it is, and comes first.
    ann->send("NOTICE robo :robo: How are you today?");
    ann->send("PRIVMSG robo :Hi.");
    const std::size_t before = ann->lines.size();
    ASSERT_TRUE(
        wait([&] { return fromRobo(*ann, "PRIVMSG ann :", before).has_value(); }, {ann.get()}));
    EXPECT_FALSE(fromRobo(*ann, "NOTICE ann :", before));

    EXPECT_EQ(stopBot(SIGTERM), 0) << bot_->output();
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "QUIT :").has_value(); }, {ann.get()}));
    const std::string mind = read(path("mo.mdd"));
    for (const char* learned : {" ann the weather is nice today\r\n", " ann How are you today?\r\n",
                                " ann Are you there?\r\n"})
        EXPECT_NE(mind.find(learned), std::string::npos) << learned << "\n" << mind;
    EXPECT_NE(mind.find("\r\n#room "), std::string::npos);
    EXPECT_NE(mind.find("\r\nann "), std::string::npos);  // the private conversation's own key
    EXPECT_NE(bot_->output().find("joined #side"), std::string::npos);
    expectCleanLog();
}

TEST_F(IrcBotTest, HoldsAFloodWithoutBeingDisconnected) {
    startServer();
    auto ann = join("ann", true);
    startBot({});
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room").has_value(); }, {ann.get()}));

    std::vector<std::string> lines;
    for (int i = 0; i < 300; ++i) {
        lines.push_back("PRIVMSG #room :robo: How are you today? " + std::to_string(i));
        lines.push_back("PRIVMSG #room :flood line " + std::to_string(i));
    }
    flood(*ann, lines);
    // Once it has said what it still could, it answers again, on the same connection.
    ann->send("PRIVMSG robo :Are you there?");
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "PRIVMSG ann :").has_value(); }, {ann.get()}))
        << bot_->output();

    EXPECT_FALSE(fromRobo(*ann, "QUIT"));
    EXPECT_EQ(bot_->output().find("connection lost"), std::string::npos) << bot_->output();
    EXPECT_EQ(server_->process()->output().find("buffer space exhausted"), std::string::npos);
    // Many answers were due; it gave some and let the rest go.
    std::size_t answers = 0;
    for (std::size_t i = 0; i < ann->lines.size(); ++i)
        answers += fromRobo(*ann, "PRIVMSG #room :ann: ", i) == i;
    EXPECT_GE(answers, 3u);
    EXPECT_LT(answers, 300u);
    EXPECT_EQ(stopBot(), 0);
    EXPECT_NE(read(path("mo.mdd")).find(" ann flood line 299\r\n"), std::string::npos);
}

TEST_F(IrcBotTest, ComesBackAfterTheServerRestarts) {
    startServer();
    startBot({});
    ASSERT_TRUE(wait([&] { return bot_->output().find("joined #room") != std::string::npos; }, {}));
    server_->stop();
    ASSERT_TRUE(
        wait([&] { return bot_->output().find("connecting again in") != std::string::npos; }, {}));
    server_->start();
    auto ann = join("ann");
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room").has_value(); }, {ann.get()}))
        << bot_->output();
    ann->send("PRIVMSG #room :robo: Are you there?");
    ASSERT_TRUE(
        wait([&] { return fromRobo(*ann, "PRIVMSG #room :ann: ").has_value(); }, {ann.get()}));
    // Ctrl-C ends it as SIGTERM does.
    EXPECT_EQ(stopBot(SIGINT), 0);
    EXPECT_NE(bot_->output().find("stopping (Interrupt)"), std::string::npos);
}

TEST_F(IrcBotTest, TakesAnotherNickAndItsOwnBackOnceFree) {
    startServer();
    auto squatter = join("robo");
    startBot({});
    ASSERT_TRUE(wait([&] { return squatter->find(":robo_!").has_value(); }, {squatter.get()}))
        << bot_->output();
    // Addressed by the nick it has now.
    squatter->send("PRIVMSG #room :robo_: How are you today?");
    ASSERT_TRUE(wait([&] { return squatter->find("PRIVMSG #room :robo: ").has_value(); },
                     {squatter.get()}));
    auto ann = join("ann");
    squatter->send("QUIT :making room");
    ASSERT_TRUE(wait([&] { return ann->find(":robo_!~vebix@127.0.0.1 NICK :robo").has_value(); },
                     {ann.get()}))
        << bot_->output();
    ann->send("PRIVMSG #room :robo: How are you today?");
    ASSERT_TRUE(
        wait([&] { return fromRobo(*ann, "PRIVMSG #room :ann: ").has_value(); }, {ann.get()}));
    EXPECT_EQ(stopBot(), 0);
}

TEST_F(IrcBotTest, HostileLinesGetNoCrashAndNothingRaw) {
    startServer();
    auto ann = join("ann", true);
    startBot({});
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room").has_value(); }, {ann.get()}));

    const std::string prefix = "PRIVMSG #room :";
    std::vector<std::string> hostile = {
        prefix + "\x1b[2J\x1b]0;owned\x07 clear the screen",
        prefix +
            "robo: \x1b[31mred\x1b[0m \x02"
            "bold\x02 \x03"
            "4,1colour\x03 How are you today?",
        prefix +
            "bidi \xE2\x80\xAE"
            "txt.exe and C1 \xC2\x9B"
            "31m and bad bytes \xFF\xFE\xC3",
        prefix +
            "\x01"
            "ACTION \x1b[5mblinks\x01",
        prefix + std::string(510 - prefix.size(), 'w'),
        prefix + "robo: " + std::string(510 - prefix.size() - 6, 'z'),
        "PRIVMSG robo :" + std::string(1, '\x7F') +
            "del and \x1b"
            "c reset",
    };
    for (int i = 0; i < 200; ++i) hostile.push_back("PRIVMSG robo :\x01VERSION\x01");
    for (int i = 0; i < 50; ++i)
        hostile.push_back("PRIVMSG robo :\x01PING " + std::to_string(i) + "\x01");
    flood(*ann, hostile);

    // A storm of nick changes by people coming and going.
    std::vector<std::unique_ptr<Person>> storm;
    for (int i = 0; i < 6; ++i) storm.push_back(join("storm" + std::to_string(i)));
    for (int round = 0; round < 2; ++round)
        for (std::size_t i = 0; i < storm.size(); ++i) {
            const std::string nick = "st" + std::to_string(round) + "x" + std::to_string(i);
            storm[i]->send("NICK " + nick);
            storm[i]->setNick(nick);
        }
    std::vector<Person*> all{ann.get()};
    for (auto& p : storm) all.push_back(p.get());
    for (auto& p : storm) p->send("PING :stormed");
    ASSERT_TRUE(wait(
        [&] {
            for (auto& p : storm)
                if (!p->find(":stormed")) return false;
            return true;
        },
        all));

    // Still there, still answering; the queries got a few answers, not one each.
    ann->send("PRIVMSG robo :Are you there?");
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "PRIVMSG ann :").has_value(); }, all))
        << bot_->output();
    std::size_t answers = 0;
    for (std::size_t i = 0; i < ann->lines.size(); ++i)
        answers += fromRobo(*ann, "NOTICE ann :\x01", i) == i;
    EXPECT_GE(answers, 1u);
    EXPECT_LE(answers, 10u);
    EXPECT_EQ(bot_->output().find("connection lost"), std::string::npos);

    EXPECT_EQ(stopBot(), 0) << bot_->output();
    expectCleanLog();
    // The mind holds no control character either: only the line ends.
    const std::string mind = read(path("mo.mdd"));
    for (char c : mind)
        ASSERT_FALSE((static_cast<unsigned char>(c) < 0x20 && c != '\r' && c != '\n') ||
                     c == '\x7F');
    EXPECT_NE(mind.find(" ann ann [5mblinks\r\n"), std::string::npos) << mind;
    EXPECT_NE(mind.find(std::string(100, 'w')), std::string::npos);
}

TEST_F(IrcBotTest, TlsWithACheckedCertificate) {
    startServer({true, {}});
    auto ann = join("ann");
    // The test's own authority made trusted: the bot joins over TLS.
    startBot(
        {"--port", std::to_string(server_->tlsPort()), "--tls", "--ca-file", server_->certFile()});
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room").has_value(); }, {ann.get()}))
        << bot_->output();
    EXPECT_NE(bot_->output().find("connected, the certificate checked"), std::string::npos);
    ann->send("PRIVMSG #room :robo, How are you today?");
    ASSERT_TRUE(
        wait([&] { return fromRobo(*ann, "PRIVMSG #room :ann: ").has_value(); }, {ann.get()}));
    EXPECT_EQ(stopBot(), 0);

    // Not trusted: refused, never joined, and tried again later.
    const std::size_t joins = ann->lines.size();
    startBot({"--port", std::to_string(server_->tlsPort()), "--tls"});
    ASSERT_TRUE(
        wait([&] { return bot_->output().find("connecting again in") != std::string::npos; },
             {ann.get()}))
        << bot_->output();
    EXPECT_NE(bot_->output().find("certificate of 127.0.0.1 refused"), std::string::npos)
        << bot_->output();
    EXPECT_FALSE(fromRobo(*ann, "JOIN", joins));
    EXPECT_EQ(stopBot(), 0);

    // --insecure, by name: joins, and says the certificate was not checked.
    startBot({"--port", std::to_string(server_->tlsPort()), "--tls", "--insecure"});
    ASSERT_TRUE(
        wait([&] { return fromRobo(*ann, "JOIN :#room", joins).has_value(); }, {ann.get()}));
    EXPECT_NE(bot_->output().find("certificate was not checked"), std::string::npos);
    EXPECT_EQ(stopBot(), 0);
}

TEST_F(IrcBotTest, ServerPasswordFromTheEnvironmentOrAFileAndAConfigFile) {
    startServer({false, "letmein"});
    auto ann = join("ann", false, "letmein");
    startBot({}, {"VEBIX_IRC_PASSWORD=letmein"});
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room").has_value(); }, {ann.get()}));
    EXPECT_EQ(bot_->output().find("letmein"), std::string::npos);  // never in the log
    EXPECT_EQ(stopBot(), 0);

    // The same bot from its config file, named as the systemd unit names it.
    write(path("home/password"), "letmein\n");
    write(path("home/.config/vebix/irc/robo.conf"),
          "# robo in #room\nmind = ../../../../mo.mdd\nserver = 127.0.0.1\nport = " +
              std::to_string(server_->port()) +
              "\nnick = robo\nchannel = #room\npassword-file = ~/password\n");
    const std::size_t joins = ann->lines.size();
    startBot({"--config", "robo"}, {}, false);
    ASSERT_TRUE(wait([&] { return fromRobo(*ann, "JOIN :#room", joins).has_value(); }, {ann.get()}))
        << bot_->output();
    EXPECT_EQ(stopBot(), 0);

    // A wrong password is refused for good: status 1, not a loop of attempts.
    startBot({}, {"VEBIX_IRC_PASSWORD=wrong"});
    const auto status = bot_->wait(kGuard);
    ASSERT_TRUE(status && WIFEXITED(*status)) << bot_->output();
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    EXPECT_NE(bot_->output().find("refused the password"), std::string::npos) << bot_->output();
}

TEST_F(IrcBotTest, CommandLinesThatCannotBeRead) {
    startServer();
    write(path("letter.txt"), "Dear Ann,\r\nthis is no mind.\r\n");
    const std::string port = std::to_string(server_->port());
    const struct {
        std::vector<std::string> args;
        int status;
        const char* says;
    } cases[] = {
        {{"mo.mdd", "--server", "127.0.0.1", "--nick", "robo"}, 2, "no channel given"},
        {{"mo.mdd", "--server", "127.0.0.1", "--channel", "#room"}, 2, "no nick given"},
        {{"mo.mdd", "--server", "h", "--nick", "robo", "--channel", "room"},
         2,
         "not a channel name"},
        {{"mo.mdd", "--server", "h", "--nick", "robo", "--channel", "#r", "--password", "x"},
         2,
         "passwords are not taken from the command line"},
        {{"mo.mdd", "--server", "h", "--nick", "robo", "--channel", "#r", "--port", "0"},
         2,
         "port must be a number"},
        {{"--config", "nobody-here"}, 1, "cannot read the config file"},
        {{"--help"}, 0, "Usage: vebix irc MIND"},
        {{"letter.txt", "--server", "127.0.0.1", "--port", port, "--nick", "robo", "--channel",
          "#r"},
         1,
         "Not a valid Vebix mind file"},
    };
    for (const auto& c : cases) {
        startBot(c.args, {}, false);
        const auto status = bot_->wait(kGuard);
        ASSERT_TRUE(status && WIFEXITED(*status)) << c.says;
        EXPECT_EQ(WEXITSTATUS(*status), c.status) << c.says << "\n" << bot_->output();
        EXPECT_NE(bot_->output().find(c.says), std::string::npos) << bot_->output();
    }
}

}  // namespace
}  // namespace vebix::irc_e2e
