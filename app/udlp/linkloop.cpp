#include "app/udlp/linkloop.h"

#include <exception>

#include "engine/ai/mindline.h"
#include "engine/base/clock.h"
#include "app/udlp/botmode.h"
#include "app/udlp/chatmsgformat.h"
#include "app/udlp/linkexchange.h"
#include "app/mind/vebixai.h"

namespace vebix {

LinkLoop::LinkLoop(std::shared_ptr<VebixAi> engine, LinkBot other, UdlpInfo ownInfo, Window& window,
                   RunOnWindow runOnWindow)
    : engine_(std::move(engine)),
      other_(std::move(other)),
      ownInfo_(std::move(ownInfo)),
      window_(window),
      runOnWindow_(std::move(runOnWindow)) {}

LinkLoop::~LinkLoop() = default;

void LinkLoop::run() {
    runTurns();
    // Whatever ended the turns, the other bot is not left with a request, nor answering one
    // after this program has gone.
    if (exchange_) exchange_->release(kLinkExitWaitMs);
}

void LinkLoop::runTurns() {
    try {
        turns();
    } catch (const std::exception& e) {
        // Anything outside the exchange with the other bot (writing the request, the engine,
        // the window) ends link mode; the user is always told.
        std::string text = e.what();
        try {
            runOnWindow_([&] { window_.showError(text); });
        } catch (...) {
        }
    } catch (...) {
        try {
            runOnWindow_([&] { window_.showError("Unknown error"); });
        } catch (...) {
        }
    }
}

bool LinkLoop::pauseSince(std::uint64_t startTick) {
    // In short steps, so that a window closing in the middle of a pause is not kept waiting.
    for (;;) {
        if (stop_.load()) return false;
        std::uint64_t now = clock().tickMs();
        if (now >= startTick + kLinkPauseMs) return true;
        std::uint64_t left = startTick + kLinkPauseMs - now;
        clock().sleepMs(static_cast<std::uint32_t>(left < 50 ? left : 50));
    }
}

void LinkLoop::turns() {
    const std::string ownName = engine_->botName();
    const std::string& otherName = other_.name;
    const std::string otherId = speakerId(otherName, otherName);
    auto stampOf = [](std::uint32_t t) { return std::to_string(t); };

    std::string message = engine_->openingLine(otherName);
    if (message.empty()) message = std::string(kLinkOpeningFallback);
    // What is learned for the loaded bot's line: itself, or, for the words said when the engine
    // found nothing, the same words marked so they are never chosen as a reply.
    std::string learnedMessage = message;
    runOnWindow_([&] { window_.showBotLine(message); });

    exchange_ = std::make_unique<LinkExchange>(other_.folder, other_.exePath, ownName);
    LinkExchange& exchange = *exchange_;
    exchange.stopFlag = &stop_;
    // Link mode has begun once the other bot runs, not when its first answer is in.
    bool shownLinkStatus = false;
    exchange.onStarted = [&] {
        if (shownLinkStatus) return;
        shownLinkStatus = true;
        runOnWindow_([&] { window_.showLinkedStatus(ownName, otherName); });
    };
    std::uint32_t conversationStamp = clock().nowSeconds();
    int turnCounter = 1;
    std::string probeAnswerPending;

    for (;;) {
        if (stop_.load()) return;  // no new exchange once the window is closing
        bool sentProbeAnswer = !probeAnswerPending.empty();
        probeAnswerPending.clear();

        std::uint64_t tick0 = clock().tickMs();
        LinkExchange::Result result = exchange.exchange(message);
        std::uint32_t replyStamp = clock().nowSeconds();
        if (result.cannotStart) {
            // Nothing will answer: said once, where it does not stand in the way of Exit, and
            // the turns end.
            runOnWindow_([&] {
                window_.showInfo(result.error);
                window_.showEndedStatus();
            });
            return;
        }
        if (!result.error.empty() && ownInfo_.showErrors)
            runOnWindow_([&] { window_.showError(result.error); });
        if (!result.note.empty()) runOnWindow_([&] { window_.showInfo(result.note); });
        if (stop_.load()) return;
        if (delay_->load() && !pauseSince(tick0)) return;

        std::string reply = result.reply;
        if (result.gotReply) {
            runOnWindow_([&] {
                if (answerProbe(reply))
                    probeAnswerPending = reply;
                else
                    window_.showPartnerLine(otherName, reply);
                if (ownInfo_.learn) {
                    // Only a line the other bot answered is learned, and the reply with it.
                    if (!sentProbeAnswer)
                        engine_->addAiLine(otherId, stampOf(conversationStamp), learnedMessage);
                    if (probeAnswerPending.empty())
                        engine_->addLine(otherId, stampOf(replyStamp), otherId, reply);
                    window_.markLearned();
                }
            });
        }
        conversationStamp = clock().nowSeconds();
        if (!result.gotReply) {
            runOnWindow_([&] { window_.showNoAnswer(otherName); });
            reply = std::string(chatmsg::kNoReplyAnswer);
        }
        if (!probeAnswerPending.empty()) {
            message = learnedMessage = probeAnswerPending;
            continue;
        }

        tick0 = clock().tickMs();
        message = engine_->reply(otherId, otherId, reply, conversationStamp);
        learnedMessage = message;
        if (message.empty()) {
            // Never an empty line to the other bot.
            message = std::string(chatmsg::kNoReplyAnswer);
            learnedMessage = std::string(chatmsg::kNoReplyLearned);
        }
        if (delay_->load() && !pauseSince(tick0)) return;
        runOnWindow_([&] { window_.showBotLine(message); });

        // The fill words belong to the mind, which only the window thread changes: a reply
        // read on this thread meanwhile would otherwise see them half rebuilt.
        if (++turnCounter > kLinkFillWordTurns) {
            turnCounter = 1;
            runOnWindow_([&] { engine_->calcFillWords(); });
        }
    }
}

}  // namespace vebix
