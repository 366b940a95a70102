#include "app/chat/conversation.h"

#include <QCoreApplication>
#include <QTimer>

#include "engine/ai/mindline.h"
#include "engine/base/ascii.h"
#include "engine/base/clock.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"
#include "app/platform/qtext.h"
#include "app/udlp/botmode.h"

namespace vebix {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The texts a person reads; the window installs the translation they are looked up in.
constexpr const char* kContext = "vebix::Conversation";
constexpr const char* kChattingWith =
    QT_TRANSLATE_NOOP("vebix::Conversation", "You are chatting with %1");
constexpr const char* kUnableToRespond = QT_TRANSLATE_NOOP(
    "vebix::Conversation", "Sorry, %1 is unable to respond to your previous message.");
constexpr const char* kTryRewording = QT_TRANSLATE_NOOP(
    "vebix::Conversation", "You can try wording your previous message differently.");

QString translated(const char* text) { return QCoreApplication::translate(kContext, text); }

}  // namespace

// The exchange under way. The engine asked is the one that learns, and the one whose reply is
// shown only while the keeper still holds it.
struct Conversation::Pending {
    std::shared_ptr<VebixAi> engine;
    std::string speaker;
    std::string key;
    bool learn = true;
    bool answersProbe = true;
    std::string line;
    std::string stamp;
    std::string answer;
};

Conversation::Conversation(MindKeeper& keeper, const std::atomic<bool>& delayResponses,
                           QObject* parent)
    : QObject(parent), keeper_(keeper), delayResponses_(delayResponses) {
    setObjectName(QStringLiteral("conversation"));
    setEngineCalls({});
    replyTimer_ = new QTimer(this);
    replyTimer_->setObjectName(QStringLiteral("replyTimer"));
    replyTimer_->setSingleShot(true);
    connect(replyTimer_, &QTimer::timeout, this, &Conversation::deliver);
}

Conversation::~Conversation() = default;

void Conversation::setEngineCalls(EngineCalls calls) {
    if (!calls.reply) {
        // The key is the exchange's own: only a chat room's differs from the speaker.
        calls.reply = [this](VebixAi& engine, const std::string& speaker, const std::string& line,
                             std::uint32_t referenceTime) {
            const std::string& key = pending_ ? pending_->key : speaker;
            return engine.reply(speaker, key, line, referenceTime);
        };
    }
    if (!calls.refreshFillWords)
        calls.refreshFillWords = [](VebixAi& engine) { engine.calcFillWords(); };
    calls_ = std::move(calls);
}

QString Conversation::botName(const VebixAi& engine) const { return fromUtf8(engine.botName()); }

bool Conversation::say(const Turn& turn) {
    if (!keeper_.bot() || pending_) return false;
    // What the engine will learn, and so what is shown: a paste may hold line breaks, which
    // no mind line can.
    const std::string line = std::string(trimAsciiSpace(learnedText(turn.typed)));
    if (line.empty()) return false;

    pending_ = std::make_unique<Pending>();
    Pending& exchange = *pending_;
    exchange.engine = keeper_.bot();
    exchange.speaker = turn.speaker;
    exchange.key = turn.key.empty() ? turn.speaker : turn.key;
    exchange.learn = turn.learn;
    exchange.answersProbe = turn.answersProbe;
    exchange.line = line;
    try {
        ask(exchange);
    } catch (...) {
        pending_.reset();
        throw;
    }
    return true;
}

void Conversation::ask(Pending& exchange) {
    VebixAi& engine = *exchange.engine;
    if (keeper_.exchangeCount() == 0)
        emit statusChanged(translated(kChattingWith).arg(botName(engine)));
    keeper_.setExchangeCount(keeper_.exchangeCount() + 1);
    emit lineAccepted(fromUtf8(exchange.line));
    keeper_.noteUserLine(clock().nowSeconds());
    const std::uint32_t lineTime = keeper_.lastLineTime();
    exchange.stamp = std::to_string(lineTime);

    std::string probe = exchange.line;
    if (exchange.answersProbe && answerProbe(probe)) {
        pending_.reset();
        emit probeAnswered(fromUtf8(probe));
        emit exchangeFinished();
        return;
    }

    if (exchange.learn)
        engine.addLine(exchange.key, exchange.stamp, exchange.speaker, exchange.line);
    // The events handled here let the front end show the line before the engine works; the
    // exchange stays pending meanwhile, and a mind replaced meanwhile drops the reply.
    if (keeper_.exchangeCount() == kFillWordExchanges) {
        keeper_.setExchangeCount(1);
        QCoreApplication::processEvents();
        calls_.refreshFillWords(engine);
    }
    QCoreApplication::processEvents();

    const std::uint64_t t0 = clock().tickMs();
    for (int call = 0; call < kReplyTries && exchange.answer.empty(); ++call)
        exchange.answer = calls_.reply(engine, exchange.speaker, exchange.line, lineTime);

    std::uint64_t holdMs = 0;
    if (!exchange.answer.empty() && delayResponses_.load()) {
        const std::uint64_t t1 = clock().tickMs();
        if (t0 <= t1 && t1 < t0 + responseDelayMs_) holdMs = responseDelayMs_ - (t1 - t0);
    }
    if (holdMs == 0) {
        deliver();
        return;
    }
    replyTimer_->start(static_cast<int>(holdMs));
}

void Conversation::deliver() {
    if (!pending_) return;
    const std::unique_ptr<Pending> exchange = std::move(pending_);
    // The mind was closed or replaced while the reply waited: this exchange belongs to a
    // conversation no longer shown.
    if (keeper_.bot() != exchange->engine) return;

    if (exchange->answer.empty()) {
        emit unableToReply(translated(kUnableToRespond).arg(botName(*exchange->engine)) + kCrLf +
                           translated(kTryRewording) + kCrLf);
    } else {
        emit replied(fromUtf8(exchange->answer));
        if (exchange->learn)
            exchange->engine->addAiLine(exchange->key, exchange->stamp, exchange->answer);
    }
    emit exchangeFinished();
}

}  // namespace vebix
