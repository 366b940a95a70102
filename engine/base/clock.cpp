#include "engine/base/clock.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace vebix {
namespace {

class SystemClock : public Clock {
public:
    std::uint32_t nowSeconds() override {
        auto s = std::chrono::duration_cast<std::chrono::seconds>(
                     std::chrono::system_clock::now().time_since_epoch())
                     .count();
        return static_cast<std::uint32_t>(s);
    }
    std::uint64_t tickMs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count());
    }
    void sleepMs(std::uint32_t ms) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
};

SystemClock systemClock;
std::atomic<Clock*> current{&systemClock};

}  // namespace

Clock& clock() { return *current.load(); }

Clock* replaceClock(Clock* replacement) {
    return current.exchange(replacement ? replacement : &systemClock);
}

}  // namespace vebix
