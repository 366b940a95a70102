#pragma once
// One person chatting with the loaded mind, exchange by exchange: the typed line is cleaned
// into what the mind learns, the UDLP probe is answered at once, otherwise the line is learned,
// the engine is asked (several times when it finds nothing), and its reply is learned and shown
// or an apology is shown. With the delay on, a reply is held until a second after the engine
// was asked, on a timer, while the front end keeps running. Every tenth exchange recomputes
// the mind's fill words. No widgets: a window, a terminal or link mode drives it through
// say() and shows what the signals carry.

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QTimer;

namespace vebix {

class MindKeeper;
class VebixAi;

class Conversation : public QObject {
    Q_OBJECT
public:
    // The shortest time between asking the engine and showing its reply, with the delay on.
    static constexpr std::uint64_t kResponseDelayMs = 1000;
    // How often an exchange asks the engine before it apologises.
    static constexpr int kReplyTries = 10;
    // Exchanges between two recomputations of the fill words (counted by the keeper).
    static constexpr int kFillWordExchanges = 10;

    // Talks with keeper's mind, whichever is loaded at each say(); delayResponses is read at
    // every exchange. Both must outlive the conversation.
    Conversation(MindKeeper& keeper, const std::atomic<bool>& delayResponses,
                 QObject* parent = nullptr);
    ~Conversation() override;

    // One line said to the mind: who said it, in which conversation (the engine keys its lines
    // by it; empty: the speaker's own, as in the window), and whether the exchange is learned.
    struct Turn {
        std::string speaker;
        std::string typed;
        std::string key;
        bool learn = true;
        // Whether the bots' probe gets the probe's answer; without, it is a line like any
        // other.
        bool answersProbe = true;
    };

    // Starts an exchange for the line speaker typed. Nothing happens (false) with no mind, a
    // line that is blank once cleaned, or an exchange still pending. Otherwise, in order:
    // statusChanged on the first exchange since the load, lineAccepted, then probeAnswered,
    // replied or unableToReply, and exchangeFinished; a held reply comes from the event loop.
    // A mind closed or replaced before a held reply is shown drops that reply: nothing more
    // is shown or learned for the exchange. Errors of the engine propagate; the exchange is
    // then over.
    bool say(const std::string& speaker, const std::string& typed) {
        return say(Turn{speaker, typed, {}, true});
    }
    // The same for a line of a conversation with its own key (a chat room's, where many
    // speak); without learn, neither the line nor the reply is learned.
    bool say(const Turn& turn);

    // Whether an exchange has started and not yet ended (its reply may be held).
    bool exchangePending() const { return pending_ != nullptr; }

signals:
    // "You are chatting with <bot>": the first exchange since the mind was loaded.
    void statusChanged(const QString& text);
    // The user's line as the mind learns it (line breaks of a paste as blanks).
    void lineAccepted(const QString& line);
    // The answer to the UDLP probe; nothing is learned for it.
    void probeAnswered(const QString& answer);
    // The bot's reply, learned once this is emitted.
    void replied(const QString& reply);
    // The engine found nothing: the two apology lines, CR LF after each.
    void unableToReply(const QString& apology);
    // The exchange is over and shown; the next line may be said.
    void exchangeFinished();

private:
    // Tests script the engine's answers and shorten the delay (conversationtesthelper.h).
    friend class ConversationTestHelper;

    // The calls into the engine; by default the engine's own.
    struct EngineCalls {
        std::function<std::string(VebixAi& engine, const std::string& speaker,
                                  const std::string& line, std::uint32_t referenceTime)>
            reply;
        std::function<void(VebixAi& engine)> refreshFillWords;
    };
    void setEngineCalls(EngineCalls calls);

    struct Pending;
    void ask(Pending& exchange);
    // Shows and learns the held reply, unless the mind was closed or replaced meanwhile.
    void deliver();
    QString botName(const VebixAi& engine) const;

    MindKeeper& keeper_;
    const std::atomic<bool>& delayResponses_;
    EngineCalls calls_;
    std::uint64_t responseDelayMs_ = kResponseDelayMs;
    QTimer* replyTimer_;
    std::unique_ptr<Pending> pending_;
};

}  // namespace vebix
