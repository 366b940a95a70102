#pragma once
// The "New Mind" dialog: the new bot's name, whether its mind starts from the template mind,
// and where its mind file goes. Create refuses a name without a letter or digit, fills an
// empty Save-as with "<documents>/<name>.mdd", and asks before a file that already exists at
// the Save-as path is replaced (No keeps the dialog open). The caller reads the three controls
// as they stand after OK.

#include <QDialog>
#include <QString>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vebix {

class Prompts;

class NewMindForm : public QDialog {
    Q_OBJECT
public:
    // currentMindPath: the mind the window holds now, which its own new mind may replace.
    explicit NewMindForm(Prompts& prompts, QWidget* parent = nullptr,
                         const std::string& currentMindPath = {});

    QString botName() const;     // botNameBox as typed
    bool useTemplate() const;    // startWithDefaultMindCheck
    QString saveAsPath() const;  // saveAsBox as typed

    // The message when the chosen file is a mind another window holds open ("%1": the path).
    // Both texts are source texts for translation in this class's context.
    static const char* const kOpenElsewhereText;
    // The question asked before an existing file is replaced; %1 is the Save-as path.
    static const char* const kReplaceQuestion;

private:
    Prompts* prompts_;
    void create();
    void browse();
    QString trimmedName() const;

    std::string currentMindPath_;
    QLabel* label3_;
    QLineEdit* botNameBox_;
    QCheckBox* startWithDefaultMindCheck_;
    QLabel* label4_;
    QLineEdit* saveAsBox_;
    QPushButton* browseBtn_;
    QPushButton* createBtn_;
    QPushButton* cancelBtn_;
};

}  // namespace vebix
