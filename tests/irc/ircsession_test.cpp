// One connection's conversation with a server, driven by scripted server lines: registering,
// SASL, a taken nick, pings, joins, the bot's own nick, queries and what is heard.
#include <gtest/gtest.h>

#include <QByteArray>

#include <string>
#include <vector>

#include "app/irc/ircsession.h"
#include "engine/enparse/unicode.h"

namespace vebix::irc {
namespace {

class Recorder : public IrcSession::Events {
public:
    void send(std::string line, SendQueue::Kind kind) override {
        sent.push_back(line);
        if (kind == SendQueue::Kind::Chat) chat.push_back(line);
    }
    void heard(const RoomLine& line) override { lines.push_back(line); }
    void note(const std::string& text) override { notes.push_back(text); }
    void registered() override { ++registrations; }
    void refused(const std::string& reason) override { refusals.push_back(reason); }

    // What was sent since the last call.
    std::vector<std::string> take() {
        std::vector<std::string> out(sent.begin() + static_cast<long>(taken), sent.end());
        taken = sent.size();
        return out;
    }

    std::vector<std::string> sent, chat, notes, refusals;
    std::vector<RoomLine> lines;
    int registrations = 0;
    std::size_t taken = 0;
};

using Lines = std::vector<std::string>;

class IrcSessionTest : public ::testing::Test {
protected:
    IrcSession& make(Identity identity) {
        session_ = std::make_unique<IrcSession>(std::move(identity), events_);
        session_->start();
        return *session_;
    }
    static Identity robo() {
        Identity id;
        id.nick = "robo";
        id.channels = {"#room", "#other"};
        id.version = "Vebix 9";
        return id;
    }
    void server(const std::string& line, std::uint64_t nowMs = 1000) {
        session_->handle(line, nowMs);
    }
    void registerAs(const std::string& nick) {
        server(":irc.test 001 " + nick + " :Welcome");
        server(":" + nick + "!~vebix@host.example JOIN :#room");
        events_.take();
    }

