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
    // prompts asks the "Error" dialog; it must outlive the application object.
    Application(int& argc, char** argv, Prompts& prompts);
    bool notify(QObject* receiver, QEvent* event) override;

    Prompts& prompts() const { return *prompts_; }

    // Shows the "Error" dialog for message and carries out the person's choice: "&Quit" closes
    // every window as by its close box and ends the message loop with status 1.
    void reportError(const QString& message);

private:
    // Tests answer the dialog with prompts of their own and watch what "&Quit" does
    // (applicationtesthelper.h).
    friend class ApplicationTestHelper;

    void quitAfterError();

    Prompts* prompts_;
    std::function<void()> quitAction_;  // in place of closing the windows, when set
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
