#pragma once
// Running the built program from the terminal commands' tests: in a scratch home with no
// display, its standard streams on pipes (run) or on a pseudo-terminal (PtySession). Every
// wait has a guard: a program that hangs is killed and the test fails, nothing is left running.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace vebix::e2e {

// A small mind in which every line the person may say has one answer worth picking.
inline const std::string kSmallMind =
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n"
    "$ 1001 $a Hi.\r\n$ 1002 $b Hello there, nice to meet you.\r\n"
    "$ 1003 $a How are you today?\r\n$ 1004 $b I am fine, thanks.\r\n";

// How long any one wait may take before the program is taken to hang.
inline constexpr std::chrono::seconds kGuard{60};

struct RunResult {
    int status = -1;  // the exit status; 128 + the signal when it was killed
    std::string out;
    std::string err;
    long maxRssKiB = 0;  // the most memory the program held at once
};

// A scratch home (Documents, .config, .local/share) and a working folder, removed at the end.
class ScratchHome {
public:
    ScratchHome() {
        QDir root(tmp_.path());
        for (const char* folder : {"home/Documents", "home/.config", "home/.local/share", "work"})
            root.mkpath(QString::fromLatin1(folder));
    }
    bool valid() const { return tmp_.isValid(); }
    std::string path(const std::string& name) const {
        return QDir(tmp_.path()).filePath(QString::fromStdString(name)).toStdString();
    }
    std::string home() const { return path("home"); }
    std::string work() const { return path("work"); }
    std::string documents() const { return path("home/Documents"); }

    // The environment of the program: this process's, with no display, no colour wish and
    // no terminal type, HOME and the XDG folders in the scratch home; then extra ("NAME=value"
    // adds or replaces, "NAME" alone removes).
    std::vector<std::string> environment(const std::vector<std::string>& extra = {}) const {
        std::vector<std::string> env;
        auto dropped = [&](std::string_view v) {
            for (std::string_view name :
                 {"DISPLAY=", "WAYLAND_DISPLAY=", "HOME=", "XDG_CONFIG_HOME=", "XDG_DATA_HOME=",
                  "XDG_STATE_HOME=", "QT_QPA_PLATFORM=", "NO_COLOR=", "TERM=", "COLUMNS=",
                  "LINES="})
                if (v.starts_with(name)) return true;
            for (const std::string& e : extra) {
                const auto eq = e.find('=');
                const std::string name = e.substr(0, eq) + "=";
                if (v.starts_with(name)) return true;
            }
            return false;
        };
        for (char** e = environ; *e; ++e)
            if (!dropped(*e)) env.emplace_back(*e);
        env.push_back("HOME=" + home());
        env.push_back("XDG_CONFIG_HOME=" + home() + "/.config");
        env.push_back("XDG_DATA_HOME=" + home() + "/.local/share");
        env.push_back("XDG_STATE_HOME=" + home() + "/.local/state");
        for (const std::string& e : extra)
            if (e.find('=') != std::string::npos) env.push_back(e);
        return env;
    }

    // Writes bytes to a file in the scratch folder and returns its path.
    std::string write(const std::string& name, std::string_view bytes) const {
        const std::string file = path(name);
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::WriteOnly)) ADD_FAILURE() << "cannot write " << file;
        f.write(bytes.data(), static_cast<qint64>(bytes.size()));
        return file;
    }
    std::string read(const std::string& file) const {
        QFile f(QString::fromStdString(file));
        if (!f.open(QIODevice::ReadOnly)) return {};
        return f.readAll().toStdString();
    }

private:
    QTemporaryDir tmp_;
};

namespace detail {
inline int statusOf(int waitStatus) {
    if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
    return -1;
}
inline std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (const std::string& s : strings) p.push_back(const_cast<char*>(s.c_str()));
    p.push_back(nullptr);
    return p;
}
}  // namespace detail

// Where the program's standard output goes: collected, or a pipe whose reader has gone, so
// that every write to it fails.
enum class Output { Collected, ReaderGone };

