// The "User Name" dialog: its checks, the known names and what the caller reads.
#include <algorithm>

#include "app/platform/settings.h"
#include "guitestsupport.h"
#include "taborder.h"

namespace vebix {
namespace {

using testing::child;
using testing::click;
using testing::typeInto;

class UserNameDialog : public testing::WindowTest {
protected:
    // A double-click as the mouse makes it: press, release, then the second press arrives as a
    // double-click, then release.
    static void doubleClick(QListWidget* list, QPoint at) {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    static QStringList listed(UserNameForm& form) {
        QStringList out;
        auto* list = child<QListWidget>(&form, "knownNamesList");
        for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
        return out;
    }
    static std::vector<std::string> storedNames() {
        return Settings().valueNames(Settings::kUserNamesGroup);
    }
};

TEST_F(UserNameDialog, Layout) {
    UserNameForm form("Ann", std::nullopt, prompts_);
    EXPECT_EQ(form.windowTitle(), "User Name");
    EXPECT_EQ(form.size(), QSize(314, 200));
    EXPECT_EQ(child<QLineEdit>(&form, "nameBox")->text(), "Ann");
    EXPECT_EQ(testing::tabOrder(form), QStringList({"nameBox", "okBtn", "knownNamesList"}));
    EXPECT_TRUE(child<QPushButton>(&form, "okBtn")->isDefault());
    EXPECT_EQ(child<QLabel>(&form, "label2")->buddy(), child<QLineEdit>(&form, "nameBox"));
    // Top to bottom: the prompt, the list, the name, OK.
    const auto top = [&form](const char* name) { return child<QWidget>(&form, name)->y(); };
    EXPECT_LT(top("label1"), top("knownNamesList"));
    EXPECT_LT(top("knownNamesList"), top("nameBox"));
    EXPECT_EQ(top("label2"), top("nameBox"));
    EXPECT_LT(top("nameBox"), top("okBtn"));
    EXPECT_EQ(child<QLabel>(&form, "label1")->text(),
              "Please enter or select your name or nickname.");
    EXPECT_EQ(child<QLabel>(&form, "label2")->text(), "User &name:");
}

// Each check in turn: the message (if any), the answer given, and whether OK closes.
TEST_F(UserNameDialog, ChecksOfTheName) {
    struct Case {
        QString typed;
        QString message;  // empty: none
        QMessageBox::StandardButton answer;
        bool accepted;
        std::string stored;
    };
    const QString shortQ =
        "User Name: It is recommended that you enter a longer name.\r\n\r\nWould you like to fix your name?";
    const QString blankQ =
        "User Name: It is recommended that you enter just your first name without any spaces.\r\n\r\n"
        "Would you like to fix your name?";
    const Case cases[] = {
        {"", "User Name: Please enter or select your name.", QMessageBox::Ok, false, ""},
        {"    ", "User Name: Please enter or select your name.", QMessageBox::Ok, false, ""},
        {"Al", shortQ, QMessageBox::Yes, false, ""},
        {"Al", shortQ, QMessageBox::No, true, "Al"},
        {"Mary Ann", blankQ, QMessageBox::Yes, false, ""},
        {"Mary Ann", blankQ, QMessageBox::No, true, "Mary Ann"},
        {"  Bob  ", "", QMessageBox::NoButton, true, "Bob"},
    };
    for (const Case& c : cases) {
        for (const std::string& name : storedNames())
            Settings().removeValue(Settings::kUserNamesGroup, name);
        prompts_.clearAnsweredBoxes();
        prompts_.setAutoAnswer(QMessageBox::NoButton);
        UserNameForm form("", std::nullopt, prompts_);
        form.show();
        typeInto(child<QLineEdit>(&form, "nameBox"), c.typed);
        if (c.answer != QMessageBox::NoButton) prompts_.setNextAnswer(c.answer);
        click(child<QPushButton>(&form, "okBtn"));
        const std::string label = c.typed.toStdString() + " / " + std::to_string(c.answer);
        EXPECT_EQ(prompts_.answeredBoxes(),
                  c.message.isEmpty() ? QStringList() : QStringList{c.message})
            << label;
        EXPECT_EQ(form.isVisible(), !c.accepted) << label;
        EXPECT_EQ(form.result() == QDialog::Accepted, c.accepted) << label;
        if (c.accepted) {
            EXPECT_EQ(form.enteredName(), c.typed) << label;  // untrimmed for the caller
            const auto names = storedNames();
            EXPECT_NE(std::find(names.begin(), names.end(), c.stored), names.end()) << label;
            EXPECT_EQ(Settings().readString(Settings::kUserNamesGroup, c.stored), "");
        } else {
            EXPECT_TRUE(storedNames().empty()) << label;
            EXPECT_EQ(form.focusWidget(), child<QLineEdit>(&form, "nameBox")) << label;
        }
    }
}

TEST_F(UserNameDialog, KnownNamesSortedAndListedOnce) {
    {
        // "bob" and "Bob" are one name in two spellings (settings from before names were kept
        // case-insensitively); "X" is one byte, "é" one character of two bytes.
        Settings s;
        for (const char* name : {"zed", "Ann", "bob", "X", "Bob", "carl", "\xC3\xA9"})
            s.writeString(Settings::kUserNamesGroup, name, "");
    }
    struct Case {
        QString login;
        QStringList listed;
    };
    const QString e = QString::fromUtf8("\xC3\xA9");
    const Case cases[] = {
        {"ANN", {"Ann", "bob", "carl", "zed", e}},
        {"Maria", {"Ann", "bob", "carl", "Maria", "zed", e}},
        {"administrator", {"Ann", "bob", "carl", "zed", e}},
        {"root", {"Ann", "bob", "carl", "zed", e}},
        {"", {"Ann", "bob", "carl", "zed", e}},  // unknown
    };
    for (const Case& c : cases) {
        UserNameForm form("", c.login.isEmpty() ? std::nullopt : std::optional<QString>(c.login),
                          prompts_);
        form.show();
        // Which spelling of "bob" stands for the name is not fixed, so only letters are compared.
        const QStringList got = listed(form);
        QStringList lowerGot, lowerWant;
        for (const QString& s : got) lowerGot << s.toLower();
        for (const QString& s : c.listed) lowerWant << s.toLower();
        EXPECT_EQ(lowerGot, lowerWant) << c.login.toStdString();
    }
}

// Accepting a name replaces every other spelling of it in the known names.
TEST_F(UserNameDialog, ANameIsKeptInTheSpellingWrittenLast) {
    {
        Settings s;
        for (const char* name : {"bob", "BOB", "Ann", "bobby"})
            s.writeString(Settings::kUserNamesGroup, name, "");
    }
    UserNameForm form("", std::nullopt, prompts_);
    form.show();
    typeInto(child<QLineEdit>(&form, "nameBox"), "Bob");
    click(child<QPushButton>(&form, "okBtn"));
    ASSERT_EQ(form.result(), QDialog::Accepted);
    auto names = storedNames();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Ann", "Bob", "bobby"}));

    UserNameForm again("", std::nullopt, prompts_);
    again.show();
    EXPECT_EQ(listed(again), (QStringList{"Ann", "Bob", "bobby"}));
}

// The dialog has no Cancel: Escape leaves it open with what was typed; the close box still
// closes it without a name.
TEST_F(UserNameDialog, EscapeDoesNotCloseTheDialog) {
    UserNameForm form("", std::nullopt, prompts_);
    form.show();
    auto* box = child<QLineEdit>(&form, "nameBox");
    typeInto(box, "Ann");
    QTest::keyClick(box, Qt::Key_Escape);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(box->text(), "Ann");
    EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());

    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_TRUE(storedNames().empty());
}

TEST_F(UserNameDialog, EnterInTheNameBoxPressesOk) {
    UserNameForm form("", std::nullopt, prompts_);
    form.show();
    auto* box = child<QLineEdit>(&form, "nameBox");
    typeInto(box, "Ann");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(Settings().readString(Settings::kUserNamesGroup, "Ann"), "");
}

TEST_F(UserNameDialog, WithoutKnownNamesOnlyTheLoginIsOffered) {
    UserNameForm maria("", QStringLiteral("Maria"), prompts_);
    maria.show();
    EXPECT_EQ(listed(maria), QStringList{"Maria"});
    UserNameForm admin("", QStringLiteral("Administrator"), prompts_);
    admin.show();
    EXPECT_TRUE(listed(admin).isEmpty());
}

TEST_F(UserNameDialog, EqualNamesKeepTheirInsertionOrder) {
    UserNameForm form("", std::nullopt, prompts_);
    for (const char* name : {"b", "B", "a", "c", "b2"}) form.addKnownName(name);
    EXPECT_EQ(listed(form), (QStringList{"a", "b", "B", "b2", "c"}));
}

TEST_F(UserNameDialog, SelectingANameCopiesItAndDoubleClickAccepts) {
    Settings().writeString(Settings::kUserNamesGroup, "Ann", "");
    Settings().writeString(Settings::kUserNamesGroup, "Jo", "");
    UserNameForm form("", std::nullopt, prompts_);
    form.show();
    QCoreApplication::processEvents();  // lets the list lay out its entries
    auto* list = child<QListWidget>(&form, "knownNamesList");
    list->setCurrentRow(0);
    EXPECT_EQ(child<QLineEdit>(&form, "nameBox")->text(), "Ann");

    // "Jo" is short: the check runs on a double-click too; Yes keeps the dialog open.
    prompts_.setAutoAnswer(QMessageBox::NoButton);
    list->setCurrentRow(1);
    prompts_.setNextAnswer(QMessageBox::Yes);
    const QRect rect = list->visualItemRect(list->item(1));

    doubleClick(list, rect.center());
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(prompts_.answeredBoxes().size(), 1);

    list->setCurrentRow(0);
    doubleClick(list, list->visualItemRect(list->item(0)).center());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.enteredName(), "Ann");
}

TEST_F(UserNameDialog, TheWindowOffersTheLoginNameItStartedWith) {
    start_.mindPath = spath("Documents/m.mdd");
    start_.loginName = "maria";
    QStringList offered;
    prompts_.queueScript("UserNameForm", [&offered](QDialog& dialog) {
        offered = listed(static_cast<UserNameForm&>(dialog));
        typeInto(child<QLineEdit>(&dialog, "nameBox"), "Ann");
        click(child<QPushButton>(&dialog, "okBtn"));
    });
    testing::TestForm form(prompts_, start_);
    showAndLoad(form);
    EXPECT_EQ(offered, QStringList{"maria"});
}

}  // namespace
}  // namespace vebix
