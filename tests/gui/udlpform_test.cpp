// The UDLP enable dialog.
#include "app/udlp/udlpguide.h"
#include "app/udlp/udlpinfo.h"
#include "app/gui/udlpform.h"
#include "guitestsupport.h"
#include "taborder.h"

namespace vebix {
namespace {

using testing::child;
using testing::click;
using testing::readBytes;
using testing::writeBytes;

class UdlpDialog : public testing::WindowTest {
protected:
    // A mind keeping holding a bot named Robo whose mind file is <tmp>/minds/robo.mdd.
    void loadRobo(MindKeeper& mind) {
        QDir(tmp_.path()).mkpath("minds");
        mind.loadMind(spath("minds/robo.mdd"), {.open = MindKeeper::Open::AlwaysNew,
                                                .source = MindKeeper::NewMind::Empty,
                                                .botName = "Robo"});
    }
    // The message that says UDLP was enabled, and where.
    static QString enabledIn(const QString& folder) {
        return "UDLP: UDLP enabled\r\n\r\nThe bot's folder: " + folder;
    }
};

TEST_F(UdlpDialog, LayoutAndTheCurrentBot) {
    MindKeeper mind;
    loadRobo(mind);
    UdlpForm form(nullptr, &mind, prompts_, programPath());
    EXPECT_EQ(form.windowTitle(), "Universal Dynamic Link Protocol");
    // 338 x 287 at the least; wider where the check box needs it in the font of the test.
    EXPECT_GE(form.width(), 338);
    EXPECT_GE(form.height(), 287);
    EXPECT_EQ(child<QLabel>(&form, "curBotLabel")->text(),
              "To enable UDLP2 to be used with the current bot \"Robo\" (robo.mdd), click on the "
              "following Enable button.");
    EXPECT_FALSE(child<QCheckBox>(&form, "learnCheck")->isChecked());
    EXPECT_EQ(child<QPushButton>(&form, "enableUdlpBtn")->text(), "Enable UDLP2");
    EXPECT_FALSE(child<QPushButton>(&form, "enableUdlpBtn")->autoDefault());
    EXPECT_FALSE(child<QPushButton>(&form, "doneBtn")->autoDefault());
    EXPECT_EQ(testing::tabOrder(form), QStringList({"learnCheck", "enableUdlpBtn", "doneBtn"}));
    // Top to bottom, in the order the texts are read.
    const char* const order[] = {"introLabel",    "linkShellLabel", "curBotLabel", "learnCheck",
                                 "enableUdlpBtn", "label4",         "doneBtn"};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        EXPECT_LT(child<QWidget>(&form, order[i - 1])->geometry().bottom(),
                  child<QWidget>(&form, order[i])->geometry().top())
            << order[i - 1] << " above " << order[i];
    }
    EXPECT_TRUE(child<QLabel>(&form, "linkShellLabel")->text().contains("\"UDLP2 Link Shell\""));
}

TEST_F(UdlpDialog, NoBotLoadedWritesNothing) {
    MindKeeper empty;
    for (const MindKeeper* mind :
         {static_cast<const MindKeeper*>(nullptr), static_cast<const MindKeeper*>(&empty)}) {
        prompts_.clearAnsweredBoxes();
        UdlpForm form(nullptr, mind, prompts_, programPath());
        form.show();
        EXPECT_EQ(child<QLabel>(&form, "curBotLabel")->text(),
                  "No bot is loaded. Load or create a mind (File menu) to enable UDLP2 for it.");
        click(child<QPushButton>(&form, "enableUdlpBtn"));
        EXPECT_EQ(prompts_.answeredBoxes(),
                  QStringList{"UDLP: Unable to enable UDLP2 for the current bot: no bot loaded"});
        EXPECT_FALSE(form.enabled());
        EXPECT_FALSE(QFileInfo::exists(path("bin/UDLP.NFO")));
        EXPECT_FALSE(QFileInfo::exists(path("bin/UDLPX.NFO")));
    }
}

TEST_F(UdlpDialog, EnablingWritesBothFilesWithLearnOff) {
    MindKeeper mind;
    loadRobo(mind);
    UdlpForm form(nullptr, &mind, prompts_, programPath());
    form.show();
    click(child<QPushButton>(&form, "enableUdlpBtn"));
    EXPECT_TRUE(form.enabled());
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{enabledIn(path("bin"))});
    EXPECT_EQ(form.focusWidget(), child<QPushButton>(&form, "doneBtn"));
    const std::string extended = readBytes(path("bin/UDLPX.NFO"));
    EXPECT_TRUE(extended.ends_with("learn=false\r\n")) << extended;
    EXPECT_NE(extended.find("mind=" + spath("minds/robo.mdd")), std::string::npos) << extended;
    EXPECT_TRUE(QFileInfo::exists(path("bin/UDLP.NFO")));
}

