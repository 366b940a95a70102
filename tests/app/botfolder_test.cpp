// Where enabling UDLP puts a bot: beside a program whose folder can be written, else in the bot's
// own folder under the user's data folder, which a link program, bot mode and the bot search
// all find.
#include "app/udlp/botfolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <filesystem>
#include <string>
#include <vector>

#include "apptestsupport.h"
#include "engine/base/error.h"
#include "app/udlp/botfinder.h"
#include "app/udlp/udlpguide.h"
#include "app/udlp/udlpinfo.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;

TEST(BotFolderName, IsOneSafeFolderName) {
    const std::string longName(100, 'x');
    // "é" is two bytes: cut at 64 bytes it would be split, so the cut goes before it.
    const std::string accented = std::string(63, 'a') + "\xC3\xA9" + "b";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Robo", "Robo"},
        {"Dr. Who", "Dr. Who"},
        {"../x", "___x"},
        {"..", "__"},
        {".", "_"},
        {".hidden", "_hidden"},
        {"a..b", "a__b"},
        {"a/b", "a_b"},
        {"/", "_"},
        {"", "Bot"},
        {"  \t ", "Bot"},
        {"  Ann  ", "Ann"},
        {std::string{'A', '\x01', 'b', '\x7F', 'c', '\n', 'd'}, "A_b_c_d"},
        {std::string("tab\there"), "tab_here"},
        {longName, std::string(64, 'x')},
        {accented, std::string(63, 'a')},
        {"Zoë", "Zoë"},
    };
    for (const auto& [name, expected] : cases) {
        const std::string folder = botFolderName(name);
        EXPECT_EQ(folder, expected) << name;
        EXPECT_FALSE(folder.empty());
        EXPECT_LE(folder.size(), kMaxBotFolderName);
        EXPECT_EQ(folder.find('/'), std::string::npos) << name;
        EXPECT_EQ(folder.find(".."), std::string::npos) << name;
        EXPECT_NE(folder.front(), '.') << name;
        for (char c : folder)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << name;
    }
}

class BotFolderTest : public testing::WorkingFolderTest {
protected:
    // The data folder the test points XDG_DATA_HOME at.
    QString dataFolder() const { return folders_->dataFolder(); }
    std::string userBots() const { return fromQPath(dataFolder() + "/vebix/bots"); }
    // A program in a folder that nobody can write, not even root: a file has the folder's place.
    std::string blockedProgram() {
        writeBytes(path("blocked"), "a file, not a folder");
        return spath("blocked/vebix");
    }
    static std::string linkTarget(const std::string& link) {
        std::error_code ec;
        return std::filesystem::read_symlink(link, ec).string();
    }
};

TEST_F(BotFolderTest, WritableIsFoundByMakingAFile) {
    writeBytes(path("afile"), "x");
    struct Case {
        std::string folder;
        bool writable;
    };
    const std::vector<Case> cases = {
        {spath("bin"), true},
        {spath("afile"), false},    // a file where the folder should be
        {spath("no/such"), false},  // missing
        {"/proc", false},           // no file can be made there, whoever asks
        {"/proc/self/fdinfo", false},
    };
    for (const Case& c : cases) EXPECT_EQ(folderWritable(c.folder), c.writable) << c.folder;
    // The probe leaves nothing behind.
    EXPECT_TRUE(QDir(path("bin"))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
}

TEST_F(BotFolderTest, TheProgramsFolderWhenWritableElseThePerUserFolder) {
    EXPECT_EQ(userBotsFolder(), userBots());
    EXPECT_EQ(userBotFolder("a/b"), userBots() + "/a_b");
    EXPECT_EQ(udlpFolderFor("Robo", programPath()), spath("bin"));
    EXPECT_EQ(udlpFolderFor("Robo", blockedProgram()), userBots() + "/Robo");
    EXPECT_EQ(udlpFolderFor("../Robo", "/proc/vebix"), userBots() + "/___Robo");
    // Deciding creates nothing.
    EXPECT_FALSE(QFileInfo::exists(dataFolder() + "/vebix"));
}

TEST_F(BotFolderTest, TheProgramsOwnFolderGetsNoLink) {
    EXPECT_EQ(prepareBotFolder(spath("bin"), programPath()), programPath());
    EXPECT_EQ(prepareBotFolder(spath("bin/"), programPath()), programPath());
    EXPECT_TRUE(QDir(path("bin")).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System));
}

TEST_F(BotFolderTest, AnotherFolderGetsALinkToTheProgram) {
    const std::string program = blockedProgram();
    const std::string folder = userBotFolder("Robo");
    const std::string link = prepareBotFolder(folder, program);
    EXPECT_EQ(link, folder + "/vebix");
    EXPECT_TRUE(QFileInfo(toQPath(link)).isSymLink());
    EXPECT_EQ(linkTarget(link), program);

    // A program named relative to the working folder is linked by its full path; an older link
    // is replaced.
    QDir(tmp_.path()).mkpath("work/moved");
    EXPECT_EQ(prepareBotFolder(folder, "moved/vebix"), link);
    EXPECT_EQ(linkTarget(link), spath("work/moved/vebix"));
    EXPECT_FALSE(QFileInfo::exists(toQPath(link + ".new")));
}

