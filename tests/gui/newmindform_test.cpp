// The "New Mind" dialog on its own: the name check, the default Save-as path, Browse.
#include "app/gui/newmindform.h"
#include "guitestsupport.h"
#include "taborder.h"

namespace vebix {
namespace {

using testing::child;
using testing::click;
using testing::readBytes;
using testing::typeInto;
using testing::writeBytes;

class NewMindDialog : public testing::WindowTest {};

TEST_F(NewMindDialog, Layout) {
    NewMindForm form{prompts_};
    EXPECT_EQ(form.windowTitle(), "New Mind");
    EXPECT_EQ(form.size(), QSize(386, 142));
    EXPECT_EQ(child<QLineEdit>(&form, "botNameBox")->text(), "Vebix");
    EXPECT_EQ(child<QLineEdit>(&form, "botNameBox")->maxLength(), 100);
    EXPECT_TRUE(child<QCheckBox>(&form, "startWithDefaultMindCheck")->isChecked());
    EXPECT_TRUE(child<QLineEdit>(&form, "saveAsBox")->text().isEmpty());
    EXPECT_TRUE(child<QPushButton>(&form, "createBtn")->isDefault());
    EXPECT_FALSE(child<QPushButton>(&form, "browseBtn")->autoDefault());
    EXPECT_FALSE(child<QPushButton>(&form, "cancelBtn")->autoDefault());
    EXPECT_EQ(testing::tabOrder(form),
              QStringList({"botNameBox", "startWithDefaultMindCheck", "saveAsBox", "browseBtn",
                           "createBtn", "cancelBtn"}));
    EXPECT_EQ(child<QLabel>(&form, "label3")->buddy(), child<QLineEdit>(&form, "botNameBox"));
    EXPECT_EQ(child<QLabel>(&form, "label4")->buddy(), child<QLineEdit>(&form, "saveAsBox"));
    // Rows top to bottom: the name, the check box, Save as with Browse, Create with Cancel.
    const auto at = [&form](const char* name) { return child<QWidget>(&form, name)->geometry(); };
    EXPECT_EQ(at("label3").center().y(), at("botNameBox").center().y());
    EXPECT_LT(at("botNameBox").bottom(), at("startWithDefaultMindCheck").top());
    EXPECT_LT(at("startWithDefaultMindCheck").bottom(), at("saveAsBox").top());
    EXPECT_EQ(at("saveAsBox").center().y(), at("browseBtn").center().y());
    EXPECT_LT(at("saveAsBox").right(), at("browseBtn").left());
    EXPECT_LT(at("browseBtn").bottom(), at("createBtn").top());
    EXPECT_LT(at("createBtn").right(), at("cancelBtn").left());
}

TEST_F(NewMindDialog, EnterAtOnceFillsTheDefaultPath) {
    NewMindForm form{prompts_};
    form.show();
    QTest::keyClick(child<QLineEdit>(&form, "botNameBox"), Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.saveAsPath(), path("Documents/Vebix.mdd"));
    EXPECT_TRUE(form.useTemplate());
}

TEST_F(NewMindDialog, NameChecks) {
    struct Case {
        QString name;
        bool accepted;
        QString defaultPath;  // of the Save-as box after Create, when accepted
    };
    const Case cases[] = {
        {"   ", false, ""},
        {"!!!", false, ""},
        {" R2-D2 ", true, "Documents/R2-D2.mdd"},
        {"\"Quoted\"", true, "Documents/\"Quoted\".mdd"},
    };
    for (const Case& c : cases) {
        prompts_.clearAnsweredBoxes();
        NewMindForm form{prompts_};
        form.show();
        typeInto(child<QLineEdit>(&form, "botNameBox"), c.name);
        click(child<QPushButton>(&form, "createBtn"));
        EXPECT_EQ(form.isVisible(), !c.accepted) << c.name.toStdString();
        if (c.accepted) {
            EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());
            EXPECT_EQ(form.saveAsPath(), path(c.defaultPath));
            EXPECT_EQ(form.botName(), c.name);  // untrimmed for the caller
        } else {
            EXPECT_EQ(prompts_.answeredBoxes(), QStringList{": Please enter a new bot name"});
            EXPECT_EQ(form.focusWidget(), child<QLineEdit>(&form, "botNameBox"));
        }
    }
}

TEST_F(NewMindDialog, TypedSaveAsIsPassedOnAsItStands) {
    NewMindForm form{prompts_};
    form.show();
    typeInto(child<QLineEdit>(&form, "saveAsBox"), path("bots/mybot"));
    child<QCheckBox>(&form, "startWithDefaultMindCheck")->setChecked(false);
    click(child<QPushButton>(&form, "createBtn"));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.saveAsPath(), path("bots/mybot"));
    EXPECT_FALSE(form.useTemplate());
}

