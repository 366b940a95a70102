#include "app/gui/findudlpbotform.h"

#include <QSettings>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/platform/filewrite.h"
#include "app/mind/startup.h"
#include "app/platform/settings.h"
#include "scriptedprompts.h"
#include "taborder.h"

namespace vebix {
namespace {

void writeFile(const QString& path, const std::string& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// A fake disk (program files, home, desktop) in a temporary folder, the settings in a file of
// their own, HOME pointing into the fake disk.
class FindUdlpBotFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        ASSERT_FALSE(namesKnownBotFolder(fromQPath(tmp_.path())));
        for (const char* folder : {"opt", "home/Desktop", "config"})
            QDir(tmp_.path()).mkpath(folder);
        oldHome_ = qgetenv("HOME");
        oldConfig_ = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", path("home").toUtf8());
        qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path("config"));
        places_ = BotSearchPlaces{spath("opt"), spath("home"), spath("home/Desktop")};
        ownMind_ = spath("home/Minds/Me.mdd");
        prompts_.clearAnsweredBoxes();
    }
    void TearDown() override {
        qputenv("HOME", oldHome_);
        qputenv("XDG_CONFIG_HOME", oldConfig_);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromUtf8(oldConfig_));
    }

    QString path(const QString& name) const { return QDir(tmp_.path()).filePath(name); }
    std::string spath(const QString& name) const { return fromQPath(path(name)); }

    void makeBot(const QString& folder, const std::string& name,
                 const std::string& version = "2\r\n0\r\n") {
        ASSERT_TRUE(QDir().mkpath(path(folder)));
        writeFile(path(folder + "/UDLP.NFO"), version + "bot.bin\r\n" + name + "\r\n");
    }

    template <class T>
    T* control(FindUdlpBotForm& form, const char* name) {
        T* c = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }

    static QStringList rowNames(QListWidget* list) {
        QStringList names;
        for (int i = 0; i < list->count(); ++i) names << list->item(i)->text();
        return names;
    }

    std::optional<std::string> remembered(const std::string& name, const std::string& folder) {
        return Settings().readString(Settings::kLinkBotListGroup, linkBotValueName(name, folder));
    }

    QTemporaryDir tmp_{QDir::tempPath() + "/fubf-XXXXXX"};
    QByteArray oldHome_, oldConfig_;
    std::string ownMind_;  // the mind loaded on this side
    BotSearchPlaces places_;
    testing::ScriptedPrompts prompts_;
};

