#pragma once
// What the chat-room tests run against: a real IRC server (Debian's ngircd) started on loopback
// on free ports with a config of its own in the test's folder (and a TLS port with a certificate
// the test makes with openssl), people in the room as test clients, and the built program as the
// bot. Every wait is for an event (a line seen, a process ended) and has a generous upper bound;
// whatever a test started is killed when the test ends, passed or failed.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

extern char** environ;

namespace vebix::irc_e2e {

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;
// The upper bound of any one wait: far beyond what it takes, short of the test's time limit.
inline constexpr Ms kGuard{60000};

// A small mind in which the lines the tests say have answers worth picking.
inline const std::string kSmallMind =
    "1.2 1.2 \"Mo\"\r\napp=Vebix\r\n\r\n"
    "$ 1001 $a Hi.\r\n$ 1002 $b Hello there, nice to meet you.\r\n"
    "$ 1003 $a How are you today?\r\n$ 1004 $b I am fine, thanks.\r\n"
    "$ 1005 $a Are you there?\r\n$ 1006 $b Yes, I am here.\r\n";

// A started program: its standard output and error on one pipe (or, for a program that writes
// its log through stdio, which buffers whole blocks on a pipe, one pseudo-terminal, where it
// writes each line as it ends), and a descriptor that becomes readable when it ends. It is
// killed when the test's process ends, however that ends.
class Process {
public:
    Process() = default;
    Process(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& workDir, bool terminal = false) {
        int readEnd = -1, writeEnd = -1;
        if (terminal) {
            if (::openpty(&readEnd, &writeEnd, nullptr, nullptr, nullptr) != 0) return;
            ::fcntl(readEnd, F_SETFD, FD_CLOEXEC);
            ::fcntl(writeEnd, F_SETFD, FD_CLOEXEC);
        } else {
            int fds[2];
            if (::pipe2(fds, O_CLOEXEC) != 0) return;
            readEnd = fds[0];
            writeEnd = fds[1];
        }
        // Everything the child needs is made before the fork: after it, only calls that are
        // safe in a child of a process with threads.
        std::vector<char*> args, envp;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent) ::_exit(127);
            const int nothing = ::open("/dev/null", O_RDONLY);
            ::dup2(nothing, STDIN_FILENO);
            ::dup2(writeEnd, STDOUT_FILENO);
            ::dup2(writeEnd, STDERR_FILENO);
            if (!workDir.empty() && ::chdir(workDir.c_str()) != 0) ::_exit(127);
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
        ::close(writeEnd);
        out_ = readEnd;
        ::fcntl(out_, F_SETFL, O_NONBLOCK);
        if (pid_ > 0) pidfd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    }
    ~Process() {
        kill(SIGKILL);
        wait(kGuard);
        if (out_ >= 0) ::close(out_);
        if (pidfd_ >= 0) ::close(pidfd_);
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool started() const { return pid_ > 0 && pidfd_ >= 0; }
    bool running() const { return pid_ > 0 && !status_; }
    pid_t pid() const { return pid_; }
    int outFd() const { return out_; }
    int exitFd() const { return running() ? pidfd_ : -1; }
    // All it wrote so far.
    const std::string& output() const { return output_; }

    void kill(int signal) {
        if (running()) ::kill(pid_, signal);
    }
    // Reads what it wrote, without waiting; at the end of it, the pipe is closed.
    void drain() {
        char buffer[65536];
        ssize_t n = -1;
        while (out_ >= 0 && (n = ::read(out_, buffer, sizeof buffer)) > 0)
            output_.append(buffer, static_cast<std::size_t>(n));
        // A pipe ends with 0; a pseudo-terminal whose other side is closed with EIO.
        if (n == 0 || (n < 0 && errno == EIO)) {
            ::close(out_);
            out_ = -1;
        }
    }
    // Reaps it when it has ended, without waiting; its wait status once it has.
    std::optional<int> reap() {
        if (!status_ && pid_ > 0) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        }
        return status_;
    }
    // Waits for it to end, reading what it writes meanwhile; its wait status, or none after
    // timeout.
    std::optional<int> wait(Ms timeout) {
        const auto deadline = SteadyClock::now() + timeout;
        while (running() && !reap()) {
            pollfd fds[2] = {{pidfd_, POLLIN, 0}, {out_, POLLIN, 0}};
            const auto left = std::chrono::duration_cast<Ms>(deadline - SteadyClock::now());
            if (left.count() <= 0) break;
            ::poll(fds, out_ >= 0 ? 2 : 1, static_cast<int>(left.count()));
            drain();
        }
        drain();
        return status_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int pidfd_ = -1;
    std::string output_;
    std::optional<int> status_;
};

// A TCP port on loopback that nothing listens on now.
inline std::uint16_t freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
    ::close(s);
    return ntohs(a.sin_port);
}

