#pragma once
// The application object of window mode, and the last net for errors: an error that escapes an
// event handler is caught in notify and shown in the "Error" dialog, where the user chooses
// "&Continue" (the error is dropped and the message loop goes on) or "&Quit" (the program ends).
//
// Handlers of the program's own signals run their work through guarded(), which catches at the
// slot boundary and shows the same dialog, so no exception ever travels through the toolkit's
// signal code; notify only catches what an event handler lets through.
//
// The dialog is asked through the Prompts the application object was given.

#include <QApplication>
#include <QDialog>
#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

class QPushButton;

namespace vebix {

class Prompts;

class Application : public QApplication {
    Q_OBJECT
public:
    // prompts asks the "Error" dialog; it must outlive the application object or be replaced
    // by setPrompts first.
    Application(int& argc, char** argv, Prompts& prompts);
    bool notify(QObject* receiver, QEvent* event) override;

    Prompts& prompts() const { return *prompts_; }
    void setPrompts(Prompts& prompts) { prompts_ = &prompts; }

    // What "&Quit" does; by default every window is closed as by its close box and the message
    // loop ends with status 1. An empty function restores the default.
    void setQuitAction(std::function<void()> action) { quitAction_ = std::move(action); }

    // Shows the "Error" dialog for message and carries out the person's choice.
    void reportError(const QString& message);

private:
    void quitAfterError();

    Prompts* prompts_;
    std::function<void()> quitAction_;
    bool quitting_ = false;
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

private:
    Choice choice_ = Continue;
};

// Application::reportError on the running Application; with another application object (or
// none), the message goes to standard error and the "Error" dialog is shown on the desktop.
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
        reportHandlerError(Application::tr("Unknown error"));
    }
}

}  // namespace vebix
