#pragma once
// Starting the built programs from the end-to-end tests without a shell, with their own
// environment and working folder, and ending them by a kill at a chosen point.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QString>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace vebix::e2e {

// One started child process, killed after a chosen number of polls or left to end.
struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of its standard output, when captured
};

inline Child spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& workDir, bool captureOut) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    int pipeFds[2] = {-1, -1};
    if (captureOut) {
        if (::pipe2(pipeFds, O_CLOEXEC) != 0) return {};
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    }
    posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    Child child;
    if (::posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0)
        child.pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (captureOut) {
        ::close(pipeFds[1]);
        child.out = pipeFds[0];
    }
    return child;
}

struct Outcome {
    bool killed = false;
    int status = 0;  // the wait status
    long polls = 0;  // how often the child was found still running
};

// Polls the child until it ends or has been found running killAfter times, then kills it.
// killAfter < 0: never kill. With a trigger, the polls are counted only from the first poll at
// which trigger() returned true.
inline Outcome runChild(pid_t pid, long killAfter, const std::function<bool()>& trigger = {}) {
    Outcome o;
    bool counting = !trigger;
    long counted = 0;
    for (;;) {
        pid_t got = ::waitpid(pid, &o.status, WNOHANG);
        if (got == pid) return o;
        if (got < 0) {
            ADD_FAILURE() << "waitpid failed";
            return o;
        }
        if (!counting) counting = trigger();
        if (killAfter >= 0 && counting && counted >= killAfter) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &o.status, 0);
            o.killed = WIFSIGNALED(o.status) && WTERMSIG(o.status) == SIGKILL;
            return o;
        }
        ++o.polls;
        if (counting) ++counted;
    }
}

// This process's environment without a display, with HOME and XDG_CONFIG_HOME in home.
inline std::vector<std::string> baseEnvironment(const QString& home) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string_view v(*e);
        if (v.starts_with("DISPLAY=") || v.starts_with("WAYLAND_DISPLAY=") ||
            v.starts_with("HOME=") || v.starts_with("XDG_CONFIG_HOME=") ||
            v.starts_with("QT_QPA_PLATFORM="))
            continue;
        env.emplace_back(v);
    }
    env.push_back("HOME=" + home.toStdString());
    env.push_back("XDG_CONFIG_HOME=" + home.toStdString() + "/.config");
    return env;
}

}  // namespace vebix::e2e
