// Every dialog shows its texts whole in the default font, in one half again as large and in
// one twice as large (as at 150 % and 200 % scale), and opens centred over its window.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QFont>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRegularExpression>

#include <functional>
#include <memory>

#include "app/gui/findudlpbotform.h"
#include "app/gui/newmindform.h"
#include "app/gui/translations.h"
#include "app/gui/udlpform.h"
#include "guitestsupport.h"
#include "textfit.h"
#include "windowlayout.h"

namespace vebix {
namespace {

using testing::child;
using testing::clippedTexts;
using ScaledFont = testing::ScopedAppFontScale;

class DialogTexts : public testing::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        QDir(tmp_.path()).mkpath("minds");
        loaded_.loadMind(spath("minds/" + kLongFile), {.open = MindKeeper::Open::AlwaysNew,
                                                       .source = MindKeeper::NewMind::Empty,
                                                       .botName = kLongBot.toStdString()});
        // A bot the finder lists and that can be typed in, with a long name.
        QDir(tmp_.path()).mkpath("opt/OtherBot");
        testing::writeBytes(path("opt/OtherBot/UDLP.NFO"),
                            "2\r\n0\r\nbot.bin\r\n" + kLongBot.toStdString() + "\r\n");
        QDir(tmp_.path()).mkpath("home/Desktop");
        places_ = BotSearchPlaces{spath("opt"), spath("home"), spath("home/Desktop")};
    }

    struct Dialog {
        const char* name;
        std::function<std::unique_ptr<QDialog>(QWidget& owner)> make;
        // What happens after it is shown, as a person would make it happen.
        std::function<void(QDialog&)> thenDo = [](QDialog&) {};
    };

    // Every dialog as the program makes it, owned by owner; texts that depend on a bot or file
    // name use long ones that hold placeholders.
    std::vector<Dialog> dialogs() {
        std::vector<Dialog> all;
        all.push_back({"User Name", [this](QWidget& owner) {
                           return std::make_unique<UserNameForm>(
                               QStringLiteral("Ann"), QStringLiteral("a-long-login-name"), prompts_,
                               &owner);
                       }});
        all.push_back({"New Mind", [this](QWidget& owner) {
                           return std::make_unique<NewMindForm>(prompts_, &owner,
                                                                loaded_.mindPath());
                       }});
        all.push_back({"Enable UDLP, a bot loaded", [this](QWidget& owner) {
                           return std::make_unique<UdlpForm>(&owner, &loaded_, prompts_,
                                                             programPath());
                       }});
        all.push_back({"Enable UDLP, no bot", [this](QWidget& owner) {
                           return std::make_unique<UdlpForm>(&owner, &empty_, prompts_,
                                                             programPath());
                       }});
        all.push_back({"Find UDLP Bot",
                       [this](QWidget& owner) {
                           return std::make_unique<FindUdlpBotForm>(prompts_, &owner,
                                                                    loaded_.mindPath(), places_);
                       },
                       [this](QDialog& dialog) {
                           auto& form = static_cast<FindUdlpBotForm&>(dialog);
                           form.runInitialSearch();
                           testing::typeInto(child<QLineEdit>(&form, "botFolderBox"),
                                             path("opt/OtherBot"));
                           ASSERT_NE(form.pendingUpdateTimer(), nullptr);
                           form.pendingUpdateTimer()->tick();
                           ASSERT_TRUE(form.chosenBot());
                       }});
        all.push_back({"Error", [](QWidget& owner) {
                           return std::make_unique<ErrorDialog>(
                               QStringLiteral("Unable to write "
                                              "/home/someone/Documents/minds/%1-%s-a-rather-long-"
                                              "mind-file-name.mdd: No space left on device"),
                               &owner);
                       }});
        return all;
    }

    inline static const QString kLongBot =
        QStringLiteral("Bartholomew %1 %s the Conversationalist");
    inline static const QString kLongFile = QStringLiteral("bartholomew-%2-conversations.mdd");
    MindKeeper loaded_;
    MindKeeper empty_;
    BotSearchPlaces places_;
};

