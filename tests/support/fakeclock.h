#pragma once
// The clock of the tests: time that moves only when the test moves it, put in force for a scope.

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "engine/base/clock.h"

namespace vebix {

// A clock that moves only when told to; sleepMs moves it instead of waiting.
//
// A wait for a descriptor (a child process ending) ends when the descriptor is readable, or
// when the time it was given has passed on this clock: the test moves the clock from another
// thread, or lets waits pass at once (expireWaits). Until then it waits for the descriptor as
// long as that takes, so that a child that answers is waited for however slow the machine.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::uint32_t seconds = 1700000000, std::uint64_t tick = 1000000)
        : seconds_(seconds), tick_(tick) {}
    std::uint32_t nowSeconds() override { return seconds_.load(); }
    std::uint64_t tickMs() override { return tick_.load(); }
    void sleepMs(std::uint32_t ms) override { advanceMs(ms); }
    bool waitReadable(int fd, std::uint32_t ms) override {
        std::unique_lock<std::mutex> lock(mutex_);
        const std::uint64_t deadline = tick_.load() + ms;
        ++waiting_;
        changed_.notify_all();
        bool readable = false;
        for (;;) {
            if (ready(fd)) {
                readable = true;
                break;
            }
            if (expireWaits_) tick_.store(std::max(tick_.load(), deadline));
            if (tick_.load() >= deadline) break;
            // The descriptor cannot be waited on together with the condition: it is looked at
            // again every few milliseconds, the clock's moves wake the wait at once.
            changed_.wait_for(lock, std::chrono::milliseconds(5));
        }
        --waiting_;
        return readable;
    }

    void setSeconds(std::uint32_t s) { seconds_ = s; }
    void advanceSeconds(std::uint32_t s) { seconds_ += s; }
    void advanceMs(std::uint64_t ms) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            tick_ += ms;
        }
        changed_.notify_all();
    }
    // From now on a wait for a descriptor that is not readable moves the clock to the end of
    // its time at once and times out, as if nothing had come in the time given.
    void expireWaits() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            expireWaits_ = true;
        }
        changed_.notify_all();
    }
    // Returns once some thread waits for a descriptor on this clock.
    void awaitWaiter() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return waiting_ > 0; });
    }

private:
    static bool ready(int fd) {
        pollfd p{fd, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    std::atomic<std::uint32_t> seconds_;
    std::atomic<std::uint64_t> tick_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;
    bool expireWaits_ = false;
};

// Puts a clock in force for the lifetime of this object, then restores the previous one.
class ScopedClock {
public:
    explicit ScopedClock(Clock& replacement) : previous_(replaceClock(&replacement)) {}
    ~ScopedClock() { replaceClock(previous_); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace vebix
