#pragma once
// The notice the main window shows, in place of a modal box, while its mind cannot be saved: a
// bar above the input line that says so and why, with "Try Again" and "Save As..." buttons.
// It takes no focus from the input line and blocks nothing; the window hides it once a save
// succeeds.

#include <QFrame>
#include <QString>

class QLabel;
class QPushButton;

namespace vebix {

class SaveNotice : public QFrame {
    Q_OBJECT
public:
    explicit SaveNotice(QWidget* parent = nullptr);

    // Shows the notice for the failure whose message is reason (the save error's text).
    void showFailure(const QString& reason);
    QString text() const;

signals:
    void tryAgainClicked();
    void saveAsClicked();

private:
    QLabel* message_;
    QPushButton* tryAgainBtn_;
    QPushButton* saveAsBtn_;
};

}  // namespace vebix
