// The mind in a room: which lines are answered where, what the mind learns under which key and
// speaker, and what is left alone. The room is a recording one; the mind is real.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sstream>
#include <string>
#include <vector>

#include "app/chat/chatsession.h"
#include "app/irc/botlog.h"
#include "app/irc/ircconnection.h"
#include "app/irc/roombot.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"
#include "engine/ai/mindline.h"
#include "engine/base/random.h"

namespace vebix::irc {
namespace {

// Every line here has an answer worth picking.
const char* const kMind =
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n"
    "$ 1001 $a Hi.\r\n$ 1002 $b Hello there, nice to meet you.\r\n"
    "$ 1003 $a How are you today?\r\n$ 1004 $b I am fine, thanks.\r\n";

class RecordingRoom : public Room {
public:
    const std::string& nick() const override { return nick_; }
    const std::string& wantedNick() const override { return wanted_; }
    void say(const std::string& target, std::string_view text) override {
        said.push_back(target + " " + std::string(text));
    }
    std::string nick_ = "robo_";
    std::string wanted_ = "robo";
    std::vector<std::string> said;
};

class RoomBotTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        const QString path = QDir(tmp_.path()).filePath(QStringLiteral("mo.mdd"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kMind);
        file.close();
        ASSERT_EQ(session_.open(path.toStdString()), ChatSession::Opened::Greeted);
        before_ = keeper_.bot()->lines().size();
        rng::seed(3);
    }

