#include "app/udlp/botfinder.h"
#include "app/udlp/udlpformat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "apptestsupport.h"
#include "engine/base/error.h"

namespace vebix {
namespace {

using testing::writeBytes;

// Writes a bot's info files into folder (created when missing); empty contents: no such file.
void makeBot(const QString& folder, const std::string& basic, const std::string& extended = {}) {
    ASSERT_TRUE(QDir().mkpath(folder));
    if (!basic.empty()) writeBytes(QDir(folder).filePath("UDLP.NFO"), basic);
    if (!extended.empty()) writeBytes(QDir(folder).filePath("UDLPX.NFO"), extended);
}

std::string basicFile(const std::string& exe, const std::string& name,
                      const std::string& version = "2\r\n0\r\n") {
    return version + exe + "\r\n" + name + "\r\n";
}

std::vector<std::string> namesOf(const std::vector<BotListEntry>& entries) {
    std::vector<std::string> names;
    for (const BotListEntry& e : entries) names.push_back(e.name);
    return names;
}

// ---- value names -----------------------------------------------------------------------------------

TEST(LinkBotValueName, Examples) {
    struct Case {
        std::string name, folder, expected;
    };
    const std::vector<Case> cases = {
        {"Ann", "C:\\Bots\\Ann", "Ann.00000868"},
        {"Dr. Who?", "C:\\Bots", "Dr%2E Who%3F.265F9D48"},
        // The name is trimmed before it is measured and escaped.
        {" \tAnn \r\n", "C:\\Bots\\Ann", "Ann.00000868"},
        // Capitals in the folder count as small letters.
        {"Ann", "c:\\bots\\ann", "Ann.00000868"},
        {"", "", ".00000000"},
        // A name as long as another bot's info file may give counts with its first 255 bytes,
        // cut before a character that would not fit.
        {std::string(300, 'a'), "", std::string(255, 'a') + ".000000FF"},
        {std::string(254, 'a') + "\xC3\xA9" + std::string(40, 'b'), "",
         std::string(254, 'a') + ".000000FE"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(linkBotValueName(c.name, c.folder), c.expected)
            << c.name.substr(0, 40) << " | " << c.folder;
}

TEST(LinkBotValueName, EscapesEveryByteButTheKeptOnes) {
    const std::string kept =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 {}()_-!";
    EXPECT_EQ(escapeLinkBotName(kept), kept);
    const char* hex = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        if (kept.find(byte) != std::string::npos) continue;
        const std::string expected = std::string("%") + hex[b / 16] + hex[b % 16];
        EXPECT_EQ(escapeLinkBotName("a" + byte + "b"), "a" + expected + "b") << b;
    }
    // UTF-8 is escaped byte by byte.
    EXPECT_EQ(escapeLinkBotName("\xC3\xA9"), "%C3%A9");
}

TEST(BotListEntryOrder, NameThenFolderIgnoringCase) {
    const BotListEntry a{"ann", "/b", "/x"}, b{"Ann", "/A", "/y"}, c{"Bob", "/a", "/z"};
    EXPECT_TRUE(botEntryLess(b, a));  // same name: "/A" before "/b"
    EXPECT_FALSE(botEntryLess(a, b));
    EXPECT_TRUE(botEntryLess(a, c));  // "ann" before "Bob" although 'B' < 'a'
    EXPECT_FALSE(botEntryLess(a, a));
    EXPECT_TRUE(botEntryEqual(a, b));  // names alone decide equality
    EXPECT_FALSE(botEntryEqual(a, c));
}

TEST(KnownBotFolders, PathContainsAKnownName) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"/opt/MyVebixBot", true}, {"/opt/KERRO", true},
        {"/home/u/lumen2", true},  {"/opt/vebix", true},
        {"/opt/veb ix", false},    {"/opt/other", false},
        {"/VEBIXA/x", true},       {"", false},
    };
    for (const auto& [path, known] : cases) EXPECT_EQ(namesKnownBotFolder(path), known) << path;
}

// ---- botFromFolder ---------------------------------------------------------------------------------

class BotFinderTest : public testing::WorkingFolderTest {
protected:
    // A folder for the searched trees whose own path names no known bot folder.
    QString t(const QString& name) const {
        EXPECT_FALSE(namesKnownBotFolder(fromQPath(tree_.path()))) << tree_.path().toStdString();
        return QDir(tree_.path()).filePath(name);
    }
    std::string st(const QString& name) const { return fromQPath(t(name)); }

    QTemporaryDir tree_{QDir::tempPath() + "/bf-XXXXXX"};

