#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/myfile/process.h"
#include "support/fakeclock.h"

using namespace vebix;
namespace fs = std::filesystem;

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/vebix-process-XXXXXX";
        dir_ = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes an executable shell script.
    fs::path script(const fs::path& path, const std::string& body) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
    std::string read(const fs::path& p) {
        std::ifstream in(p);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

}  // namespace

TEST_F(ProcessTest, RunsInItsOwnFolderAndReportsExitCode) {
    fs::path bot = script(dir_ / "bot" / "run.sh", "pwd > where.txt\nexit 7");
    std::string before = fs::current_path();
    ChildProcess p;
    ASSERT_EQ(p.start({bot.string()}, (dir_ / "bot").string()), ChildProcess::StartResult::Started);
    EXPECT_EQ(p.wait(10000), ChildProcess::WaitResult::Exited);
    EXPECT_EQ(p.exitCode(), 7);
    EXPECT_EQ(read(dir_ / "bot" / "where.txt"), (dir_ / "bot").string() + "\n");
    EXPECT_EQ(fs::current_path().string(), before);
}

TEST_F(ProcessTest, SignalAndTimeOut) {
    fs::path crash = script(dir_ / "crash.sh", "kill -SEGV $$");
    ChildProcess p;
    ASSERT_EQ(p.start({crash.string()}, dir_.string()), ChildProcess::StartResult::Started);
    EXPECT_EQ(p.wait(10000), ChildProcess::WaitResult::Signalled);
    EXPECT_EQ(p.signal(), SIGSEGV);

    // A child that never ends: the wait gives up after its (short) limit and the child is left
    // running; it is ended here so the test leaves nothing behind.
    fs::path hang = script(dir_ / "hang.sh", "exec tail -f /dev/null");
    ChildProcess h;
    ASSERT_EQ(h.start({hang.string()}, dir_.string()), ChildProcess::StartResult::Started);
    EXPECT_EQ(h.wait(50), ChildProcess::WaitResult::TimedOut);
    ::kill(h.pid(), SIGKILL);
    EXPECT_EQ(h.wait(10000), ChildProcess::WaitResult::Signalled);
}

TEST_F(ProcessTest, NotFoundToldApartFromOtherFailures) {
    ChildProcess p;
    EXPECT_EQ(p.start({(dir_ / "missing" / "bot").string()}, dir_.string()),
              ChildProcess::StartResult::NotFound);
    fs::path bot = script(dir_ / "bot.sh", "exit 0");
    EXPECT_EQ(p.start({bot.string()}, (dir_ / "no such folder").string()),
              ChildProcess::StartResult::NotFound);
    // Exists but cannot be run.
    fs::path plain = dir_ / "plain.txt";
    std::ofstream(plain) << "not a program";
    fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
    ChildProcess q;
    EXPECT_EQ(q.start({plain.string()}, dir_.string()), ChildProcess::StartResult::Failed);
    EXPECT_EQ(q.start({}, dir_.string()), ChildProcess::StartResult::Failed);
    EXPECT_EQ(q.start({""}, dir_.string()), ChildProcess::StartResult::Failed);
}

TEST_F(ProcessTest, StrangePathIsStartedAsItIsWithNoShell) {
    // Blanks, ";" and "$(...)" in the path reach the system untouched and run nothing else.
    fs::path folder = dir_ / "a b;$(touch PWNED)";
    fs::path bot = script(folder / "my bot $(x).sh", "echo ran > ran.txt");
    ChildProcess p;
    ASSERT_EQ(p.start({bot.string()}, folder.string()), ChildProcess::StartResult::Started);
    EXPECT_EQ(p.wait(10000), ChildProcess::WaitResult::Exited);
    EXPECT_EQ(read(folder / "ran.txt"), "ran\n");
    EXPECT_FALSE(fs::exists(folder / "PWNED"));
    EXPECT_FALSE(fs::exists(dir_ / "PWNED"));
}

namespace {

// The state letter of /proc/<pid>/stat ('Z' for a zombie), or 0 once the process is gone. The
// file can vanish between opening and reading it, so both are asked of the system directly.
char processState(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[512];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    if (n <= 0) return 0;
    const std::string stat(buffer, static_cast<std::size_t>(n));
    const auto close = stat.rfind(')');
    return close == std::string::npos || close + 2 >= stat.size() ? 0 : stat[close + 2];
}

}  // namespace