TEST_F(DialogTexts, EveryTextIsWholeAtEveryScale) {
    for (const double factor : {1.0, 1.5, 2.0}) {
        const ScaledFont font(factor);
        for (const Dialog& d : dialogs()) {
            QMainWindow owner;
            owner.resize(450, 370);
            owner.show();
            std::unique_ptr<QDialog> dialog = d.make(owner);
            const QSize defaultSize = dialog->size();
            dialog->show();
            QCoreApplication::processEvents();
            d.thenDo(*dialog);
            QCoreApplication::processEvents();
            const QStringList clipped = clippedTexts(*dialog);
            EXPECT_TRUE(clipped.isEmpty())
                << clipped.join(QLatin1Char('\n')).toStdString() << "\n"
                << d.name << " at x" << factor << ", default size " << defaultSize.width() << "x"
                << defaultSize.height() << ", shown at " << dialog->width() << "x"
                << dialog->height();
            dialog->close();
        }
    }
}

TEST_F(DialogTexts, ADialogOpensCentredOverItsWindow) {
    for (const Dialog& d : dialogs()) {
        QMainWindow owner;
        owner.resize(450, 370);
        owner.show();
        // Moved after being shown, as the main window places itself.
        owner.move(37, 61);
        std::unique_ptr<QDialog> dialog = d.make(owner);
        dialog->show();
        QCoreApplication::processEvents();
        EXPECT_EQ(dialog->geometry().center(), owner.geometry().center()) << d.name;
        dialog->close();
    }
}

// Escape closes, as Cancel (or Done) would, every dialog that has such a button.
TEST_F(DialogTexts, EscapeClosesADialogWithCancel) {
    for (const Dialog& d : dialogs()) {
        const std::string name = d.name;
        if (name == "User Name" || name == "Error") continue;  // no Cancel
        QMainWindow owner;
        owner.show();
        std::unique_ptr<QDialog> dialog = d.make(owner);
        dialog->show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(dialog->isVisible()) << name;
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible()) << name;
        EXPECT_EQ(dialog->result(), QDialog::Rejected) << name;
    }
}

// A text that went through no translation: once the names and paths the test put in are taken
// out, with markup and mnemonics, some English word is left. The pseudo-translation has no
// plain ASCII letters in its words.
bool untranslated(QString text, const QStringList& names) {
    for (const QString& name : names) text.remove(name);
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>|&")));
    text.remove(QStringLiteral("Vebix"));  // the program's name is not translated
    text.remove(QStringLiteral("UDLP2"));
    text.remove(QStringLiteral("UDLP"));
    return text.contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,}")));
}

// Every text a widget under root shows that was not translated, "objectName: text".
QStringList untranslatedTexts(QWidget& root, const QStringList& names) {
    QStringList found;
    auto check = [&](const QObject& o, const QString& text) {
        if (untranslated(text, names)) found << o.objectName() + QStringLiteral(": ") + text;
    };
    check(root, root.windowTitle());
    for (QWidget* w : root.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&root)) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) check(*label, label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(w)) check(*button, button->text());
    }
    for (QAction* action : root.findChildren<QAction*>()) check(*action, action->text());
    return found;
}

// Under a translation about 40 % longer, no text is cut and none is left untranslated. The
// pseudo-translation the build makes from the collected texts stands in for a real one.
TEST_F(DialogTexts, APseudoTranslationIsWholeAndComplete) {
    Translations translations(QLocale::c(), QString());
    ASSERT_TRUE(translations.installFile(QStringLiteral(VEBIX_PSEUDO_QM)));
    const QStringList names{kLongBot,
                            kLongFile,
                            tmp_.path(),
                            QStringLiteral("Ann"),
                            QStringLiteral("a-long-login-name"),
                            QStringLiteral("Bartholomew"),
                            QStringLiteral("Conversationalist"),
                            QStringLiteral("OtherBot"),
                            QStringLiteral("udlp.md")};
    for (const double factor : {1.0, 2.0}) {
        const ScaledFont font(factor);
        for (const Dialog& d : dialogs()) {
            QMainWindow owner;
            owner.show();
            std::unique_ptr<QDialog> dialog = d.make(owner);
            dialog->show();
            QCoreApplication::processEvents();
            d.thenDo(*dialog);
            QCoreApplication::processEvents();
            const QStringList clipped = clippedTexts(*dialog);
            EXPECT_TRUE(clipped.isEmpty()) << d.name << " at x" << factor << ":\n"
                                           << clipped.join(QLatin1Char('\n')).toStdString();
            QStringList left = untranslatedTexts(*dialog, names);
            // The error dialog shows a message made elsewhere; only its own texts count.
            if (std::string(d.name) == "Error")
                left.removeIf(
                    [](const QString& t) { return t.contains(QStringLiteral("No space left")); });
            EXPECT_TRUE(left.isEmpty()) << d.name << ":\n"
                                        << left.join(QLatin1Char('\n')).toStdString();
            dialog->close();
        }
    }
    // The main window's menus and buttons.
    VebixForm form(prompts_, start_);
    const QStringList left = untranslatedTexts(form, names);
    EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char('\n')).toStdString();
}