// Runs a tool (openssl) to its end; its output, or a test failure.
inline std::string runTool(const std::vector<std::string>& argv, const std::string& workDir) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    Process p(argv, env, workDir);
    EXPECT_TRUE(p.started()) << argv[0];
    const auto status = p.wait(kGuard);
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << p.output();
    return p.output();
}

// The IRC server, in folder, on ports of its own.
class Ngircd {
public:
    struct Options {
        bool tls = false;
        std::string password;  // the server password every client must give; empty: none
    };

    Ngircd(std::string folder, Options options) : folder_(std::move(folder)), options_(options) {
        if (options_.tls) {
            // A certificate for 127.0.0.1, which is where the bot connects.
            runTool({"/usr/bin/openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout",
                     folder_ + "/key.pem", "-out", folder_ + "/cert.pem", "-days", "2", "-subj",
                     "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"},
                    folder_);
        }
    }
    ~Ngircd() { stop(); }

    // Starts the server (on the ports it had, once it has had some) and waits until it is
    // ready. A port taken meanwhile by someone else gives other ports.
    void start() {
        for (int attempt = 0; attempt < 5; ++attempt) {
            if (port_ == 0 || attempt > 0) {
                port_ = freePort();
                if (options_.tls) tlsPort_ = freePort();
            }
            writeConfig();
            std::vector<std::string> env;
            for (char** e = environ; *e; ++e) env.emplace_back(*e);
            process_ = std::make_unique<Process>(std::vector<std::string>{VEBIX_NGIRCD,
                                                                          "--nodaemon", "--config",
                                                                          folder_ + "/ngircd.conf"},
                                                 env, folder_, true);
            ASSERT_TRUE(process_->started()) << "ngircd could not be started";
            const auto deadline = SteadyClock::now() + kGuard;
            while (SteadyClock::now() < deadline && process_->running() && !ready()) {
                pollfd fds[2] = {{process_->outFd(), POLLIN, 0}, {process_->exitFd(), POLLIN, 0}};
                ::poll(fds, 2, 1000);
                process_->drain();
                process_->reap();
            }
            if (ready()) return;
            process_->kill(SIGKILL);
            process_->wait(kGuard);
        }
        FAIL() << "ngircd did not start:\n" << (process_ ? process_->output() : "");
    }

    void stop() {
        if (!process_) return;
        process_->kill(SIGTERM);
        if (!process_->wait(kGuard)) process_->kill(SIGKILL);
        process_.reset();
    }
    // Stops answering anyone, as a hung server does; resume() lets it go on.
    void pause() { process_->kill(SIGSTOP); }
    void resume() { process_->kill(SIGCONT); }

