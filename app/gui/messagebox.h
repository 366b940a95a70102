#pragma once
// Every modal message box of the program goes through here, so that tests can answer it
// instead of a person: setNextAnswer makes the next box return that answer without being
// shown, and the texts of the boxes so answered are kept for the test to check.

#include <QMessageBox>
#include <QString>
#include <QStringList>

namespace vebix {

class MessageBox {
public:
    // Shows a modal box and returns the button that closed it.
    static QMessageBox::StandardButton show(QWidget* parent, const QString& caption,
                                            const QString& text, QMessageBox::Icon icon,
                                            QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                            QMessageBox::StandardButton defaultButton =
                                                QMessageBox::NoButton);
    // A box with an error icon and an OK button.
    static void error(QWidget* parent, const QString& caption, const QString& text);

    // ---- for tests ------------------------------------------------------------------------------
    // The next box is not shown and returns answer (QMessageBox::NoButton: show boxes again).
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // Answers every box with answer until cleared with NoButton.
    static void setAutoAnswer(QMessageBox::StandardButton answer);
    // "caption: text" of every box answered by setNextAnswer or setAutoAnswer, oldest first.
    static QStringList answeredBoxes();
    static void clearAnsweredBoxes();
};

}  // namespace vebix
