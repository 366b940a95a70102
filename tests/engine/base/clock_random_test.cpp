#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "support/fakeclock.h"
#include "engine/base/random.h"

using namespace vebix;

TEST(Random, SameSeedSameSequence) {
    rng::seed(42);
    std::vector<std::uint32_t> a;
    for (int i = 0; i < 100; ++i) a.push_back(rng::next());
    rng::seed(42);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(a[i], rng::next()) << i;
    // Not constant, and both halves of the value vary.
    std::set<std::uint32_t> distinct(a.begin(), a.end());
    EXPECT_GT(distinct.size(), 95u);
    std::uint32_t orAll = 0;
    for (auto v : a) orAll |= v;
    EXPECT_EQ(orAll, 0xFFFFFFFFu);
}

TEST(Random, TwoThreadsDrawDistinctValues) {
    rng::seed(7);
    std::vector<std::uint32_t> expected;
    for (int i = 0; i < 20000; ++i) expected.push_back(rng::next());
    rng::seed(7);
    std::vector<std::uint32_t> a, b;
    std::thread t1([&] {
        for (int i = 0; i < 10000; ++i) a.push_back(rng::next());
    });
    std::thread t2([&] {
        for (int i = 0; i < 10000; ++i) b.push_back(rng::next());
    });
    t1.join();
    t2.join();
    // Every value of the sequence was handed out exactly once.
    std::multiset<std::uint32_t> got(a.begin(), a.end());
    got.insert(b.begin(), b.end());
    EXPECT_EQ(got, std::multiset<std::uint32_t>(expected.begin(), expected.end()));
}

TEST(Clock, ScopedFakeClockReplacesAndRestores) {
    std::uint32_t before = vebix::clock().nowSeconds();
    EXPECT_GT(before, 1600000000u);
    {
        FakeClock fake(1000, 5000);
        ScopedClock scope(fake);
        EXPECT_EQ(vebix::clock().nowSeconds(), 1000u);
        vebix::clock().sleepMs(250);
        EXPECT_EQ(vebix::clock().tickMs(), 5250u);
        fake.advanceSeconds(60);
        EXPECT_EQ(vebix::clock().nowSeconds(), 1060u);
    }
    EXPECT_GE(vebix::clock().nowSeconds(), before);
}