TEST_F(FindUdlpBotFormTest, LayoutAndTexts) {
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    EXPECT_EQ(form.windowTitle(), "Find UDLP Bot");
    EXPECT_GE(form.width(), 394);
    EXPECT_GE(form.height(), 216);
    EXPECT_FALSE(form.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    struct Case {
        const char* name;
        QString text;
    };
    // Top to bottom, then left to right within a row.
    const std::vector<Case> cases = {
        {"label1", "Please choose or find a bot to link with:"},
        {"knownBotsList", {}},
        {"label2", "Bot &folder:"},
        {"botFolderBox", {}},
        {"browseBotBtn", "&Browse..."},
        {"curBotPic", {}},
        {"curBotName", {}},
        {"okBtn", "OK"},
        {"cancelBtn", "Cancel"},
    };
    QWidget* previous = nullptr;
    for (const Case& c : cases) {
        QWidget* w = control<QWidget>(form, c.name);
        ASSERT_NE(w, nullptr);
        if (previous) {
            const QRect a = previous->geometry();
            const QRect b = w->geometry();
            EXPECT_TRUE(a.bottom() < b.top() || (a.right() < b.left() && b.top() <= a.bottom()))
                << c.name << " comes after " << previous->objectName().toStdString();
        }
        previous = w;
        if (auto* label = qobject_cast<QLabel*>(w); label && !c.text.isNull()) {
            EXPECT_EQ(label->text(), c.text) << c.name;
        }
        if (auto* button = qobject_cast<QPushButton*>(w)) {
            EXPECT_EQ(button->text(), c.text) << c.name;
        }
    }
    EXPECT_TRUE(control<QLabel>(form, "curBotName")->font().bold());
    EXPECT_TRUE(control<QPushButton>(form, "okBtn")->isDefault());
    EXPECT_FALSE(control<QPushButton>(form, "browseBotBtn")->autoDefault());
    EXPECT_FALSE(control<QPushButton>(form, "cancelBtn")->autoDefault());
    EXPECT_EQ(control<QLabel>(form, "label2")->buddy(), control<QLineEdit>(form, "botFolderBox"));
    // OK waits for the search; the others are reached by Tab in this order.
    EXPECT_EQ(testing::tabOrder(form),
              QStringList({"knownBotsList", "botFolderBox", "browseBotBtn", "cancelBtn"}));
    // "Searching..." lies over the list's lower right corner.
    const QRect list = control<QWidget>(form, "knownBotsList")->geometry();
    const QRect searching = control<QWidget>(form, "searchLabel")->geometry();
    EXPECT_TRUE(list.contains(searching)) << "list " << list.width() << "x" << list.height();
    EXPECT_GT(searching.center().x(), list.center().x());
    EXPECT_GT(searching.center().y(), list.center().y());
    // The list and the label over it wear the desktop's ground, not one of their own.
    EXPECT_EQ(control<QListWidget>(form, "knownBotsList")->palette().color(QPalette::Base),
              QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(control<QLabel>(form, "searchLabel")->backgroundRole(), QPalette::Base);
    EXPECT_EQ(
        BotRowDelegate::selectedBackground(QColor(244, 244, 244), QColor(0, 120, 215)),
        QColor((244 * 224 + 0) / 255, (244 * 224 + 120 * 31) / 255, (244 * 224 + 215 * 31) / 255));
}

TEST_F(FindUdlpBotFormTest, SearchFillsASortedListAndEnablesOk) {
    makeBot("opt/vebix-zed", "zed");
    makeBot("opt/KerroBot", "Ann");
    makeBot("home/Lumen", "bob");
    makeBot("home/Desktop/vebixa", "Ann");
    makeBot("opt/decoy", "Decoy");
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    auto* ok = control<QPushButton>(form, "okBtn");
    auto* searching = control<QLabel>(form, "searchLabel");
    auto* list = control<QListWidget>(form, "knownBotsList");
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_FALSE(searching->isHidden());

    // Seen from the events that the search lets run: OK is still disabled then.
    std::optional<bool> okDuringSearch;
    QTimer::singleShot(0, &form, [&] { okDuringSearch = ok->isEnabled(); });
    form.runInitialSearch();
    EXPECT_EQ(okDuringSearch, false);
    EXPECT_TRUE(form.searchFinished());
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(searching->isHidden());

    EXPECT_EQ(rowNames(list), (QStringList{"Ann", "Ann", "bob", "zed"}));
    // Equal names: by folder ignoring case ("home/..." before "opt/...").
    EXPECT_EQ(list->item(0)->data(BotListItem::kFolderRole).toString(),
              path("home/Desktop/vebixa"));
    EXPECT_EQ(
        list->itemDelegate()->sizeHint(QStyleOptionViewItem(), list->model()->index(0, 0)).height(),
        20);
    EXPECT_FALSE(form.chosenBot().has_value());
}

TEST_F(FindUdlpBotFormTest, OkRefusesEmptyAndNonBotFolders) {
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    form.show();
    form.runInitialSearch();
    auto* box = control<QLineEdit>(form, "botFolderBox");
    auto* ok = control<QPushButton>(form, "okBtn");
    QDir().mkpath(path("plain"));

    box->setText("   ");
    prompts_.setNextAnswer(QMessageBox::Ok);
    ok->click();
    box->setText(" " + path("plain") + " ");
    prompts_.setNextAnswer(QMessageBox::Ok);
    ok->click();

    EXPECT_EQ(prompts_.answeredBoxes(),
              (QStringList{"Find UDLP Bot: You must enter a bot location",
                           "Find UDLP Bot: The entered directory does not contain a "
                           "UDLP-enabled bot\r\n\r\n" +
                               path("plain")}));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    form.reject();
}

TEST_F(FindUdlpBotFormTest, TypingThenPausingShowsAndRemembersTheBot) {
    makeBot("bots/Tom", "Tom");
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    form.runInitialSearch();
    auto* box = control<QLineEdit>(form, "botFolderBox");
    auto* name = control<QLabel>(form, "curBotName");

    box->setText(path("bots/To"));
    auto* first = form.pendingUpdateTimer();
    ASSERT_NE(first, nullptr);
    box->setText(path("bots/Tom") + "  ");
    auto* timer = form.pendingUpdateTimer();
    ASSERT_NE(timer, nullptr);
    EXPECT_NE(timer, first);  // each change starts a fresh wait
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 500);
    EXPECT_EQ(remembered("Tom", spath("bots/Tom")), std::nullopt);

    timer->tick();
    EXPECT_EQ(form.pendingUpdateTimer(), nullptr);
    EXPECT_EQ(name->text(), "Tom");
    ASSERT_TRUE(form.chosenBot());
    EXPECT_EQ(form.chosenBot()->exePath, spath("bots/Tom/bot.bin"));
    EXPECT_EQ(remembered("Tom", spath("bots/Tom")), spath("bots/Tom"));
    EXPECT_EQ(rowNames(control<QListWidget>(form, "knownBotsList")), QStringList{"Tom"});

    // A new change clears what is shown below the list.
    box->setText("");
    EXPECT_EQ(name->text(), "");
    form.pendingUpdateTimer()->tick();
    EXPECT_FALSE(form.chosenBot().has_value());
}

TEST_F(FindUdlpBotFormTest, OkRightAfterTypingSettlesTheBotAtOnce) {
    makeBot("bots/Tom", "Tom");
    makeBot("bots/Old", "Old", "1\r\n0\r\n");
    for (const auto& [folder, bot] : std::vector<std::pair<QString, std::optional<std::string>>>{
             {"bots/Tom", "Tom"}, {"bots/Old", {}}}) {
        FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
        form.show();
        form.runInitialSearch();
        control<QLineEdit>(form, "botFolderBox")->setText(path(folder));
        ASSERT_NE(form.pendingUpdateTimer(), nullptr);
        control<QPushButton>(form, "okBtn")->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.pendingUpdateTimer(), nullptr);
        ASSERT_EQ(form.chosenBot().has_value(), bot.has_value()) << folder.toStdString();
        if (bot) {
            EXPECT_EQ(form.chosenBot()->name, *bot);
            EXPECT_EQ(remembered(*bot, fromQPath(path(folder))), fromQPath(path(folder)));
            // The display below the list is not refreshed.
            EXPECT_EQ(control<QLabel>(form, "curBotName")->text(), "");
        }
    }
    EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());
}