    Recorder events_;
    std::unique_ptr<IrcSession> session_;
};

TEST_F(IrcSessionTest, RegistersJoinsAndAnswersPings) {
    Identity id = robo();
    id.serverPassword = "pw";
    make(id);
    EXPECT_EQ(events_.take(), (Lines{"PASS :pw", "NICK robo", "USER vebix 0 * :Vebix"}));
    server("PING :irc.test");
    EXPECT_EQ(events_.take(), (Lines{"PONG :irc.test"}));
    EXPECT_FALSE(session_->isRegistered());
    server(":irc.test 001 robo :Welcome");
    EXPECT_TRUE(session_->isRegistered());
    EXPECT_EQ(events_.registrations, 1);
    EXPECT_EQ(events_.take(), (Lines{"JOIN #room,#other"}));
    server(":robo!~vebix@h JOIN #room");
    EXPECT_TRUE(session_->isIn("#ROOM"));
    EXPECT_FALSE(session_->isIn("#other"));
    // A server that marks bots gets the mark asked for.
    server(":irc.test 005 robo NICKLEN=16 BOT=B :are supported");
    EXPECT_EQ(events_.take(), (Lines{"MODE robo +B"}));
    server(":op!o@h KICK #room robo :out");
    EXPECT_FALSE(session_->isIn("#room"));
    // A new connection starts over.
    session_->start();
    EXPECT_FALSE(session_->isRegistered());
    EXPECT_EQ(events_.take().size(), 3u);
}

TEST_F(IrcSessionTest, ManyChannelsJoinInLinesWithinTheLimit) {
    Identity id = robo();
    id.channels.clear();
    for (int i = 0; i < 100; ++i)
        id.channels.push_back("#channel-with-a-long-name-" + std::to_string(i));
    make(id);
    events_.take();
    server(":irc.test 001 robo :Welcome");
    std::string all;
    for (const std::string& line : events_.take()) {
        EXPECT_LE(line.size(), kMaxContentBytes);
        ASSERT_TRUE(line.starts_with("JOIN #"));
        all += (all.empty() ? "" : ",") + line.substr(5);
    }
    EXPECT_EQ(std::count(all.begin(), all.end(), ','), 99);
}

TEST_F(IrcSessionTest, ATakenNickGivesWayToOthersAndIsTakenBackWhenFree) {
    make(robo());
    events_.take();
    server(":irc.test 433 * robo :Nickname already in use");
    server(":irc.test 433 * robo_ :Nickname already in use");
    server(":irc.test 433 * robo__ :Nickname already in use");
    EXPECT_EQ(events_.take(), (Lines{"NICK robo_", "NICK robo__", "NICK robo1"}));
    server(":irc.test 001 robo1 :Welcome");
    EXPECT_EQ(session_->nick(), "robo1");
    EXPECT_EQ(session_->wantedNick(), "robo");
    events_.take();
    // Whoever had it leaves or changes nick: the bot asks for it again.
    server(":robo!x@h QUIT :bye");
    server(":ROBO!x@h NICK other");
    EXPECT_EQ(events_.take(), (Lines{"NICK robo", "NICK robo"}));
    // Refused once registered: the bot keeps the nick it has.
    server(":irc.test 433 robo1 robo :Nickname already in use");
    EXPECT_EQ(session_->nick(), "robo1");
    server(":robo1!~vebix@h NICK :robo");
    EXPECT_EQ(session_->nick(), "robo");
}

TEST_F(IrcSessionTest, ANickTooLongIsShortenedAndAnUnacceptableOneRefused) {
    Identity id = robo();
    id.nick = "averylongnick";
    make(id);
    events_.take();
    server(":irc.test 432 * averylongnick :Erroneous nickname");
    EXPECT_EQ(events_.take(), (Lines{"NICK averylong"}));
    server(":irc.test 433 * averylong :Nickname already in use");
    EXPECT_EQ(events_.take(), (Lines{"NICK averylon_"}));
    EXPECT_TRUE(events_.refusals.empty());

    id.nick = "bad";
    make(id);
    server(":irc.test 432 * bad :Erroneous nickname");
    ASSERT_EQ(events_.refusals.size(), 1u);

    // A server where every nick is taken: refused after a fixed number of tries, not forever.
    make(robo());
    events_.refusals.clear();
    for (int i = 0; i < 100 && events_.refusals.empty(); ++i)
        server(":irc.test 433 * " + session_->nick() + " :in use");
    EXPECT_EQ(events_.refusals.size(), 1u);
}

TEST_F(IrcSessionTest, LogsInWithSaslPlain) {
    Identity id = robo();
    id.saslUser = "robo";
    id.saslPassword = "s3cret";
    make(id);
    EXPECT_EQ(events_.take(), (Lines{"CAP LS 302", "NICK robo", "USER vebix 0 * :Vebix"}));
    server(":irc.test CAP * LS * :multi-prefix away-notify");
    EXPECT_TRUE(events_.take().empty());  // more to come
    server(":irc.test CAP * LS :sasl=PLAIN,EXTERNAL server-time");
    EXPECT_EQ(events_.take(), (Lines{"CAP REQ :sasl"}));
    server(":irc.test CAP * ACK :sasl");
    EXPECT_EQ(events_.take(), (Lines{"AUTHENTICATE PLAIN"}));
    server("AUTHENTICATE +");
    const std::string expected = QByteArray("robo\0robo\0s3cret", 16).toBase64().toStdString();
    EXPECT_EQ(events_.take(), (Lines{"AUTHENTICATE " + expected}));
    server(":irc.test 900 robo robo!v@h robo :You are now logged in");
    server(":irc.test 903 robo :SASL authentication successful");
    EXPECT_EQ(events_.take(), (Lines{"CAP END"}));
    EXPECT_TRUE(events_.refusals.empty());
}

TEST_F(IrcSessionTest, ALongSaslAnswerGoesInPieces) {
    // 600 bytes to encode make exactly two pieces of 400, which an empty one then ends.
    const struct {
        std::size_t passwordBytes;
        std::size_t pieces;
        bool emptyLast;
    } cases[] = {{600, 3, false}, {590, 3, true}, {200, 1, false}};
    for (const auto& c : cases) {
        Identity id = robo();
        id.saslUser = "robo";
        id.saslPassword = std::string(c.passwordBytes, 'p');
        make(id);
        server(":irc.test CAP * LS :sasl");
        server(":irc.test CAP * ACK :sasl");
        events_.take();
        server("AUTHENTICATE +");
        const Lines sent = events_.take();
        ASSERT_EQ(sent.size(), c.pieces) << c.passwordBytes;
        EXPECT_EQ(sent.back() == "AUTHENTICATE +", c.emptyLast) << c.passwordBytes;
        std::string joined;
        for (const std::string& line : sent) {
            ASSERT_TRUE(line.starts_with("AUTHENTICATE "));
            EXPECT_LE(line.size(), 13u + 400u);
            if (line != "AUTHENTICATE +") joined += line.substr(13);
        }
        const std::string plain =
            "robo" + std::string(1, '\0') + "robo" + std::string(1, '\0') + id.saslPassword;
        EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(joined)).toStdString(), plain);
    }
}

