#pragma once
// The mind in a chat room: what the room says goes to the mind, and the mind's replies go back.
// Each channel is a conversation of its own (its name is the conversation key) and so is each
// person talking to the bot alone; the speaker is the nick. A line addressed to the bot in a
// channel ("robo: hi", "robo, hi") is answered there, after the speaker's nick; every private
// line is answered in private; other channel lines are learned and, at the chance set, answered.
// Notices, the bot's own lines and the ignored nicks are neither learned nor answered.
//
// Lines are taken in the order they came, one exchange at a time: what arrives meanwhile waits
// (a bounded number of lines; beyond that the oldest are dropped, with a note in the log).

#include <QObject>

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

#include "app/chat/chatsession.h"
#include "app/irc/ircsession.h"

namespace vebix::irc {

class BotLog;
class Room;

class RoomBot : public QObject {
    Q_OBJECT
public:
    struct Manner {
        bool learn = true;                 // learn what is said and answered
        int chancePercent = 0;             // unaddressed channel lines answered at this chance
        std::vector<std::string> ignored;  // nicks neither heard nor answered (other bots)
    };
    // Lines waiting for their turn, at most.
    static constexpr std::size_t kMaxWaitingLines = 256;

    // Says the room's lines through session's conversation; its mind must be loaded (opened
    // with no person, ChatSession::Options::withPerson false). session, room and log outlive
    // the bot.
    RoomBot(ChatSession& session, Room& room, Manner manner, BotLog& log,
            QObject* parent = nullptr);
    ~RoomBot() override;

    // A line heard in the room: taken in turn from the event loop.
    void hear(const RoomLine& line);

    // How many heard lines had their turn (learned, answered or left alone), and how many were
    // dropped while waiting.
    std::size_t linesTaken() const { return taken_; }
    std::size_t linesDropped() const { return dropped_; }

private:
    void takeWaiting();
    void take(const RoomLine& line);
    bool ignores(const std::string& nick) const;
    void learnOnly(const std::string& key, const std::string& nick, const std::string& text);

    ChatSession& session_;
    Room& room_;
    Manner manner_;
    BotLog& log_;
    std::deque<RoomLine> waiting_;
    bool taking_ = false;
    bool scheduled_ = false;
    // Where the reply of the exchange under way goes, and the nick it is addressed to (empty:
    // none).
    std::string replyTarget_;
    std::string replyAddressee_;
    std::size_t taken_ = 0;
    std::size_t dropped_ = 0;
};

}  // namespace vebix::irc
