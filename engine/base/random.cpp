#include "engine/base/random.h"

#include <atomic>
#include <chrono>
#include <unistd.h>

namespace vebix::rng {
namespace {

// splitmix64 over an atomic counter: one fetch_add per value, so two threads never see the same
// state and never block each other.
constexpr std::uint64_t kGolden = 0x9E3779B97F4A7C15ull;

std::uint64_t initialState() {
    auto t =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    return t ^ (static_cast<std::uint64_t>(::getpid()) << 32);
}

std::atomic<std::uint64_t>& state() {
    static std::atomic<std::uint64_t> s{initialState()};
    return s;
}

}  // namespace

std::uint32_t next() {
    std::uint64_t z = state().fetch_add(kGolden, std::memory_order_relaxed) + kGolden;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return static_cast<std::uint32_t>(z >> 32);
}

void seed(std::uint64_t value) { state().store(value, std::memory_order_relaxed); }

}  // namespace vebix::rng
