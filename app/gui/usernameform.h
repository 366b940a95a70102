#pragma once
// The "User Name" dialog: the user types a name or picks one used before on this computer. OK
// checks the name (not empty; a warning for one or two bytes and for a blank inside, which the
// user may override), adds it to the known names in the settings (subkey "UserNames", one
// value per name with empty data; names that differ only in letter case are one name, kept in
// the spelling written last) and closes the dialog. The caller then reads nameBox as it
// stands, blanks at the ends included. A name that is already known was checked when it was
// first given: it is not questioned again. Escape and the close box both close the dialog
// without a new name (Rejected); the caller then goes on with the name it offered.

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
    // The name the dialog opened with in nameBox: currentName, or, when that is empty, the
    // login name unless it is an administrator's.
    const QString& offeredName() const { return offeredName_; }

    // Adds name to knownNamesList, keeping it sorted ASCII case-insensitively: before the
    // first entry that compares greater, after any equal ones.
    void addKnownName(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fillKnownNames();
    // Whether the list holds name in any letter case.
    bool isListed(const QString& name) const;
    // Whether name was accepted before: the settings know it in any letter case.
    static bool isKnown(const QString& name);
    static bool isAdministrator(const QString& login);
    void acceptName();
    void onSelectionChanged();
    void onDoubleClick();

    std::optional<QString> loginName_;
    QString offeredName_;
    Prompts* prompts_;
    QLineEdit* nameBox_;
    QPushButton* okBtn_;
    QListWidget* knownNamesList_;
    QLabel* label1_;
    QLabel* label2_;
    bool loaded_ = false;
};

}  // namespace vebix
