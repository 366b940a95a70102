#pragma once
// Prompts answered by the test instead of a person. Message boxes take a standard answer set
// for the next box or for every box; multi-choice boxes take queued button texts; file dialogs
// take a name; the program's own dialogs run a queued script against the real, shown dialog;
// the "Error" dialog takes a queued choice; opening a web address calls the test's opener.
// Everything so answered is recorded for the test to check. A prompt with no answer waiting is
// closed at once as by its close box (or Escape) and listed in unscripted(), so that no test
// waits for a person; setRefuseUnscripted(false) shows it as on the desktop instead.

#include <QDialog>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>
#include <utility>

#include "app/gui/application.h"
#include "app/gui/applicationtesthelper.h"
#include "app/gui/desktopprompts.h"
#include "app/gui/prompts.h"

namespace vebix::testing {

class ScriptedPrompts : public Prompts {
public:
    using Script = std::function<void(QDialog&)>;

    // ---- message boxes ------------------------------------------------------------------------
    // The next box is not shown and returns answer (QMessageBox::NoButton: show boxes again).
    void setNextAnswer(QMessageBox::StandardButton answer) { nextAnswer_ = answer; }
    // Answers every box with answer until cleared with NoButton.
    void setAutoAnswer(QMessageBox::StandardButton answer) { autoAnswer_ = answer; }
    // The next box of choose() is not shown and answers the button whose text is buttonText
    // ("&" marks aside); whileShown, when given, runs first, as if done while the box is up.
    // Answers queue up, one per box. A box that has no such button answers escapeIndex, and
    // the text asked for is listed in unmatchedChoices. With no queued answer, a box of
    // choose() answers escapeIndex while setNextAnswer or setAutoAnswer would answer a box.
    void queueChoice(const QString& buttonText, std::function<void()> whileShown = {}) {
        choices_.push_back(QueuedChoice{buttonText, std::move(whileShown)});
    }
    // Queued choices no box took, dropped by clearAnsweredBoxes too.
    int pendingChoices() const { return static_cast<int>(choices_.size()); }
    QStringList unmatchedChoices() const { return unmatched_; }
    // "caption: text" of every box answered by setNextAnswer, setAutoAnswer or queueChoice,
    // oldest first.
    QStringList answeredBoxes() const { return answered_; }
    void clearAnsweredBoxes() {
        answered_.clear();
        choices_.clear();
        unmatched_.clear();
    }

    // ---- file dialogs -------------------------------------------------------------------------
    // The next dialog is not shown and returns name (empty: as if cancelled).
    void setNextFileName(const QString& name) { nextFileName_ = name; }
    void clearNextFileName() { nextFileName_.reset(); }
    // The request of the last dialog answered by setNextFileName.
    std::optional<FileDialog::Request> lastAnsweredRequest() const { return lastRequest_; }

    // ---- the program's own dialogs ------------------------------------------------------------
    // Queues a script for the next dialog with this objectName; scripts for one name run in the
    // order they were queued. The script types and clicks; whatever result the dialog holds
    // when it returns is the answer (a dialog still open counts as closed by its close box).
    void queueScript(const QString& dialogName, Script script) {
        scripts_.push_back(QueuedScript{dialogName, std::move(script)});
    }
    // Drops every queued script and the list of unscripted prompts.
    void resetScripts() {
        scripts_.clear();
        unscripted_.clear();
    }

    // ---- the "Error" dialog -------------------------------------------------------------------
    // The next dialog is not shown and answers choice.
    void setNextErrorChoice(ErrorChoice choice) { nextError_ = choice; }
    bool hasNextErrorChoice() const { return nextError_.has_value(); }
    // The messages of the dialogs answered by setNextErrorChoice, oldest first.
    QStringList answeredErrors() const { return answeredErrors_; }
    void clearAnsweredErrors() { answeredErrors_.clear(); }

    // ---- web addresses ------------------------------------------------------------------------
    // What opening a web address does (returns false on failure); unset, it counts as an
    // unscripted prompt.
    void setUrlOpener(std::function<bool(const QUrl&)> opener) { urlOpener_ = std::move(opener); }

    // ---- prompts nobody answered --------------------------------------------------------------
    // While set (the default), a prompt without an answer is not shown (see the top of this
    // file).
    void setRefuseUnscripted(bool refuse) { refuseUnscripted_ = refuse; }
    // The objectName of each dialog, the caption of each box and the address of each web page
    // refused so, oldest first.
    QStringList unscripted() const { return unscripted_; }

    // ---- Prompts ------------------------------------------------------------------------------
    QMessageBox::StandardButton message(
        QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) override {
        const QMessageBox::StandardButton scripted = takeAnswer(caption, text);
        if (scripted != QMessageBox::NoButton) return scripted;
        if (refuseUnscripted_) {
            unscripted_.append(caption);
            return QMessageBox::NoButton;
        }
        return desktop_.message(parent, caption, text, icon, buttons, defaultButton);
    }

