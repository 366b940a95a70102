#include "app/irc/ircsession.h"

#include <QByteArray>

#include "app/irc/roomtext.h"
#include "engine/base/ascii.h"

namespace vebix::irc {
namespace {

// The nick length the protocol's first rules set, which servers that refuse a longer nick keep.
constexpr std::size_t kClassicNickLength = 9;
// The longest host name a server may show in the bot's prefix before it has shown the real one.
constexpr std::size_t kLongestHost = 63;
// SASL answers go in pieces of this many bytes of base64.
constexpr std::size_t kSaslChunk = 400;

bool hasWord(std::string_view list, std::string_view word) {
    while (!list.empty()) {
        const std::size_t blank = list.find(' ');
        std::string_view item = list.substr(0, blank);
        item = item.substr(0, item.find('='));  // "sasl=PLAIN,EXTERNAL"
        if (equalsIgnoringAsciiCase(item, word)) return true;
        if (blank == std::string_view::npos) break;
        list.remove_prefix(blank + 1);
    }
    return false;
}

}  // namespace

std::optional<std::string_view> addressedText(std::string_view text, std::string_view nick) {
    if (nick.empty() || text.size() <= nick.size() || !sameName(text.substr(0, nick.size()), nick))
        return std::nullopt;
    const char mark = text[nick.size()];
    if (mark != ':' && mark != ',') return std::nullopt;
    return trimAsciiSpace(text.substr(nick.size() + 1));
}

IrcSession::IrcSession(Identity identity, Events& events)
    : identity_(std::move(identity)), events_(events), nick_(identity_.nick) {}

bool IrcSession::isIn(std::string_view channel) const {
    return joined_.count(foldCase(channel)) != 0;
}

void IrcSession::start() {
    registered_ = false;
    nickAttempt_ = 0;
    nick_ = identity_.nick;
    ownPrefix_.clear();
    joined_.clear();
    capabilities_.clear();
    if (!identity_.serverPassword.empty()) send(formatLine("PASS", {}, identity_.serverPassword));
    // Capabilities are asked for only to log in with SASL; a server that knows none still
    // registers the bot after NICK and USER.
    if (!identity_.saslUser.empty()) send(formatLine("CAP", {"LS", "302"}));
    send(formatLine("NICK", {nick_}));
    send(formatLine("USER", {identity_.userName, "0", "*"}, identity_.realName));
}

void IrcSession::handle(std::string_view line, std::uint64_t nowMs) {
    if (const auto m = parseMessage(line)) handleMessage(*m, nowMs);
}

void IrcSession::handleMessage(const Message& m, std::uint64_t nowMs) {
    const std::string& c = m.command;
    const std::string_view from = nickOf(m.prefix);
    if (c == "PING") {
        send(formatLine("PONG", {}, m.param(0)));
    } else if (c == "PRIVMSG" || c == "NOTICE") {
        handlePrivmsg(m, c == "NOTICE", nowMs);
    } else if (c == "001") {
        onRegistered(m);
    } else if (c == "005") {
        // A server that marks bots says so ("BOT=B"); the bot then marks itself.
        for (std::size_t i = 1; i + 1 < m.params.size(); ++i)
            if (m.params[i].starts_with("BOT=") && m.params[i].size() > 4)
                send(formatLine("MODE", {nick_, std::string("+").append(m.params[i], 4)}));
    } else if (c == "433" || c == "432" || c == "436" || c == "437") {
        if (!registered_)
            tryNextNick(c == "432");
        else
            events_.note("the nick " + std::string(m.param(1)) +
                         " is not free: " + std::string(m.param(2)));
    } else if (c == "464") {
        events_.refused("the server refused the password: " + std::string(m.param(1)));
    } else if (c == "CAP") {
        handleCap(m);
    } else if (c == "AUTHENTICATE") {
        handleAuthenticate(m);
    } else if (c == "900" || c == "903") {
        if (c == "903") {
            events_.note("logged in with SASL");
            send(formatLine("CAP", {"END"}));
        }
    } else if (c == "902" || c == "904" || c == "905" || c == "906" || c == "908") {
        events_.refused("SASL login failed: " +
                        std::string(m.params.empty() ? "" : m.params.back()));
    } else if (c == "JOIN") {
        const std::string channel(m.param(0));
        if (sameName(from, nick_)) {
            ownPrefix_ = m.prefix;
            joined_.insert(foldCase(channel));
            events_.note("joined " + channel);
        }
    } else if (c == "PART") {
        if (sameName(from, nick_)) joined_.erase(foldCase(m.param(0)));
    } else if (c == "KICK") {
        if (sameName(m.param(1), nick_)) {
            joined_.erase(foldCase(m.param(0)));
            events_.note("kicked from " + std::string(m.param(0)) + " by " + std::string(from) +
                         ": " + std::string(m.param(2)));
        }
    } else if (c == "NICK") {
        if (sameName(from, nick_)) {
            nick_ = std::string(m.param(0));
            if (!ownPrefix_.empty()) ownPrefix_ = nick_ + ownPrefix_.substr(from.size());
            events_.note("now known as " + nick_);
        } else if (sameName(from, identity_.nick) && !sameName(nick_, identity_.nick)) {
            // The nick the bot wanted has just become free.
            send(formatLine("NICK", {identity_.nick}));
        }
    } else if (c == "QUIT") {
        if (sameName(from, identity_.nick) && !sameName(nick_, identity_.nick))
            send(formatLine("NICK", {identity_.nick}));
    } else if (c == "ERROR") {
        // Some servers refuse a wrong password with no 464, only a closing ERROR naming it;
        // connecting again would only be refused again.
        const std::string reason(m.param(0));
        if (!registered_ && !identity_.serverPassword.empty() &&
            lowerAscii(reason).find("password") != std::string::npos)
            events_.refused("the server refused the password: " + reason);
        else
            events_.note("the server closes the connection: " + reason);
    } else if (c == "403" || c == "405" || c == "471" || c == "473" || c == "474" || c == "475" ||
               c == "477") {
        events_.note("cannot join " + std::string(m.param(1)) + ": " + std::string(m.param(2)));
    }
}

void IrcSession::handleCap(const Message& m) {
    const std::string_view sub = m.param(1);
    if (sub == "LS") {
        // "CAP * LS * :a b" continues on the next line; the last one has no "*".
        const bool more = m.params.size() > 3 && m.param(2) == "*";
        if (!capabilities_.empty()) capabilities_ += ' ';
        capabilities_ += m.params.back();
        if (more) return;
        if (hasWord(capabilities_, "sasl"))
            send(formatLine("CAP", {"REQ"}, "sasl"));
        else
            events_.refused("the server does not offer SASL login");
    } else if (sub == "ACK") {
        if (hasWord(m.params.back(), "sasl")) send(formatLine("AUTHENTICATE", {"PLAIN"}));
    } else if (sub == "NAK") {
        events_.refused("the server refused SASL login");
    }
}

void IrcSession::handleAuthenticate(const Message& m) {
    if (m.param(0) != "+") return;
    std::string plain = identity_.saslUser;
    plain += '\0';
    plain += identity_.saslUser;
    plain += '\0';
    plain += identity_.saslPassword;
    const QByteArray encoded =
        QByteArray(plain.data(), static_cast<qsizetype>(plain.size())).toBase64();
    std::string_view rest(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    for (;;) {
        const std::string_view chunk = rest.substr(0, kSaslChunk);
        send("AUTHENTICATE " + std::string(chunk));
        rest.remove_prefix(chunk.size());
        if (chunk.size() < kSaslChunk) break;
        // A last piece of exactly the chunk's size is followed by an empty one.
        if (rest.empty()) {
            send("AUTHENTICATE +");
            break;
        }
    }
}

std::string IrcSession::nickCandidate(int attempt) const {
    static constexpr const char* kSuffixes[] = {"", "_", "__"};
    const std::string suffix = attempt < 3 ? kSuffixes[attempt] : std::to_string(attempt - 2);
    std::string base = identity_.nick;
    if (maxNickLength_ != 0 && base.size() + suffix.size() > maxNickLength_)
        base.resize(maxNickLength_ > suffix.size() ? maxNickLength_ - suffix.size() : 1);
    return base + suffix;
}

void IrcSession::tryNextNick(bool refusedAsErroneous) {
    if (refusedAsErroneous && maxNickLength_ == 0 && nick_.size() > kClassicNickLength) {
        // Refused for its length, most likely: the same try within the classic length.
        maxNickLength_ = kClassicNickLength;
    } else if (refusedAsErroneous && nickAttempt_ == 0) {
        events_.refused("the server does not accept the nick " + identity_.nick);
        return;
    } else {
        ++nickAttempt_;
    }
    if (nickAttempt_ >= kNickTries) {
        events_.refused("no free nick found after " + std::to_string(kNickTries) + " tries");
        return;
    }
    const std::string next = nickCandidate(nickAttempt_);
    events_.note("the nick " + nick_ + " is taken or refused; trying " + next);
    nick_ = next;
    send(formatLine("NICK", {nick_}));
}

void IrcSession::onRegistered(const Message& m) {
    registered_ = true;
    if (!m.param(0).empty()) nick_ = std::string(m.param(0));
    events_.note("registered as " + nick_);
    events_.registered();
    joinChannels();
}

void IrcSession::joinChannels() {
    // As few JOIN lines as the line length allows.
    std::string list;
    auto flush = [&] {
        if (!list.empty()) send(formatLine("JOIN", {list}));
        list.clear();
    };
    for (const std::string& channel : identity_.channels) {
        if (!list.empty() && list.size() + 1 + channel.size() + 5 > kMaxContentBytes) flush();
        if (!list.empty()) list += ',';
        list += channel;
    }
    flush();
}

void IrcSession::handlePrivmsg(const Message& m, bool notice, std::uint64_t nowMs) {
    if (m.params.size() < 2) return;
    const std::string_view from = nickOf(m.prefix);
    // Lines of the server itself, and the bot's own lines should the server echo them.
    if (from.empty() || m.prefix.find('!') == std::string::npos || sameName(from, nick_)) return;
    RoomLine line;
    line.nick = std::string(from);
    line.target = m.params[0];
    line.text = m.params[1];
    line.kind = notice ? RoomLine::Kind::Notice : RoomLine::Kind::Message;
    if (const auto ctcp = parseCtcp(line.text)) {
        // Answers to queries arrive as notices and are never answered in turn.
        if (notice) return;
        if (ctcp->command == "ACTION") {
            line.kind = RoomLine::Kind::Action;
            line.text = ctcp->argument;
            events_.heard(line);
            return;
        }
        std::string answer;
        if (ctcp->command == "VERSION")
            answer = formatCtcp("VERSION", identity_.version);
        else if (ctcp->command == "PING")
            answer = formatCtcp("PING", cutAtCharacter(ctcp->argument, 64));
        else if (ctcp->command == "CLIENTINFO")
            answer = formatCtcp("CLIENTINFO", "ACTION CLIENTINFO PING VERSION");
        // A flood of queries gets a few answers, never a flood of them.
        if (!answer.empty() && queries_.allow(nowMs))
            send(formatLine("NOTICE", {from}, answer), SendQueue::Kind::Chat);
        return;
    }
    events_.heard(line);
}

std::size_t IrcSession::prefixLength() const {
    const std::size_t prefix =
        !ownPrefix_.empty() ? ownPrefix_.size()
                            : nick_.size() + 2 + identity_.userName.size() + 1 + kLongestHost;
    return 1 + prefix + 1;  // ':' and the blank after it
}

void IrcSession::say(const std::string& target, std::string_view text) {
    const std::string clean = plainText(text);
    const std::size_t overhead = prefixLength() + 8 + target.size() + 2;  // "PRIVMSG " t " :"
    if (overhead >= kMaxContentBytes) return;
    for (const std::string& piece : splitText(clean, kMaxContentBytes - overhead, kMaxReplyLines))
        send(formatLine("PRIVMSG", {target}, piece), SendQueue::Kind::Chat);
}

}  // namespace vebix::irc
