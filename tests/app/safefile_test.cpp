// Opening and writing what others can place: each special file where a file is expected, in the
// user's own place and in a bot folder; a rewrite that keeps owner, group and mode; and each
// system call of a whole write failing in turn.
#include "app/platform/safefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>

#include "engine/base/error.h"
#include "failingops.h"
#include "support/specialfiles.h"

namespace vebix {
namespace {

using testing::FailingOps;
using testing::Special;

std::string readFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return "<missing>";
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

void writeFile(const std::string& path, const std::string& bytes) {
    writeFileWhole(
        path, Place::Own, [&](const ByteSink& sink) { sink(bytes); }, "test write");
}

// The names in folder, hidden ones included.
std::vector<std::string> entries(const std::string& folder) {
    std::vector<std::string> names;
    for (const QString& name :
         QDir(QString::fromStdString(folder))
             .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        names.push_back(name.toStdString());
    return names;
}

// The error body throws, or "<no error>"; a body that does not end within the time limit is a
// failure (a FIFO it waits on is then opened for writing and closed, which ends its wait).
std::string errorWithin(const std::function<void()>& body, const std::string& fifo) {
    std::future<std::string> done = std::async(std::launch::async, [&]() -> std::string {
        try {
            body();
        } catch (const Error& e) {
            return e.what();
        }
        return "<no error>";
    });
    if (done.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "still waiting after 30 s";
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
    }
    return done.get();
}

class SpecialFile : public ::testing::TestWithParam<Special> {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp_.isValid());
        name_ = file("CHAT.MSG");
        target_ = file("target.txt");
        writeFile(target_, "the target's own bytes\r\n");
        const std::string why = testing::makeSpecial(name_, GetParam(), target_);
        if (!why.empty()) {
            if (GetParam() == Special::Device)
                GTEST_SKIP() << "a device node cannot be made here (" << why << ")";
            FAIL() << why;
        }
    }
    std::string file(const std::string& name) const {
        return QDir(tmp_.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    // Nothing outside the name was touched, and no temporary file was left.
    void expectTargetAndFolderKept() {
        EXPECT_EQ(readFile(target_), "the target's own bytes\r\n");
        for (const std::string& name : entries(tmp_.path().toStdString()))
            EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
    }

    QTemporaryDir tmp_;
    std::string name_;
    std::string target_;
};

TEST_P(SpecialFile, ReadingIsRefusedWithTheReasonOrFollowsTheUsersLink) {
    const Special kind = GetParam();
    for (const Place place : {Place::Own, Place::BotFolder}) {
        SCOPED_TRACE(place == Place::Own ? "own place" : "bot folder");
        const bool follows = place == Place::Own && kind == Special::LinkToFile;
        std::string read;
        const std::string error = errorWithin(
            [&] {
                const BoundedLines lines = readBoundedLines(name_, place, 4, "Unable to read");
                if (!lines.lines.empty()) read = lines.lines.front();
            },
            name_);
        if (follows) {
            EXPECT_EQ(error, "<no error>");
            EXPECT_EQ(read, "the target's own bytes");
        } else {
            EXPECT_EQ(error.rfind("Unable to read: it is a ", 0), 0u) << error;
            EXPECT_NE(error.find(testing::specialWords(kind)), std::string::npos) << error;
        }
        EXPECT_TRUE(testing::stillSpecial(name_, kind));
    }
    expectTargetAndFolderKept();
}

TEST_P(SpecialFile, AUsersNameIsWrittenThroughItsLinkAndNeverOverAnythingElse) {
    const Special kind = GetParam();
    const std::string error = errorWithin([&] { writeFile(name_, "new bytes\r\n"); }, name_);
    EXPECT_TRUE(testing::stillSpecial(name_, kind));
    if (kind == Special::LinkToFile) {
        EXPECT_EQ(error, "<no error>");
        EXPECT_EQ(readFile(target_), "new bytes\r\n");
        return;
    }
    EXPECT_NE(error.find(testing::specialWords(kind)), std::string::npos) << error;
    expectTargetAndFolderKept();
}

TEST_P(SpecialFile, ABotFoldersNameIsReplacedNeverWrittenThrough) {
    const Special kind = GetParam();
    const std::string error = errorWithin(
        [&] {
            writeFileWhole(
                name_, Place::BotFolder, [](const ByteSink& sink) { sink("a reply\r\n"); },
                "Unable to write");
        },
        name_);
    if (kind == Special::Folder) {
        // A folder cannot be replaced by a file: the system says so, and nothing changes.
        EXPECT_EQ(error, "Unable to write: Is a directory");
        EXPECT_TRUE(testing::stillSpecial(name_, kind));
    } else {
        EXPECT_EQ(error, "<no error>");
        struct stat st {};
        ASSERT_EQ(::lstat(name_.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(readFile(name_), "a reply\r\n");
    }
    expectTargetAndFolderKept();
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFile, ::testing::ValuesIn(testing::allSpecials()),
                         [](const auto& info) { return testing::specialName(info.param); });

class SafeFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tmp_.isValid()); }
    std::string file(const std::string& name) const {
        return QDir(tmp_.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    QTemporaryDir tmp_;
};

// A second name for a file is a link too: in a bot folder it is not read, and writing replaces
// the name, never the file it shares; the user's own file may have as many names as it likes.
TEST_F(SafeFile, AHardLinkIsReadOnlyInTheUsersPlace) {
    const std::string target = file("mind.mdd");
    const std::string name = file("CHAT.MSG");
    writeFile(target, "the target's own bytes\r\n");
    ASSERT_EQ(::link(target.c_str(), name.c_str()), 0);
    EXPECT_EQ(readBoundedLines(name, Place::Own, 1, "Unable to read").lines,
              std::vector<std::string>{"the target's own bytes"});
    try {
        readBoundedLines(name, Place::BotFolder, 1, "Unable to read");
        ADD_FAILURE() << "read";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("hard link"), std::string::npos) << e.what();
    }
    writeFileWhole(
        name, Place::BotFolder, [](const ByteSink& sink) { sink("a reply\r\n"); }, "write");
    EXPECT_EQ(readFile(target), "the target's own bytes\r\n");
    EXPECT_EQ(readFile(name), "a reply\r\n");
}

// The administrator rewriting someone's file (an import into their mind) leaves it theirs.
TEST_F(SafeFile, ARewriteKeepsOwnerGroupAndMode) {
    const std::string path = file("mind.mdd");
    writeFile(path, "old\r\n");
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    struct stat before {};
    ASSERT_EQ(::stat(path.c_str(), &before), 0);

    writeFile(path, "new\r\n");
    struct stat after {};
    ASSERT_EQ(::stat(path.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino) << "written through a new file";
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
    EXPECT_EQ(readFile(path), "new\r\n");
    if (!root) GTEST_SKIP() << "only the administrator can give a file to another owner";
}

// Each write, sync and rename of a whole write failing in turn: the file is the old one (and
// the error says so) or the new one, nothing else, and no temporary file stays.
TEST_F(SafeFile, EachCallOfAWholeWriteFailingLeavesTheOldFileOrTheNew) {
    const std::string path = file("data.txt");
    const std::string oldBytes = "the old contents\r\n";
    const std::string newBytes(200000, 'n');  // more than one block
    auto produce = [&](const ByteSink& sink) {
        sink(newBytes.substr(0, 1000));
        sink(newBytes.substr(1000));
    };
    FailingOps counting;
    writeFile(path, oldBytes);
    writeFileWhole(path, Place::Own, produce, "Unable to write", counting);
    const int calls = static_cast<int>(counting.calls().size());
    ASSERT_GE(calls, 4);  // writes, the file's sync, the rename, the folder's sync

    for (int k = 0; k < calls; ++k) {
        SCOPED_TRACE("call " + std::to_string(k) + ": " +
                     counting.calls()[static_cast<std::size_t>(k)]);
        writeFile(path, oldBytes);
        FailingOps failing(k, FailingOps::Mode::Fail, ENOSPC);
        std::string error = "<no error>";
        try {
            writeFileWhole(path, Place::Own, produce, "Unable to write", failing);
        } catch (const Error& e) {
            error = e.what();
        }
        const std::string now = readFile(path);
        if (error == "<no error>") {
            EXPECT_EQ(now, newBytes) << "reported as written";
        } else {
            EXPECT_EQ(error, "Unable to write: No space left on device");
            EXPECT_EQ(now, oldBytes) << "reported as failed";
        }
        EXPECT_EQ(entries(tmp_.path().toStdString()), std::vector<std::string>{"data.txt"});
    }
}

}  // namespace
}  // namespace vebix
