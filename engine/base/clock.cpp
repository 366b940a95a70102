#include "engine/base/clock.h"

#include <poll.h>

#include <atomic>
#include <cerrno>
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
    bool waitReadable(int fd, std::uint32_t ms) override {
        // A signal handled meanwhile cuts the poll short; the wait goes on for the time left.
        const std::uint64_t deadline = tickMs() + ms;
        for (;;) {
            pollfd p{fd, POLLIN, 0};
            const std::uint64_t now = tickMs();
            const std::uint64_t left = now < deadline ? deadline - now : 0;
            const int n = ::poll(&p, 1, static_cast<int>(left));
            if (n > 0) return true;
            if (n == 0 || errno != EINTR) return false;
        }
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
