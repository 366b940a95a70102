// The main window keeping its mind's lines when saving fails: the question on closing, Save
// As, and the save notice that stands in for an error box while autosave cannot save.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <exception>

#include "app/platform/filewrite.h"
#include "app/mind/mindlock.h"
#include "app/mind/startup.h"
#include "app/gui/chatdisplay.h"
#include "app/gui/filedialog.h"
#include "app/gui/prompts.h"
#include "app/gui/newmindform.h"
#include "app/gui/savenotice.h"
#include "app/gui/vebixform.h"

namespace vebix {
namespace {

enum RescueChoice { TryAgain, SaveAs, Discard, Cancel };

QString linesText(std::size_t count) {
    // "%n" lets a translation choose its language's plural form.
    return count == 1 ? VebixForm::tr("1 line")
                      : VebixForm::tr("%n lines", nullptr, static_cast<int>(count));
}

QString discardText(std::size_t count) {
    return count == 0 ? VebixForm::tr("&Discard")
                      : VebixForm::tr("&Discard %1").arg(linesText(count));
}

}  // namespace

bool VebixForm::closeMindOrAsk() {
    switch (session_->close()) {
        case ChatSession::Closed::KeptOpen:
            // The mind stays open as it was; closing disabled Say.
            sayBtn_->setEnabled(keeper().bot() != nullptr);
            return false;
        default:
            return true;
    }
}

ChatSession::AfterFailedSave VebixForm::askAfterFailedSave(
    const ChatSession::SaveFailure& failure) {
    // Closing must not lose the lines silently: the window comes back (closing hid it) and the
    // person decides.
    if (isHidden()) show();
    const QString lost =
        failure.unsavedLines == 0
            ? tr("No lines would be lost.")
            : tr("%1 of this conversation would be lost.").arg(linesText(failure.unsavedLines));
    const QString question =
        tr("%1\n\nThe mind could not be saved. %2\n\nTry Again (after freeing space or "
           "fixing the permissions), Save As... to write the whole mind to another file, or "
           "Discard.")
            .arg(QString::fromUtf8(failure.reason), lost);
    switch (prompts_->choose(
        this, QString::fromUtf8(kMessageCaption), question, QMessageBox::Warning,
        {tr("&Try Again"), tr("&Save As..."), discardText(failure.unsavedLines), tr("Cancel")},
        TryAgain, Cancel)) {
        case TryAgain:
            return ChatSession::AfterFailedSave::TryAgain;
        case SaveAs:
            return ChatSession::AfterFailedSave::SaveAs;
        case Discard:
            return ChatSession::AfterFailedSave::Discard;
        default:
            return ChatSession::AfterFailedSave::KeepOpen;
    }
}

std::string VebixForm::askSaveAsPath(const std::string& currentPath) {
    return fromQPath(
        prompts_->saveFile(this, FileDialog::forMind(tr("Save Mind As"), toQPath(currentPath))));
}

void VebixForm::showSaveAsRefused(const std::string& path) {
    // Written over a mind another window keeps open, the file would take that window's lines
    // too.
    prompts_->message(this, QString::fromUtf8(kMessageCaption),
                      NewMindForm::tr(NewMindForm::kOpenElsewhereText).arg(fromUtf8(path)),
                      QMessageBox::Warning);
}

void VebixForm::showNoMind() {
    hideSaveNotice();
    sayBtn_->setEnabled(false);
    input_->setEnabled(false);
    setStatusText(tr("Please load or create a mind file"));
}

// A box per failed autosave would pile up and catch the keys typed meanwhile: the notice stays
// until a save succeeds, while the session's next ticks try again.
void VebixForm::showSaveFailing(const std::string& reason) { showSaveNotice(fromUtf8(reason)); }

void VebixForm::showSaveFailingOver() { hideSaveNotice(); }

void VebixForm::retrySaveFromNotice() {
    try {
        session_->saveNow();
    } catch (const std::exception& e) {
        showSaveNotice(QString::fromUtf8(e.what()));
    }
}

void VebixForm::saveAsFromNotice() {
    try {
        session_->saveAs();
    } catch (const std::exception& e) {
        showSaveNotice(QString::fromUtf8(e.what()));
    }
}

void VebixForm::showSaveNotice(const QString& reason) { saveNotice_->showFailure(reason); }

// The layout gives the display its room back.
void VebixForm::hideSaveNotice() { saveNotice_->hide(); }

}  // namespace vebix
