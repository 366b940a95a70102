#include "app/gui/udlpform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QEnterEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/base/error.h"
#include "app/platform/filewrite.h"
#include "app/platform/qtext.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/startup.h"
#include "app/platform/systempaths.h"
#include "app/udlp/botfolder.h"
#include "app/udlp/udlpformat.h"
#include "app/udlp/udlpguide.h"
#include "app/udlp/udlpinfo.h"
#include "app/gui/application.h"
#include "app/gui/dialogplacement.h"
#include "app/gui/dialogsize.h"
#include "app/gui/prompts.h"

namespace vebix {
namespace {

constexpr const char* kCaption = QT_TRANSLATE_NOOP("vebix::UdlpForm", "UDLP");
constexpr const char* kNoBot = QT_TRANSLATE_NOOP(
    "vebix::UdlpForm", "Unable to enable UDLP2 for the current bot: no bot loaded");
constexpr const char* kNoBotLoaded = QT_TRANSLATE_NOOP(
    "vebix::UdlpForm",
    "No bot is loaded. Load or create a mind (File menu) to enable UDLP2 for it.");
constexpr const char* kOverwrite =
    QT_TRANSLATE_NOOP("vebix::UdlpForm", "UDLP is currently enabled for another bot; overwrite?");
constexpr const char* kEnabled = QT_TRANSLATE_NOOP("vebix::UdlpForm", "UDLP enabled");
constexpr const char* kLearnCaption = QT_TRANSLATE_NOOP("vebix::UdlpForm", "UDLP Learn");
constexpr const char* kLearnText = QT_TRANSLATE_NOOP(
    "vebix::UdlpForm",
    "This enables your bot to learn from linked conversations, which may not be desired when "
    "linked with less intelligent bots,\r\nor when the linked conversation will not be as clean "
    "or on topics you want your bot to know about.\r\n\r\nYou must check this box before "
    "pressing the Enable button.");

}  // namespace

// The colours come from the desktop's palette as it is when the mouse moves, so that a light
// or dark theme (and a change of theme) is followed: the theme's link colour while hovered,
// its ordinary text colour otherwise.
void LinkLabel::enterEvent(QEnterEvent* event) {
    showHovered(true);
    QLabel::enterEvent(event);
}

void LinkLabel::leaveEvent(QEvent* event) {
    showHovered(false);
    QLabel::leaveEvent(event);
}

void LinkLabel::showHovered(bool hovered) {
    const QPalette desktop = QApplication::palette(this);
    QPalette p = palette();
    p.setColor(QPalette::WindowText,
               desktop.color(hovered ? QPalette::Link : QPalette::WindowText));
    setPalette(p);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

const char* const UdlpForm::kGuidePage = "udlp.md";

UdlpForm::UdlpForm(QWidget* owner, const MindKeeper* mind, Prompts& prompts,
                   const std::string& programPath)
    : QDialog(owner), mind_(mind), prompts_(&prompts), programPath_(programPath) {
    setObjectName(QStringLiteral("UdlpForm"));
    setWindowTitle(tr("Universal Dynamic Link Protocol"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    introLabel_ = new QLabel(tr("UDLP allows bots to be linked together and carry out their own "
                                "conversations. The protocol was designed by the UDLP authors "
                                "for bots of every kind."),
                             this);
    introLabel_->setObjectName(QStringLiteral("introLabel"));
    introLabel_->setWordWrap(true);

    linkShellLabel_ = new LinkLabel(
        tr("The bot linking program, called \"UDLP2 Link Shell\", comes from its own makers. "
           "How to link bots: %1")
            .arg(QString::fromUtf8(kGuidePage)),
        this);
    linkShellLabel_->setObjectName(QStringLiteral("linkShellLabel"));
    linkShellLabel_->setWordWrap(true);
    linkShellLabel_->setCursor(Qt::PointingHandCursor);

    // Both names go in by one arg() call, which fills the placeholders in a single pass, so
    // that a bot or file name that holds "%2" or "%s" is shown as it is.
    QString curBot;
    if (mind_ && mind_->isBotLoaded()) {
        const QString name = fromUtf8(mind_->bot()->botName());
        const QString file = QFileInfo(toQPath(mind_->bot()->fileName())).fileName();
        curBot = tr("To enable UDLP2 to be used with the current bot \"%1\" (%2), click on the "
                    "following Enable button.")
                     .arg(name, file);
    } else {
        curBot = tr(kNoBotLoaded);
    }
    curBotLabel_ = new QLabel(curBot, this);
    curBotLabel_->setObjectName(QStringLiteral("curBotLabel"));
    curBotLabel_->setWordWrap(true);
    curBotLabel_->setTextFormat(Qt::PlainText);

    learnCheck_ = new QCheckBox(tr("This bot will &learn from the linked conversation"), this);
    learnCheck_->setObjectName(QStringLiteral("learnCheck"));

    enableUdlpBtn_ = new QPushButton(tr("Enable UDLP2"), this);
    enableUdlpBtn_->setObjectName(QStringLiteral("enableUdlpBtn"));
    enableUdlpBtn_->setAutoDefault(false);

    label4_ = new QLabel(tr("Note that UDLP2 can only be used with one mind file at a time. Each "
                            "time it is enabled, it is only enabled for the currently loaded bot "
                            "mind file."),
                         this);
    label4_->setObjectName(QStringLiteral("label4"));
    label4_->setWordWrap(true);

    doneBtn_ = new QPushButton(tr("Done"), this);
    doneBtn_->setObjectName(QStringLiteral("doneBtn"));
    doneBtn_->setAutoDefault(false);

    // The check box is indented under the text it belongs to; Enable stands in the middle.
    auto* learnRow = new QHBoxLayout;
    learnRow->addSpacing(learnCheck_->fontMetrics().averageCharWidth() * 4);
    learnRow->addWidget(learnCheck_);
    learnRow->addStretch(1);
    auto* enableRow = new QHBoxLayout;
    enableRow->addStretch(1);
    enableRow->addWidget(enableUdlpBtn_);
    enableRow->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(doneBtn_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(introLabel_);
    layout->addWidget(linkShellLabel_);
    layout->addWidget(curBotLabel_);
    layout->addLayout(learnRow);
    layout->addLayout(enableRow);
    layout->addWidget(label4_);
    layout->addStretch(1);
    layout->addLayout(buttons);
    sizeDialog(*this, QSize(338, 287));
    centreOverParentWhenShown(*this);

    connect(linkShellLabel_, &LinkLabel::clicked, this,
            [this] { guarded([this] { openDownloadPage(); }); });
    connect(learnCheck_, &QCheckBox::clicked, this,
            [this] { guarded([this] { learnToggled(); }); });
    connect(enableUdlpBtn_, &QPushButton::clicked, this,
            [this] { guarded([this] { enableUdlp(); }); });
    // Done closes the dialog; Escape does the same for any dialog.
    connect(doneBtn_, &QPushButton::clicked, this, &QDialog::reject);
}

void UdlpForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    enableUdlpBtn_->setFocus();
}

void UdlpForm::enableUdlp() {
    const QString caption = tr(kCaption);
    if (!mind_ || !mind_->bot() || mind_->bot()->botName().empty()) {
        prompts_->message(this, caption, tr(kNoBot), QMessageBox::NoIcon);
        return;
    }
    const std::string& botName = mind_->bot()->botName();
    // An installed program's folder is not the user's to write: the bot then gets a folder of
    // its own, and the question is about the files in the folder that will be written.
    const std::string folder = udlpFolderFor(botName, programPath_);
    if (folder.empty())
        throw Error(
            "Unable to enable UDLP: the program's folder cannot be written and there is "
            "no data folder for the bot");
    const QString infoFile = QDir(toQPath(folder)).filePath(fromUtf8(udlp::kBasicFileName));
    if (QFileInfo::exists(infoFile) &&
        prompts_->message(this, caption, tr(kOverwrite), QMessageBox::Question,
                          QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    const std::string exe = prepareBotFolder(folder, programPath_);
    writeUdlpFiles(botName, mind_->mindPath(), learnCheck_->isChecked(), exe);
    enabled_ = true;
    // Where the files went matters to whoever sets up the link program.
    const QString where = tr("The bot's folder: %1").arg(QDir::toNativeSeparators(toQPath(folder)));
    prompts_->message(this, caption, tr(kEnabled) + QStringLiteral("\r\n\r\n") + where,
                      QMessageBox::Information);
    doneBtn_->setFocus();
}

void UdlpForm::openDownloadPage() {
    const bool opened = prompts_->openUrl(udlpGuideUrl());
    if (!opened) prompts_->message(this, QString(), tr("Unable to open URL"), QMessageBox::NoIcon);
}

void UdlpForm::learnToggled() {
    if (!learnCheck_->isChecked()) return;
    prompts_->message(this, tr(kLearnCaption), tr(kLearnText), QMessageBox::Information);
}

}  // namespace vebix
