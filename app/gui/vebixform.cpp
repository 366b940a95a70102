#include "app/gui/vebixform.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QWindowStateChangeEvent>

#include "engine/base/random.h"
#include "engine/base/ascii.h"
#include "app/platform/filewrite.h"
#include "app/mind/program.h"
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

namespace vebix {
namespace {

const QString kCrLf = QStringLiteral("\r\n");

}  // namespace

VebixForm::VebixForm(Prompts& prompts, const StartupChoice& start, QWidget* parent)
    : QMainWindow(parent),
      prompts_(&prompts),
      startMindPath_(start.mindPath),
      documentsFolder_(start.documentsFolder),
      localTag_(start.localTag),
      programPath_(start.programPath),
      loginName_(start.loginName),
      delayResponses_(start.delayResponses) {
    setObjectName(QStringLiteral("VebixForm"));
    buildMenus();

    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("statusBar"));
    bar->setSizeGripEnabled(true);
    bar->setFixedHeight(23);
    setStatusBar(bar);

    disp_ = new ChatDisplay(client_);
    disp_->setObjectName(QStringLiteral("disp"));
    disp_->setGeometry(16, 16, 416, 264);

    input_ = new QLineEdit(client_);
    input_->setObjectName(QStringLiteral("input"));
    input_->setGeometry(16, 292, 332, 23);
    input_->setMaxLength(500);
    {
        QPalette p = input_->palette();
        p.setColor(QPalette::Base, QColor(244, 244, 244));
        p.setColor(QPalette::Text, Qt::black);
        input_->setPalette(p);
    }

    sayBtn_ = new QPushButton(QStringLiteral("Say"), client_);
    sayBtn_->setObjectName(QStringLiteral("sayBtn"));
    sayBtn_->setGeometry(360, 292, 75, 23);
    sayBtn_->setEnabled(false);

    status_ = new QLabel(QStringLiteral("..."), bar);
    status_->setObjectName(QStringLiteral("status"));
    status_->setTextFormat(Qt::PlainText);
    bar->addWidget(status_, 1);

    auto hiddenLabel = [this](const char* name, int x, int width, int height) {
        auto* label = new QLabel(client_);
        label->setObjectName(QString::fromLatin1(name));
        label->setGeometry(x, 288, width, height);
        label->hide();
        return label;
    };
    linkBotPic1_ = hiddenLabel("linkBotPic1", 16, 32, 32);
    linkBotName1_ = hiddenLabel("linkBotName1", 64, 112, 32);
    linkBotPic2_ = hiddenLabel("linkBotPic2", 192, 32, 32);
    linkBotName2_ = hiddenLabel("linkBotName2", 240, 112, 32);

    setWindowIcon(appIcon());
    setWindowTitle(QString::fromUtf8(kAppTitle));

    const QFont font(QStringLiteral("Arial"), 11, QFont::Bold);
    input_->setFont(font);
    disp_->setFont(font);
    disp_->document()->setDefaultFont(font);

    setMinimumSize(kMinWidth, kMinHeight);
    resize(kClientWidth, kClientHeight + menuBar()->sizeHint().height());

    // Enter in the input line presses Say, as the window's default button.
    connect(input_, &QLineEdit::returnPressed, sayBtn_, [this] {
        if (sayBtn_->isEnabled()) sayBtn_->click();
    });
    connect(sayBtn_, &QPushButton::clicked, this, [this] { guarded([this] { say(); }); });

    autosaveTimer_ = new QTimer(this);
    autosaveTimer_->setObjectName(QStringLiteral("autosaveTimer"));
    autosaveTimer_->setInterval(MindKeeper::kAutosaveIntervalMs);
    connect(autosaveTimer_, &QTimer::timeout, this,
            [this] { guarded([this] { autosaveQuietly(); }); });

    conversation_ = new Conversation(keeper_, delayResponses_, this);
    connectConversation();

    saveNotice_ = new SaveNotice(client_);
    connect(saveNotice_, &SaveNotice::tryAgainClicked, this,
            [this] { guarded([this] { retrySaveFromNotice(); }); });
    connect(saveNotice_, &SaveNotice::saveAsClicked, this,
            [this] { guarded([this] { saveAsFromNotice(); }); });

    client_->installEventFilter(this);
}