TEST_F(UdlpDialog, AnExistingInfoFileIsReplacedOnlyAfterYes) {
    MindKeeper mind;
    loadRobo(mind);
    writeBytes(path("bin/UDLP.NFO"), "old basic\r\n");
    writeBytes(path("bin/UDLPX.NFO"), "old extended\r\n");
    const QString question = "UDLP: UDLP is currently enabled for another bot; overwrite?";

    UdlpForm refused(nullptr, &mind, prompts_, programPath());
    refused.show();
    prompts_.setNextAnswer(QMessageBox::No);
    click(child<QPushButton>(&refused, "enableUdlpBtn"));
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{question});
    EXPECT_FALSE(refused.enabled());
    EXPECT_EQ(readBytes(path("bin/UDLP.NFO")), "old basic\r\n");
    EXPECT_EQ(readBytes(path("bin/UDLPX.NFO")), "old extended\r\n");

    prompts_.clearAnsweredBoxes();
    UdlpForm accepted(nullptr, &mind, prompts_, programPath());
    accepted.show();
    child<QCheckBox>(&accepted, "learnCheck")->setChecked(true);
    prompts_.setNextAnswer(QMessageBox::Yes);
    click(child<QPushButton>(&accepted, "enableUdlpBtn"));
    EXPECT_EQ(prompts_.answeredBoxes(), (QStringList{question, enabledIn(path("bin"))}));
    EXPECT_TRUE(accepted.enabled());
    EXPECT_TRUE(readBytes(path("bin/UDLPX.NFO")).ends_with("learn=true\r\n"));

    // Asked again although the files are for this very bot.
    prompts_.clearAnsweredBoxes();
    UdlpForm again(nullptr, &mind, prompts_, programPath());
    again.show();
    prompts_.setNextAnswer(QMessageBox::No);
    click(child<QPushButton>(&again, "enableUdlpBtn"));
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{question});
}

TEST_F(UdlpDialog, CheckingLearnExplainsItUncheckingDoesNot) {
    MindKeeper mind;
    loadRobo(mind);
    UdlpForm form(nullptr, &mind, prompts_, programPath());
    form.show();
    auto* learn = child<QCheckBox>(&form, "learnCheck");
    click(learn);
    ASSERT_TRUE(learn->isChecked());
    ASSERT_EQ(prompts_.answeredBoxes().size(), 1);
    EXPECT_TRUE(prompts_.answeredBoxes()[0].startsWith(
        "UDLP Learn: This enables your bot to learn from linked conversations, which may not be "
        "desired when linked with less intelligent bots,\r\nor when"));
    EXPECT_TRUE(prompts_.answeredBoxes()[0].endsWith(
        "\r\n\r\nYou must check this box before pressing the Enable button."));
    click(learn);
    EXPECT_FALSE(learn->isChecked());
    EXPECT_EQ(prompts_.answeredBoxes().size(), 1);
}

TEST_F(UdlpDialog, TheLinkOpensTheDownloadPage) {
    std::vector<QUrl> opened;
    bool succeed = true;
    prompts_.setUrlOpener([&](const QUrl& url) {
        opened.push_back(url);
        return succeed;
    });
    UdlpForm form(nullptr, nullptr, prompts_, programPath());
    form.show();
    auto* link = child<QLabel>(&form, "linkShellLabel");
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], udlpGuideUrl());
    EXPECT_TRUE(link->text().contains(UdlpForm::kGuidePage));
    EXPECT_TRUE(prompts_.answeredBoxes().isEmpty());
    succeed = false;
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{": Unable to open URL"});
    prompts_.setUrlOpener({});
}

