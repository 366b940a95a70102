#pragma once
// The "User Name" dialog: the user types a name or picks one used before on this computer. OK
// checks the name (not empty; a warning for one or two bytes and for a blank inside, which the
// user may override), adds it to the known names in the settings (subkey "UserNames", one
// value per name with empty data; names that differ only in letter case are one name, kept in
// the spelling written last) and closes the dialog. The caller then reads nameBox as it
// stands, blanks at the ends included. The dialog has no Cancel: Escape does nothing, only the
// close box closes it without a name.

#include <QDialog>
#include <QString>

#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace vebix {

class Prompts;

class UserNameForm : public QDialog {
    Q_OBJECT
public:
    // loginName: the user's login name, offered in the list unless it is an administrator's;
    // nullopt when unknown.
    UserNameForm(const QString& currentName, std::optional<QString> loginName, Prompts& prompts,
                 QWidget* parent = nullptr);

    // The text of nameBox, untrimmed.
    QString enteredName() const;

    // Adds name to knownNamesList, keeping it sorted ASCII case-insensitively: before the
    // first entry that compares greater, after any equal ones.
    void addKnownName(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fillKnownNames();
    // Whether the list holds name in any letter case.
    bool isListed(const QString& name) const;
    void acceptName();
    void onSelectionChanged();
    void onDoubleClick();

    std::optional<QString> loginName_;
    Prompts* prompts_;
    QLineEdit* nameBox_;
    QPushButton* okBtn_;
    QListWidget* knownNamesList_;
    QLabel* label1_;
    QLabel* label2_;
    bool loaded_ = false;
};

}  // namespace vebix
