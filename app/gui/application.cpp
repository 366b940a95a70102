#include "app/gui/application.h"

#include "app/gui/appicon.h"
#include "app/gui/desktopprompts.h"
#include "app/gui/dialogplacement.h"
#include "app/gui/dialogsize.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>

namespace vebix {
namespace {

// Closing the windows first lets the main window save the mind, as File > Exit would.
// Later from the loop, so that the handler that failed has returned first.
// A window that keeps itself open (its mind's lines could not be saved and the person
// chose to keep them) keeps the program running too; keptOpen is then called.
void closeWindowsAndEnd(std::function<void()> keptOpen) {
    QTimer::singleShot(0, qApp, [keptOpen = std::move(keptOpen)] {
        QApplication::closeAllWindows();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() && window->windowType() != Qt::Popup &&
                window->windowType() != Qt::ToolTip) {
                keptOpen();
                return;
            }
        }
        QCoreApplication::exit(1);
    });
}

}  // namespace

Application::Application(int& argc, char** argv, Prompts& prompts)
    : QApplication(argc, argv), prompts_(&prompts) {
    setApplicationName(QStringLiteral("Vebix"));
    setOrganizationName(QStringLiteral("Vebix"));
    setWindowIcon(appIcon());
    // The installed desktop entry, so that a Wayland desktop matches the window to it.
    setDesktopFileName(QStringLiteral("org.vebix.Vebix"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportHandlerError(e);
    } catch (...) {
        reportHandlerError(tr("Unknown error"));
    }
    return false;
}

const char* const ErrorDialog::kIntro = QT_TRANSLATE_NOOP(
    "vebix::ErrorDialog",
    "An application exception has occurred. Click Continue to allow the application to ignore "
    "this error and attempt to continue.");

ErrorDialog::ErrorDialog(const QString& message, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ErrorDialog"));
    setWindowTitle(tr("Error"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* intro = new QLabel(tr(kIntro), this);
    intro->setObjectName(QStringLiteral("introLabel"));
    intro->setWordWrap(true);
    auto* text = new QLabel(message, this);
    text->setObjectName(QStringLiteral("messageLabel"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setTextFormat(Qt::PlainText);

    auto* continueBtn = new QPushButton(tr("&Continue"), this);
    continueBtn->setObjectName(QStringLiteral("continueBtn"));
    continueBtn->setDefault(true);
    auto* quitBtn = new QPushButton(tr("&Quit"), this);
    quitBtn->setObjectName(QStringLiteral("quitBtn"));
    connect(continueBtn, &QPushButton::clicked, this, [this] {
        choice_ = Continue;
        accept();
    });
    connect(quitBtn, &QPushButton::clicked, this, [this] {
        choice_ = Quit;
        accept();
    });

    auto* texts = new QVBoxLayout;
    texts->addWidget(intro);
    texts->addWidget(text);
    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addLayout(texts, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(continueBtn);
    buttons->addWidget(quitBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    sizeDialog(*this, QSize(420, 0));
    centreOverParentWhenShown(*this);
}

void Application::quitAfterError() {
    if (quitAction_) {
        quitAction_();
        return;
    }
    quitting_ = true;
    closeWindowsAndEnd([this] { quitting_ = false; });
}

void Application::reportError(const QString& message) {
    std::fprintf(stderr, "Error: %s\n", message.toLocal8Bit().constData());
    // Once the person chose Quit, later errors (say, while the windows close) only go to
    // standard error.
    if (quitting_) return;
    if (prompts_->reportError(QApplication::activeWindow(), message) == Prompts::ErrorChoice::Quit)
        quitAfterError();
}

void reportHandlerError(const QString& message) {
    if (auto* app = qobject_cast<Application*>(QCoreApplication::instance())) {
        app->reportError(message);
        return;
    }
    std::fprintf(stderr, "Error: %s\n", message.toLocal8Bit().constData());
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return;
    DesktopPrompts prompts;
    if (prompts.reportError(QApplication::activeWindow(), message) == Prompts::ErrorChoice::Quit)
        closeWindowsAndEnd([] {});
}

void reportHandlerError(const std::exception& error) {
    reportHandlerError(QString::fromUtf8(error.what()));
}

}  // namespace vebix