    std::uint16_t port() const { return port_; }
    std::uint16_t tlsPort() const { return tlsPort_; }
    std::string certFile() const { return folder_ + "/cert.pem"; }
    Process* process() { return process_.get(); }
    static const char* operatorName() { return "tester"; }
    static const char* operatorPassword() { return "op-pass"; }

private:
    bool ready() const {
        return process_ && process_->output().find(") ready.") != std::string::npos;
    }
    void writeConfig() {
        // Debian's flood limits as they are: the bot must live with them. Only the test's
        // people may become operators and take the relaxed limits of mode F, so that they can
        // flood the room without being thrown out themselves.
        std::string conf =
            "[Global]\n"
            "Name = irc.test\nInfo = Vebix test server\nListen = 127.0.0.1\n"
            "Ports = " +
            std::to_string(port_) +
            "\n"
            "MotdPhrase = A server for the tests\n"
            // Run as root, the server takes another user, and the death signal of its parent
            // no longer reaches it: should the tests end without stopping it, it ends itself
            // once everyone has left.
            "IdleTimeout = 60\n"
            "PidFile = " +
            folder_ + "/ngircd.pid\n";
        if (!options_.password.empty()) conf += "Password = " + options_.password + "\n";
        conf +=
            "[Limits]\nMaxNickLength = 16\nMaxConnectionsIP = 0\n"
            "[Options]\nPAM = no\nDNS = no\nIdent = no\n"
            "[Operator]\nName = " +
            std::string(operatorName()) + "\nPassword = " + operatorPassword() + "\n";
        if (options_.tls)
            conf += "[SSL]\nCertFile = " + folder_ + "/cert.pem\nKeyFile = " + folder_ +
                    "/key.pem\nPorts = " + std::to_string(tlsPort_) + "\n";
        QFile file(QString::fromStdString(folder_ + "/ngircd.conf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(conf.data(), static_cast<qint64>(conf.size()));
    }

    std::string folder_;
    Options options_;
    std::uint16_t port_ = 0;
    std::uint16_t tlsPort_ = 0;
    std::unique_ptr<Process> process_;
};

// A person in the room: a plain connection to the server that keeps every line it reads.
class Person {
public:
    Person(std::uint16_t port, std::string nick, std::string password = {})
        : nick_(std::move(nick)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        ::fcntl(fd_, F_SETFL, O_NONBLOCK);
        if (!password.empty()) send("PASS :" + password);
        send("NICK " + nick_);
        send("USER " + nick_ + " 0 * :A person in the tests");
    }
    ~Person() {
        if (fd_ >= 0) ::close(fd_);
    }
    Person(const Person&) = delete;
    Person& operator=(const Person&) = delete;

    int fd() const { return fd_; }
    bool connected() const { return fd_ >= 0 && !closed_; }
    const std::string& nick() const { return nick_; }
    void setNick(std::string nick) { nick_ = std::move(nick); }

    // Sends one line (its line end added). Blocks until the kernel takes it: the server reads
    // as fast as its flood rule lets a person (a relaxed one: mode F) send.
    void send(const std::string& line) {
        const std::string bytes = line + "\r\n";
        std::size_t sent = 0;
        while (fd_ >= 0 && sent < bytes.size()) {
            const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return;
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, 1000);
            read();
        }
    }
    // Reads what has arrived, answering the server's pings.
    void read() {
        char buffer[65536];
        ssize_t n = -1;
        while (fd_ >= 0 && (n = ::recv(fd_, buffer, sizeof buffer, 0)) > 0)
            partial_.append(buffer, static_cast<std::size_t>(n));
        if (n == 0) closed_ = true;
        for (std::size_t end; (end = partial_.find("\r\n")) != std::string::npos;) {
            std::string line = partial_.substr(0, end);
            partial_.erase(0, end + 2);
            if (line.starts_with("PING ")) send("PONG " + line.substr(5));
            lines.push_back(std::move(line));
        }
    }
    // The lines read, from position from on, that hold text.
    std::optional<std::size_t> find(std::string_view text, std::size_t from = 0) const {
        for (std::size_t i = from; i < lines.size(); ++i)
            if (lines[i].find(text) != std::string::npos) return i;
        return std::nullopt;
    }

    std::vector<std::string> lines;

private:
    int fd_ = -1;
    std::string nick_;
    std::string partial_;
    bool closed_ = false;
};

// Waits until done() holds, reading whatever the people, the server and the bots send
// meanwhile; false after timeout.
inline bool waitUntil(const std::function<bool()>& done, const std::vector<Person*>& people,
                      const std::vector<Process*>& processes, Ms timeout = kGuard) {
    const auto deadline = SteadyClock::now() + timeout;
    for (;;) {
        for (Person* p : people) p->read();
        for (Process* p : processes) {
            p->drain();
            p->reap();
        }
        if (done()) return true;
        const auto left = std::chrono::duration_cast<Ms>(deadline - SteadyClock::now());
        if (left.count() <= 0) return false;
        std::vector<pollfd> fds;
        for (Person* p : people)
            if (p->connected()) fds.push_back({p->fd(), POLLIN, 0});
        for (Process* p : processes) {
            if (p->outFd() >= 0) fds.push_back({p->outFd(), POLLIN, 0});
            if (p->exitFd() >= 0) fds.push_back({p->exitFd(), POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), static_cast<int>(left.count()));
    }
}

}  // namespace vebix::irc_e2e