TEST_F(UdlpDialog, DoneCloses) {
    UdlpForm form(nullptr, nullptr, prompts_, programPath());
    form.show();
    EXPECT_EQ(form.focusWidget(), child<QPushButton>(&form, "enableUdlpBtn"));
    click(child<QPushButton>(&form, "doneBtn"));
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.enabled());
}

// A program whose folder cannot be written, as an installed one: each bot gets a folder of its
// own under the user's data folder, with the info files and a link to the program.
TEST_F(UdlpDialog, AnUnwritableProgramFolderSetsUpThePerUserBotFolder) {
    writeBytes(path("blocked"), "a file where a folder would be");
    const QString bots = path(".local/share/vebix/bots");
    for (const std::string& program : {spath("blocked/vebix"), std::string("/proc/vebix")}) {
        SCOPED_TRACE(program);
        ASSERT_TRUE(QDir(bots).removeRecursively());
        prompts_.clearAnsweredBoxes();
        MindKeeper mind;
        loadRobo(mind);
        UdlpForm form(nullptr, &mind, prompts_, program);
        form.show();
        click(child<QPushButton>(&form, "enableUdlpBtn"));
        EXPECT_TRUE(form.enabled());
        const QString folder = bots + "/Robo";
        EXPECT_EQ(prompts_.answeredBoxes(), QStringList{enabledIn(folder)});
        EXPECT_EQ(readBytes(folder + "/UDLP.NFO"), "2\r\n0\r\nvebix\r\nRobo\r\n");
        const std::string extended = readBytes(folder + "/UDLPX.NFO");
        EXPECT_NE(extended.find("mind=" + spath("minds/robo.mdd") + "\r\n"), std::string::npos);
        EXPECT_NE(extended.find("exepath=" + fromQPath(folder) + "/vebix\r\n"), std::string::npos)
            << extended;
        const QFileInfo link(folder + "/vebix");
        EXPECT_TRUE(link.isSymLink());
        EXPECT_EQ(link.symLinkTarget(), toQPath(program));
        EXPECT_FALSE(QFileInfo::exists(path("bin/UDLP.NFO")));
    }
}

TEST_F(UdlpDialog, TheOverwriteQuestionIsAboutTheBotsOwnFolder) {
    writeBytes(path("blocked"), "a file where a folder would be");
    const std::string program = spath("blocked/vebix");
    // Files beside a writable program say nothing about the folder used here.
    writeBytes(path("bin/UDLP.NFO"), "old basic\r\n");
    MindKeeper mind;
    loadRobo(mind);
    const QString folder = path(".local/share/vebix/bots/Robo");
    const QString question = "UDLP: UDLP is currently enabled for another bot; overwrite?";

    UdlpForm first(nullptr, &mind, prompts_, program);
    first.show();
    click(child<QPushButton>(&first, "enableUdlpBtn"));
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{enabledIn(folder)});
    EXPECT_TRUE(readBytes(folder + "/UDLPX.NFO").ends_with("learn=false\r\n"));

    prompts_.clearAnsweredBoxes();
    UdlpForm refused(nullptr, &mind, prompts_, program);
    refused.show();
    child<QCheckBox>(&refused, "learnCheck")->setChecked(true);
    prompts_.setNextAnswer(QMessageBox::No);
    click(child<QPushButton>(&refused, "enableUdlpBtn"));
    EXPECT_EQ(prompts_.answeredBoxes(), QStringList{question});
    EXPECT_FALSE(refused.enabled());
    EXPECT_TRUE(readBytes(folder + "/UDLPX.NFO").ends_with("learn=false\r\n"));

    prompts_.clearAnsweredBoxes();
    UdlpForm accepted(nullptr, &mind, prompts_, program);
    accepted.show();
    child<QCheckBox>(&accepted, "learnCheck")->setChecked(true);
    prompts_.setNextAnswer(QMessageBox::Yes);
    click(child<QPushButton>(&accepted, "enableUdlpBtn"));
    EXPECT_EQ(prompts_.answeredBoxes(), (QStringList{question, enabledIn(folder)}));
    EXPECT_TRUE(readBytes(folder + "/UDLPX.NFO").ends_with("learn=true\r\n"));
    EXPECT_EQ(readBytes(path("bin/UDLP.NFO")), "old basic\r\n");
}

}  // namespace
}  // namespace vebix
