#pragma once
// Link mode's worker thread: runs the link loop (the turns of the two bots) so that the window
// stays responsive while the other bot's program works.

#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>

#include "engine/base/mutex.h"
#include "app/udlp/linkloop.h"
#include "app/gui/vebixform.h"

namespace vebix {

class VebixForm::BotLinkThread : public QThread, private LinkLoop::Window {
public:
    // Holds the engine for as long as it runs, also after the window released it.
    // delayResponses is the window's flag, read before every pause.
    BotLinkThread(VebixForm* mainForm, std::shared_ptr<VebixAi> engine, const LinkBot& linkBot,
                  const UdlpInfo& ownInfo, const std::atomic<bool>& delayResponses);

    // Asks the loop to end; from then on it no longer reaches the window.
    void requestStop() { loop_.requestStop(); }
    bool stopRequested() const { return loop_.stopRequested(); }

    LinkLoop& loop() { return loop_; }

    // True once run() has returned. Ask it after wait() before deleting the thread: the lock it
    // takes makes the end of the thread's work visible to race checkers, which cannot see the
    // toolkit's own join.
    bool loopEnded();

protected:
    void run() override;

private:
    // LinkLoop::Window, run on the window thread.
    void showBotLine(std::string_view text) override;
    void showPartnerLine(std::string_view name, std::string_view text) override;
    void showInfo(std::string_view text) override;
    void setStatus(std::string_view text) override;
    void showLinkedStatus(std::string_view ownName, std::string_view otherName) override;
    void showEndedStatus() override;
    void showNoAnswer(std::string_view otherName) override;
    void showError(std::string_view text) override;
    void markLearned() override;

    QPointer<VebixForm> mainForm_;
    LinkLoop loop_;
    Mutex endedMutex_;
    bool ended_ VEBIX_GUARDED_BY(endedMutex_) = false;
};

}  // namespace vebix
