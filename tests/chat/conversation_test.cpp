// The conversation without a window: what it shows through its signals, what the mind learns,
// the retries and apology, the fill-word refresh, and the held reply.
#include "app/chat/conversation.h"
#include "app/chat/conversationtesthelper.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "engine/base/clock.h"
#include "support/fakeclock.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"

namespace vebix {
namespace {

constexpr std::uint32_t kNow = 1700000000;

class ConversationTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        // A new mind from the template; nothing is written.
        ASSERT_EQ(keeper_.loadMind(mindPath("mind.mdd")), MindKeeper::Loaded::New);
        ASSERT_TRUE(keeper_.bot());
        ConversationTestHelper::setEngineCalls(
            conversation_,
            {[this](VebixAi&, const std::string& speaker, const std::string& line,
                    std::uint32_t referenceTime) {
                 asked_.push_back(speaker + "|" + line + "|" + std::to_string(referenceTime));
                 clock_.advanceMs(engineMs_);
                 // The answers in turn, the last one repeated.
                 const std::size_t at = std::min(asked_.size(), answers_.size()) - 1;
                 return answers_[at];
             },
             [this](VebixAi& engine) {
                 ++refreshes_;
                 engine.calcFillWords();
             }});
        auto record = [this](const char* what) {
            return [this, what](const QString& text) {
                shown_.push_back(std::string(what) + ":" + text.toStdString());
            };
        };
        QObject::connect(&conversation_, &Conversation::statusChanged, record("status"));
        QObject::connect(&conversation_, &Conversation::lineAccepted, record("line"));
        QObject::connect(&conversation_, &Conversation::probeAnswered, record("probe"));
        QObject::connect(&conversation_, &Conversation::replied, record("reply"));
        QObject::connect(&conversation_, &Conversation::unableToReply, record("sorry"));
        QObject::connect(&conversation_, &Conversation::exchangeFinished,
                         [this] { shown_.push_back("finished"); });
    }