TEST_F(IrcSessionTest, RefusalsThatTryingAgainWillNotChange) {
    const struct {
        bool sasl;
        std::vector<std::string> server;
    } cases[] = {
        {true, {":irc.test CAP * LS :multi-prefix"}},
        {true, {":irc.test CAP * LS :sasl", ":irc.test CAP * NAK :sasl"}},
        {true,
         {":irc.test CAP * LS :sasl", ":irc.test CAP * ACK :sasl", "AUTHENTICATE +",
          ":irc.test 904 robo :SASL authentication failed"}},
        {false, {":irc.test 464 robo :Password incorrect"}},
        {false, {"ERROR :Access denied: Bad password?"}},
    };
    for (const auto& c : cases) {
        Identity id = robo();
        id.serverPassword = "pw";
        if (c.sasl) {
            id.saslUser = "robo";
            id.saslPassword = "x";
        }
        events_.refusals.clear();
        make(id);
        for (const std::string& line : c.server) server(line);
        EXPECT_EQ(events_.refusals.size(), 1u) << c.server.back();
    }
    // A closing ERROR otherwise is a lost connection, to be tried again.
    events_.refusals.clear();
    make(robo());
    server("ERROR :Closing link (robo@host) [Ping timeout]");
    EXPECT_TRUE(events_.refusals.empty());
}

TEST_F(IrcSessionTest, HandsOnWhatPeopleSayButNotWhatTheBotOrServerSays) {
    make(robo());
    registerAs("robo");
    server(":ann!a@h PRIVMSG #room :robo: hello");
    server(":ann!a@h PRIVMSG robo :just to you");
    server(":ann!a@h NOTICE #room :a notice");
    server(
        ":ann!a@h PRIVMSG #room :\x01"
        "ACTION waves\x01");
    server(":robo!~vebix@h PRIVMSG #room :my own echo");
    server(":irc.test NOTICE robo :server notice");
    server(":ann!a@h PRIVMSG #room");  // no text
    ASSERT_EQ(events_.lines.size(), 4u);
    EXPECT_EQ(events_.lines[0].text, "robo: hello");
    EXPECT_FALSE(events_.lines[0].isPrivate());
    EXPECT_TRUE(events_.lines[1].isPrivate());
    EXPECT_EQ(events_.lines[2].kind, RoomLine::Kind::Notice);
    EXPECT_EQ(events_.lines[3].kind, RoomLine::Kind::Action);
    EXPECT_EQ(events_.lines[3].text, "waves");
    EXPECT_EQ(events_.lines[3].nick, "ann");
}

TEST_F(IrcSessionTest, QueriesGetAFewAnswersHoweverManyArrive) {
    make(robo());
    registerAs("robo");
    server(":ann!a@h PRIVMSG robo :\x01VERSION\x01");
    server(":ann!a@h PRIVMSG #room :\x01PING 123\x01");
    server(
        ":ann!a@h PRIVMSG robo :\x01"
        "FINGER\x01");                                          // not answered
    server(":ann!a@h NOTICE robo :\x01VERSION other 1.0\x01");  // an answer: never answered
    EXPECT_EQ(events_.chat,
              (Lines{"NOTICE ann :\x01VERSION Vebix 9\x01", "NOTICE ann :\x01PING 123\x01"}));
    // A flood at one moment: a few answers. Later, a few more.
    events_.chat.clear();
    for (int i = 0; i < 500; ++i)
        server(":mob" + std::to_string(i) + "!m@h PRIVMSG robo :\x01VERSION\x01", 2000);
    EXPECT_LE(events_.chat.size(), IrcSession::kQueryAnswers);
    events_.chat.clear();
    server(":ann!a@h PRIVMSG robo :\x01PING " + std::string(300, '9') + "\x01",
           2000 + IrcSession::kQueryWindowMs);
    ASSERT_EQ(events_.chat.size(), 1u);
    EXPECT_LT(events_.chat[0].size(), 100u);  // a long ping argument is cut, not echoed whole
    EXPECT_TRUE(events_.lines.empty());
}

TEST_F(IrcSessionTest, LongRepliesFitTheLineWithTheBotsPrefix) {
    make(robo());
    server(":irc.test 001 robo :Welcome");
    events_.take();
    std::string reply;
    for (int i = 0; i < 300; ++i) reply += "w\xC3\xB6rd ";
    // Before the server has shown the prefix, room for the longest one is kept.
    session_->say("#room", reply);
    const Lines before = events_.take();
    ASSERT_EQ(before.size(), IrcSession::kMaxReplyLines);
    const std::size_t longestPrefix = std::string(":robo!~vebix@").size() + 63 + 1;
    for (const std::string& line : before) {
        EXPECT_LE(longestPrefix + line.size(), kMaxContentBytes) << line;
        EXPECT_TRUE(unicode::isValid(line));
    }
    server(":robo!~vebix@" + std::string(60, 'h') + " JOIN #room");
    events_.take();
    session_->say("#room", reply);
    for (const std::string& line : events_.take())
        EXPECT_LE(1 + std::string("robo!~vebix@").size() + 60 + 1 + line.size(), kMaxContentBytes);
    // Control characters of a reply never reach the room.
    session_->say("ann",
                  "hi\r\nQUIT :x \x01"
                  "DCC SEND\x01");
    EXPECT_EQ(events_.take(), (Lines{"PRIVMSG ann :hi  QUIT :x  DCC SEND"}));
}

}  // namespace
}  // namespace vebix::irc
