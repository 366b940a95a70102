#pragma once
// Every modal message box of the program goes through here, so that tests can answer it
// instead of a person: setNextAnswer makes the next box return that answer without being
// shown, and the texts of the boxes so answered are kept for the test to check.

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <functional>

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
    // Shows a modal box whose buttons carry buttonTexts, left to right, and returns the index
    // of the one chosen; Escape and the close box answer escapeIndex.
    static int choose(QWidget* parent, const QString& caption, const QString& text,
                      QMessageBox::Icon icon, const QStringList& buttonTexts, int defaultIndex,
                      int escapeIndex);

    // ---- for tests ------------------------------------------------------------------------------
    // The next box is not shown and returns answer (QMessageBox::NoButton: show boxes again).
    static void setNextAnswer(QMessageBox::StandardButton answer);
    // Answers every box with answer until cleared with NoButton.
    static void setAutoAnswer(QMessageBox::StandardButton answer);
    // The next box of choose() is not shown and answers the button whose text is buttonText
    // ("&" marks aside); whileShown, when given, runs first, as if done while the box is up.
    // Answers queue up, one per box. A box that has no such button answers escapeIndex, and
    // the text asked for is listed in unmatchedChoices. With no queued answer, a box of
    // choose() answers escapeIndex while setNextAnswer or setAutoAnswer would answer a box.
    static void queueChoice(const QString& buttonText, std::function<void()> whileShown = {});
    // Queued choices no box took, dropped by clearAnsweredBoxes too.
    static int pendingChoices();
    static QStringList unmatchedChoices();
    // "caption: text" of every box answered by setNextAnswer, setAutoAnswer or queueChoice,
    // oldest first.
    static QStringList answeredBoxes();
    static void clearAnsweredBoxes();
};

}  // namespace vebix