TEST_F(BotFolderTest, AFileInTheLinksPlaceIsLeftAndReported) {
    const std::string folder = userBotFolder("Robo");
    ASSERT_TRUE(QDir().mkpath(toQPath(folder)));
    writeBytes(toQPath(folder + "/vebix"), "the user's own file");
    EXPECT_THROW(prepareBotFolder(folder, blockedProgram()), Error);
    EXPECT_EQ(readBytes(toQPath(folder + "/vebix")), "the user's own file");
    // A folder that cannot be made at all.
    EXPECT_THROW(prepareBotFolder(spath("blocked/bots/Robo"), programPath()), Error);
}

// The set-up an installed copy makes, and the three that must find it: the info files name the
// link, bot mode run in the folder reads them, the window's link mode finds its own bot by name,
// and the bot search lists it.
TEST_F(BotFolderTest, ThePerUserBotIsFoundWhereverItIsLookedFor) {
    const std::string program = blockedProgram();
    const std::string folder = udlpFolderFor("Robo", program);
    const std::string exe = prepareBotFolder(folder, program);
    writeUdlpFiles("Robo", "/minds/robo.mdd", true, exe);

    UdlpInfo info;
    ASSERT_TRUE(loadUdlpInfo(folder, info));
    EXPECT_EQ(info.exeName, "vebix");
    EXPECT_EQ(info.exePath, exe);
    EXPECT_EQ(info.mind, "/minds/robo.mdd");
    EXPECT_EQ(readBytes(toQPath(folder + "/UDLP.NFO")), "2\r\n0\r\nvebix\r\nRobo\r\n");

    // Found by bot name after the working folder and the program's folder, never without it.
    UdlpInfo own;
    EXPECT_FALSE(findUdlpInfo(own, program));
    EXPECT_FALSE(findUdlpInfo(own, program, "Other"));
    ASSERT_TRUE(findUdlpInfo(own, program, "Robo"));
    EXPECT_EQ(own.infoPath, folder + "/UDLPX.NFO");
    writeBytes(path("work/UDLPX.NFO"), "2\r\n0\r\nvebix\r\nHere\r\n");
    ASSERT_TRUE(findUdlpInfo(own, program, "Robo"));
    EXPECT_EQ(own.botName, "Here");

    // Bot mode is started with the bot's folder as its working folder.
    ASSERT_TRUE(QDir::setCurrent(toQPath(folder)));
    ASSERT_TRUE(findUdlpInfo(own, program));
    EXPECT_EQ(own.mind, "/minds/robo.mdd");

    BotSearchPlaces places = botSearchPlaces();
    EXPECT_EQ(places.userBotsFolder, userBots());
    places.programFilesFolder.reset();  // this machine's /opt is none of the test's business
    BotFinder finder;
    ASSERT_TRUE(finder.search(places, {}));
    ASSERT_EQ(finder.entries().size(), 1u);
    EXPECT_EQ(finder.entries()[0].name, "Robo");
    EXPECT_EQ(finder.entries()[0].folder, folder);
    EXPECT_EQ(finder.entries()[0].exePath, exe);

    // The bot that is loaded on this side is not offered to itself.
    BotFinder own_side("/minds/robo.mdd");
    ASSERT_TRUE(own_side.search(places, {}));
    EXPECT_TRUE(own_side.entries().empty());
}

TEST_F(BotFolderTest, TheGuideIsTheInstalledPageElseTheSourcesPage) {
    writeBytes(path("installed.md"), "# UDLP");
    writeBytes(path("source.md"), "# UDLP");
    struct Case {
        QString installed, source, expected;
    };
    const std::vector<Case> cases = {
        {path("installed.md"), path("source.md"), path("installed.md")},
        {path("missing.md"), path("source.md"), path("source.md")},
        {path("bin"), path("source.md"), path("source.md")},  // a folder is no page
        {path("missing.md"), path("gone.md"), path("gone.md")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(chooseUdlpGuide(c.installed, c.source), c.expected) << c.installed.toStdString();

    // This build's page exists: the installed one, or the one in the sources it was built from.
    const QUrl url = udlpGuideUrl();
    ASSERT_TRUE(url.isLocalFile()) << url.toString().toStdString();
    EXPECT_TRUE(url.toLocalFile().endsWith("/udlp.md"));
    EXPECT_TRUE(QFileInfo(url.toLocalFile()).isFile()) << url.toString().toStdString();
}

}  // namespace
}  // namespace vebix