// A mind another window holds open is never replaced by a new one: the dialog says so and stays
// open. The window's own mind is no other window's, and is only asked about.
TEST_F(NewMindDialog, AMindOpenInAnotherWindowIsNotReplaced) {
    const std::string mind = "1.2 1.2 \"Small\"\r\n\r\nk 1 a hello there\r\n";
    writeBytes(path("Documents/held.mdd"), mind);
    writeBytes(path("Documents/own.mdd"), mind);
    MindKeeper otherWindow;
    ASSERT_EQ(otherWindow.loadMind(spath("Documents/held.mdd")), MindKeeper::Loaded::Existing);
    MindKeeper thisWindow;
    ASSERT_EQ(thisWindow.loadMind(spath("Documents/own.mdd")), MindKeeper::Loaded::Existing);

    const struct {
        const char* file;
        QString box;  // the box shown, answered with No
        bool open;    // the dialog stays open
    } cases[] = {
        {"Documents/held.mdd",
         "New Mind: The mind file \"" + path("Documents/held.mdd") +
             "\" is open in another window of Vebix.\r\n\r\nPlease choose another file name.",
         true},
        {"Documents/own.mdd",
         "New Mind: A file named \"" + path("Documents/own.mdd") +
             "\" already exists.\r\n\r\nDo you want to replace it with the new mind?",
         true},
    };
    for (const auto& c : cases) {
        prompts_.clearAnsweredBoxes();
        prompts_.setNextAnswer(QMessageBox::No);
        NewMindForm form(prompts_, nullptr, thisWindow.mindPath());
        form.show();
        typeInto(child<QLineEdit>(&form, "saveAsBox"), path(c.file));
        click(child<QPushButton>(&form, "createBtn"));
        EXPECT_EQ(prompts_.answeredBoxes(), QStringList{c.box}) << c.file;
        EXPECT_EQ(form.isVisible(), c.open) << c.file;
        prompts_.setNextAnswer(QMessageBox::NoButton);
    }
    EXPECT_EQ(readBytes(path("Documents/held.mdd")), mind);
}

TEST_F(NewMindDialog, BrowseProposesTheDocumentsFolderAndTheName) {
    NewMindForm form{prompts_};
    form.show();
    typeInto(child<QLineEdit>(&form, "botNameBox"), " Ann ");
    prompts_.setNextFileName(QString());  // cancelled
    click(child<QPushButton>(&form, "browseBtn"));
    auto request = prompts_.lastAnsweredRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->initialFile, path("Documents/Ann"));
    EXPECT_EQ(request->filter, "Vebix Mind Files (*.mdd)");
    EXPECT_EQ(request->defaultSuffix, "mdd");
    EXPECT_TRUE(form.saveAsPath().isEmpty());

    prompts_.setNextFileName(path("chosen.mdd"));
    click(child<QPushButton>(&form, "browseBtn"));
    EXPECT_EQ(form.saveAsPath(), path("chosen.mdd"));

    prompts_.setNextFileName(QString());
    click(child<QPushButton>(&form, "browseBtn"));
    EXPECT_EQ(prompts_.lastAnsweredRequest()->initialFile, path("chosen.mdd"));
    EXPECT_EQ(form.saveAsPath(), path("chosen.mdd"));
    EXPECT_TRUE(form.isVisible());
}

TEST_F(NewMindDialog, CancelAndEscapeEndWithoutOk) {
    NewMindForm a{prompts_};
    a.show();
    click(child<QPushButton>(&a, "cancelBtn"));
    EXPECT_EQ(a.result(), QDialog::Rejected);
    EXPECT_FALSE(a.isVisible());
    NewMindForm b{prompts_};
    b.show();
    QTest::keyClick(child<QLineEdit>(&b, "botNameBox"), Qt::Key_Escape);
    EXPECT_EQ(b.result(), QDialog::Rejected);
    EXPECT_FALSE(b.isVisible());
}

}  // namespace
}  // namespace vebix
