// `vebix reply`: one answer for TEXT or one line per line read, the mind untouched unless
// --learn, status 3 when the mind has nothing to say, 1 for a mind that is not there.
#include <QFileInfo>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/mind/mindkeeper.h"
#include "app/mind/mindlock.h"
#include "cli_e2e/runvebix.h"

namespace vebix::e2e {
namespace {

// A mind with no lines at all.
const std::string kEmptyMind = "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n";
// A line the mind learns marked as never to be said again, so that a mind holding nothing
// else has no answer to it (not even the line itself).
const std::string kUnanswerable = "nothing to say #- here";

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        result.push_back(text.substr(start, end - start));
    if (start < text.size()) result.push_back(text.substr(start));
    return result;
}

class ReplyE2E : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home_.valid()); }
    RunResult reply(const std::vector<std::string>& args, const std::string& input = {}) {
        std::vector<std::string> all{"reply"};
        all.insert(all.end(), args.begin(), args.end());
        return run(all, home_.environment(), home_.work(), input);
    }
    ScratchHome home_;
};

TEST_F(ReplyE2E, TextGetsOneAnswerAndTheMindStaysByteIdentical) {
    const std::string mind = home_.write("mind.mdd", kSmallMind);
    // The words of TEXT are joined: "How are you today?" is asked whole.
    const RunResult r = reply({mind, "How", "are", "you", "today?"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 1u) << r.out;
    EXPECT_FALSE(out[0].empty());
    EXPECT_EQ(home_.read(mind), kSmallMind);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home_.home() + "/.config/Vebix.conf")));
}

TEST_F(ReplyE2E, StandardInputGetsOneLinePerLineAndAnEmptyLineWhenNoAnswer) {
    struct Case {
        const char* name;
        std::string mind;
        std::string input;
        int status;
        std::vector<bool> answered;  // per output line
    };
    const std::vector<Case> cases = {
        {"all answered", kSmallMind, "Hi.\nHow are you today?\n", 0, {true, true}},
        {"CR LF ends", kSmallMind, "Hi.\r\nHow are you today?\r\n", 0, {true, true}},
        {"last line unended", kSmallMind, "Hi.\nHow are you today?", 0, {true, true}},
        // Each line is answered from the mind as loaded, never from the lines said before it
        // in the same run: an empty mind answers neither. A blank line is skipped.
        {"none answered", kEmptyMind, kUnanswerable + "\n\nhello\n", 3, {false, false}},
    };
    for (const Case& c : cases) {
        const std::string mind = home_.write("mind.mdd", c.mind);
        const RunResult r = reply({mind}, c.input);
        EXPECT_EQ(r.status, c.status) << c.name << r.err;
        const std::vector<std::string> out = lines(r.out);
        ASSERT_EQ(out.size(), c.answered.size()) << c.name << r.out;
        for (std::size_t i = 0; i < out.size(); ++i)
            EXPECT_EQ(!out[i].empty(), c.answered[i]) << c.name << " line " << i;
        EXPECT_EQ(home_.read(mind), c.mind) << c.name;
    }
}

TEST_F(ReplyE2E, NoAnswerToTextPrintsNothingAndStatusThree) {
    const std::string mind = home_.write("empty.mdd", kEmptyMind);
    const RunResult r = reply({mind, kUnanswerable});
    EXPECT_EQ(r.status, 3) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(home_.read(mind), kEmptyMind);
}

TEST_F(ReplyE2E, LearnAppendsTheLineAndTheReplyUnderTheGivenName) {
    const std::string mind = home_.write("mind.mdd", kSmallMind);
    const RunResult r = reply({mind, "Hi.", "--learn", "--as", "Bob"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string answer = lines(r.out).at(0);
    const std::string bytes = home_.read(mind);
    ASSERT_EQ(bytes.substr(0, kSmallMind.size()), kSmallMind);
    const std::vector<std::string> added = lines(bytes.substr(kSmallMind.size()));
    ASSERT_EQ(added.size(), 2u) << bytes;
    // "<speaker> <time> <speaker> Hi." then "<speaker> <time> <ai> answer".
    EXPECT_EQ(added[0].rfind("Bob!", 0), 0u) << added[0];
    EXPECT_NE(added[0].find(" Hi.\r"), std::string::npos) << added[0];
    EXPECT_EQ(added[1].rfind("Bob!", 0), 0u) << added[1];
    EXPECT_NE(added[1].find("<ai> " + answer + "\r"), std::string::npos) << added[1];
}

// As bot mode, --learn appends its exchange to a mind a window holds open: after the lines the
// window saved, before those it saves later, and the window still holds the mind.
TEST_F(ReplyE2E, LearnAppendsToAMindAWindowHolds) {
    const std::string mind = home_.write("mind.mdd", kSmallMind);
    MindKeeper window;  // holds the mind open, as a window does
    ASSERT_EQ(window.loadMind(mind), MindKeeper::Loaded::Existing);
    window.bot()->addLine("Ann!t", "5", "Ann!t", "said in the window");
    window.setExchangeCount(1);

    const RunResult r = reply({mind, "Hi.", "--learn", "--as", "Bob"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(lines(r.out).size(), 1u);
    EXPECT_TRUE(mindOpenElsewhere(mind, {}));
    window.closeBot();
    const std::vector<std::string> added = lines(home_.read(mind).substr(kSmallMind.size()));
    ASSERT_EQ(added.size(), 3u);
    EXPECT_NE(added[0].find(" Hi.\r"), std::string::npos) << added[0];
    EXPECT_NE(added[1].find(" <ai> "), std::string::npos) << added[1];
    EXPECT_EQ(added[2], "Ann!t 5 Ann!t said in the window\r");
    EXPECT_FALSE(window.bot());
}

TEST_F(ReplyE2E, MissingMindOrArgumentFails) {
    const RunResult missing = reply({home_.path("nowhere.mdd"), "Hi."});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_NE(missing.err.find("vebix reply: "), std::string::npos) << missing.err;
    EXPECT_NE(missing.err.find("nowhere.mdd"), std::string::npos) << missing.err;
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(home_.path("nowhere.mdd"))));

    // No mind named and none to default to in a fresh home.
    const RunResult none = reply({});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(lines(none.err).size(), 1u) << none.err;
}

TEST_F(ReplyE2E, HelpNamesTheNoAnswerStatus) {
    const RunResult r = reply({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: vebix reply [MIND] [TEXT]... [OPTION]...", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("  3  "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace vebix::e2e
