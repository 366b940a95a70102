// The main window keeping its mind's lines when saving fails: the question on closing, Save
// As, and the save notice that stands in for an error box while autosave cannot save.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <exception>

#include "app/platform/filewrite.h"
#include "app/mind/mindlock.h"
#include "app/mind/program.h"
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
    return count == 1 ? QStringLiteral("1 line") : QStringLiteral("%1 lines").arg(count);
}

QString discardText(std::size_t count) {
    return count == 0 ? QStringLiteral("&Discard") : QStringLiteral("&Discard ") + linesText(count);
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
            unsaved == 0
                ? QStringLiteral("No lines would be lost.")
                : linesText(unsaved) + QStringLiteral(" of this conversation would be lost.");
        const QString question =
            reason + QStringLiteral("\n\nThe mind could not be saved. ") + lost +
            QStringLiteral(
                "\n\nTry Again (after freeing space or fixing the permissions), "
                "Save As... to write the whole mind to another file, or Discard.");
        const int choice = prompts_->choose(
            this, QString::fromUtf8(kMessageCaption), question, QMessageBox::Warning,
            {QStringLiteral("&Try Again"), QStringLiteral("&Save As..."), discardText(unsaved),
             QStringLiteral("Cancel")},
            TryAgain, Cancel);
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
        this, FileDialog::forMind(QStringLiteral("Save Mind As"), toQPath(keeper_.mindPath())));
    if (chosen.isEmpty()) return false;
    // Written over a mind another window keeps open, the file would take that window's lines
    // too. Returning false lets the caller ask again.
    if (mindOpenElsewhere(fromQPath(chosen), keeper_.mindPath())) {
        prompts_->message(this, QString::fromUtf8(kMessageCaption),
                          QString::fromUtf8(NewMindForm::kOpenElsewhereText).arg(chosen),
                          QMessageBox::Warning);
        return false;
    }
    keeper_.saveAs(fromQPath(chosen));
    // The next start opens the mind where it now lives.
    saveSettings(keeper_.mindPath(), userName().toStdString());
    return true;
}

void VebixForm::showNoMind() {
    hideSaveNotice();
    sayBtn_->setEnabled(false);
    input_->setEnabled(false);
    setStatusText(QStringLiteral("Please load or create a mind file"));
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
    if (savedOrNoticed([this] { keeper_.autosaveTick(); }) && !keeper_.hasUnsavedLines() &&
        !keeper_.saveRequested())
        hideSaveNotice();
}

void VebixForm::retrySaveFromNotice() {
    if (savedOrNoticed([this] { keeper_.saveNow(); })) hideSaveNotice();
}

void VebixForm::saveAsFromNotice() {
    bool saved = false;
    if (savedOrNoticed([this, &saved] { saved = saveMindAs(); }) && saved) hideSaveNotice();
}

void VebixForm::showSaveNotice(const QString& reason) {
    saveNotice_->showFailure(reason);
    placeSaveNotice();
}

void VebixForm::hideSaveNotice() {
    if (saveNotice_->isHidden()) return;
    saveNotice_->hide();
    // The display takes its room back.
    placeAnchored(dispAnchor_);
}

void VebixForm::placeSaveNotice() {
    if (saveNotice_->isHidden()) return;
    constexpr int kMargin = 16;
    constexpr int kGap = 6;
    const int width = client_->width() - 2 * kMargin;
    const int height = saveNotice_->hasHeightForWidth() ? saveNotice_->heightForWidth(width)
                                                        : saveNotice_->sizeHint().height();
    const int top = input_->y() - kGap - height;
    saveNotice_->setGeometry(kMargin, top, width, height);
    const QRect shown = disp_->geometry();
    disp_->setGeometry(shown.x(), shown.y(), shown.width(), std::max(0, top - kGap - shown.y()));
}

}  // namespace vebix
