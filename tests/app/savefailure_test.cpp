// A save that fails says so and leaves the previous file as it was: a full disk (the file size
// limit stands in for it) and a folder or file that may not be written. The failed lines are
// written by the next save that succeeds, once.
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "apptestsupport.h"
#include "support/fakeclock.h"
#include "engine/base/error.h"
#include "app/udlp/botmode.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"

namespace vebix {
namespace {

using testing::DiskNearlyFull;
using testing::readBytes;
using testing::writeBytes;

const std::string kMind =
    "\xEF\xBB\xBF"
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\nk 1 a hello there\r\nk 2 <ai> hi\r\n";

// Runs body in a child process that, like any user but the administrator, may not write where
// permissions forbid it (the administrator drops to the user "nobody" first). Returns the
// message of the error body threw, or "<no error>".
std::string errorAsOrdinaryUser(const std::function<void()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) return "<pipe failed>";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        std::string message = "<no error>";
        try {
            body();
        } catch (const std::exception& e) {
            message = e.what();
        }
        const ssize_t n = ::write(fds[1], message.data(), message.size());
        ::_exit(n == static_cast<ssize_t>(message.size()) ? 0 : 4);
    }
    ::close(fds[1]);
    std::string message;
    char buf[512];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) message.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "<child failed>";
    return message;
}

class SaveFailure : public testing::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        writeBytes(path("mind.mdd"), kMind);
        mindPath_ = spath("mind.mdd");
    }
    // The mind at mindPath_ with one more exchange learned.
    std::unique_ptr<VebixAi> loadedWithExchange() {
        auto ai = std::make_unique<VebixAi>();
        ai->loadFile(mindPath_);
        ai->addLine("Bob", "3", "Bob", "a line that must not be lost");
        ai->addAiLine("Bob", "3", "nor its answer");
        return ai;
    }
    // The message of a failed save: the file, and the reason the system gave.
    std::string failureMessage(const char* reason) const {
        return "Unable to save mind file '" + mindPath_ + "': " + reason;
    }
    std::string mindPath_;
};

TEST_F(SaveFailure, FullDiskWhileAppendingLeavesTheFileAndTheNextSaveWritesTheLinesOnce) {
    auto ai = loadedWithExchange();
    std::string error;
    {
        DiskNearlyFull full(kMind.size() + 10);  // room for part of the first new line only
        try {
            ai->saveFrom(2);
        } catch (const Error& e) {
            error = e.what();
        }
    }
    EXPECT_EQ(error, failureMessage("File too large"));
    EXPECT_EQ(readBytes(path("mind.mdd")), kMind);

    ai->saveFrom(2);
    EXPECT_EQ(readBytes(path("mind.mdd")),
              kMind + "Bob 3 Bob a line that must not be lost\r\nBob 3 <ai> nor its answer\r\n");
}

TEST_F(SaveFailure, FullDiskWhileWritingWholeLeavesTheOldFile) {
    auto ai = loadedWithExchange();
    std::string error;
    {
        DiskNearlyFull full(kMind.size() + 10);
        try {
            ai->saveAll();
        } catch (const Error& e) {
            error = e.what();
        }
    }
    EXPECT_EQ(error, failureMessage("File too large"));
    EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(tmp_.path()).entryList({"mind.mdd*"}, QDir::Files | QDir::Hidden),
              QStringList{"mind.mdd"});
}

TEST_F(SaveFailure, ReadOnlyFolderOrFileRefusesTheSaveAndKeepsTheFile) {
    // The folder chain must be passable for the ordinary user.
    ASSERT_TRUE(QFile::setPermissions(
        tmp_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                         QFileDevice::ReadOther | QFileDevice::ExeOther));
    QDir(tmp_.path()).mkpath("ro");
    writeBytes(path("ro/mind.mdd"), kMind);
    mindPath_ = spath("ro/mind.mdd");
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ReadOther | QFileDevice::ReadGroup;
    ASSERT_TRUE(QFile::setPermissions(path("ro/mind.mdd"), readOnly));
    ASSERT_TRUE(QFile::setPermissions(path("ro"), readOnly | QFileDevice::ExeOwner |
                                                      QFileDevice::ExeOther |
                                                      QFileDevice::ExeGroup));

    struct Case {
        const char* what;
        std::function<void(VebixAi&)> save;
    };
    const Case cases[] = {
        {"whole", [](VebixAi& ai) { ai.saveAll(); }},
        {"append", [](VebixAi& ai) { ai.saveFrom(2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(errorAsOrdinaryUser([&] {
                      auto ai = loadedWithExchange();
                      c.save(*ai);
                  }),
                  failureMessage("Permission denied"));
        EXPECT_EQ(readBytes(path("ro/mind.mdd")), kMind);
        EXPECT_EQ(QDir(path("ro")).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
    QFile::setPermissions(path("ro"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(SaveFailure, AutosaveThatFailsKeepsTheLinesForTheNextTick) {
    FakeClock fake(1700000000);
    ScopedClock scoped(fake);
    MindKeeper keeper;
    ASSERT_EQ(keeper.loadMind(mindPath_), MindKeeper::Loaded::Existing);
    keeper.bot()->addLine("Bob", "5", "Bob", "remember me");
    keeper.bot()->addAiLine("Bob", "5", "I will");
    keeper.setExchangeCount(1);
    fake.advanceSeconds(600);
    {
        DiskNearlyFull full(kMind.size());
        EXPECT_THROW(keeper.autosaveTick(), Error);
    }
    EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
    EXPECT_EQ(keeper.savedCount(), 2u);
    EXPECT_TRUE(keeper.hasUnsavedLines());

    keeper.autosaveTick();
    EXPECT_FALSE(keeper.hasUnsavedLines());
    EXPECT_EQ(readBytes(path("mind.mdd")),
              kMind + "Bob 5 Bob remember me\r\nBob 5 <ai> I will\r\n");
}

TEST_F(SaveFailure, BotModeReportsAFailedSaveAndLeavesTheMind) {
    // The mind may not be written by the ordinary user; the working folder may.
    const auto all = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                     QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                     QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    ASSERT_TRUE(QFile::setPermissions(tmp_.path(), all));
    QDir(tmp_.path()).mkpath("work");
    ASSERT_TRUE(QFile::setPermissions(path("work"), all));
    ASSERT_TRUE(QFile::setPermissions(path("mind.mdd"), QFileDevice::ReadOwner |
                                                            QFileDevice::ReadGroup |
                                                            QFileDevice::ReadOther));
    writeBytes(path("work/UDLPX.NFO"),
               "2\r\n0\r\nvebix\r\nMo\r\nmind=" + mindPath_ + "\r\nlearn=true\r\n");
    writeBytes(path("work/CHAT.MSG"), "Bob\r\nhello there\r\n");
    const QString work = path("work");
    EXPECT_EQ(errorAsOrdinaryUser([&] {
                  if (!QDir::setCurrent(work)) throw std::runtime_error("no working folder");
                  std::string shown = "<no box>";
                  const int status = runBotMode(
                      "", programPath(), [&](const std::string& message) { shown = message; });
                  if (status != 1) throw std::runtime_error("status " + std::to_string(status));
                  throw std::runtime_error(shown);
              }),
              failureMessage("Permission denied"));
    EXPECT_EQ(readBytes(path("mind.mdd")), kMind);
    EXPECT_FALSE(QFileInfo::exists(path("work/CHAT.MSG")));  // the link program sees no reply
    // The reply prepared before the save was dropped with it.
    EXPECT_EQ(QDir(path("work")).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList{QStringLiteral("UDLPX.NFO")});
}

}  // namespace
}  // namespace vebix
