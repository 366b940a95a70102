#pragma once
// The application object of window mode, and the last net for errors: an error that escapes an
// event handler is caught in notify and shown in the "Error" dialog, where the user chooses
// "&Continue" (the error is dropped and the message loop goes on) or "&Quit" (the program ends).
//
// Handlers of the program's own signals run their work through guarded(), which catches at the
// slot boundary and shows the same dialog, so no exception ever travels through the toolkit's
// signal code; notify only catches what an event handler lets through.

#include <QApplication>
#include <QDialog>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QPushButton;

namespace vebix {

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The message loop's error report: the "Error" dialog with the error's message.
class ErrorDialog : public QDialog {
    Q_OBJECT
public:
    enum Choice { Continue, Quit };

    explicit ErrorDialog(const QString& message, QWidget* parent = nullptr);
    Choice choice() const { return choice_; }

    // The fixed text above the error's message.
    static const char* const kIntro;

    // ---- for tests ------------------------------------------------------------------------------
    // The next dialog is not shown and answers choice.
    static void setNextAnswer(Choice choice);
    // Whether an answer set by setNextAnswer is still waiting.
    static bool hasNextAnswer();
    // The messages of the dialogs answered by setNextAnswer, oldest first.
    static QStringList answeredMessages();
    static void clearAnsweredMessages();
    // What "&Quit" does; by default every window is closed as by its close box and the message
    // loop ends with status 1. An empty function restores the default.
    static void setQuitAction(std::function<void()> action);

private:
    Choice choice_ = Continue;
};

// Shows the "Error" dialog for message and carries out the user's choice.
void reportHandlerError(const QString& message);
void reportHandlerError(const std::exception& error);

// Runs work, reporting any error that escapes it with reportHandlerError.
template <class Work>
void guarded(Work&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        reportHandlerError(e);
    } catch (...) {
        reportHandlerError(QStringLiteral("Unknown error"));
    }
}

}  // namespace vebix
