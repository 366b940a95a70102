#include "app/gui/vebixform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include "engine/ai/mindline.h"
#include "engine/base/random.h"
#include "engine/base/ascii.h"
#include "app/platform/filewrite.h"
#include "app/mind/startup.h"
#include "app/platform/settings.h"
#include "app/chat/conversation.h"
#include "app/gui/appicon.h"
#include "app/gui/application.h"
#include "app/gui/chatdisplay.h"
#include "app/gui/dialogplacement.h"
#include "app/gui/filedialog.h"
#include "app/gui/prompts.h"
#include "app/gui/savenotice.h"
#include "app/gui/usernameform.h"
#include "app/platform/qtext.h"
#include "app/platform/version.h"

namespace vebix {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

VebixForm::VebixForm(Prompts& prompts, const StartupChoice& start, QWidget* parent)
    : QMainWindow(parent),
      prompts_(&prompts),
      // A window answers line after line: the first answer should be as quick as the rest.
      session_(new ChatSession(*this,
                               {.localTag = start.localTag,
                                .loginName = start.loginName,
                                .delayResponses = start.delayResponses,
                                .prepareReplies = true},
                               this)),
      startMindPath_(start.mindPath),
      documentsFolder_(start.documentsFolder),
      programPath_(start.programPath) {
    setObjectName(QStringLiteral("VebixForm"));
    buildMenus();
    buildLayout();
    setWindowIcon(appIcon());
    setWindowTitle(QStringLiteral("Vebix ") + fromUtf8(release::kVersion));

    // Enter in the input line presses Say, as the window's default button.
    connect(input_, &QLineEdit::returnPressed, sayBtn_, [this] {
        if (sayBtn_->isEnabled()) sayBtn_->click();
    });
    connect(sayBtn_, &QPushButton::clicked, this, [this] { guarded([this] { say(); }); });

    connectConversation();

    connect(saveNotice_, &SaveNotice::tryAgainClicked, this,
            [this] { guarded([this] { retrySaveFromNotice(); }); });
    connect(saveNotice_, &SaveNotice::saveAsClicked, this,
            [this] { guarded([this] { saveAsFromNotice(); }); });

    updateMinimumSize();
    // The default size, or what the desktop's font needs when that is more.
    resize(QSize(kClientWidth, kClientHeight + menuBar()->sizeHint().height())
               .expandedTo(sizeHint())
               .expandedTo(minimumSize()));
}

void VebixForm::buildLayout() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);
    setStatusBar(bar);

    // The desktop's font and palette throughout: nothing here fixes a colour or a typeface.
    disp_ = new ChatDisplay(client_);
    disp_->setObjectName(QStringLiteral("disp"));

    saveNotice_ = new SaveNotice(client_);

    input_ = new QLineEdit(client_);
    input_->setObjectName(QStringLiteral("input"));
    input_->setMaxLength(500);

    sayBtn_ = new QPushButton(tr("Say"), client_);
    sayBtn_->setObjectName(QStringLiteral("sayBtn"));
    sayBtn_->setEnabled(false);

    status_ = new QLabel(QStringLiteral("..."), bar);
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextFormat(Qt::PlainText);
    // A long status is cut at the window's edge rather than widening the window.
    status_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    bar->addWidget(status_, 1);

    auto hiddenLabel = [this](const char* name) {
        auto* label = new QLabel(client_);
        label->setObjectName(QString::fromLatin1(name));
        label->hide();
        return label;
    };
    linkBotPic1_ = hiddenLabel("linkBotPic1");
    linkBotName1_ = hiddenLabel("linkBotName1");
    linkBotPic2_ = hiddenLabel("linkBotPic2");
    linkBotName2_ = hiddenLabel("linkBotName2");
    for (QLabel* pic : {linkBotPic1_, linkBotPic2_}) pic->setMinimumSize(32, 32);
    linkBotName1_->setMinimumWidth(112);
    linkBotName2_->setMinimumWidth(112);

    // Display on top, the save notice (when shown) between it and the bottom row, and the
    // bottom row: the input line and Say, or in link mode the two bots and Exit. Hidden
    // controls take no room, so either set fills the row.
    auto* row = new QHBoxLayout;
    row->addWidget(linkBotPic1_);
    row->addWidget(linkBotName1_);
    row->addWidget(linkBotPic2_);
    row->addWidget(linkBotName2_, 1);
    row->addWidget(input_, 1);
    row->addWidget(sayBtn_);
    auto* column = new QVBoxLayout(client_);
    column->addWidget(disp_, 1);
    column->addWidget(saveNotice_);
    column->addLayout(row);
    setTabOrder(disp_, input_);
    setTabOrder(input_, sayBtn_);
}