TEST_F(FindUdlpBotFormTest, SelectingCopiesTheFolderAndDoubleClickAccepts) {
    makeBot("opt/vebixBob", "Bob");
    makeBot("opt/vebixAnn", "Ann");
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    form.show();
    form.runInitialSearch();
    auto* list = control<QListWidget>(form, "knownBotsList");
    auto* box = control<QLineEdit>(form, "botFolderBox");
    ASSERT_EQ(list->count(), 2);

    list->setCurrentRow(1);
    EXPECT_EQ(box->text(), path("opt/vebixBob"));

    const QPoint at = list->visualItemRect(list->item(0)).center();
    QWidget* viewport = list->viewport();
    auto send = [&](QEvent::Type type) {
        QMouseEvent event(type, at, viewport->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress);
    send(QEvent::MouseButtonRelease);
    send(QEvent::MouseButtonDblClick);
    send(QEvent::MouseButtonRelease);

    EXPECT_EQ(form.result(), QDialog::Accepted);
    ASSERT_TRUE(form.chosenBot());
    EXPECT_EQ(form.chosenBot()->name, "Ann");
    EXPECT_EQ(form.chosenBot()->folder, spath("opt/vebixAnn"));
    EXPECT_EQ(remembered("Ann", spath("opt/vebixAnn")), spath("opt/vebixAnn"));
}

TEST_F(FindUdlpBotFormTest, SelectedRowIsPaintedInTheMixedColour) {
    makeBot("opt/vebixBob", "Bob");
    makeBot("opt/vebixAnn", "Ann");
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    form.show();
    form.runInitialSearch();
    auto* list = control<QListWidget>(form, "knownBotsList");
    list->setCurrentRow(0);
    const QImage image = list->viewport()->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    auto pixel = [&](int row) {
        // Between the icon and the name: nothing but the row's background.
        const QRect r = list->visualItemRect(list->item(row));
        EXPECT_EQ(r.height(), 20);
        return image.pixelColor(QPoint(r.x() + 21, r.y() + 1) * scale).toRgb();
    };
    const QColor base = list->palette().color(QPalette::Base);
    EXPECT_EQ(pixel(0),
              BotRowDelegate::selectedBackground(base, list->palette().color(QPalette::Highlight)));
    EXPECT_EQ(pixel(1), base);
}

TEST_F(FindUdlpBotFormTest, BrowseStartsInProgramFilesAndTakesTheChosenFilesFolder) {
    makeBot("far/away", "Far");
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    form.runInitialSearch();
    prompts_.setNextFileName(path("far/away/UDLP.NFO"));
    control<QPushButton>(form, "browseBotBtn")->click();
    auto request = prompts_.lastAnsweredRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->caption, "Find UDLP Bot");
    EXPECT_EQ(request->filter, "UDLP (UDLP.NFO)");
    EXPECT_EQ(request->initialFile, path("opt/UDLP.NFO"));
    EXPECT_EQ(control<QLineEdit>(form, "botFolderBox")->text(), path("far/away"));

    // Cancelled: the box keeps its text.
    prompts_.setNextFileName(QString());
    control<QPushButton>(form, "browseBotBtn")->click();
    EXPECT_EQ(control<QLineEdit>(form, "botFolderBox")->text(), path("far/away"));
}

TEST_F(FindUdlpBotFormTest, CurrentBotIsNeverChosen) {
    makeBot("home/Minds", "Me");
    FindUdlpBotForm form{prompts_, nullptr, ownMind_, places_};
    form.runInitialSearch();
    control<QLineEdit>(form, "botFolderBox")->setText(path("home/Minds"));
    form.pendingUpdateTimer()->tick();
    EXPECT_FALSE(form.chosenBot().has_value());
    EXPECT_EQ(control<QLabel>(form, "curBotName")->text(), "");
    EXPECT_TRUE(Settings().valueNames(Settings::kLinkBotListGroup).empty());
}

}  // namespace
}  // namespace vebix
