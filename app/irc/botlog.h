#pragma once
// The chat-room bot's log: one line per event on a stream (standard error, which the journal
// takes when the bot runs as a service), each with the time and "vebix irc:" in front. Every
// line is escaped (roomtext.h) on its way out, so text from the room never reaches it raw.

#include <iosfwd>
#include <string_view>

namespace vebix::irc {

class BotLog {
public:
    // verbose: also the lines read from and sent to the server.
    BotLog(std::ostream& out, bool verbose) : out_(out), verbose_(verbose) {}

    void line(std::string_view text);
    // Only in verbose mode.
    void detail(std::string_view text) {
        if (verbose_) line(text);
    }
    bool verbose() const { return verbose_; }

private:
    std::ostream& out_;
    bool verbose_;
};

}  // namespace vebix::irc