void VebixForm::updateMinimumSize() {
    setMinimumSize(QSize(kMinWidth, kMinHeight).expandedTo(minimumSizeHint()));
}

VebixForm::~VebixForm() { stopLinkMode(); }

// ---- the display -------------------------------------------------------------------------------

void VebixForm::appendText(const QString& text, ChatRole role) { disp_->appendRun(text, role); }

void VebixForm::appendText(const std::string& text, ChatRole role) {
    appendText(fromUtf8(text), role);
}

void VebixForm::appendNameTag(const QString& name, ChatRole role) {
    appendText(QStringLiteral("<"), ChatRole::Info);
    appendText(name, role);
    appendText(QStringLiteral("> "), ChatRole::Info);
}

void VebixForm::showBotTag() { appendNameTag(botName(), ChatRole::BotName); }

void VebixForm::showUserTag() { appendNameTag(userName(), ChatRole::UserName); }

void VebixForm::showPartnerTag(const QString& name) { appendNameTag(name, ChatRole::PartnerName); }

void VebixForm::setStatusText(const QString& text) { status_->setText(text); }

QString VebixForm::statusText() const { return status_->text(); }

QString VebixForm::botName() const {
    return keeper().bot() ? fromUtf8(keeper().bot()->botName()) : QString();
}

QString VebixForm::documentsDisplayName(const std::string& documentsFolder) {
    const QString folder = toQPath(documentsFolder);
    const QString name = folder.isEmpty() ? QString() : QDir(folder).dirName();
    return name.isEmpty() ? tr("My Documents") : name;
}

QString VebixForm::displayPath() const {
    return displayPath(keeper().mindPath(), documentsFolder_);
}

QString VebixForm::displayPath(const std::string& path, const std::string& folder) {
    if (!folder.empty() && path.size() > folder.size() &&
        startsWithIgnoringAsciiCase(path, folder)) {
        const std::string rest = path.substr(folder.size());
        // Only a path below the folder: "/home/ann/Documents2/x.mdd" is not in "Documents".
        const QString shownFolder = documentsDisplayName(folder);
        if (rest.front() == '/') return shownFolder + fromUtf8(rest);
        if (folder.back() == '/') return shownFolder + QLatin1Char('/') + fromUtf8(rest);
    }
    return fromUtf8(path);
}

// ---- window events -----------------------------------------------------------------------------

void VebixForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (loadStarted_) return;
    loadStarted_ = true;
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    // The load runs from the message loop once the window is up, so that it is drawn first.
    QTimer::singleShot(0, this, [this] { guarded([this] { onLoad(); }); });
}

void VebixForm::onLoad() {
    if (disposed_) return;
    QCoreApplication::processEvents();
    if (startMindPath_.empty())
        showNoMind();
    else
        openMindFile(startMindPath_, {});
}

void VebixForm::openMindFile(const std::string& path, const MindKeeper::LoadOptions& options) {
    try {
        switch (session_->open(path, options)) {
            case ChatSession::Opened::Greeted:
                break;
            case ChatSession::Opened::NoMind:
                showNoMind();
                break;
            case ChatSession::Opened::Ended:
                dispose();
                break;
        }
    } catch (const std::exception& e) {
        showNoMind();
        prompts_->error(this, QString::fromUtf8(kMessageCaption), QString::fromUtf8(e.what()));
    }
}

void VebixForm::dispose() {
    disposed_ = true;
    close();
    endProgram();
}

bool VebixForm::event(QEvent* event) {
    const bool handled = QMainWindow::event(event);
    // The layout asks again after a font or style change, or when the save notice or link
    // mode's controls come or go: the least size follows what they need.
    if (event->type() == QEvent::LayoutRequest) updateMinimumSize();
    return handled;
}

void VebixForm::changeEvent(QEvent* event) {
    // Restored from minimised: show the end of the conversation.
    if (event->type() == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        if ((change->oldState() & Qt::WindowMinimized) && !(windowState() & Qt::WindowMinimized))
            disp_->scrollToEnd();
    }
    QMainWindow::changeEvent(event);
}

