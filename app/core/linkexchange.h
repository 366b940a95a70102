#pragma once
// One turn of link mode, seen from the link-program side of the CHAT.MSG exchange: write the
// request into the other bot's folder, start the other bot there, wait for it, read its reply
// and decide whether it is one. No window is involved; link mode's thread calls this once a
// turn.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace vebix {

inline constexpr std::uint32_t kLinkReplyTimeoutMs = 15000;
inline constexpr std::string_view kExeNotFoundMessage = "UDLP bot exe file not found ";

class LinkExchange {
public:
    struct Result {
        bool started = false;    // the other bot's program was started
        bool gotReply = false;
        std::string reply;       // the other bot's line, when gotReply
        std::string error;       // a failure to show (caption "UDLP Error"), else empty
    };

    // folder: the other bot's folder; exePath: its executable; ownName: the name this side
    // signs its requests with (the loaded bot's name).
    LinkExchange(std::string folder, std::string exePath, std::string ownName);

    // The command line the other bot is started with: its executable path in double quotes.
    const std::string& commandLine() const { return commandLine_; }

    // Runs one exchange. Throws Error only when the request cannot be written (that ends link
    // mode); everything that goes wrong with the other bot gives a result without a reply.
    Result exchange(std::string_view message);

    // How long the other bot may take. Tests shorten it.
    std::uint32_t timeoutMs = kLinkReplyTimeoutMs;
    // When set and it turns true, the wait for the other bot ends early, without a reply (the
    // other bot is left running, as after a time-out).
    const std::atomic<bool>* stopFlag = nullptr;

    // Decides what a CHAT.MSG read back after the other bot ended holds: its reply, or nothing
    // (no lines, an empty first line, or the request still in place).
    static bool decideReply(std::string_view contents, std::string_view ownName,
                            std::string& reply);

private:
    std::string folder_;
    std::string exePath_;
    std::string ownName_;
    std::string commandLine_;
    std::string chatPath_;
};

}  // namespace vebix
