#include "app/gui/botlinkthread.h"

#include <QCoreApplication>

#include <atomic>

#include "app/gui/prompts.h"
#include "app/chat/windowthread.h"
#include "app/platform/qtext.h"

namespace vebix {

VebixForm::BotLinkThread::BotLinkThread(VebixForm* mainForm, std::shared_ptr<VebixAi> engine,
                                        const LinkBot& linkBot, const UdlpInfo& ownInfo,
                                        const std::atomic<bool>& delayResponses)
    : mainForm_(mainForm),
      loop_(std::move(engine), linkBot, ownInfo, *this, [this](const std::function<void()>& work) {
          // Once the window is closing (or gone) the loop no longer reaches it.
          VebixForm* form = mainForm_.data();
          if (loop_.stopRequested() || !form) return;
          runOnWindowThread(form, [&] {
              if (!loop_.stopRequested()) work();
          });
      }) {
    // The Tools menu may switch it at any time.
    loop_.takeDelayFrom(delayResponses);
}

void VebixForm::BotLinkThread::run() {
    loop_.run();
    MutexLock lock(endedMutex_);
    ended_ = true;
}

bool VebixForm::BotLinkThread::loopEnded() {
    MutexLock lock(endedMutex_);
    return ended_;
}

void VebixForm::BotLinkThread::showBotLine(std::string_view text) {
    mainForm_->showBotTag();
    mainForm_->appendText(fromUtf8(text) + QStringLiteral("\r\n"), ChatRole::Text);
}

void VebixForm::BotLinkThread::showPartnerLine(std::string_view name, std::string_view text) {
    mainForm_->showPartnerTag(fromUtf8(name));
    mainForm_->appendText(fromUtf8(text) + QStringLiteral("\r\n"), ChatRole::Text);
}

void VebixForm::BotLinkThread::showInfo(std::string_view text) {
    mainForm_->appendText(fromUtf8(text) + QStringLiteral("\r\n"), ChatRole::Info);
}

void VebixForm::BotLinkThread::setStatus(std::string_view text) {
    mainForm_->setStatusText(fromUtf8(text));
}

// The loop's own defaults are plain English for the terminal; the window shows translated
// texts of its own.
void VebixForm::BotLinkThread::showLinkedStatus(std::string_view ownName,
                                                std::string_view otherName) {
    // One arg() call, so that a name holding "%2" is shown as it is.
    mainForm_->setStatusText(
        QCoreApplication::translate("vebix::BotLinkThread", "Link Mode: %1 and %2")
            .arg(fromUtf8(ownName), fromUtf8(otherName)));
}

void VebixForm::BotLinkThread::showEndedStatus() {
    mainForm_->setStatusText(
        QCoreApplication::translate("vebix::BotLinkThread", "Link Mode ended"));
}

void VebixForm::BotLinkThread::showNoAnswer(std::string_view otherName) {
    mainForm_->appendText(
        QCoreApplication::translate("vebix::BotLinkThread", "%1 was unable to respond")
                .arg(fromUtf8(otherName)) +
            QStringLiteral("\r\n"),
        ChatRole::Info);
}

void VebixForm::BotLinkThread::showError(std::string_view text) {
    // The message is the exchange's own error, which stays as it was made.
    mainForm_->prompts().error(mainForm_,
                               QCoreApplication::translate("vebix::BotLinkThread", "UDLP Error"),
                               fromUtf8(text));
}

void VebixForm::BotLinkThread::markLearned() { mainForm_->keeper().noteLearned(); }

}  // namespace vebix