    std::optional<std::string> remembered(const std::string& valueName) {
        return Settings().readString(Settings::kLinkBotListGroup, valueName);
    }
};

TEST_F(BotFinderTest, Version2HeaderGivesFolderJoinedWithExe) {
    makeBot(path("bots/Ann"), basicFile("ann.bin", "Ann"));
    BotFinder finder;
    auto bot = finder.botFromFolder(spath("bots/Ann"), BotFinder::Remember::ForThisSearch);
    ASSERT_TRUE(bot);
    EXPECT_EQ(bot->name, "Ann");
    EXPECT_EQ(bot->folder, spath("bots/Ann"));
    EXPECT_EQ(bot->exePath, spath("bots/Ann/ann.bin"));
    EXPECT_EQ(namesOf(finder.entries()), std::vector<std::string>{"Ann"});
    // Not remembered when not asked.
    EXPECT_TRUE(Settings().valueNames(Settings::kLinkBotListGroup).empty());
}

TEST_F(BotFinderTest, ExecutableIsNamedByItsAbsolutePathInTheBotsFolder) {
    // The working folder is path("work"): folders typed relative to it, executables named in
    // the info files without a folder or relative to the bot's folder.
    const std::string extended = "2\r\n0\r\nx\r\nCy\r\nmind=/m/Cy.mdd\r\nexepath=";
    makeBot(path("work/bots/Ann"), basicFile("ann.bin", "Ann"));
    makeBot(path("work/bots/Bo"), basicFile("bo.bin", "Bo"), extended + "bo\r\n");
    makeBot(path("work/bots/Cy"), basicFile("cy.bin", "Cy"), extended + "sub/cy\r\n");
    makeBot(path("work/bots/Di"), basicFile("di.bin", "Di"), extended + "/opt/di/di\r\n");
    const struct {
        std::string folder, absFolder, exePath;
    } cases[] = {
        {"bots/Ann", spath("work/bots/Ann"), spath("work/bots/Ann/ann.bin")},
        {"bots/Bo", spath("work/bots/Bo"), spath("work/bots/Bo/bo")},
        {"./bots/Cy/", spath("work/bots/Cy"), spath("work/bots/Cy/sub/cy")},
        {spath("work/bots/Di"), spath("work/bots/Di"), "/opt/di/di"},
    };
    for (const auto& c : cases) {
        BotFinder finder;
        auto bot = finder.botFromFolder(c.folder, BotFinder::Remember::InSettings);
        ASSERT_TRUE(bot) << c.folder;
        // Listed and remembered by its absolute folder, which means the same at the next start.
        EXPECT_EQ(bot->folder, c.absFolder);
        EXPECT_EQ(bot->exePath, c.exePath) << c.folder;
        EXPECT_EQ(remembered(linkBotValueName(bot->name, c.absFolder)), c.absFolder) << c.folder;
    }
}

