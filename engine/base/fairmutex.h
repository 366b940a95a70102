#pragma once
// A mutex that lets waiting threads in the order they came. A plain mutex lets the thread that
// just unlocked it take it again at once, so a worker going through a long job in short
// locked steps could keep a waiting thread out until the whole job is done; with this one the
// waiting thread goes next.
//
// Meets BasicLockable; held with MutexLock (mutex.h), which the thread-safety analysis follows.
// Not recursive.

#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "engine/base/threadannotations.h"

namespace vebix {

class VEBIX_CAPABILITY("mutex") FairMutex {
public:
    void lock() VEBIX_ACQUIRE() {
        std::unique_lock<std::mutex> guard(mutex_);
        const std::uint64_t ticket = next_++;
        turn_.wait(guard, [&] { return serving_ == ticket; });
    }
    // How many threads wait for their turn (a snapshot, for diagnostics and tests).
    std::uint64_t waiting() {
        std::lock_guard<std::mutex> guard(mutex_);
        return next_ - serving_ - (next_ > serving_ ? 1 : 0);
    }
    void unlock() VEBIX_RELEASE() {
        {
            std::lock_guard<std::mutex> guard(mutex_);
            ++serving_;
        }
        turn_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable turn_;
    std::uint64_t next_ = 0;     // the ticket the next comer draws
    std::uint64_t serving_ = 0;  // the ticket whose turn it is
};

}  // namespace vebix