    // Hears each line and lets the bot take them all in.
    void hear(RoomBot& bot, const std::vector<RoomLine>& lines) {
        const std::size_t expected = bot.linesTaken() + bot.linesDropped() + lines.size();
        for (const RoomLine& line : lines) bot.hear(line);
        QDeadlineTimer deadline(10000);
        while (bot.linesTaken() + bot.linesDropped() < expected && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_EQ(bot.linesTaken() + bot.linesDropped(), expected);
    }

    // The mind's new lines as "key speaker text".
    std::vector<std::string> learned() const {
        std::vector<std::string> out;
        const auto& lines = keeper_.bot()->lines();
        for (std::size_t i = before_; i < lines.size(); ++i) {
            const MindLine m = parseLine(lines[i], AiSuffix::Keep);
            out.push_back(std::string(m.key) + " " + std::string(m.speaker) + " " +
                          std::string(m.text));
        }
        return out;
    }

    QTemporaryDir tmp_;
    ChatSession::UnattendedFrontEnd frontEnd_;
    ChatSession session_{frontEnd_,
                         {.localTag = {},
                          .loginName = std::nullopt,
                          .delayResponses = false,
                          .prepareReplies = false,
                          .withPerson = false}};
    MindKeeper& keeper_ = session_.keeper();
    std::size_t before_ = 0;
    std::ostringstream logText_;
    BotLog log_{logText_, true};
    RecordingRoom room_;
};

RoomLine said(const char* nick, const char* target, const char* text,
              RoomLine::Kind kind = RoomLine::Kind::Message) {
    return RoomLine{kind, nick, target, text};
}

TEST_F(RoomBotTest, AnswersWhereItWasSpokenToAndLearnsUnderTheRoomsKey) {
    struct Case {
        const char* name;
        RoomLine line;
        int chance;
        const char* saidStart;                  // the start of what the bot says; nullptr: nothing
        std::vector<std::string> learnedStart;  // the start of each learned line
    };
    const Case cases[] = {
        {"addressed by the nick it has",
         said("ann", "#room", "robo_: How are you today?"),
         0,
         "#room ann: ",
         {"#room ann How are you today?", "#room <ai> "}},
        {"addressed by the nick it wanted",
         said("ann", "#room", "Robo, How are you today?"),
         0,
         "#room ann: ",
         {"#room ann How are you today?", "#room <ai> "}},
        {"in private", said("ann", "robo_", "Hi."), 0, "ann ", {"ann ann Hi.", "ann <ai> "}},
        {"not addressed",
         said("ann", "#room", "the weather is nice"),
         0,
         nullptr,
         {"#room ann the weather is nice"}},
        {"not addressed, at a chance of all",
         said("ann", "#room", "How are you today?"),
         100,
         "#room ",
         {"#room ann How are you today?", "#room <ai> "}},
        {"an action",
         said("ann", "#room", "waves", RoomLine::Kind::Action),
         0,
         nullptr,
         {"#room ann ann waves"}},
        {"formatting and control characters",
         said("ann", "#room",
              "\x02"
              "bold\x02 \x03"
              "4red\x03 \x1b[31m\x07"),
         0,
         nullptr,
         {"#room ann bold red  [31m"}},
        {"a notice", said("ann", "#room", "robo: hi", RoomLine::Kind::Notice), 0, nullptr, {}},
        {"its own line", said("Robo_", "#room", "robo: hi"), 0, nullptr, {}},
        {"an ignored nick", said("OtherBot", "#room", "robo: hi"), 0, nullptr, {}},
        {"an ignored nick in private", said("otherbot", "robo_", "hi"), 0, nullptr, {}},
        {"addressed with nothing said", said("ann", "#room", "robo:   "), 0, nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        room_.said.clear();
        RoomBot bot(session_, room_, {true, c.chance, {"otherbot"}}, log_);
        hear(bot, {c.line});
        if (c.saidStart) {
            ASSERT_EQ(room_.said.size(), 1u);
            EXPECT_TRUE(room_.said[0].starts_with(c.saidStart)) << room_.said[0];
            EXPECT_GT(room_.said[0].size(), std::string(c.saidStart).size());
        } else {
            EXPECT_TRUE(room_.said.empty()) << room_.said.front();
        }
        const std::vector<std::string> got = learned();
        ASSERT_EQ(got.size(), c.learnedStart.size());
        for (std::size_t i = 0; i < got.size(); ++i)
            EXPECT_TRUE(got[i].starts_with(c.learnedStart[i])) << got[i];
        // What was said is what was learned as the bot's line.
        if (c.saidStart && !got.empty()) {
            EXPECT_EQ(got.back().substr(got.back().find("<ai> ") + 5),
                      room_.said[0].substr(std::string(c.saidStart).size()));
        }
    }
}

TEST_F(RoomBotTest, WithoutLearningItAnswersAndTheMindStaysAsItWas) {
    RoomBot bot(session_, room_, {false, 0, {}}, log_);
    hear(bot, {said("ann", "#room", "robo: How are you today?"), said("ann", "robo_", "Hi."),
               said("ann", "#room", "not addressed")});
    EXPECT_EQ(room_.said.size(), 2u);
    EXPECT_TRUE(learned().empty());
    EXPECT_FALSE(keeper_.hasUnsavedLines());
}

TEST_F(RoomBotTest, LinesLearnedWithoutAnExchangeAreSaved) {
    {
        RoomBot bot(session_, room_, {}, log_);
        hear(bot, {said("ann", "#room", "only listening here")});
    }
    EXPECT_EQ(keeper_.exchangeCount(), 0);
    keeper_.closeBot();
    QFile file(QDir(tmp_.path()).filePath(QStringLiteral("mo.mdd")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("#room"));
}

TEST_F(RoomBotTest, AFloodIsTakenInOrderAndBounded) {
    RoomBot bot(session_, room_, {}, log_);
    std::vector<RoomLine> flood;
    for (std::size_t i = 0; i < RoomBot::kMaxWaitingLines + 100; ++i)
        flood.push_back(said("ann", "#room", ("line " + std::to_string(i)).c_str()));
    hear(bot, flood);
    EXPECT_EQ(bot.linesDropped(), 100u);
    const std::vector<std::string> got = learned();
    ASSERT_EQ(got.size(), RoomBot::kMaxWaitingLines);
    // The oldest were dropped; the rest came in order.
    EXPECT_TRUE(got.front().ends_with(" line 100")) << got.front();
    EXPECT_TRUE(got.back().ends_with(" line " + std::to_string(RoomBot::kMaxWaitingLines + 99)));
    EXPECT_NE(logText_.str().find("dropping waiting lines"), std::string::npos);
}

}  // namespace
}  // namespace vebix::irc
