#include "app/irc/roombot.h"

#include <QTimer>

#include <exception>

#include "app/irc/botlog.h"
#include "app/irc/ircconnection.h"
#include "app/irc/roomtext.h"
#include "app/chat/conversation.h"
#include "app/mind/mindkeeper.h"
#include "app/mind/vebixai.h"
#include "engine/ai/mindline.h"
#include "engine/base/clock.h"
#include "engine/base/random.h"

namespace vebix::irc {

RoomBot::RoomBot(ChatSession& session, Room& room, Manner manner, BotLog& log, QObject* parent)
    : QObject(parent), session_(session), room_(room), manner_(std::move(manner)), log_(log) {
    Conversation& conversation = session_.conversation();
    auto answer = [this](const QString& text) {
        if (replyTarget_.empty()) return;
        const std::string reply = text.toStdString();
        room_.say(replyTarget_, replyAddressee_.empty() ? reply : replyAddressee_ + ": " + reply);
    };
    connect(&conversation, &Conversation::replied, this, answer);
    connect(&conversation, &Conversation::probeAnswered, this, answer);
    connect(&conversation, &Conversation::unableToReply, this, [this](const QString&) {
        log_.detail("no reply found for a line in " + replyTarget_);
    });
}

RoomBot::~RoomBot() = default;

void RoomBot::hear(const RoomLine& line) {
    waiting_.push_back(line);
    if (waiting_.size() > kMaxWaitingLines) {
        waiting_.pop_front();
        if (dropped_++ % kMaxWaitingLines == 0)
            log_.line("the room says more than the mind can take in; dropping waiting lines");
    }
    // Taken from the event loop, not inside the socket's handler that heard it; and the
    // exchange under way may itself let the event loop run, while lines keep coming.
    if (!taking_ && !scheduled_) {
        scheduled_ = true;
        QTimer::singleShot(0, this, &RoomBot::takeWaiting);
    }
}

void RoomBot::takeWaiting() {
    scheduled_ = false;
    if (taking_) return;
    taking_ = true;
    while (!waiting_.empty()) {
        const RoomLine line = std::move(waiting_.front());
        waiting_.pop_front();
        ++taken_;
        try {
            take(line);
        } catch (const std::exception& e) {
            log_.line(std::string("a line could not be taken in: ") + e.what());
        }
    }
    taking_ = false;
}

bool RoomBot::ignores(const std::string& nick) const {
    if (sameName(nick, room_.nick())) return true;
    for (const std::string& ignored : manner_.ignored)
        if (sameName(nick, ignored)) return true;
    return false;
}

void RoomBot::take(const RoomLine& line) {
    if (line.kind == RoomLine::Kind::Notice || ignores(line.nick) || !session_.keeper().bot())
        return;
    std::string text = plainText(line.text);
    if (line.kind == RoomLine::Kind::Action) text = line.nick + " " + text;
    if (text.empty()) return;

    Conversation::Turn turn;
    turn.speaker = line.nick;
    turn.learn = manner_.learn;
    replyAddressee_.clear();
    if (line.isPrivate()) {
        turn.key = line.nick;
        turn.typed = text;
        replyTarget_ = line.nick;
    } else {
        turn.key = line.target;
        replyTarget_ = line.target;
        std::optional<std::string_view> addressed;
        if (line.kind == RoomLine::Kind::Message) {
            addressed = addressedText(text, room_.nick());
            if (!addressed) addressed = addressedText(text, room_.wantedNick());
        }
        if (addressed) {
            turn.typed = std::string(*addressed);
            replyAddressee_ = line.nick;
        } else if (manner_.chancePercent > 0 &&
                   static_cast<int>(rng::next() % 100) < manner_.chancePercent) {
            turn.typed = text;
        } else {
            learnOnly(turn.key, line.nick, text);
            return;
        }
    }
    if (!session_.conversation().say(turn)) learnOnly(turn.key, line.nick, turn.typed);
    replyTarget_.clear();
}

void RoomBot::learnOnly(const std::string& key, const std::string& nick, const std::string& text) {
    if (!manner_.learn || text.empty()) return;
    const std::uint32_t now = clock().nowSeconds();
    MindKeeper& keeper = session_.keeper();
    keeper.bot()->addLine(key, std::to_string(now), nick, text);
    keeper.noteUserLine(now);
    // Learned without an exchange: the autosave and the closing save it all the same.
    keeper.requestSave();
}

}  // namespace vebix::irc
