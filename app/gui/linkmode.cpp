// Link mode: the loaded bot converses with another UDLP bot in this window until the user
// leaves with Exit. The turns run on BotLinkThread; this file turns the window into link mode
// and ends the thread when the window closes.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "engine/base/ascii.h"
#include "app/mind/startup.h"
#include "app/platform/qtext.h"
#include "app/udlp/udlpinfo.h"
#include "app/gui/botlinkthread.h"
#include "app/gui/chatdisplay.h"
#include "app/gui/findudlpbotform.h"
#include "app/gui/prompts.h"
#include "app/gui/vebixform.h"

namespace vebix {

void VebixForm::startLinkMode() {
    if (linkThread_) return;  // one link per window
    const QString udlpCaption = tr("UDLP");
    UdlpInfo own;
    if (!findUdlpInfo(own, programPath_, keeper().bot() ? keeper().bot()->botName() : "")) {
        prompts_->message(this, udlpCaption, tr("You must first enable UDLP"),
                          QMessageBox::Information);
        return;
    }
    if (!equalsIgnoringAsciiCase(own.mind, keeper().mindPath())) {
        prompts_->message(this, udlpCaption,
                          tr("UDLP is enabled for a different Vebix bot; you must enable UDLP for "
                             "this bot or load the desired mind file"),
                          QMessageBox::Warning);
        return;
    }
    FindUdlpBotForm finder(*prompts_, this, keeper().mindPath());
    if (prompts_->exec(finder) != QDialog::Accepted) return;
    if (!finder.chosenBot()) {
        prompts_->message(this, udlpCaption, tr("Problem interfacing with UDLP bot"),
                          QMessageBox::Warning);
        return;
    }
    const BotListEntry& other = *finder.chosenBot();
    const QString ownName = fromUtf8(keeper().bot()->botName());
    const QString otherName = fromUtf8(other.name);

    // The window becomes link mode's; there is no way back.
    disp_->clear();
    setStatusText(tr("Linking..."));
    setWindowTitle(tr("%1 - Link Mode").arg(windowTitle()));
    disconnect(sayBtn_, &QPushButton::clicked, nullptr, nullptr);
    connect(sayBtn_, &QPushButton::clicked, this, &QWidget::close);
    sayBtn_->setText(tr("E&xit"));
    sayBtn_->setEnabled(true);
    sayBtn_->setFocus();
    input_->hide();
    keepOnlyLinkModeMenuItems();
    linkBotPic1_->setPixmap(windowIcon().pixmap(32, 32));
    linkBotName1_->setFont(input_->font());
    linkBotName1_->setText(ownName);
    linkBotPic2_->setPixmap(FindUdlpBotForm::botIcon(other).pixmap(32, 32));
    linkBotName2_->setFont(input_->font());
    linkBotName2_->setText(otherName);
    for (QLabel* l : {linkBotPic1_, linkBotName1_, linkBotPic2_, linkBotName2_}) l->show();
    // One pass over both names: a name holding "%1" stays as it is.
    appendText(tr("Linked bots %1 and %2").arg(ownName, otherName) + QStringLiteral("\r\n\r\n"),
               ChatRole::Info);

    linkThread_ =
        new BotLinkThread(this, keeper().bot(), LinkBot{other.name, other.folder, other.exePath},
                          own, session_->delayResponses());
    linkThread_->start();
}

void VebixForm::stopLinkMode() {
    if (!linkThread_) return;
    linkThread_->requestStop();
    // The thread is waited for however long it takes: it may be inside the engine, whose reply
    // is bounded, or giving a turn still in flight its bounded time (LinkLoop::run). Left
    // behind, it would be cut off inside the engine when the program ends, and the other bot's
    // folder would keep a CHAT.MSG. The window has gone from the screen before this; the
    // thread may meanwhile be waiting for the window to run something it handed over, so those
    // keep running.
    while (!linkThread_->wait(QDeadlineTimer(20)) || !linkThread_->loopEnded())
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    delete linkThread_;
    linkThread_ = nullptr;
}

}  // namespace vebix
