#pragma once
// The one clock of the program: wall time in whole seconds since 1970 (stamps of learned lines,
// recency, autosave) and a millisecond tick count (response delays, time-outs).
//
// Tests replace it with a FakeClock through ScopedClock; nothing in the program reads the system
// clock any other way, and nothing sleeps except through sleepMs, so a test never waits for real.

#include <atomic>
#include <cstdint>

namespace vebix {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 00:00 UTC.
    virtual std::uint32_t nowSeconds() = 0;
    // A monotonic millisecond count with an arbitrary origin.
    virtual std::uint64_t tickMs() = 0;
    // Lets at least ms milliseconds pass.
    virtual void sleepMs(std::uint32_t ms) = 0;
};

// The clock in force (the system clock unless a test replaced it). Outside namespace vebix write
// vebix::clock(), since the C library has a clock() of its own.
Clock& clock();

// A clock that moves only when told to; sleepMs moves it instead of waiting.
class FakeClock : public Clock {
public:
    explicit FakeClock(std::uint32_t seconds = 1700000000, std::uint64_t tick = 1000000)
        : seconds_(seconds), tick_(tick) {}
    std::uint32_t nowSeconds() override { return seconds_.load(); }
    std::uint64_t tickMs() override { return tick_.load(); }
    void sleepMs(std::uint32_t ms) override { advanceMs(ms); }

    void setSeconds(std::uint32_t s) { seconds_ = s; }
    void advanceSeconds(std::uint32_t s) { seconds_ += s; }
    void advanceMs(std::uint64_t ms) { tick_ += ms; }

private:
    std::atomic<std::uint32_t> seconds_;
    std::atomic<std::uint64_t> tick_;
};

// Installs a clock for the lifetime of this object, then restores the previous one.
class ScopedClock {
public:
    explicit ScopedClock(Clock& replacement);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

}  // namespace vebix
