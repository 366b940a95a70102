// Any bytes as lines from a chat server and as text from a room: no crash; nothing the session
// sends back breaks the protocol (one line, at most 510 bytes, whole UTF-8 where the input was);
// the log's escapes and the mind's plain text hold no control character.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/irc/ircsession.h"
#include "app/irc/roomtext.h"
#include "engine/base/lines.h"

namespace {

class Checked : public vebix::irc::IrcSession::Events {
public:
    void send(std::string line, vebix::irc::SendQueue::Kind) override {
        if (line.size() > vebix::irc::kMaxContentBytes) std::abort();
        for (char c : line)
            if (c == '\r' || c == '\n' || c == '\0') std::abort();
    }
    void heard(const vebix::irc::RoomLine& line) override {
        for (char c : vebix::irc::plainText(line.text))
            if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') std::abort();
    }
    void note(const std::string& text) override {
        for (char c : vebix::irc::escapeForLog(text))
            if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') std::abort();
    }
    void refused(const std::string&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    Checked events;
    vebix::irc::Identity id;
    id.nick = "robo";
    id.channels = {"#room"};
    id.saslUser = "robo";
    id.saslPassword = "pw";
    vebix::irc::IrcSession session(id, events);
    session.start();
    std::uint64_t now = 1000;
    vebix::forEachLine(bytes, [&](std::string_view line) { session.handle(line, now += 100); });
    session.say("#room", bytes);
    session.say(std::string(bytes.substr(0, 40)), bytes);
    for (char c : vebix::irc::escapeForLog(bytes))
        if (static_cast<unsigned char>(c) < 0x20 || c == '\x7F') std::abort();
    return 0;
}