    int choose(QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
               const QStringList& buttonTexts, int defaultIndex, int escapeIndex) override {
        if (!choices_.empty()) {
            QueuedChoice queued = std::move(choices_.front());
            choices_.pop_front();
            answered_.append(caption + QStringLiteral(": ") + text);
            if (queued.whileShown) queued.whileShown();
            const QString wanted = withoutMnemonics(queued.buttonText);
            for (int i = 0; i < buttonTexts.size(); ++i)
                if (withoutMnemonics(buttonTexts[i]) == wanted) return i;
            unmatched_.append(queued.buttonText);
            return escapeIndex;
        }
        // A test that answers every box by a standard button answers this one as by Escape.
        if (takeAnswer(caption, text) != QMessageBox::NoButton) return escapeIndex;
        if (refuseUnscripted_) {
            unscripted_.append(caption);
            return escapeIndex;
        }
        return desktop_.choose(parent, caption, text, icon, buttonTexts, defaultIndex, escapeIndex);
    }

    QString openFile(QWidget* parent, const FileDialog::Request& request) override {
        if (auto name = takeFileName(request)) return *name;
        if (refuseUnscripted_) return refuse(request.caption);
        return desktop_.openFile(parent, request);
    }

    QString saveFile(QWidget* parent, const FileDialog::Request& request) override {
        if (auto name = takeFileName(request)) return *name;
        if (refuseUnscripted_) return refuse(request.caption);
        return desktop_.saveFile(parent, request);
    }

    int exec(QDialog& dialog) override {
        for (auto it = scripts_.begin(); it != scripts_.end(); ++it) {
            if (it->name != dialog.objectName()) continue;
            Script script = std::move(it->script);
            scripts_.erase(it);
            dialog.setResult(QDialog::Rejected);
            dialog.show();
            script(dialog);
            if (dialog.isVisible()) dialog.reject();
            return dialog.result();
        }
        if (refuseUnscripted_) {
            unscripted_.append(dialog.objectName());
            return QDialog::Rejected;
        }
        return desktop_.exec(dialog);
    }

    ErrorChoice reportError(QWidget* parent, const QString& message) override {
        if (nextError_) {
            const ErrorChoice choice = *nextError_;
            nextError_.reset();
            answeredErrors_.append(message);
            return choice;
        }
        // Shown as on the desktop, through exec so that a queued script can answer it.
        ErrorDialog dialog(message, parent);
        exec(dialog);
        return dialog.choice() == ErrorDialog::Quit ? ErrorChoice::Quit : ErrorChoice::Continue;
    }

    bool openUrl(const QUrl& url) override {
        if (urlOpener_) return urlOpener_(url);
        if (refuseUnscripted_) {
            unscripted_.append(url.toString());
            return false;
        }
        return desktop_.openUrl(url);
    }

private:
    struct QueuedChoice {
        QString buttonText;
        std::function<void()> whileShown;
    };
    struct QueuedScript {
        QString name;
        Script script;
    };

    static QString withoutMnemonics(QString text) {
        text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
        text.remove(QLatin1Char('&'));
        text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
        return text;
    }

    // The answer set for the next box (or for every box), noting the box as answered.
    QMessageBox::StandardButton takeAnswer(const QString& caption, const QString& text) {
        QMessageBox::StandardButton scripted = nextAnswer_;
        nextAnswer_ = QMessageBox::NoButton;
        if (scripted == QMessageBox::NoButton) scripted = autoAnswer_;
        if (scripted != QMessageBox::NoButton)
            answered_.append(caption + QStringLiteral(": ") + text);
        return scripted;
    }

    std::optional<QString> takeFileName(const FileDialog::Request& request) {
        if (!nextFileName_) return std::nullopt;
        std::optional<QString> name = std::move(nextFileName_);
        nextFileName_.reset();
        lastRequest_ = request;
        return name;
    }

    QString refuse(const QString& what) {
        unscripted_.append(what);
        return {};
    }

    DesktopPrompts desktop_;
    QMessageBox::StandardButton nextAnswer_ = QMessageBox::NoButton;
    QMessageBox::StandardButton autoAnswer_ = QMessageBox::NoButton;
    QStringList answered_;
    std::deque<QueuedChoice> choices_;
    QStringList unmatched_;
    std::optional<QString> nextFileName_;
    std::optional<FileDialog::Request> lastRequest_;
    std::deque<QueuedScript> scripts_;
    std::optional<ErrorChoice> nextError_;
    QStringList answeredErrors_;
    std::function<bool(const QUrl&)> urlOpener_;
    bool refuseUnscripted_ = true;
    QStringList unscripted_;
};

// While alive, the running Application reports errors through prompts.
class ScopedAppPrompts {
public:
    explicit ScopedAppPrompts(Prompts& prompts) : app_(qobject_cast<Application*>(qApp)) {
        if (!app_) return;
        previous_ = &app_->prompts();
        ApplicationTestHelper::setPrompts(*app_, prompts);
    }
    ~ScopedAppPrompts() {
        if (app_) ApplicationTestHelper::setPrompts(*app_, *previous_);
    }
    ScopedAppPrompts(const ScopedAppPrompts&) = delete;
    ScopedAppPrompts& operator=(const ScopedAppPrompts&) = delete;

private:
    Application* app_;
    Prompts* previous_ = nullptr;
};

}  // namespace vebix::testing
