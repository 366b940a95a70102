#pragma once
// The clock of the tests: time that moves only when the test moves it, put in force for a scope.

#include <atomic>
#include <cstdint>

#include "engine/base/clock.h"

namespace vebix {

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
