#include "app/mind/startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "apptestsupport.h"
#include "engine/base/error.h"

namespace vebix {
namespace {

using testing::writeBytes;

TEST(LocalTag, FromComputerAndUserNames) {
    struct Case {
        std::optional<std::string> computer, user;
        std::string tag;
    };
    const std::vector<Case> cases = {
        {"ab", "joe", "ab21686"},      // two letters: all of them
        {"DESKT", "Ann", "DES19314"},  // five letters: the first three
        {"kitchen-pc", "root", "kit59780"}, {"x", "", "x63147"},
        {std::nullopt, "joe", "-"},         {"ab", std::nullopt, "-"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(computeLocalTag(c.computer, c.user), c.tag) << c.computer.value_or("?");
}

TEST(LocalTag, OfThisMachineStartsWithTheHostName) {
    std::string tag = computeLocalTag();
    std::optional<std::string> host = systempaths::computerName();
    ASSERT_TRUE(host.has_value());
    EXPECT_EQ(tag.substr(0, std::min<std::size_t>(3, host->size())), host->substr(0, 3));
}

class ChooseStartMind : public testing::WorkingFolderTest {
protected:
    std::vector<std::string> reported_;
    ErrorReporter reporter() {
        return [this](const std::string& m) { reported_.push_back(m); };
    }
};

TEST_F(ChooseStartMind, ExistingNamedPathIsTakenUnchanged) {
    writeBytes(path("work/rel.mdd"), "x");
    const StartupChoice start =
        chooseStartMind(MissingNamedMind::Report, "rel.mdd", documentsFolder(), reporter());
    EXPECT_EQ(start.mindPath, "rel.mdd");
    EXPECT_EQ(start.documentsFolder, spath("Documents"));
    EXPECT_FALSE(start.localTag.empty());
    EXPECT_TRUE(reported_.empty());
}

TEST_F(ChooseStartMind, MissingNamedPathIsReportedWithItsFullPath) {
    const std::string expected = "Mind file not found:\r\n" + spath("work/nope.mdd");
    const StartupChoice start =
        chooseStartMind(MissingNamedMind::Report, "nope.mdd", documentsFolder(), reporter());
    EXPECT_EQ(reported_, std::vector<std::string>{expected});
    EXPECT_EQ(start.mindPath, "");
    EXPECT_EQ(start.documentsFolder, spath("Documents"));
    try {
        chooseStartMind(MissingNamedMind::Throw, "nope.mdd", documentsFolder(), reporter());
        ADD_FAILURE() << "quiet form did not raise";
    } catch (const Error& e) {
        EXPECT_EQ(e.what(), expected);
    }
    EXPECT_EQ(reported_.size(), 1u);
}

TEST_F(ChooseStartMind, LastMindFileWhenItExists) {
    writeBytes(path("last.mdd"), "x");
    {
        Settings s;
        s.setString(Settings::Key::LastMindFile, spath("last.mdd"));
    }
    EXPECT_EQ(chooseStartMind(MissingNamedMind::Report, "", documentsFolder(), reporter()).mindPath,
              spath("last.mdd"));
}

TEST_F(ChooseStartMind, DeletedLastMindFileFallsBackToTheDefaultSilently) {
    {
        Settings s;
        s.setString(Settings::Key::LastMindFile, spath("deleted.mdd"));
    }
    EXPECT_EQ(chooseStartMind(MissingNamedMind::Report, "", documentsFolder(), reporter()).mindPath,
              spath("Documents/Vebix.mdd"));
    EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
    EXPECT_TRUE(reported_.empty());
}

TEST_F(ChooseStartMind, MissingDocumentsFolderIsCreated) {
    const StartupChoice start = chooseStartMind(MissingNamedMind::Throw, "", spath("NewDocs"));
    EXPECT_TRUE(QFileInfo(path("NewDocs")).isDir());
    EXPECT_EQ(start.mindPath, spath("NewDocs/Vebix.mdd"));
    EXPECT_EQ(start.documentsFolder, spath("NewDocs"));
}

TEST_F(ChooseStartMind, NoDocumentsFolderFailsOnlyWhenTheDefaultIsNeeded) {
    EXPECT_THROW(chooseStartMind(MissingNamedMind::Throw, "", ""), Error);
    writeBytes(path("work/named.mdd"), "x");
    EXPECT_EQ(chooseStartMind(MissingNamedMind::Throw, "named.mdd", "").mindPath, "named.mdd");
    // only one level is created
    EXPECT_THROW(chooseStartMind(MissingNamedMind::Throw, "", spath("a/b/c")), Error);
}

TEST_F(ChooseStartMind, TheDocumentsFolderComesFromTheUsersFolders) {
    EXPECT_EQ(systempaths::documentsFolder(), path("Documents"));
    folders_->setDocumentsFolder(path("Papers"));
    EXPECT_EQ(systempaths::documentsFolder(), path("Papers"));
}

TEST_F(ChooseStartMind, GivesThisMachinesLocalTagAndLeavesTheDelayOn) {
    const StartupChoice start = chooseStartMind(MissingNamedMind::Throw, "", documentsFolder());
    EXPECT_EQ(start.localTag, computeLocalTag());
    EXPECT_TRUE(start.delayResponses);
}

}  // namespace
}  // namespace vebix
