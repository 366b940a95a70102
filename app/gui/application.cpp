#include "app/gui/application.h"

#include "app/gui/appicon.h"
#include "app/gui/modaldialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <optional>

namespace vebix {
namespace {

std::optional<ErrorDialog::Choice> g_nextAnswer;
QStringList g_answered;
std::function<void()> g_quitAction;
bool g_quitting = false;

void quitProgram() {
    if (g_quitAction) {
        g_quitAction();
        return;
    }
    // Closing the windows first lets the main window save the mind, as File > Exit would.
    // Later from the loop, so that the handler that failed has returned first.
    // A window that keeps itself open (its mind's lines could not be saved and the person
    // chose to keep them) keeps the program running too.
    g_quitting = true;
    QTimer::singleShot(0, qApp, [] {
        QApplication::closeAllWindows();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->isVisible() &&
                window->windowType() != Qt::Popup && window->windowType() != Qt::ToolTip) {
                g_quitting = false;
                return;
            }
        }
        QCoreApplication::exit(1);
    });
}

}  // namespace

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Vebix"));
    setOrganizationName(QStringLiteral("Vebix"));
    setWindowIcon(appIcon());
    setDesktopFileName(QStringLiteral("vebix"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        reportHandlerError(e);
    } catch (...) {
        reportHandlerError(QStringLiteral("Unknown error"));
    }
    return false;
}

const char* const ErrorDialog::kIntro =
    "An application exception has occured. Click Continue to allow the application to ignore "
    "this error and attempt to continue.";

ErrorDialog::ErrorDialog(const QString& message, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("ErrorDialog"));
    setWindowTitle(QStringLiteral("Error"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    auto* intro = new QLabel(QString::fromUtf8(kIntro), this);
    intro->setObjectName(QStringLiteral("introLabel"));
    intro->setWordWrap(true);
    auto* text = new QLabel(message, this);
    text->setObjectName(QStringLiteral("messageLabel"));
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    text->setTextFormat(Qt::PlainText);

    auto* continueBtn = new QPushButton(QStringLiteral("&Continue"), this);
    continueBtn->setObjectName(QStringLiteral("continueBtn"));
    continueBtn->setDefault(true);
    auto* quitBtn = new QPushButton(QStringLiteral("&Quit"), this);
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
    setMinimumWidth(420);
}

void ErrorDialog::setNextAnswer(Choice choice) { g_nextAnswer = choice; }

bool ErrorDialog::hasNextAnswer() { return g_nextAnswer.has_value(); }

QStringList ErrorDialog::answeredMessages() { return g_answered; }

void ErrorDialog::clearAnsweredMessages() { g_answered.clear(); }

void ErrorDialog::setQuitAction(std::function<void()> action) { g_quitAction = std::move(action); }

void reportHandlerError(const QString& message) {
    std::fprintf(stderr, "Error: %s\n", message.toLocal8Bit().constData());
    // Once the user chose Quit, later errors (say, while the windows close) only go to
    // standard error.
    if (g_quitting) return;
    ErrorDialog::Choice choice;
    if (g_nextAnswer) {
        choice = *g_nextAnswer;
        g_nextAnswer.reset();
        g_answered.append(message);
    } else {
        ErrorDialog dialog(message, QApplication::activeWindow());
        ModalDialog::exec(dialog);
        choice = dialog.choice();
    }
    if (choice == ErrorDialog::Quit) quitProgram();
}

void reportHandlerError(const std::exception& error) {
    reportHandlerError(QString::fromUtf8(error.what()));
}

}  // namespace vebix