TEST_F(BotFinderTest, FolderRules) {
    const std::string ownMind = spath("mine/Me.mdd");
    const std::string header = basicFile("bot.bin", "Bo");
    struct Case {
        const char* what;
        std::string basic, extended;
        std::optional<std::string> name, exePath;  // nullopt: not listed
    };
    const std::vector<Case> cases = {
        {"version 1.0 alone", basicFile("bot.bin", "Bo", "1\r\n0\r\n"), "", {}, {}},
        {"version 2.1 alone", basicFile("bot.bin", "Bo", "2\r\n1\r\n"), "", {}, {}},
        {"exepath= preferred", header, header + "exepath=/elsewhere/run\r\n", "Bo",
         "/elsewhere/run"},
        {"extended name replaces", header, basicFile("x", "Other") + "mind=/m.mdd\r\n", "Other",
         "<folder>/bot.bin"},
        {"version 1.0 rescued by the extended file", basicFile("bot.bin", "Bo", "1\r\n0\r\n"),
         basicFile("x", "Bo") + "exepath=/e/run\r\n", "Bo", "/e/run"},
        {"own mind in another case",
         header,
         header + "mind=" + spath("MINE/me.MDD") + "\r\n",
         {},
         {}},
        {"no name anywhere", basicFile("bot.bin", ""), "", {}, {}},
        {"no executable name", basicFile("", "Bo"), "", {}, {}},
        {"extended file only", "", basicFile("x", "Ex") + "exepath=/e/x\r\n", "Ex", "/e/x"},
        {"nothing", "", "", {}, {}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        const QString folder = path(QString("case%1").arg(i));
        makeBot(folder, c.basic, c.extended);
        BotFinder finder(ownMind);
        auto bot = finder.botFromFolder(fromQPath(folder), BotFinder::Remember::ForThisSearch);
        ASSERT_EQ(bot.has_value(), c.name.has_value()) << c.what;
        if (!bot) continue;
        std::string exe = *c.exePath;
        if (exe.starts_with("<folder>")) exe = fromQPath(folder) + exe.substr(8);
        EXPECT_EQ(bot->name, *c.name) << c.what;
        EXPECT_EQ(bot->exePath, exe) << c.what;
    }
}

TEST_F(BotFinderTest, CurrentBotsFolderIsNotListed) {
    makeBot(path("mine"), basicFile("bot.bin", "Me"));
    BotFinder finder(spath("mine/Me.mdd"));
    for (const std::string& folder : {spath("mine"), spath("mine") + "/", spath("MINE")})
        EXPECT_FALSE(finder.botFromFolder(folder, BotFinder::Remember::InSettings)) << folder;
    EXPECT_TRUE(finder.entries().empty());
    EXPECT_TRUE(Settings().valueNames(Settings::kLinkBotListGroup).empty());
}

TEST_F(BotFinderTest, FoldersDifferingInCaseAreOneEntry) {
    makeBot(path("bots/Ann"), basicFile("ann.bin", "Ann"));
    BotFinder finder;
    ASSERT_TRUE(finder.botFromFolder(spath("bots/Ann"), BotFinder::Remember::ForThisSearch));
    // The second spelling is no folder on this disk; the list answers for it.
    auto again = finder.botFromFolder(spath("BOTS/ann"), BotFinder::Remember::ForThisSearch);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->folder, spath("bots/Ann"));
    EXPECT_EQ(finder.entries().size(), 1u);
}