void VebixForm::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted() || disposed_) return;
    hide();
    QCoreApplication::processEvents();
    // Link mode ends before the mind is saved, so that a line it learns while closing is saved
    // too rather than lost.
    stopLinkMode();
    // Lines that cannot be saved keep the window open until the person decides about them.
    bool closed = true;
    guarded([this, &closed] { closed = closeMindOrAsk(); });
    if (!closed) event->ignore();
}

// ---- the session's front end: loading and the greeting ----------------------------------------

void VebixForm::showLoading() {
    hideSaveNotice();
    sayBtn_->setEnabled(false);
    input_->setEnabled(false);
    disp_->clear();
    setStatusText(tr("Loading..."));
}

void VebixForm::showClosing() { sayBtn_->setEnabled(false); }

std::string VebixForm::askAboutHeldMind(const std::string& path) {
    const QString question =
        tr("The mind file \"%1\" is open in another window of Vebix. If both keep it open, their "
           "lines are saved out of order.\r\n\r\nOpen it anyway? Choose No to load another mind "
           "file.")
            .arg(fromUtf8(path));
    if (prompts_->message(this, QString::fromUtf8(kMessageCaption), question, QMessageBox::Warning,
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::No)
        return path;
    return fromQPath(
        prompts_->openFile(this, FileDialog::forMind(tr("Load Mind"), fromUtf8(path))));
}

void VebixForm::showMindLoaded(const std::string&) {
    appendText(displayPath() + kCrLf + kCrLf, ChatRole::Info);
    setStatusText(tr("Please enter your name..."));
}

std::optional<std::string> VebixForm::askName(const ChatSession::NameQuestion& question) {
    const std::string offered = question.current.empty() ? question.lastUsed : question.current;
    UserNameForm prompt(fromUtf8(offered),
                        question.loginName ? std::optional<QString>(fromUtf8(*question.loginName))
                                           : std::nullopt,
                        *prompts_, this);
    centreOver(prompt, *this);
    if (prompts_->exec(prompt) == QDialog::Accepted) return prompt.enteredName().toStdString();
    // Cancelled: the name offered stays; with none there is nobody to talk to.
    if (offered.empty()) return std::nullopt;
    return offered;
}

void VebixForm::showGreeting(const std::string& name, const std::string& opening) {
    setStatusText(tr("Hi, %1...").arg(fromUtf8(name)));
    if (!opening.empty()) {
        showBotTag();
        appendText(fromUtf8(opening) + kCrLf, ChatRole::Text);
        setStatusText(tr("%1 is waiting for your response").arg(botName()));
    } else {
        setStatusText(tr("%1 is waiting for you to start chatting").arg(botName()));
    }
    showUserTag();
    sayBtn_->setEnabled(true);
    input_->setEnabled(true);
    input_->setFocus();
    QCoreApplication::processEvents();
}

void VebixForm::endProgram() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
}

// ---- the conversation --------------------------------------------------------------------------

void VebixForm::connectConversation() {
    Conversation* conv = &conversation();
    connect(conv, &Conversation::statusChanged, this, &VebixForm::setStatusText);
    connect(conv, &Conversation::lineAccepted, this, [this](const QString& line) {
        sayBtn_->setEnabled(false);
        appendText(line + kCrLf, ChatRole::Text);
        input_->clear();
    });
    auto botLine = [this](const QString& text) {
        showBotTag();
        appendText(text + kCrLf, ChatRole::Text);
    };
    connect(conv, &Conversation::probeAnswered, this, botLine);
    connect(conv, &Conversation::replied, this, botLine);
    connect(conv, &Conversation::unableToReply, this,
            [this](const QString& apology) { appendText(apology, ChatRole::Info); });
    connect(conv, &Conversation::exchangeFinished, this, [this] {
        showUserTag();
        sayBtn_->setEnabled(true);
    });
}

void VebixForm::say() {
    const std::shared_ptr<VebixAi> engine = keeper().bot();
    try {
        session_->say(input_->text().toStdString());
    } catch (...) {
        // Say comes back after a failed exchange, unless the mind was closed or replaced
        // meanwhile (the new one decides the button then).
        if (engine && keeper().bot() == engine) sayBtn_->setEnabled(true);
        throw;
    }
}

}  // namespace vebix
