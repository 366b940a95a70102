#include "app/platform/settings.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <algorithm>
#include <string>
#include <vector>

#include "apptestsupport.h"
#include "app/mind/startup.h"

namespace vebix {
namespace {

class SettingsTest : public testing::AppTest {};

const std::vector<std::string> kAwkwardNames = {
    "plain",
    "a/b",
    "back\\slash",
    "100%",
    "%2F literal",
    "%25",
    "%",
    "with blanks ",
    " lead",
    "Grüße",
    "日本語",
    "a=b;c,d",
    "[section]",
    "#hash",
    "General",
    "//double//",
    "\\\\server\\share",
    "",
    "tab\there",
};

TEST_F(SettingsTest, ValueNamesRoundTripExactly) {
    {
        Settings s(path("names.conf"));
        for (const std::string& name : kAwkwardNames) s.writeString("", name, "v:" + name);
        for (const std::string& name : kAwkwardNames) s.writeString("Sub/Group\\x", name, name);
        s.sync();
    }
    Settings s(path("names.conf"));
    for (const std::string& name : kAwkwardNames) {
        EXPECT_EQ(s.readString("", name), "v:" + name) << name;
        EXPECT_EQ(s.readString("Sub/Group\\x", name), name) << name;
    }
    std::vector<std::string> names = s.valueNames("Sub/Group\\x");
    std::vector<std::string> expected = kAwkwardNames;
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(s.readString("Sub", "Group"), std::nullopt);  // "/" made no extra level
}

TEST_F(SettingsTest, StringValuesRoundTrip) {
    const std::vector<std::string> values = {
        "", "a,b", "@start", "line\nbreak", " padded ", "/home/ann/Minds/ann.mdd", "ü\\%/"};
    {
        Settings s(path("values.conf"));
        for (std::size_t i = 0; i < values.size(); ++i)
            s.writeString("", "v" + std::to_string(i), values[i]);
    }
    Settings s(path("values.conf"));
    for (std::size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(s.readString("", "v" + std::to_string(i)), values[i]) << values[i];
}

TEST_F(SettingsTest, RemoveAndMissingValues) {
    Settings s(path("r.conf"));
    s.writeString("UserNames", "Ann", "");
    EXPECT_EQ(s.readString("UserNames", "Ann"), "");
    s.removeValue("UserNames", "Ann");
    EXPECT_EQ(s.readString("UserNames", "Ann"), std::nullopt);
    EXPECT_TRUE(s.valueNames("UserNames").empty());
    EXPECT_EQ(s.getString(Settings::Key::LastMindFile), "");
    EXPECT_EQ(s.getDword(Settings::Key::Delay), 1u);
}

TEST_F(SettingsTest, DwordThatIsNotADecimalNumberReadsAsMissing) {
    const std::vector<std::pair<std::string, std::optional<std::uint32_t>>> cases = {
        {"0", 0u},
        {"1", 1u},
        {"7", 7u},
        {"4294967295", 4294967295u},
        {"4294967296", std::nullopt},
        {"-1", std::nullopt},
        {"yes", std::nullopt},
        {"", std::nullopt},
        {" 1", std::nullopt},
        {"0x1", std::nullopt},
        {"1,0", std::nullopt},
    };
    for (const auto& [stored, expected] : cases) {
        Settings s(path("d.conf"));
        s.writeString("", "Delay", stored);
        EXPECT_EQ(s.findDword(Settings::Key::Delay), expected) << stored;
    }
    Settings s(path("d.conf"));
    s.setDword(Settings::Key::Delay, 0);
    EXPECT_EQ(s.findDword(Settings::Key::Delay), 0u);
}

TEST_F(SettingsTest, DelayThatIsNotANumberLeavesTheDelayOn) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"yes", true}, {"0", false}, {"1", true}, {"2", true}, {"off", true}};
    for (const auto& [stored, on] : cases) {
        {
            Settings s;  // the redirected user settings
            s.writeString("", "Delay", stored);
        }
        EXPECT_EQ(readDelaySetting(), on) << stored;
    }
}

TEST_F(SettingsTest, SaveSettingsRecordsMindAndUser) {
    saveSettings("/minds/a b.mdd", "Ann Lee");
    Settings s;
    EXPECT_EQ(s.findString(Settings::Key::LastMindFile), "/minds/a b.mdd");
    EXPECT_EQ(s.findString(Settings::Key::LastUserName), "Ann Lee");
    EXPECT_EQ(s.filePath(), settingsFile());
}

TEST(SettingsNames, EncodingKeepsSeparatorsOut) {
    EXPECT_EQ(Settings::encodeName("a/b\\c%d"), QStringLiteral("a%2Fb%5Cc%25d"));
    EXPECT_EQ(Settings::decodeName(QStringLiteral("a%2Fb%5Cc%25d")), "a/b\\c%d");
    EXPECT_EQ(Settings::decodeName(QStringLiteral("%")), "");
    EXPECT_EQ(Settings::decodeName(QStringLiteral("50%")), "50%");  // foreign names pass
}

// Names and texts that come from other bots are written no longer than the bound, cut before a
// character that would not fit, and the store finds a long name again under its cut form.
TEST_F(SettingsTest, LongNamesAndValuesAreCutToTheBound) {
    const std::size_t bound = Settings::kMaxStoredBytes;
    const std::string hugeName(1 << 20, 'n');
    const std::string hugeValue(1 << 20, 'v');
    const std::string splitChar = std::string(bound - 1, 'a') + "\xC3\xA9";  // é across the bound
    {
        Settings s;
        s.writeString(Settings::kLinkBotListGroup, hugeName, hugeValue);
        s.writeString(Settings::kUserNamesGroup, "accent", splitChar);
        s.setString(Settings::Key::LastUserName, std::string(bound, 'u'));
        s.sync();
    }
    EXPECT_LT(QFileInfo(settingsFile()).size(), 32 * 1024);
    Settings s;
    EXPECT_EQ(s.readString(Settings::kLinkBotListGroup, hugeName), hugeValue.substr(0, bound));
    EXPECT_EQ(s.valueNames(Settings::kLinkBotListGroup),
              std::vector<std::string>{hugeName.substr(0, bound)});
    EXPECT_EQ(s.readString(Settings::kUserNamesGroup, "accent"), std::string(bound - 1, 'a'));
    EXPECT_EQ(s.getString(Settings::Key::LastUserName), std::string(bound, 'u'));
}

}  // namespace
}  // namespace vebix