    std::string mindPath(const char* name) const {
        return QDir(tmp_.path()).filePath(name).toStdString();
    }
    std::string lastLine() const { return std::string(keeper_.bot()->lines().back()); }
    // Runs the event loop until the exchange is over, for at most 10 s.
    bool finish() {
        QDeadlineTimer deadline(10000);
        while (conversation_.exchangePending() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        return !conversation_.exchangePending();
    }
    QTimer* replyTimer() { return conversation_.findChild<QTimer*>("replyTimer"); }

    FakeClock clock_{kNow};
    ScopedClock scoped_{clock_};
    QTemporaryDir tmp_;
    MindKeeper keeper_{MindKeeper::Use::Read};
    std::atomic<bool> delay_{false};
    Conversation conversation_{keeper_, delay_};
    std::vector<std::string> answers_{"fine, thanks"};
    std::uint64_t engineMs_ = 0;
    std::vector<std::string> asked_;
    int refreshes_ = 0;
    std::vector<std::string> shown_;
};

TEST_F(ConversationTest, TheLineIsLearnedAndTheReplyShownAndLearned) {
    const std::size_t before = keeper_.bot()->lines().size();
    // A paste's line breaks become blanks; white space at the ends goes.
    ASSERT_TRUE(conversation_.say("Ann!T", "  how are\nyou?  "));
    const std::string stamp = std::to_string(kNow);
    EXPECT_EQ(shown_,
              (std::vector<std::string>{"status:You are chatting with Vebix", "line:how are you?",
                                        "reply:fine, thanks", "finished"}));
    EXPECT_EQ(asked_, std::vector<std::string>{"Ann!T|how are you?|" + stamp});
    ASSERT_EQ(keeper_.bot()->lines().size(), before + 2);
    EXPECT_EQ(std::string(keeper_.bot()->lines()[before]),
              "Ann!T " + stamp + " Ann!T how are you?");
    EXPECT_EQ(lastLine(), "Ann!T " + stamp + " <ai> fine, thanks");
    EXPECT_EQ(keeper_.exchangeCount(), 1);
    EXPECT_EQ(keeper_.lastLineTime(), kNow);
    EXPECT_FALSE(conversation_.exchangePending());

    // The status is said on the first exchange only.
    shown_.clear();
    ASSERT_TRUE(conversation_.say("Ann!T", "and now?"));
    EXPECT_EQ(shown_.front(), "line:and now?");
}

// A chat room's lines: the speaker says it, the room's key files it; or, with learning off,
// the reply is shown and nothing is learned.
TEST_F(ConversationTest, ATurnMayCarryItsOwnKeyOrLearnNothing) {
    const std::string stamp = std::to_string(kNow);
    const struct {
        Conversation::Turn turn;
        std::vector<std::string> learned;
    } cases[] = {
        {{"ann", "hi all", "#room", true},
         {"#room " + stamp + " ann hi all", "#room " + stamp + " <ai> fine, thanks"}},
        {{"ann", "hi all", "", true},
         {"ann " + stamp + " ann hi all", "ann " + stamp + " <ai> fine, thanks"}},
        {{"ann", "hi all", "#room", false}, {}},
    };
    for (const auto& c : cases) {
        const std::size_t before = keeper_.bot()->lines().size();
        shown_.clear();
        ASSERT_TRUE(conversation_.say(c.turn));
        EXPECT_EQ(shown_.back(), "finished");
        EXPECT_NE(std::find(shown_.begin(), shown_.end(), "reply:fine, thanks"), shown_.end());
        std::vector<std::string> learned;
        for (std::size_t i = before; i < keeper_.bot()->lines().size(); ++i)
            learned.emplace_back(keeper_.bot()->lines()[i]);
        EXPECT_EQ(learned, c.learned) << c.turn.key << c.turn.learn;
    }
}

TEST_F(ConversationTest, NothingToSayStartsNoExchange) {
    EXPECT_FALSE(conversation_.say("Ann!T", " \t\r\n "));
    keeper_.discardMind();
    EXPECT_FALSE(conversation_.say("Ann!T", "hello"));
    EXPECT_TRUE(shown_.empty());
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(keeper_.exchangeCount(), 0);
}

TEST_F(ConversationTest, TheProbeIsAnsweredAtOnceAndNothingIsLearned) {
    const std::size_t before = keeper_.bot()->lines().size();
    ASSERT_TRUE(conversation_.say("Ann!T", "!#@ "));
    EXPECT_EQ(shown_, (std::vector<std::string>{"status:You are chatting with Vebix", "line:!#@",
                                                "probe:<mxo1.7.5>", "finished"}));
    EXPECT_TRUE(asked_.empty());
    EXPECT_EQ(keeper_.bot()->lines().size(), before);
}

// The engine is asked up to ten times; the first answer ends the asking. None: the apology,
// and only the user's line is learned.
TEST_F(ConversationTest, RetriesThenApologises) {
    struct Case {
        std::vector<std::string> answers;
        std::size_t calls;
        std::string last;  // the last thing shown before "finished"
    };
    const std::string sorry =
        "sorry:Sorry, Vebix is unable to respond to your previous message.\r\n"
        "You can try wording your previous message differently.\r\n";
    for (const Case& c :
         {Case{{"", "", "", "at last"}, 4, "reply:at last"}, Case{{""}, 10, sorry}}) {
        answers_ = c.answers;
        asked_.clear();
        shown_.clear();
        const std::size_t before = keeper_.bot()->lines().size();
        delay_ = true;
        ConversationTestHelper::setResponseDelayMs(conversation_, 20);
        ASSERT_TRUE(conversation_.say("Ann!T", "anybody there?"));
        EXPECT_EQ(asked_.size(), c.calls);
        // An apology is never held; an answer is.
        EXPECT_EQ(conversation_.exchangePending(), c.calls != 10);
        ASSERT_TRUE(finish());
        ASSERT_GE(shown_.size(), 2u);
        EXPECT_EQ(shown_.back(), "finished");
        EXPECT_EQ(shown_[shown_.size() - 2], c.last);
        EXPECT_EQ(keeper_.bot()->lines().size(), before + (c.calls == 10 ? 1 : 2));
        delay_ = false;
    }
}

// The fill words are recomputed at the 10th exchange since the load, and the count restarts.
TEST_F(ConversationTest, FillWordsAreRefreshedAtTheTenthExchange) {
    for (int i = 1; i <= 11; ++i) {
        ASSERT_TRUE(conversation_.say("Ann!T", "line " + std::to_string(i)));
        EXPECT_EQ(refreshes_, i >= 10 ? 1 : 0) << i;
        EXPECT_EQ(keeper_.exchangeCount(), i >= 10 ? i - 9 : i) << i;
    }
}

// With the delay on a reply is held until the response delay has passed since the engine was
// first asked; a slow engine is not held further; with the delay off nothing is held.
TEST_F(ConversationTest, TheReplyIsHeldOnlyWithTheDelayOn) {
    struct Case {
        bool delay;
        std::uint64_t engineMs;
        int heldMs;
    };
    ConversationTestHelper::setResponseDelayMs(conversation_, 40);
    for (const Case c :
         {Case{true, 0, 40}, Case{true, 15, 25}, Case{true, 40, 0}, Case{false, 0, 0}}) {
        SCOPED_TRACE(::testing::Message() << c.delay << "/" << c.engineMs);
        delay_ = c.delay;
        engineMs_ = c.engineMs;
        shown_.clear();
        ASSERT_TRUE(conversation_.say("Ann!T", "hello"));
        EXPECT_EQ(conversation_.exchangePending(), c.heldMs > 0);
        EXPECT_EQ(replyTimer()->isActive(), c.heldMs > 0);
        if (c.heldMs > 0) {
            EXPECT_EQ(replyTimer()->interval(), c.heldMs);
            EXPECT_NE(shown_.back(), "finished");
            EXPECT_EQ(lastLine().find(" <ai> "), std::string::npos);  // not learned yet
            // A second line waits for this exchange.
            EXPECT_FALSE(conversation_.say("Ann!T", "hello again"));
            ASSERT_TRUE(finish());
        }
        ASSERT_GE(shown_.size(), 2u);
        EXPECT_EQ(shown_[shown_.size() - 2], "reply:fine, thanks");
        EXPECT_EQ(shown_.back(), "finished");
        EXPECT_NE(lastLine().find(" <ai> fine, thanks"), std::string::npos);
    }
}

// A mind replaced (or closed) while its reply is held drops the reply: nothing more is shown,
// and neither mind learns it.
TEST_F(ConversationTest, AHeldReplyIsDroppedWhenTheMindIsReplaced) {
    for (const bool close : {false, true}) {
        SCOPED_TRACE(close ? "closed" : "replaced");
        if (!keeper_.bot()) keeper_.loadMind(mindPath("mind.mdd"));
        ConversationTestHelper::setResponseDelayMs(conversation_, 30);
        delay_ = true;
        shown_.clear();
        const std::shared_ptr<VebixAi> first = keeper_.bot();
        ASSERT_TRUE(conversation_.say("Ann!T", "are you there?"));
        ASSERT_TRUE(conversation_.exchangePending());
        if (close)
            keeper_.discardMind();
        else
            keeper_.loadMind(mindPath("other.mdd"));
        const std::size_t otherLines = keeper_.bot() ? keeper_.bot()->lines().size() : 0;
        ASSERT_TRUE(finish());
        EXPECT_EQ(shown_.back(), "line:are you there?");
        EXPECT_NE(std::string(first->lines().back()).find(" Ann!T are you there?"),
                  std::string::npos);
        if (keeper_.bot()) {
            EXPECT_EQ(keeper_.bot()->lines().size(), otherLines);
        }
    }
}

}  // namespace
}  // namespace vebix
