#pragma once
// Time on the line to the server, kept by rules that take the time as an argument (a tick count
// in milliseconds), so that they are tested without waiting:
//   SendQueue    what the bot sends, paced so that a server never drops it for flooding
//   RequestLimit how many requests of one kind (client-to-client queries) get an answer
//   Backoff      how long to wait before connecting again after a lost connection

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace vebix::irc {

// Lines wait here and leave at the pace a server's flood rule allows: each line costs a fixed
// time plus a little per byte on a running account, which may run ahead of the clock by a
// short burst and no more. Lines of the connection itself (answers to pings, joins, nick
// changes, quitting) go before chat; chat beyond a limit drops its oldest lines, so that
// however much arrives the queue (and the time to empty it) stays bounded.
class SendQueue {
public:
    enum class Kind { Control, Chat };
    struct Pace {
        std::uint64_t lineMs = 800;     // what each line costs
        std::uint64_t perByteMs = 4;    // and each of its bytes (a 512-byte line about 2.8 s)
        std::uint64_t burstMs = 4000;   // how far the account may run ahead of the clock
        std::size_t maxChatLines = 24;  // chat lines kept waiting
    };

    SendQueue() = default;
    explicit SendQueue(Pace pace) : pace_(pace) {}

    void push(std::string line, Kind kind);
    // The next line when it may leave at nowMs (its cost is then charged), else nothing.
    std::optional<std::string> take(std::uint64_t nowMs);
    // When the next line may leave (nowMs or later), or nothing when none waits.
    std::optional<std::uint64_t> nextDueMs(std::uint64_t nowMs) const;
    // Drops what waits, for a new connection; the account starts afresh.
    void clear();

    std::size_t waiting() const { return control_.size() + chat_.size(); }
    // Chat lines dropped because too many waited, since the queue was made.
    std::size_t droppedChat() const { return dropped_; }

private:
    Pace pace_;
    std::deque<std::string> control_;
    std::deque<std::string> chat_;
    std::uint64_t account_ = 0;  // the time up to which the line is taken
    std::size_t dropped_ = 0;
};

// At most `count` requests in any `windowMs`: a bucket that refills one request every
// windowMs / count.
class RequestLimit {
public:
    RequestLimit(std::size_t count, std::uint64_t windowMs) : count_(count), windowMs_(windowMs) {}
    // Whether a request at nowMs may be answered (and counts it).
    bool allow(std::uint64_t nowMs);

private:
    std::size_t count_;
    std::uint64_t windowMs_;
    std::uint64_t account_ = 0;  // like SendQueue's: the time up to which answers are spent
};

// The wait before the next connection attempt: from `firstMs`, doubling with each failure up to
// `maxMs`, each drawn between three quarters and the whole of it (from the program's random
// generator), so that many bots cut off at once do not all come back at the same moment.
class Backoff {
public:
    struct Limits {
        std::uint64_t firstMs = 2000;
        std::uint64_t maxMs = 300000;
    };
    Backoff() = default;
    explicit Backoff(Limits limits) : limits_(limits) {}

    // The wait before the next attempt; each call lengthens the one after it.
    std::uint64_t nextDelayMs();
    // After a connection that held: the next wait is the first again.
    void reset() { step_ = limits_.firstMs; }

private:
    Limits limits_;
    std::uint64_t step_ = limits_.firstMs;
};

}  // namespace vebix::irc
