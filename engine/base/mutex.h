#pragma once
// A mutex the thread-safety analysis knows (threadannotations.h), and the scoped lock for it and
// for FairMutex. Members a Mutex guards are marked VEBIX_GUARDED_BY(theMutex), so that clang
// refuses to build code that touches them without holding it.

#include <mutex>

#include "engine/base/threadannotations.h"

namespace vebix {

class VEBIX_CAPABILITY("mutex") Mutex {
public:
    Mutex() = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock() VEBIX_ACQUIRE() { mutex_.lock(); }
    void unlock() VEBIX_RELEASE() { mutex_.unlock(); }

private:
    std::mutex mutex_;
};

// Holds mutex (a Mutex or a FairMutex) from construction to destruction.
template <class M>
class VEBIX_SCOPED_CAPABILITY MutexLock {
public:
    explicit MutexLock(M& mutex) VEBIX_ACQUIRE(mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() VEBIX_RELEASE() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    M& mutex_;
};

}  // namespace vebix
