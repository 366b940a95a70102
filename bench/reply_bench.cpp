// Time of one reply on big minds.
//
// The minds are made by the benchmark mind generator, as AI data files:
//   mkdir -p /tmp/vebix-bench
//   for n in 10000 100000; do build-release/tools/vebix-make-mind --lines $n --seed 1 --plain --corpus tests/data/corpus/chatterbot_en.txt --out /tmp/vebix-bench/mind_$n.dat; done
//   VEBIX_BENCH_MINDS=/tmp/vebix-bench build-engine-rel/bench/reply_bench
// VEBIX_BENCH_MINDS names the folder (default /tmp/vebix-bench); a mind that is not there is
// reported as skipped. Inputs are lines of the conversation corpus, taken in turn.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/base/random.h"

namespace {

std::string mindPath(int lines) {
    const char* dir = std::getenv("VEBIX_BENCH_MINDS");
    return std::string(dir && *dir ? dir : "/tmp/vebix-bench") + "/mind_" + std::to_string(lines) +
           ".dat";
}

// Loaded once per size and kept for the whole run.
vebix::Ai* mind(int lines) {
    static std::map<int, std::unique_ptr<vebix::Ai>> minds;
    auto it = minds.find(lines);
    if (it != minds.end()) return it->second.get();
    const std::string path = mindPath(lines);
    if (!std::filesystem::exists(path)) return nullptr;
    auto ai = std::make_unique<vebix::Ai>();
    ai->setName("Benchbot");
    ai->loadFile(path);
    ai->calcFillWords();
    return (minds[lines] = std::move(ai)).get();
}

// A minute after the newest line, as when a user talks to the mind just loaded.
std::uint32_t replyTime(const vebix::Ai& ai) {
    auto t = vebix::parseTime(vebix::parseLine(ai.lines().back(), vebix::AiSuffix::Keep).time);
    return t ? *t + 60 : 0;
}

const std::vector<std::string>& inputs() {
    static const std::vector<std::string> lines = [] {
        std::vector<std::string> out;
        std::ifstream in(VEBIX_CORPUS_DIR "/chatterbot_en.txt");
        std::string line;
        while (out.size() < 500 && std::getline(in, line))
            if (!line.empty()) out.push_back(line);
        if (out.empty()) out.push_back("How are you doing today?");
        return out;
    }();
    return lines;
}

void BM_Reply(benchmark::State& state) {
    vebix::Ai* ai = mind(static_cast<int>(state.range(0)));
    if (!ai) {
        state.SkipWithError(("no mind at " + mindPath(static_cast<int>(state.range(0)))).c_str());
        return;
    }
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
    if (!ai) {
        state.SkipWithError(("no mind at " + mindPath(static_cast<int>(state.range(0)))).c_str());
        return;
    }
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
