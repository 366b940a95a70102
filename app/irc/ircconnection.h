#pragma once
// The line to one chat server, held as a good client holds it: connects (with TLS and the
// certificate checked, unless told otherwise by name), registers and joins through IrcSession,
// sends through the paced SendQueue, asks a quiet server whether it is still there, and after a
// lost connection or a server restart connects again with a growing wait and joins again.
// Every decision about time reads the program's clock (engine/base/clock.h), so a test moves
// time instead of waiting for it; a timer only wakes the connection when something is due.

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <string>
#include <string_view>

#include "app/irc/ircsession.h"
#include "app/irc/pacing.h"

class QSslSocket;

namespace vebix::irc {

class BotLog;

// Where the bot talks: who it is there, and saying something there. The connection is one; the
// tests of the room's bot have their own.
class Room {
public:
    virtual ~Room() = default;
    // The nick the bot has now, and the one it asked for (taken, the bot goes by another).
    virtual const std::string& nick() const = 0;
    virtual const std::string& wantedNick() const = 0;
    virtual void say(const std::string& target, std::string_view text) = 0;
};

struct ServerAddress {
    std::string host;
    std::uint16_t port = 6667;
    bool tls = false;
    // TLS without checking the server's certificate: only when asked for by name.
    bool verifyCertificate = true;
    // Trusted besides the system's authorities (a server's own authority or certificate).
    QList<QSslCertificate> extraAuthorities;
};

class IrcConnection : public QObject, public Room, private IrcSession::Events {
    Q_OBJECT
public:
    // The connection's waits, in milliseconds.
    struct Timing {
        std::uint64_t connectMs = 30000;     // to connect and register
        std::uint64_t quietMs = 120000;      // nothing heard this long: a PING asks
        std::uint64_t pingAnswerMs = 60000;  // no answer to it this long: the line is lost
        std::uint64_t stableMs = 60000;      // registered this long: the next wait is short again
        std::uint64_t quitMs = 5000;         // for the server to close after QUIT
        Backoff::Limits backoff;
        SendQueue::Pace pace;
    };

    IrcConnection(ServerAddress server, Identity identity, BotLog& log, QObject* parent = nullptr);
    ~IrcConnection() override;

    // Connects; from then on the connection keeps itself up until quit() or refusal.
    void start();
    // Leaves with QUIT and message, waits a little for the server to close, then finished().
    void quit(const std::string& message);

    const std::string& nick() const override { return session_.nick(); }
    const std::string& wantedNick() const override { return session_.wantedNick(); }
    void say(const std::string& target, std::string_view text) override;

    bool isRegistered() const { return state_ == State::Online && session_.isRegistered(); }
    bool isIn(std::string_view channel) const { return isRegistered() && session_.isIn(channel); }

signals:
    void lineHeard(const vebix::irc::RoomLine& line);
    // After quit(): the connection is closed.
    void finished();
    // The server refuses the bot for good (see IrcSession::Events::refused); closed.
    void gaveUp(const QString& reason);

private:
    friend class IrcConnectionTestAccess;
    enum class State { Idle, Connecting, Online, Waiting, Quitting, Finished };

    // IrcSession::Events
    void send(std::string line, SendQueue::Kind kind) override;
    void heard(const RoomLine& line) override { emit lineHeard(line); }
    void note(const std::string& text) override;
    void registered() override;
    void refused(const std::string& reason) override;

    void connectNow();
    void onConnected();
    void onReadyRead();
    // The connection ended or is given up: connect again after a wait, or finish.
    void drop(const std::string& reason);
    // Acts on whatever is due now, then sets the timer for the next thing due.
    void service();
    void pump(std::uint64_t nowMs);
    void write(const std::string& line);
    void finish();

    ServerAddress server_;
    BotLog& log_;
    IrcSession session_;
    Timing timing_;
    SendQueue queue_;
    Backoff backoff_;
    QSslSocket* socket_;
    QTimer wake_;
    State state_ = State::Idle;
    std::string readBuffer_;
    bool skippingLongLine_ = false;
    std::uint64_t connectAt_ = 0;
    std::uint64_t lastHeardAt_ = 0;
    std::uint64_t pingSentAt_ = 0;  // 0: no PING of ours unanswered
    std::uint64_t registeredAt_ = 0;
    std::uint64_t reconnectAt_ = 0;
    std::uint64_t quitDeadline_ = 0;
};

}  // namespace vebix::irc
