#pragma once
// Everything the program asks of the person at the keyboard goes through one Prompts object:
// message boxes, file dialogs, the program's own modal dialogs, the "Error" dialog of the last
// net for errors, and opening a web address on the desktop. Whoever builds the windows hands
// the object in (the program creates a DesktopPrompts; the main window passes it on to every
// dialog and helper that asks something), so that another implementation can stand in for the
// person. Every call returns only once it has its answer.

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include "app/gui/filedialog.h"

class QDialog;
class QUrl;
class QWidget;

namespace vebix {

class Prompts {
public:
    enum class ErrorChoice { Continue, Quit };

    virtual ~Prompts() = default;

    // A modal box with a caption, a text, an icon and standard buttons, centred over parent
    // (the screen when null); returns the button that closed it. defaultButton NoButton leaves
    // the toolkit's own choice.
    virtual QMessageBox::StandardButton message(
        QWidget* parent, const QString& caption, const QString& text, QMessageBox::Icon icon,
        QMessageBox::StandardButtons buttons = QMessageBox::Ok,
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;
    // A box with an error icon and an OK button.
    void error(QWidget* parent, const QString& caption, const QString& text) {
        message(parent, caption, text, QMessageBox::Critical, QMessageBox::Ok);
    }
    // A modal box whose buttons carry buttonTexts, left to right; returns the index of the one
    // chosen. Escape and the close box answer escapeIndex.
    virtual int choose(QWidget* parent, const QString& caption, const QString& text,
                       QMessageBox::Icon icon, const QStringList& buttonTexts, int defaultIndex,
                       int escapeIndex) = 0;

    // Asks for an existing file to open; empty when cancelled.
    virtual QString openFile(QWidget* parent, const FileDialog::Request& request) = 0;
    // Asks for a file to save to; empty when cancelled.
    virtual QString saveFile(QWidget* parent, const FileDialog::Request& request) = 0;

    // Runs one of the program's own dialogs modally and returns its result code; a dialog
    // closed by its close box answers QDialog::Rejected.
    virtual int exec(QDialog& dialog) = 0;

    // The "Error" dialog for message, over parent; returns the person's choice.
    virtual ErrorChoice reportError(QWidget* parent, const QString& message) = 0;

    // Opens url with the desktop's own program; false when that failed.
    virtual bool openUrl(const QUrl& url) = 0;
};

}  // namespace vebix