VebixForm::~VebixForm() { stopLinkMode(); }

// ---- the display -------------------------------------------------------------------------------

void VebixForm::appendText(const QString& text, QRgb color) {
    QTextCursor cursor(disp_->document());
    cursor.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setForeground(QColor(color));
    cursor.insertText(text, format);
    disp_->setTextCursor(cursor);
    disp_->ensureCursorVisible();
}

void VebixForm::appendText(const std::string& text, QRgb color) {
    appendText(fromUtf8(text), color);
}

void VebixForm::appendNameTag(const QString& name, QRgb color) {
    appendText(QStringLiteral("<"), infoColor);
    appendText(name, color);
    appendText(QStringLiteral("> "), infoColor);
}

void VebixForm::showBotTag() { appendNameTag(botName(), botNameColor); }

void VebixForm::showUserTag() { appendNameTag(userName_, userNameColor); }

void VebixForm::showPartnerTag(const QString& name) { appendNameTag(name, partnerNameColor); }

void VebixForm::setStatusText(const QString& text) { status_->setText(text); }

QString VebixForm::statusText() const { return status_->text(); }

QString VebixForm::botName() const {
    return keeper_.bot() ? fromUtf8(keeper_.bot()->botName()) : QString();
}

QString VebixForm::documentsDisplayName(const std::string& documentsFolder) {
    const QString folder = toQPath(documentsFolder);
    const QString name = folder.isEmpty() ? QString() : QDir(folder).dirName();
    return name.isEmpty() ? QStringLiteral("My Documents") : name;
}

QString VebixForm::displayPath() const { return displayPath(keeper_.mindPath(), documentsFolder_); }

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
    anchor(inputAnchor_, input_, Bottom | Left | Right);
    anchor(sayBtnAnchor_, sayBtn_, Bottom | Right);
    anchor(dispAnchor_, disp_, Top | Bottom | Left | Right);
    QCoreApplication::processEvents();

    if (startMindPath_.empty()) {
        showNoMind();
    } else {
        try {
            // No mind when the person chose none instead of one another window holds.
            if (!keeper_.loadMind(startMindPath_) && !keeper_.bot()) showNoMind();
        } catch (const std::exception& e) {
            showNoMind();
            prompts_->error(this, QString::fromUtf8(kMessageCaption), QString::fromUtf8(e.what()));
        }
    }
    if (!disposed_) autosaveTimer_->start();
}

void VebixForm::anchor(Anchor& record, QWidget* control, std::uint8_t edges) {
    record.control = control;
    record.edges = edges;
    const QRect bounds = control->geometry();
    record.rightGap = client_->width() - (bounds.x() + bounds.width());
    record.bottomGap = client_->height() - (bounds.y() + bounds.height());
}

void VebixForm::placeAnchored(const Anchor& record) {
    if (!record.control) return;
    QRect bounds = record.control->geometry();
    int x = bounds.x(), y = bounds.y(), width = bounds.width(), height = bounds.height();
    if (record.edges & Right) {
        if (record.edges & Left)
            width = client_->width() - x - record.rightGap;
        else
            x = client_->width() - record.rightGap - width;
    }
    if (record.edges & Bottom) {
        if (record.edges & Top)
            height = client_->height() - y - record.bottomGap;
        else
            y = client_->height() - record.bottomGap - height;
    }
    record.control->setGeometry(x, y, width, height);
}

void VebixForm::placeAllAnchored() {
    placeAnchored(inputAnchor_);
    placeAnchored(sayBtnAnchor_);
    placeAnchored(dispAnchor_);
    placeSaveNotice();
}

bool VebixForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == client_ && event->type() == QEvent::Resize) placeAllAnchored();
    return QMainWindow::eventFilter(watched, event);
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

// ---- mind keeping hooks ------------------------------------------------------------------------

bool VebixForm::isOnScreen() const { return testAttribute(Qt::WA_WState_Created); }

void VebixForm::showLoading() {
    hideSaveNotice();
    sayBtn_->setEnabled(false);
    input_->setEnabled(false);
    disp_->clear();
    setStatusText(QStringLiteral("Loading..."));
}

void VebixForm::disableSay() { sayBtn_->setEnabled(false); }