TEST_F(ProcessTest, AChildThatOutlivesItsObjectLeavesNoZombie) {
    pid_t pid = 0;
    {
        ChildProcess child;
        ASSERT_EQ(child.start(std::vector<std::string>{"/bin/sh", "-c", "exec sleep 1000"}, ""),
                  ChildProcess::StartResult::Started);
        pid = child.pid();
        ASSERT_EQ(child.wait(0), ChildProcess::WaitResult::TimedOut);
    }
    // Ending it now: nothing in this test waits for it, so only the waiter the object left
    // behind can take it out of the process table.
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (processState(pid) != 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    EXPECT_EQ(processState(pid), 0) << "still in the process table as " << processState(pid);
}

// Waits take their time limit from the clock in force: a child that never ends is given up on
// when that clock says the time is up, and a child that ends is waited for however long it
// takes in real time.
TEST_F(ProcessTest, WaitsKeepTheTimeOfTheClockInForce) {
    fs::path hang = script(dir_ / "hang.sh", "exec tail -f /dev/null");
    fs::path quick = script(dir_ / "quick.sh", "exit 3");
    ChildProcess h, q;
    ASSERT_EQ(h.start(std::vector<std::string>{hang.string()}, dir_.string()),
              ChildProcess::StartResult::Started);
    {
        FakeClock fake;
        ScopedClock scope(fake);
        ASSERT_EQ(q.start(std::vector<std::string>{quick.string()}, dir_.string()),
                  ChildProcess::StartResult::Started);
        // The fake clock does not move: a millisecond of it is no limit on a child that ends.
        EXPECT_EQ(q.wait(1), ChildProcess::WaitResult::Exited);
        EXPECT_EQ(q.exitCode(), 3);

        std::optional<ChildProcess::WaitResult> waited;
        std::atomic<bool> ended{false};
        std::thread waiter([&] {
            waited = h.wait(5000);
            ended = true;
        });
        fake.awaitWaiter();
        fake.advanceMs(4999);
        EXPECT_FALSE(ended.load());
        fake.advanceMs(1);
        waiter.join();
        EXPECT_EQ(waited, ChildProcess::WaitResult::TimedOut);

        // Waits that pass at once move the clock by the whole time they were given.
        fake.expireWaits();
        const std::uint64_t before = fake.tickMs();
        EXPECT_EQ(h.wait(60000), ChildProcess::WaitResult::TimedOut);
        EXPECT_EQ(fake.tickMs(), before + 60000);
    }
    h.kill();
    EXPECT_EQ(h.wait(0), ChildProcess::WaitResult::Exited);
    EXPECT_EQ(h.signal(), SIGKILL);
}

namespace {

// Whether the process has ended (gone, or a zombie nobody has reaped yet), waiting a while for
// a signal just sent to take effect.
bool endsSoon(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        const char state = processState(pid);
        if (state == 0 || state == 'Z') return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::yield();
    }
}

pid_t readPid(const fs::path& file) {
    std::ifstream in(file);
    long pid = 0;
    in >> pid;
    return static_cast<pid_t>(pid);
}

}  // namespace

// A bot that leaves a program of its own running: with ownGroup that program ends with the
// bot, whether the bot ends by itself or is killed; one that made a session of its own is its
// own business; without ownGroup nothing but the bot itself is touched.
TEST_F(ProcessTest, AChildsOwnGroupEndsWithIt) {
    struct Case {
        const char* what;
        bool ownGroup;
        const char* script;  // leaves the pid of what it started in left.pid
        bool killed;         // the child hangs and is killed rather than ending itself
        bool leftoverSurvives;
    };
    const Case cases[] = {
        {"ends by itself, own group", true, "sleep 1000 &\necho $! > left.pid\nexit 0", false,
         false},
        {"killed, own group", true, "sleep 1000 &\necho $! > left.pid\nexec sleep 1000", true,
         false},
        {"ends by itself, a session of its own", true,
         "setsid sleep 1000 &\necho $! > left.pid\nexit 0", false, true},
        {"ends by itself, no group of its own", false, "sleep 1000 &\necho $! > left.pid\nexit 0",
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = dir_ / "bot";
        fs::remove_all(folder);
        const fs::path bot = script(folder / "bot.sh", c.script);
        ChildProcess child;
        child.ownGroup = c.ownGroup;
        ASSERT_EQ(child.start(std::vector<std::string>{bot.string()}, folder.string()),
                  ChildProcess::StartResult::Started);
        if (c.killed) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (!fs::exists(folder / "left.pid") || fs::file_size(folder / "left.pid") == 0) {
                ASSERT_LT(std::chrono::steady_clock::now(), deadline);
                std::this_thread::yield();
            }
            child.kill();
        } else {
            ASSERT_EQ(child.wait(20000), ChildProcess::WaitResult::Exited);
        }
        const pid_t left = readPid(folder / "left.pid");
        ASSERT_GT(left, 0);
        if (c.leftoverSurvives) {
            EXPECT_NE(processState(left), 0);
            EXPECT_NE(processState(left), 'Z');
            ::kill(left, SIGKILL);
        } else {
            EXPECT_TRUE(endsSoon(left));
        }
        EXPECT_TRUE(endsSoon(left));
    }
}