// Runs the built program with args (program name not included) in workDir, feeding input to
// its standard input, and collects its output until it ends. The broken pipe signal is ignored
// here, and so in the program, which then sees its writes fail instead of being ended.
inline RunResult run(const std::vector<std::string>& args, const std::vector<std::string>& env,
                     const std::string& workDir, std::string_view input = {},
                     Output output = Output::Collected) {
    RunResult result;
    int in[2], out[2], err[2];
    if (::pipe2(in, O_CLOEXEC) || ::pipe2(out, O_CLOEXEC) || ::pipe2(err, O_CLOEXEC)) {
        ADD_FAILURE() << "pipe failed";
        return result;
    }
    int openReaders = 2;
    if (output == Output::ReaderGone) {
        ::close(out[0]);
        out[0] = -1;
        openReaders = 1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<std::string> argv{VEBIX_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    auto argp = detail::pointers(argv);
    auto envp = detail::pointers(env);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, VEBIX_EXE, &actions, nullptr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << VEBIX_EXE;
        for (int fd : {in[1], out[0], err[0]})
            if (fd >= 0) ::close(fd);
        return result;
    }
    ::fcntl(in[1], F_SETFL, O_NONBLOCK);
    std::size_t fed = 0;
    if (input.empty()) {
        ::close(in[1]);
        in[1] = -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (openReaders > 0) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ADD_FAILURE() << "the program did not end within the guard; killed";
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(fds, 3, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[65536];
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                (i == 0 ? out[0] : err[0]) = -1;
                --openReaders;
            }
        }
        if (in[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
            const ssize_t put = ::write(in[1], input.data() + fed, input.size() - fed);
            if (put > 0) fed += static_cast<std::size_t>(put);
            if (put < 0 && errno != EAGAIN) fed = input.size();
            if (fed >= input.size()) {
                ::close(in[1]);
                in[1] = -1;
            }
        }
    }
    for (int fd : {in[1], out[0], err[0]})
        if (fd >= 0) ::close(fd);
    int waitStatus = 0;
    rusage usage{};
    ::wait4(pid, &waitStatus, 0, &usage);
    result.status = detail::statusOf(waitStatus);
    result.maxRssKiB = usage.ru_maxrss;
    return result;
}

// The program on a pseudo-terminal, as a person at a terminal runs it.
class PtySession {
public:
    PtySession(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& workDir, int columns = 80) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(columns);
        std::vector<std::string> argv{VEBIX_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        auto argp = detail::pointers(argv);
        auto envp = detail::pointers(env);
        pid_ = ::forkpty(&master_, nullptr, nullptr, &size);
        if (pid_ == 0) {
            if (::chdir(workDir.c_str()) != 0) ::_exit(126);
            ::execve(VEBIX_EXE, argp.data(), envp.data());
            ::_exit(127);
        }
        if (pid_ < 0) ADD_FAILURE() << "forkpty failed";
    }
    ~PtySession() {
        if (pid_ > 0 && !ended_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) ::close(master_);
    }
    PtySession(const PtySession&) = delete;
    PtySession& operator=(const PtySession&) = delete;

    pid_t pid() const { return pid_; }

    // Types bytes as keys ("\x04" is Ctrl-D, "\x1b[D" the left arrow).
    // What the program shows meanwhile is read as it comes, so that a long paste cannot stall
    // on a full terminal.
    void type(std::string_view keys) {
        while (!keys.empty()) {
            pollfd fd{master_, POLLOUT | POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(kGuard.count() * 1000)) <= 0) {
                ADD_FAILURE() << "the terminal took no keys within the guard";
                return;
            }
            if (fd.revents & POLLIN) readSome(0);
            if (!(fd.revents & POLLOUT)) continue;
            const std::size_t chunk = std::min<std::size_t>(keys.size(), 1024);
            // Not waiting in write: the terminal may take fewer keys than it said it would.
            const int flags = ::fcntl(master_, F_GETFL);
            ::fcntl(master_, F_SETFL, flags | O_NONBLOCK);
            const ssize_t put = ::write(master_, keys.data(), chunk);
            ::fcntl(master_, F_SETFL, flags);
            if (put < 0 && errno == EAGAIN) continue;
            if (put <= 0) {
                ADD_FAILURE() << "cannot type into the terminal";
                return;
            }
            keys.remove_prefix(static_cast<std::size_t>(put));
        }
    }

    // Reads what the program shows until text appears after what earlier waits consumed;
    // false (and a failure) when it does not within the guard or the program ends first.
    bool waitFor(std::string_view text) {
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        for (;;) {
            const auto at = screen_.find(text, consumed_);
            if (at != std::string::npos) {
                consumed_ = at + text.size();
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) {
                ADD_FAILURE() << "never saw \"" << text << "\"; the terminal shows:\n" << screen_;
                return false;
            }
        }
    }

    // Waits for the program to end, reading what it still shows; its exit status.
    int waitExit() {
        const auto deadline = std::chrono::steady_clock::now() + kGuard;
        for (;;) {
            int waitStatus = 0;
            if (::waitpid(pid_, &waitStatus, WNOHANG) == pid_) {
                ended_ = true;
                while (readSome(0)) {
                }
                return detail::statusOf(waitStatus);
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                ADD_FAILURE() << "the program did not end; killed. The terminal shows:\n"
                              << screen_;
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                ended_ = true;
                return -1;
            }
            // Poll at most 50 ms at a time so that an end with no more output is seen.
            readSome(std::min<int>(50, static_cast<int>(left.count())));
        }
    }

    // Everything the program has shown so far, escapes included.
    const std::string& screen() const { return screen_; }

private:
    bool readSome(int timeoutMs) {
        pollfd fd{master_, POLLIN, 0};
        if (::poll(&fd, 1, timeoutMs) <= 0) return false;
        char buffer[4096];
        const ssize_t got = ::read(master_, buffer, sizeof buffer);
        if (got <= 0) return false;  // EIO once the program has ended
        screen_.append(buffer, static_cast<std::size_t>(got));
        return true;
    }

    pid_t pid_ = -1;
    int master_ = -1;
    bool ended_ = false;
    std::string screen_;
    std::size_t consumed_ = 0;
};

}  // namespace vebix::e2e