// What the window and the UDLP dialog say as they are used goes through the translation too:
// the status and the apology once a line found no reply, and every message of the UDLP dialog.
TEST_F(DialogTexts, APseudoTranslationReachesTheChatAndTheUdlpMessages) {
    Translations translations(QLocale::c(), QString());
    ASSERT_TRUE(translations.installFile(QStringLiteral(VEBIX_PSEUDO_QM)));
    const QString said = QStringLiteral("anybody there?");
    // The bot's folder the UDLP files went to is the program's.
    const QStringList names{kLongBot, kLongFile, path("bin"), QStringLiteral("<Ann>"), said};

    testing::TestForm form(prompts_, prepare());
    testing::answerNamePrompt(prompts_, QStringLiteral("Ann"));
    showAndLoad(form);
    ASSERT_TRUE(form.keeper().bot());
    form.engine = [](const std::string&) { return std::string(); };
    const QString before = shown(form);
    sayLine(form, said);
    ASSERT_TRUE(finishExchange(form));
    // Both name the bot, so they were shown and filled in, not left out.
    EXPECT_TRUE(status(form).contains(QStringLiteral("Vebix"))) << status(form).toStdString();
    EXPECT_FALSE(untranslated(status(form), names)) << status(form).toStdString();
    const QString reply = shown(form).mid(before.size());
    EXPECT_TRUE(reply.startsWith(said)) << reply.toStdString();
    EXPECT_TRUE(reply.mid(said.size()).contains(QStringLiteral("Vebix"))) << reply.toStdString();
    EXPECT_FALSE(untranslated(reply, names)) << reply.toStdString();

    // No bot; learning explained; enabled; the files there already; the guide not opened.
    prompts_.clearAnsweredBoxes();
    prompts_.setUrlOpener([](const QUrl&) { return false; });
    UdlpForm none(nullptr, &empty_, prompts_, programPath());
    none.enableUdlp();
    UdlpForm udlp(nullptr, &loaded_, prompts_, programPath());
    udlp.show();
    testing::click(child<QCheckBox>(&udlp, "learnCheck"));
    udlp.enableUdlp();
    udlp.enableUdlp();
    QTest::mouseClick(child<QLabel>(&udlp, "linkShellLabel"), Qt::LeftButton);
    prompts_.setUrlOpener({});
    const QStringList boxes = prompts_.answeredBoxes();
    EXPECT_EQ(boxes.size(), 5) << boxes.join(QLatin1Char('\n')).toStdString();
    for (const QString& box : boxes) EXPECT_FALSE(untranslated(box, names)) << box.toStdString();
}

// The names of the loaded bot and its file are shown as they are, placeholders and all.
TEST_F(DialogTexts, NamesHoldingPlaceholdersAreShownAsTheyAre) {
    UdlpForm form(nullptr, &loaded_, prompts_, programPath());
    EXPECT_EQ(child<QLabel>(&form, "curBotLabel")->text(),
              QStringLiteral("To enable UDLP2 to be used with the current bot \"") + kLongBot +
                  QStringLiteral("\" (") + kLongFile +
                  QStringLiteral("), click on the following Enable button."));
}

}  // namespace
}  // namespace vebix
