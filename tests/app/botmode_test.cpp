#include "app/udlp/botmode.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>

#include <sys/stat.h>

#include <functional>

#include "apptestsupport.h"
#include "support/fakeclock.h"
#include "app/mind/vebixai.h"

namespace vebix {
namespace {

using testing::readBytes;
using testing::writeBytes;

TEST(AnswerProbe, OnlyTheExactProbe) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"!#@", true}, {"!#@ ", false}, {" !#@", false},
        {"!#", false}, {"", false},     {"<mxo1.7.5>", false}};
    for (const auto& [message, probe] : cases) {
        std::string m = message;
        EXPECT_EQ(answerProbe(m), probe) << message;
        EXPECT_EQ(m, probe ? "<mxo1.7.5>" : message);
    }
}

// Runs bot mode in this process, in the test's working folder.
class BotModeInProcess : public testing::WorkingFolderTest {
protected:
    int run(const std::string& namedPath = "") {
        return runBotMode(namedPath, programPath(), [this](const std::string& message) {
            boxes_.push_back(message);
            appDuringBox_ = QCoreApplication::instance() != nullptr;
        });
    }
    std::vector<std::string> boxes_;
    bool appDuringBox_ = true;
    FakeClock clock_{1700000000};
    ScopedClock scoped_{clock_};
};

TEST_F(BotModeInProcess, AnswersWithoutAnApplicationObject) {
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    writeBytes(path("work/CHAT.MSG"), "Bob\r\nhello\r\n");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    const std::string reply = readBytes(path("work/CHAT.MSG"));
    ASSERT_GE(reply.size(), 3u);
    EXPECT_EQ(reply.substr(reply.size() - 2), "\r\n");
    EXPECT_EQ(reply.find_first_of("\r\n"), reply.size() - 2);
    EXPECT_TRUE(boxes_.empty());
    // No UDLPX.NFO: learn is off, and the template mind was not written anywhere.
    EXPECT_FALSE(QFileInfo::exists(path("Documents/Vebix.mdd")));
}

TEST_F(BotModeInProcess, FailureShowsTheBoxWithoutAnApplicationObject) {
    writeBytes(path("work/CHAT.MSG"), "Bob\r\n");
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(boxes_,
              std::vector<std::string>{"CHAT.MSG does not contain appropriate information"});
    EXPECT_FALSE(appDuringBox_);
    EXPECT_FALSE(QFileInfo::exists(path("work/CHAT.MSG")));
}

TEST_F(BotModeInProcess, ShowErrorsOffShowsNoBox) {
    writeBytes(path("work/UDLPX.NFO"),
               "2\r\n0\r\nvebix\r\nB\r\nmind=" + spath("missing.mdd") + "\r\nshowerrors=false\r\n");
    writeBytes(path("work/CHAT.MSG"), "Bob\r\nhello\r\n");
    EXPECT_EQ(run(), 1);
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(QFileInfo::exists(path("work/CHAT.MSG")));
}

TEST_F(BotModeInProcess, BadInfoFileIsAlwaysShown) {
    writeBytes(path("work/UDLPX.NFO"), "x\r\n0\r\nvebix\r\nB\r\nshowerrors=false\r\n");
    writeBytes(path("work/CHAT.MSG"), "Bob\r\nhello\r\n");
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(BotModeInProcess, LearnsWithTheSameStamp) {
    writeBytes(path("m.mdd"),
               "1.2 1.2 \"M\"\r\n\r\n$ 1001 $a Hi.\r\n$ 1002 $b Hello there.\r\n"
               "$ 1003 $a How are you?\r\n$ 1004 $b Fine, thanks.\r\n");
    writeBytes(path("work/UDLPX.NFO"),
               "2\r\n0\r\nvebix\r\nM\r\nmind=" + spath("m.mdd") + "\r\nlearn=yes\r\n");
    writeBytes(path("work/CHAT.MSG"), "Bo b\r\nHi.\r\n");
    EXPECT_EQ(run(), 0);
    VebixAi back;
    back.loadFile(spath("m.mdd"));
    ASSERT_EQ(back.lines().size(), 6u);
    EXPECT_EQ(back.lines()[4], "Bo_b!Bo_b 1700000000 Bo_b!Bo_b Hi.");
    std::string reply = readBytes(path("work/CHAT.MSG"));
    reply.resize(reply.size() - 2);
    EXPECT_EQ(back.lines()[5], "Bo_b!Bo_b 1700000000 <ai> " + reply);
}

// A request that is refused, and the probe, need no mind: they are read and answered before
// any is loaded, so a mind that would fail (or cost a long load) changes nothing for them.
TEST_F(BotModeInProcess, TheRequestIsReadBeforeAnyMindIsLoaded) {
    struct Mind {
        const char* what;
        std::function<void()> make;
    };
    const Mind minds[] = {
        {"no mind at all", [&] { writeBytes(path("m.mdd"), "garbage, not a mind"); }},
        {"named but missing", [] {}},
        {"a FIFO", [&] { ASSERT_EQ(::mkfifo(spath("m.mdd").c_str(), 0644), 0); }},
    };
    struct Request {
        std::string bytes;
        int status;
        std::string answer;  // in CHAT.MSG, or the box
    };
    const Request requests[] = {
        {"Bob\r\n", 1, "CHAT.MSG does not contain appropriate information"},
        {"\r\nhello\r\n", 1, "CHAT.MSG does not contain appropriate information"},
        {"Bob\r\n!#@\r\n", 0, "<mxo1.7.5>\r\n"},
    };
    for (const Mind& mind : minds) {
        for (const Request& request : requests) {
            SCOPED_TRACE(std::string(mind.what) + ", " + request.bytes);
            QFile::remove(path("m.mdd"));
            mind.make();
            writeBytes(path("work/UDLPX.NFO"),
                       "2\r\n0\r\nvebix\r\nM\r\nmind=" + spath("m.mdd") + "\r\nlearn=true\r\n");
            writeBytes(path("work/CHAT.MSG"), request.bytes);
            boxes_.clear();
            EXPECT_EQ(run(), request.status);
            if (request.status == 0) {
                EXPECT_TRUE(boxes_.empty());
                EXPECT_EQ(readBytes(path("work/CHAT.MSG")), request.answer);
            } else {
                EXPECT_EQ(boxes_, std::vector<std::string>{request.answer});
            }
        }
    }
}

}  // namespace
}  // namespace vebix
