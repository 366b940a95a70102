#pragma once
// One turn of link mode, seen from the link-program side of the CHAT.MSG exchange: write the
// request into the other bot's folder, start the other bot there, wait for it, read its reply
// and decide whether it is one. No window is involved; link mode's thread calls this once a
// turn.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/myfile/process.h"

namespace vebix {

inline constexpr std::uint32_t kLinkReplyTimeoutMs = 15000;
inline constexpr std::string_view kExeNotFoundMessage = "UDLP bot exe file not found ";
inline constexpr std::string_view kExeCannotStartMessage = "UDLP bot exe file cannot be started ";

class LinkExchange {
public:
    struct Result {
        bool started = false;  // the other bot's program was started
        // Its program cannot be started at all: it (or its folder) does not exist, or the
        // system refuses to run it. error says so, with the system's reason.
        bool cannotStart = false;
        bool busy = false;  // it was still running from an earlier turn: nothing was sent
        bool gotReply = false;
        std::string reply;  // the other bot's line, when gotReply
        std::string error;  // a failure to show (caption "UDLP Error"), else empty
        // Something to tell about the reply: cut at its bound, or why none could be read (the
        // other bot left a link or a FIFO); empty otherwise.
        std::string note;
    };

    // folder: the other bot's folder; exePath: its executable; ownName: the name this side
    // signs its requests with (the loaded bot's name). A relative folder is taken from this
    // process's working folder and a relative exePath from the bot's folder: the other bot is
    // always started by the absolute path of its executable, never looked up on PATH.
    LinkExchange(std::string folder, std::string exePath, std::string ownName);
    // Leaves a bot still running as it is (release() ends it and cleans its folder).
    ~LinkExchange();
    LinkExchange(const LinkExchange&) = delete;
    LinkExchange& operator=(const LinkExchange&) = delete;

    const std::string& folder() const { return folder_; }
    const std::string& exePath() const { return exePath_; }

    // The command line the other bot is started with: its executable path in double quotes.
    const std::string& commandLine() const { return commandLine_; }

    // Runs one exchange. Throws Error only when the request cannot be written (that ends link
    // mode); everything that goes wrong with the other bot gives a result without a reply.
    // The other bot's folder is hostile ground: the request replaces whatever has the name
    // CHAT.MSG there, the reply is read only from a regular file (never through a link or from
    // a FIFO) and only its first line, cut at kMaxLineBytes. The other bot runs in a process
    // group of its own, which is ended when it ends or is given up.
    // A bot still running from an earlier turn (it did not answer in time, or the wait was
    // stopped) is waited for first, as long as a reply would be; while it runs it is sent
    // nothing (busy). Whatever it left in its folder is replaced by the new request.
    Result exchange(std::string_view message);

    // Ends the link with the other bot: a bot still running is waited for at most waitMs, then
    // ended; then the request or reply this side left in its folder is removed, so that the
    // bot's next ordinary start does not answer a stale CHAT.MSG.
    void release(std::uint32_t waitMs);
    // The bot started by the last exchange is still running.
    bool botRunning();

    // Called on the exchange's thread as soon as the other bot's program has started.
    std::function<void()> onStarted;

    // How long the other bot may take. Tests shorten it.
    std::uint32_t timeoutMs = kLinkReplyTimeoutMs;
    // When set and it turns true, the wait for the other bot ends early, without a reply (the
    // other bot is left running, as after a time-out).
    const std::atomic<bool>* stopFlag = nullptr;

    // Decides what a CHAT.MSG read back after the other bot ended holds: its reply, or nothing
    // (no lines, an empty first line, or the request still in place).
    static bool decideReply(std::string_view contents, std::string_view ownName,
                            std::string& reply);
    // The same from its first lines, as read.
    static bool decideReply(const std::vector<std::string>& lines, std::string_view ownName,
                            std::string& reply);

private:
    void removeChatMsg() const;
    // Waits for child at most timeoutMs, ending early when stopFlag turns true.
    ChildProcess::WaitResult waitFor(ChildProcess& child);

    std::string folder_;
    std::string exePath_;
    std::string ownName_;
    std::string commandLine_;
    std::string chatPath_;
    // The bot of the last exchange while it may still be running; the CHAT.MSG it works on is
    // this side's to remove.
    std::unique_ptr<ChildProcess> running_;
};

}  // namespace vebix
