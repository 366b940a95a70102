#pragma once
// The prompts a person answers: real modal widgets on the desktop, each centred over the window
// that asked, and the desktop's own program for web addresses.

#include "app/gui/prompts.h"

namespace vebix {

class DesktopPrompts : public Prompts {
public:
    QMessageBox::StandardButton message(
        QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) override;
    int choose(QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
               const QStringList& buttonTexts, int defaultIndex, int escapeIndex) override;
    QString openFile(QWidget* parent, const FileDialog::Request& request) override;
    QString saveFile(QWidget* parent, const FileDialog::Request& request) override;
    int exec(QDialog& dialog) override;
    ErrorChoice reportError(QWidget* parent, const QString& message) override;
    bool openUrl(const QUrl& url) override;
};

}  // namespace vebix
