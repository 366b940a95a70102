#pragma once
// One connection's conversation with a chat server, as lines in and lines out, without the
// socket or the clock: registering (server password, SASL PLAIN, a nick that is taken), pings,
// joining the channels, following the bot's own nick, answering client-to-client queries, and
// handing on what people say. IrcConnection (ircconnection.h) feeds it the server's lines; the
// tests feed it theirs.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/irc/ircmessage.h"
#include "app/irc/pacing.h"

namespace vebix::irc {

// Something said where the bot hears it: in one of its channels or to it alone.
struct RoomLine {
    enum class Kind { Message, Notice, Action };
    Kind kind = Kind::Message;
    std::string nick;    // who said it
    std::string target;  // the channel, or the bot's own nick when said to it alone
    std::string text;    // as it came (an action: what follows its "ACTION")
    bool isPrivate() const { return !isChannelName(target); }
};

// Who the bot is on the server and where it goes.
struct Identity {
    std::string nick;
    std::string userName = "vebix";
    std::string realName = "Vebix";
    std::string serverPassword;  // empty: none
    std::string saslUser;        // empty: no SASL
    std::string saslPassword;
    std::vector<std::string> channels;
    std::string version;  // the answer to a VERSION query
};

class IrcSession {
public:
    // What the session does in the world; implemented by the connection.
    class Events {
    public:
        virtual ~Events() = default;
        virtual void send(std::string line, SendQueue::Kind kind) = 0;
        virtual void heard(const RoomLine& line) = 0;
        // A line for the log, as it came from the server (the log escapes it).
        virtual void note(const std::string& text) = 0;
        // Registration is complete.
        virtual void registered() {}
        // The server refuses the bot in a way that trying again will not change (a wrong
        // password, a failed SASL login, no nick it accepts).
        virtual void refused(const std::string& reason) = 0;
    };

    // How many nicks are tried when the wanted one is taken.
    static constexpr int kNickTries = 20;
    // Client-to-client queries answered: at most this many in this window.
    static constexpr std::size_t kQueryAnswers = 4;
    static constexpr std::uint64_t kQueryWindowMs = 20000;
    // Of a reply too long for one line, how many lines are sent.
    static constexpr std::size_t kMaxReplyLines = 3;

    IrcSession(Identity identity, Events& events);

    // A new connection: forgets the last one and registers.
    void start();
    // One line from the server, without its line end, at the time nowMs.
    void handle(std::string_view line, std::uint64_t nowMs);

    // Says text to target (a channel or a nick) in as many lines as it needs, up to
    // kMaxReplyLines, each within the protocol's limit with the bot's own prefix the server
    // adds. Control characters are sent as blanks.
    void say(const std::string& target, std::string_view text);

    const std::string& nick() const { return nick_; }
    const std::string& wantedNick() const { return identity_.nick; }
    bool isRegistered() const { return registered_; }
    // Whether the bot is in channel now.
    bool isIn(std::string_view channel) const;

private:
    void send(std::string line, SendQueue::Kind kind = SendQueue::Kind::Control) {
        events_.send(std::move(line), kind);
    }
    void handleMessage(const Message& m, std::uint64_t nowMs);
    void handleCap(const Message& m);
    void handleAuthenticate(const Message& m);
    void handlePrivmsg(const Message& m, bool notice, std::uint64_t nowMs);
    void tryNextNick(bool refusedAsErroneous);
    void onRegistered(const Message& m);
    void joinChannels();
    std::string nickCandidate(int attempt) const;
    // How long the bot's own prefix (":nick!user@host ") is as the server relays its lines.
    std::size_t prefixLength() const;

    Identity identity_;
    Events& events_;
    std::string nick_;
    bool registered_ = false;
    int nickAttempt_ = 0;
    std::size_t maxNickLength_ = 0;  // 0: not known to be limited
    std::string ownPrefix_;          // "nick!user@host" once the server has shown it
    std::set<std::string> joined_;   // folded channel names
    std::string capabilities_;       // collected from a CAP LS that spans lines
    RequestLimit queries_{kQueryAnswers, kQueryWindowMs};
};

// The rest of a channel line addressed to nick ("robo: hi", "Robo, hi"), or nothing when it is
// not addressed to it. Nicks compare by IRC's case rules.
std::optional<std::string_view> addressedText(std::string_view text, std::string_view nick);

}  // namespace vebix::irc
