#pragma once
// Link mode's conversation, turn by turn: the loaded bot says a line, the other bot answers it
// through the CHAT.MSG exchange, the loaded bot replies, and so on until told to stop. Runs on
// a thread of its own; everything that shows something or teaches the mind is handed to the
// window thread through runOnWindow, which runs it there and waits for it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "app/udlp/udlpinfo.h"

namespace vebix {

class LinkExchange;
class VebixAi;

inline constexpr std::uint32_t kLinkPauseMs = 2200;
inline constexpr std::string_view kUnableToRespond = " was unable to respond";
inline constexpr std::string_view kLinkOpeningFallback = "hi";
inline constexpr std::string_view kLinkEndedStatus = "Link Mode ended";
// How long the end of link mode waits for the other bot to finish a turn still in flight
// before it ends that bot.
inline constexpr std::uint32_t kLinkExitWaitMs = 5000;
// Engine lines between two refreshes of the fill words.
inline constexpr int kLinkFillWordTurns = 9;

// The status line while the two bots are linked, in plain English.
inline std::string linkedStatus(std::string_view ownName, std::string_view otherName) {
    return "Link Mode: " + std::string(ownName) + " and " + std::string(otherName);
}

// The other bot of a link.
struct LinkBot {
    std::string name;
    std::string folder;
    std::string exePath;
};

class LinkLoop {
public:
    // What the loop asks of the window. Called only inside runOnWindow.
    class Window {
    public:
        virtual ~Window() = default;
        // The loaded bot's line, under its name tag.
        virtual void showBotLine(std::string_view text) = 0;
        // The other bot's line, under its name tag.
        virtual void showPartnerLine(std::string_view name, std::string_view text) = 0;
        // A grey note (the other bot did not answer).
        virtual void showInfo(std::string_view text) = 0;
        virtual void setStatus(std::string_view text) = 0;
        // The status once the other bot runs; by default "Link Mode: <own> and <other>".
        virtual void showLinkedStatus(std::string_view ownName, std::string_view otherName) {
            setStatus(linkedStatus(ownName, otherName));
        }
        // The status once the turns have ended for good; by default kLinkEndedStatus.
        virtual void showEndedStatus() { setStatus(kLinkEndedStatus); }
        // The note that the other bot gave no answer; by default "<other> was unable to
        // respond" through showInfo.
        virtual void showNoAnswer(std::string_view otherName) {
            showInfo(std::string(otherName) + std::string(kUnableToRespond));
        }
        // An error box, caption "UDLP Error".
        virtual void showError(std::string_view text) = 0;
        // The mind learned something: it must be saved when the window closes.
        virtual void markLearned() = 0;
    };
    using RunOnWindow = std::function<void(const std::function<void()>&)>;

    LinkLoop(std::shared_ptr<VebixAi> engine, LinkBot other, UdlpInfo ownInfo, Window& window,
             RunOnWindow runOnWindow);
    ~LinkLoop();

    // The thread body: turns until stop is set, until the other bot's program turns out not
    // to exist or not to start (said once, with the reason, in the display and the status
    // line, no error box), or until an
    // error outside the exchange with the other bot ends it (the error is shown first). Then
    // the other bot is released: one still running gets exitWaitMs to end before it is ended,
    // and the CHAT.MSG this side left in its folder is removed. Never throws.
    void run();

    // Asks run() to end after the exchange or pause it is in.
    void requestStop() { stop_.store(true); }
    bool stopRequested() const { return stop_.load(); }

    // The flag that says whether each line is held for the link pause; it is read afresh
    // before every pause, so that a change takes effect at once, and must outlive the loop.
    // Until one is given the pause is always kept.
    void takeDelayFrom(const std::atomic<bool>& delayResponses) { delay_ = &delayResponses; }

private:
    void runTurns();  // turns(), with what ends them shown
    void turns();
    // Waits until kLinkPauseMs have passed since startTick; false when told to stop.
    bool pauseSince(std::uint64_t startTick);

    std::shared_ptr<VebixAi> engine_;
    LinkBot other_;
    UdlpInfo ownInfo_;
    Window& window_;
    RunOnWindow runOnWindow_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> alwaysDelay_{true};
    const std::atomic<bool>* delay_ = &alwaysDelay_;
    std::unique_ptr<LinkExchange> exchange_;
};

}  // namespace vebix