TEST_F(BotFinderTest, RememberWritesTheValueNamedAfterNameAndFolder) {
    // Folders typed relative to the working folder are remembered by their absolute folder,
    // under the value name made of the bot's name and that folder.
    makeBot(path("work/C:\\Bots\\Ann"), basicFile("ann.exe", "Ann"));
    makeBot(path("work/C:\\Bots"), basicFile("who.exe", "Dr. Who?"));
    const std::string ann = spath("work/C:\\Bots\\Ann");
    const std::string who = spath("work/C:\\Bots");
    BotFinder finder;
    ASSERT_TRUE(finder.botFromFolder("C:\\Bots\\Ann", BotFinder::Remember::InSettings));
    ASSERT_TRUE(finder.botFromFolder("C:\\Bots", BotFinder::Remember::InSettings));
    EXPECT_EQ(remembered(linkBotValueName("Ann", ann)), ann);
    EXPECT_EQ(remembered(linkBotValueName("Dr. Who?", who)), who);
    auto names = Settings().valueNames(Settings::kLinkBotListGroup);
    std::sort(names.begin(), names.end());
    auto expected =
        std::vector<std::string>{linkBotValueName("Ann", ann), linkBotValueName("Dr. Who?", who)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    // An entry already listed is remembered again under its own name and folder.
    Settings().removeValue(Settings::kLinkBotListGroup, linkBotValueName("Ann", ann));
    ASSERT_TRUE(finder.botFromFolder("c:\\bots\\ann", BotFinder::Remember::InSettings));
    EXPECT_EQ(remembered(linkBotValueName("Ann", ann)), ann);
}

TEST_F(BotFinderTest, MalformedHeaderRaisesForTheTypedFolder) {
    makeBot(path("bad"), "2 \r\n0\r\nx\r\nBad\r\n");
    BotFinder finder;
    EXPECT_THROW(finder.botFromFolder(spath("bad"), BotFinder::Remember::InSettings), Error);
}

// ---- validation ------------------------------------------------------------------------------------

TEST_F(BotFinderTest, FolderProblems) {
    makeBot(path("old"), basicFile("bot.bin", "Old", "1\r\n0\r\n"));
    makeBot(path("onlyx"), "", basicFile("x", "X") + "exepath=/x\r\n");
    EXPECT_EQ(botFolderProblem(""), "You must enter a bot location");
    EXPECT_EQ(botFolderProblem(" \t "), "You must enter a bot location");
    EXPECT_EQ(botFolderProblem(" " + spath("onlyx") + " "),
              "The entered directory does not contain a UDLP-enabled bot\r\n\r\n" + spath("onlyx"));
    EXPECT_EQ(botFolderProblem(spath("missing")),
              "The entered directory does not contain a UDLP-enabled bot\r\n\r\n" +
                  spath("missing"));
    // Any "UDLP.NFO" is accepted, whatever its version.
    EXPECT_EQ(botFolderProblem("  " + spath("old") + "\t"), std::nullopt);
}

// ---- the search ------------------------------------------------------------------------------------

TEST_F(BotFinderTest, SearchesRememberedFoldersThenTheLikelyPlaces) {
    const std::string bot = basicFile("bot.bin", "");
    auto makeNamed = [&](const QString& folder, const std::string& name) {
        makeBot(t(folder), basicFile("bot.bin", name));
    };
    makeNamed("elsewhere/Zed", "Zed");               // remembered only
    makeNamed("opt/MyVebixBot", "OptBot");           // known name under /opt
    makeNamed("opt/OtherBot", "Hidden");             // decoy: path names no known bot
    writeBytes(t("opt/vebix-notes.txt"), "a file");  // decoy: not a folder
    makeNamed("home", "HomeItself");                 // the home folder itself
    makeNamed("home/LumenStuff", "HomeLumen");
    makeNamed("home/Desktop/kerro", "DeskKerro");
    makeNamed("home/Desktop/plain", "DeskPlain");  // decoy: desktop path names nothing
    makeNamed("home/Desktop", "DeskItself");
    makeBot(t("home/vebix-broken"), "x\r\n");  // unreadable: passed over
    makeNamed("home/vebix-mind", "Me");        // the current bot
    Settings().writeString(Settings::kLinkBotListGroup, "Zed.1", st("elsewhere/Zed"));
    Settings().writeString(Settings::kLinkBotListGroup, "Empty.2", "");

    BotSearchPlaces places{st("opt"), st("home"), st("home/Desktop")};
    BotFinder finder(st("home/vebix-mind/me.mdd"));
    int pumps = 0;
    ASSERT_TRUE(finder.search(places, [&] {
        ++pumps;
        return true;
    }));
    const auto names = namesOf(finder.entries());
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(names.front(), "Zed");
    auto sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"DeskItself", "DeskKerro", "HomeItself",
                                                "HomeLumen", "OptBot", "Zed"}));
    // At least once per examined folder (remembered, MyVebixBot, home, LumenStuff, broken,
    // mind, desktop, kerro).
    EXPECT_GE(pumps, 8);
    // The search only reads: nothing is remembered.
    EXPECT_EQ(Settings().valueNames(Settings::kLinkBotListGroup).size(), 2u);
    // The folder passed over is named, with what was wrong there.
    ASSERT_EQ(finder.skipped().size(), 1u);
    EXPECT_EQ(finder.skipped()[0].folder, st("home/vebix-broken"));
    EXPECT_EQ(finder.skipped()[0].reason, udlp::kBadVersionMessage);

    // The pump can end the search.
    BotFinder stopped;
    EXPECT_FALSE(stopped.search(places, [] { return false; }));
    EXPECT_EQ(namesOf(stopped.entries()), std::vector<std::string>{"Zed"});
}

TEST_F(BotFinderTest, DesktopNamingAKnownBotMakesEveryFolderOnItACandidate) {
    makeBot(t("VebixDesk/plain"), basicFile("b", "Plain"));
    makeBot(t("VebixDesk/empty"), "");
    BotFinder finder;
    ASSERT_TRUE(finder.search({std::nullopt, std::nullopt, st("VebixDesk")}, {}));
    EXPECT_EQ(namesOf(finder.entries()), std::vector<std::string>{"Plain"});
}

TEST_F(BotFinderTest, PumpRunsEveryTwentyEntries) {
    ASSERT_TRUE(QDir().mkpath(t("opt")));
    for (int i = 0; i < 45; ++i) writeBytes(t(QString("opt/f%1").arg(i)), "x");
    BotFinder finder;
    int pumps = 0;
    finder.search({st("opt"), std::nullopt, std::nullopt}, [&] {
        ++pumps;
        return true;
    });
    EXPECT_EQ(pumps, 2);
}

TEST_F(BotFinderTest, SearchPlacesComeFromTheUsersFolders) {
    QDir(tmp_.path()).mkpath("home/Desktop");
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", path("home").toUtf8());
    qputenv("XDG_CONFIG_HOME", path("config").toUtf8());
    const BotSearchPlaces places = botSearchPlaces();
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
    EXPECT_EQ(places.programFilesFolder, "/opt");
    EXPECT_EQ(places.driveRoot, spath("home"));
    EXPECT_EQ(places.desktopFolder, spath("home/Desktop"));
}

}  // namespace
}  // namespace vebix
