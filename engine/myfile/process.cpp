#include "engine/myfile/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "engine/base/clock.h"

extern char** environ;

namespace vebix {
namespace {

int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#else
    (void)pid;
    errno = ENOSYS;
    return -1;
#endif
}

}  // namespace

ChildProcess::~ChildProcess() {
    if (pid_ <= 0 || reaped_) return;
    if (ended()) {
        reap();
        return;
    }
    // A child that outlived its object (a bot that did not answer in time) is waited for by a
    // thread of its own, so it never stays a zombie and no list of such children has to be kept
    // for the whole process.
    std::thread([pid = pid_] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

ChildProcess::StartResult ChildProcess::start(std::vector<std::string> args,
                                              const std::string& workingFolder) {
    if (args.empty() || args[0].empty()) {
        error_ = EINVAL;
        return StartResult::Failed;
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (discardOutput) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (!workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingFolder.c_str());
    // The child starts with default signal handling whatever this process has set.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (ownGroup) {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    // The program is looked up on PATH only when it names no folder and the caller allows it;
    // otherwise it is the file named, relative paths taken from the child's working folder.
    int rc = searchPath ? ::posix_spawnp(&pid, argv[0], &actions, &attr, argv.data(), environ)
                        : ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        error_ = rc;
        return (rc == ENOENT || rc == ENOTDIR) ? StartResult::NotFound : StartResult::Failed;
    }
    pid_ = pid;
    reaped_ = false;
    return StartResult::Started;
}

void ChildProcess::endGroup() {
    // Only while the child is not yet reaped: its pid, which names the group, cannot have been
    // given to another process, so the signal reaches no stranger's group.
    if (ownGroup && pid_ > 0 && !reaped_) ::kill(-pid_, SIGKILL);
}

bool ChildProcess::ended() {
    siginfo_t info{};
    for (;;) {
        // WNOWAIT: seen, not reaped, so that the group can still be ended by the child's pid.
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0)
            return info.si_pid == pid_;
        if (errno != EINTR) return true;  // nothing to wait for: let reap() tell
    }
}

ChildProcess::WaitResult ChildProcess::reap() {
    endGroup();
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, 0);
    } while (r < 0 && errno == EINTR);
    reaped_ = true;
    if (r == pid_ && WIFSIGNALED(status)) {
        signal_ = WTERMSIG(status);
        return WaitResult::Signalled;
    }
    exitCode_ = r == pid_ ? WEXITSTATUS(status) : 0;
    return WaitResult::Exited;
}

void ChildProcess::kill() {
    if (pid_ <= 0 || reaped_) return;
    if (wait(0) != WaitResult::TimedOut) return;
    ::kill(pid_, SIGKILL);
    endGroup();
    reap();
    signal_ = SIGKILL;
}

ChildProcess::WaitResult ChildProcess::wait(std::uint32_t timeoutMs) {
    if (pid_ <= 0 || reaped_) return WaitResult::Exited;
    if (ended()) return reap();

    // A pid file descriptor becomes readable when the child ends. The wait goes through the
    // clock in force, so that a replaced clock decides when a time limit has passed.
    int fd = openPidFd(pid_);
    if (fd >= 0) {
        clock().waitReadable(fd, timeoutMs);
        ::close(fd);
        return ended() ? reap() : WaitResult::TimedOut;
    }
    // Kernels without pid file descriptors: look every few milliseconds.
    const std::uint64_t deadline = clock().tickMs() + timeoutMs;
    for (;;) {
        if (ended()) return reap();
        if (clock().tickMs() >= deadline) return WaitResult::TimedOut;
        clock().sleepMs(5);
    }
}

}  // namespace vebix
