#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "engine/base/fairmutex.h"

using namespace vebix;

// A thread that unlocks and at once locks again does not get back in ahead of a thread that was
// already waiting: the waiting one goes first.
TEST(FairMutex, AWaitingThreadGoesBeforeTheOneThatJustUnlocked) {
    FairMutex mutex;
    std::atomic<bool> waiterWasIn{false};
    mutex.lock();
    std::thread waiter([&] {
        std::lock_guard<FairMutex> lock(mutex);
        waiterWasIn = true;
    });
    while (mutex.waiting() != 1) std::this_thread::yield();  // the waiter has its turn drawn
    for (int step = 0; step < 3; ++step) {
        mutex.unlock();
        mutex.lock();
        EXPECT_TRUE(waiterWasIn) << "step " << step;
    }
    mutex.unlock();
    waiter.join();
    EXPECT_EQ(mutex.waiting(), 0u);
}