std::string VebixForm::resolveHeldMind(const std::string& path) {
    const QString question =
        QStringLiteral("The mind file \"") + fromUtf8(path) +
        QStringLiteral(
            "\" is open in another window of Vebix. If both keep it open, their "
            "lines are saved out of order.\r\n\r\nOpen it anyway? Choose No to load "
            "another mind file.");
    if (prompts_->message(this, QString::fromUtf8(kMessageCaption), question, QMessageBox::Warning,
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No) != QMessageBox::No)
        return path;
    return fromQPath(
        prompts_->openFile(this, FileDialog::forMind(QStringLiteral("Load Mind"), fromUtf8(path))));
}

std::string VebixForm::speakerId() const { return userName_.toStdString() + "!" + localTag_; }

std::string VebixForm::stamp() const { return std::to_string(keeper_.lastLineTime()); }

bool VebixForm::greetAfterLoad(bool existingLoaded) {
    appendText(displayPath() + kCrLf + kCrLf, infoColor);
    setStatusText(QStringLiteral("Please enter your name..."));

    if (userName_.isEmpty()) {
        Settings settings;
        if (auto last = settings.findString(Settings::Key::LastUserName))
            userName_ = fromUtf8(*last);
    }
    {
        UserNameForm prompt(
            userName_, loginName_ ? std::optional<QString>(fromUtf8(*loginName_)) : std::nullopt,
            *prompts_, this);
        centreOver(prompt, *this);
        if (prompts_->exec(prompt) == QDialog::Accepted) {
            userName_ = prompt.enteredName();
        } else if (userName_.isEmpty()) {
            // Nobody to talk to: the program ends without saving anything.
            disposed_ = true;
            autosaveTimer_->stop();
            close();
            endProgram();
            return false;
        }
    }
    setStatusText(QStringLiteral("Hi, ") + userName_ + QStringLiteral("..."));

    // A new mind always opens the conversation; a loaded one half of the time.
    bool opens = !existingLoaded || (rng::next() & 1u) != 0;
    std::string opening;
    if (opens) {
        opening = keeper_.bot()->openingLine(userName_.toStdString());
        opens = !opening.empty();
    }
    if (opens) {
        showBotTag();
        appendText(fromUtf8(opening) + kCrLf, textColor);
        keeper_.bot()->addAiLine(speakerId(), stamp(), opening);
        setStatusText(botName() + QStringLiteral(" is waiting for your response"));
    } else {
        setStatusText(botName() + QStringLiteral(" is waiting for you to start chatting"));
    }

    showUserTag();
    sayBtn_->setEnabled(true);
    input_->setEnabled(true);
    input_->setFocus();
    QCoreApplication::processEvents();
    saveSettings(keeper_.mindPath(), userName_.toStdString());
    return true;
}

void VebixForm::endProgram() {
    QTimer::singleShot(0, qApp, [] { QCoreApplication::quit(); });
}

// ---- the conversation --------------------------------------------------------------------------

void VebixForm::connectConversation() {
    connect(conversation_, &Conversation::statusChanged, this, &VebixForm::setStatusText);
    connect(conversation_, &Conversation::lineAccepted, this, [this](const QString& line) {
        sayBtn_->setEnabled(false);
        appendText(line + kCrLf, textColor);
        input_->clear();
    });
    auto botLine = [this](const QString& text) {
        showBotTag();
        appendText(text + kCrLf, textColor);
    };
    connect(conversation_, &Conversation::probeAnswered, this, botLine);
    connect(conversation_, &Conversation::replied, this, botLine);
    connect(conversation_, &Conversation::unableToReply, this,
            [this](const QString& apology) { appendText(apology, infoColor); });
    connect(conversation_, &Conversation::exchangeFinished, this, [this] {
        showUserTag();
        sayBtn_->setEnabled(true);
    });
}

void VebixForm::say() {
    const std::shared_ptr<VebixAi> engine = keeper_.bot();
    try {
        conversation_->say(speakerId(), input_->text().toStdString());
    } catch (...) {
        // Say comes back after a failed exchange, unless the mind was closed or replaced
        // meanwhile (the new one decides the button then).
        if (engine && keeper_.bot() == engine) sayBtn_->setEnabled(true);
        throw;
    }
}

}  // namespace vebix
