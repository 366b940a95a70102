// The main window keeping its mind's lines when saving fails: the question on closing, Save
// As, and the save notice that stands in for an error box while autosave cannot save.
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <exception>

#include <unistd.h>

#include "app/platform/filewrite.h"
#include "app/mind/mindlock.h"
#include "app/mind/program.h"
#include "app/mind/vebixai.h"
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
    QString reason;
    try {
        keeper_.closeBot();
        return true;
    } catch (const std::exception& e) {
        reason = QString::fromUtf8(e.what());
    }
    // The save failed and the mind still holds every line. Closing must not lose them
    // silently: the window comes back (closing hid it) and the person decides.
    if (isHidden()) show();
    for (;;) {
        const std::size_t unsaved = keeper_.unsavedLineCount();
        const QString lost =
            unsaved == 0 ? tr("No lines would be lost.")
                         : tr("%1 of this conversation would be lost.").arg(linesText(unsaved));
        const QString question =
            tr("%1\n\nThe mind could not be saved. %2\n\nTry Again (after freeing space or "
               "fixing the permissions), Save As... to write the whole mind to another file, or "
               "Discard.")
                .arg(reason, lost);
        const int choice = prompts_->choose(
            this, QString::fromUtf8(kMessageCaption), question, QMessageBox::Warning,
            {tr("&Try Again"), tr("&Save As..."), discardText(unsaved), tr("Cancel")}, TryAgain,
            Cancel);
        try {
            switch (choice) {
                case TryAgain:
                    keeper_.closeBot();
                    hideSaveNotice();
                    return true;
                case SaveAs:
                    if (!saveMindAs()) continue;
                    hideSaveNotice();
                    keeper_.closeBot();
                    return true;
                case Discard:
                    keeper_.discardMind();
                    hideSaveNotice();
                    return true;
                default:
                    // The mind stays open as it was; closing disabled Say.
                    sayBtn_->setEnabled(keeper_.bot() != nullptr);
                    return false;
            }
        } catch (const std::exception& e) {
            reason = QString::fromUtf8(e.what());
        }
    }
}

bool VebixForm::saveMindAs() {
    if (!keeper_.bot()) return false;
    const QString chosen = prompts_->saveFile(
        this, FileDialog::forMind(tr("Save Mind As"), toQPath(keeper_.mindPath())));
    if (chosen.isEmpty()) return false;
    // Written over a mind another window keeps open, the file would take that window's lines
    // too. Returning false lets the caller ask again.
    if (mindOpenElsewhere(fromQPath(chosen), keeper_.mindPath())) {
        prompts_->message(this, QString::fromUtf8(kMessageCaption),
                          NewMindForm::tr(NewMindForm::kOpenElsewhereText).arg(chosen),
                          QMessageBox::Warning);
        return false;
    }
    keeper_.saveAs(fromQPath(chosen));
    // The next start opens the mind where it now lives, and the window names it from now on.
    saveSettings(keeper_.mindPath(), userName().toStdString());
    updateTitle();
    appendText(tr("The mind is now kept in %1").arg(displayPath()) + QStringLiteral("\r\n"),
               ChatRole::Info);
    return true;
}

std::optional<QString> VebixForm::refusalOfMind(const std::string& path) {
    // A missing file becomes a new mind there, as it always has.
    if (!QFileInfo::exists(toQPath(path))) return std::nullopt;
    try {
        VebixAi trial;
        trial.loadFile(path);
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    }
    return std::nullopt;
}

std::optional<QString> VebixForm::unwritableReason(const std::string& path) {
    // The mind grows by appending to its file; a new one is written into its folder.
    const QString file = toQPath(path);
    const bool exists = QFileInfo::exists(file);
    const QString target = exists ? file : QFileInfo(file).absolutePath();
    if (::access(QFile::encodeName(target).constData(), W_OK) == 0) return std::nullopt;
    const int error = errno;
    return tr("\"%1\" cannot be written to (%2), so new lines will be lost unless you save "
              "the mind elsewhere.")
        .arg(QDir::toNativeSeparators(target), QString::fromLocal8Bit(std::strerror(error)));
}

void VebixForm::announceIfUnwritable() {
    if (!keeper_.bot()) return;
    if (const std::optional<QString> reason = unwritableReason(keeper_.mindPath()))
        showSaveNotice(*reason);
}

void VebixForm::showNoMind() {
    updateTitle();
    hideSaveNotice();
    sayBtn_->setEnabled(false);
    input_->setEnabled(false);
    setStatusText(tr("Please load or create a mind file"));
}

bool VebixForm::savedOrNoticed(const std::function<void()>& save) {
    try {
        save();
        return true;
    } catch (const std::exception& e) {
        showSaveNotice(QString::fromUtf8(e.what()));
        return false;
    }
}

void VebixForm::autosaveQuietly() {
    // A box per tick would pile up and catch the keys typed meanwhile; the notice stays until
    // a save succeeds, and the next ticks try again.
    // A tick with nothing to write succeeds even for a mind that cannot be written: the notice
    // given when it was opened stays until it can.
    if (savedOrNoticed([this] { keeper_.autosaveTick(); }) && !keeper_.hasUnsavedLines() &&
        !keeper_.saveRequested() && !unwritableReason(keeper_.mindPath()))
        hideSaveNotice();
}

void VebixForm::retrySaveFromNotice() {
    if (savedOrNoticed([this] { keeper_.saveNow(); })) hideSaveNotice();
}

void VebixForm::saveAsFromNotice() {
    bool saved = false;
    if (savedOrNoticed([this, &saved] { saved = saveMindAs(); }) && saved) hideSaveNotice();
}

void VebixForm::showSaveNotice(const QString& reason) { saveNotice_->showFailure(reason); }

// The layout gives the display its room back.
void VebixForm::hideSaveNotice() { saveNotice_->hide(); }

}  // namespace vebix
