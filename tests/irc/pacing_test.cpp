// The pace of what the bot sends, the limit on answered queries and the wait before connecting
// again: time is an argument, so nothing here waits.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "app/irc/pacing.h"
#include "engine/base/random.h"

namespace vebix::irc {
namespace {

// Sends what is due at every millisecond from start for durationMs; the times and lines sent.
std::vector<std::pair<std::uint64_t, std::string>> drain(SendQueue& queue, std::uint64_t start,
                                                         std::uint64_t durationMs) {
    std::vector<std::pair<std::uint64_t, std::string>> sent;
    for (std::uint64_t t = start; t < start + durationMs; ++t)
        while (auto line = queue.take(t)) sent.emplace_back(t, std::move(*line));
    return sent;
}

TEST(SendQueue, ABurstGoesAtOnceThenLinesArePaced) {
    SendQueue queue;
    for (int i = 0; i < 10; ++i)
        queue.push("PRIVMSG #room :line " + std::to_string(i), SendQueue::Kind::Chat);
    const auto sent = drain(queue, 1000, 60000);
    ASSERT_EQ(sent.size(), 10u);
    std::size_t atOnce = 0;
    while (atOnce < sent.size() && sent[atOnce].first == 1000) ++atOnce;
    EXPECT_GE(atOnce, 3u);
    EXPECT_LT(atOnce, 10u);
    // Later lines come one at a time, at least a line's cost apart.
    for (std::size_t i = atOnce + 1; i < sent.size(); ++i)
        EXPECT_GE(sent[i].first - sent[i - 1].first, SendQueue::Pace{}.lineMs);
}

TEST(SendQueue, NoWindowOfTimeCarriesMoreThanTheServerTakes) {
    // Lines of every length arriving far faster than they may leave, for ten minutes.
    SendQueue queue;
    std::vector<std::pair<std::uint64_t, std::size_t>> sent;  // time, bytes
    for (std::uint64_t t = 0; t < 600000; ++t) {
        if (t % 50 == 0)
            queue.push(std::string(1 + rng::next() % 509, 'x'),
                       t % 500 == 0 ? SendQueue::Kind::Control : SendQueue::Kind::Chat);
        while (auto line = queue.take(t)) sent.emplace_back(t, line->size() + 2);
    }
    ASSERT_GT(sent.size(), 100u);
    // In any ten seconds, what was sent costs no more than the ten seconds, the burst and one
    // line: a server's flood rule, which charges much the same, never finds the bot ahead.
    const SendQueue::Pace pace;
    const std::uint64_t window = 10000;
    const std::uint64_t mostCost = window + pace.burstMs + pace.lineMs + pace.perByteMs * 512;
    std::size_t first = 0;
    std::uint64_t cost = 0;
    for (std::size_t last = 0; last < sent.size(); ++last) {
        cost += pace.lineMs + pace.perByteMs * sent[last].second;
        while (sent[last].first - sent[first].first >= window)
            cost -= pace.lineMs + pace.perByteMs * sent[first++].second;
        ASSERT_LE(cost, mostCost) << "at " << sent[last].first;
    }
    EXPECT_GT(queue.droppedChat(), 0u);
}

TEST(SendQueue, ConnectionLinesGoFirstAndOldChatIsDropped) {
    SendQueue::Pace pace;
    pace.maxChatLines = 3;
    SendQueue queue(pace);
    for (int i = 0; i < 6; ++i) queue.push("chat " + std::to_string(i), SendQueue::Kind::Chat);
    queue.push("PONG :x", SendQueue::Kind::Control);
    EXPECT_EQ(queue.droppedChat(), 3u);
    std::vector<std::string> order;
    for (const auto& [t, line] : drain(queue, 0, 60000)) order.push_back(line);
    EXPECT_EQ(order, (std::vector<std::string>{"PONG :x", "chat 3", "chat 4", "chat 5"}));
    EXPECT_FALSE(queue.nextDueMs(70000));
}

TEST(SendQueue, TellsWhenTheNextLineIsDueAndStartsAfreshWhenCleared) {
    SendQueue queue;
    EXPECT_FALSE(queue.nextDueMs(5));
    for (int i = 0; i < 20; ++i) queue.push("x", SendQueue::Kind::Chat);
    drain(queue, 100, 1);
    const auto due = queue.nextDueMs(100);
    ASSERT_TRUE(due);
    EXPECT_GT(*due, 100u);
    EXPECT_FALSE(queue.take(*due - 1));
    EXPECT_TRUE(queue.take(*due));
    queue.clear();
    EXPECT_EQ(queue.waiting(), 0u);
    queue.push("y", SendQueue::Kind::Chat);
    EXPECT_EQ(queue.nextDueMs(100), 100u);
}

TEST(RequestLimit, AnswersAFewOfAFloodAndMoreAsTimePasses) {
    RequestLimit limit(4, 20000);
    int allowed = 0;
    for (int i = 0; i < 100; ++i) allowed += limit.allow(1000);
    EXPECT_EQ(allowed, 4);
    EXPECT_FALSE(limit.allow(5999));
    EXPECT_TRUE(limit.allow(6000));  // one refilled after a quarter of the window
    int later = 0;
    for (std::uint64_t t = 6000; t < 6000 + 200000; t += 100) later += limit.allow(t);
    EXPECT_LE(later, 200000 / 5000 + 1);
    EXPECT_GE(later, 200000 / 5000 - 1);
}

TEST(Backoff, WaitsGrowToTheLimitAndStartOverAfterAReset) {
    rng::seed(7);
    Backoff backoff({1000, 16000});
    std::vector<std::uint64_t> waits;
    for (int i = 0; i < 8; ++i) waits.push_back(backoff.nextDelayMs());
    const std::uint64_t steps[] = {1000, 2000, 4000, 8000, 16000, 16000, 16000, 16000};
    for (std::size_t i = 0; i < waits.size(); ++i) {
        EXPECT_LE(waits[i], steps[i]) << i;
        EXPECT_GE(waits[i], steps[i] * 3 / 4) << i;
    }
    backoff.reset();
    EXPECT_LE(backoff.nextDelayMs(), 1000u);
    // Drawn, not fixed: bots cut off together do not return together.
    Backoff a({100000, 100000}), b({100000, 100000});
    bool differ = false;
    for (int i = 0; i < 10 && !differ; ++i) differ = a.nextDelayMs() != b.nextDelayMs();
    EXPECT_TRUE(differ);
}

}  // namespace
}  // namespace vebix::irc
