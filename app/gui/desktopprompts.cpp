#include "app/gui/desktopprompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QPushButton>
#include <QUrl>

#include "app/gui/application.h"
#include "app/gui/dialogplacement.h"

namespace vebix {
namespace {

QString runFileDialog(QWidget* parent, const FileDialog::Request& request, bool save) {
    QFileDialog dialog(parent, request.caption, request.initialFile, request.filter);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (save && !request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    // An initial name without a folder opens in the working folder; one with a folder opens
    // there with the name pre-filled.
    if (!request.initialFile.isEmpty()) dialog.selectFile(request.initialFile);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

QMessageBox::StandardButton DesktopPrompts::message(QWidget* parent, const QString& caption,
                                                    const QString& text, QMessageBox::Icon icon,
                                                    QMessageBox::StandardButtons buttons,
                                                    QMessageBox::StandardButton defaultButton) {
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    centreOverParentWhenShown(box);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

int DesktopPrompts::choose(QWidget* parent, const QString& caption, const QString& text,
                           QMessageBox::Icon icon, const QStringList& buttonTexts, int defaultIndex,
                           int escapeIndex) {
    QMessageBox box(icon, caption, text, QMessageBox::NoButton, parent);
    QList<QPushButton*> buttons;
    for (const QString& label : buttonTexts)
        buttons.append(box.addButton(label, QMessageBox::ActionRole));
    if (defaultIndex >= 0 && defaultIndex < buttons.size())
        box.setDefaultButton(buttons[defaultIndex]);
    if (escapeIndex >= 0 && escapeIndex < buttons.size()) box.setEscapeButton(buttons[escapeIndex]);
    centreOverParentWhenShown(box);
    box.exec();
    const int chosen = static_cast<int>(buttons.indexOf(box.clickedButton()));
    return chosen < 0 ? escapeIndex : chosen;
}

QString DesktopPrompts::openFile(QWidget* parent, const FileDialog::Request& request) {
    return runFileDialog(parent, request, false);
}

QString DesktopPrompts::saveFile(QWidget* parent, const FileDialog::Request& request) {
    return runFileDialog(parent, request, true);
}

int DesktopPrompts::exec(QDialog& dialog) { return dialog.exec(); }

Prompts::ErrorChoice DesktopPrompts::reportError(QWidget* parent, const QString& message) {
    ErrorDialog dialog(message, parent);
    exec(dialog);
    return dialog.choice() == ErrorDialog::Quit ? ErrorChoice::Quit : ErrorChoice::Continue;
}

bool DesktopPrompts::openUrl(const QUrl& url) { return QDesktopServices::openUrl(url); }

}  // namespace vebix
