// Time of one reply on big minds.
//
// The minds are AI data files made from the repository's corpus by the project's generator
// (see benchsupport.h), made on the first run and kept in VEBIX_BENCH_MINDS (default
// /tmp/vebix-bench-minds). Inputs are lines of the corpus, taken in turn.
//   build-release/bench/reply_bench

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchsupport.h"
#include "engine/ai/ai.h"
#include "engine/base/random.h"

namespace {

// Loaded once per size and kept for the whole run.
vebix::Ai* mind(int lines) {
    static std::map<int, std::unique_ptr<vebix::Ai>> minds;
    auto it = minds.find(lines);
    if (it != minds.end()) return it->second.get();
    auto ai = std::make_unique<vebix::Ai>();
    ai->setName("Benchbot");
    ai->loadFile(vebix::bench::generatedMind(static_cast<std::size_t>(lines), true));
    ai->calcFillWords();
    return (minds[lines] = std::move(ai)).get();
}

// A minute after the newest line, as when a user talks to the mind just loaded.
std::uint32_t replyTime(const vebix::Ai& ai) {
    auto t = vebix::parseTime(vebix::parseLine(ai.lines().back(), vebix::AiSuffix::Keep).time);
    return t ? *t + 60 : 0;
}

const std::vector<std::string>& inputs() {
    static const std::vector<std::string> lines = vebix::bench::corpusLines(500);
    return lines;
}

void BM_Reply(benchmark::State& state) {
    vebix::Ai* ai = mind(static_cast<int>(state.range(0)));
    vebix::rng::seed(1);
    const auto& in = inputs();
    const std::uint32_t now = replyTime(*ai);
    std::size_t i = 0, empty = 0;
    for (auto _ : state) {
        std::string r = ai->reply("Guest!t", "Guest!t", in[i++ % in.size()], now);
        if (r.empty()) ++empty;
        benchmark::DoNotOptimize(r);
    }
    state.counters["empty"] = static_cast<double>(empty);
}

void BM_ScoreLines(benchmark::State& state) {
    vebix::Ai* ai = mind(static_cast<int>(state.range(0)));
    vebix::rng::seed(1);
    const auto& in = inputs();
    const std::uint32_t now = replyTime(*ai);
    std::size_t i = 0;
    for (auto _ : state) {
        auto sims = ai->scoreLines("Guest!t", "Guest!t", in[i++ % in.size()], now);
        benchmark::DoNotOptimize(sims);
    }
}

}  // namespace

BENCHMARK(BM_Reply)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScoreLines)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
