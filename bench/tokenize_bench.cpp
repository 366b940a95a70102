// Tokenizing and word-likeness throughput over the real chat lines of the tests' corpus.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/enparse/likeness.h"
#include "engine/enparse/tokenizer.h"

namespace {

struct Corpus {
    std::vector<std::string> lines;
    std::size_t bytes = 0;
    std::vector<std::pair<std::string, std::string>> wordPairs;
};

const Corpus& corpus() {
    static const Corpus c = [] {
        Corpus out;
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(std::string(VEBIX_CORPUS_DIR))) {
            if (e.path().extension() == ".txt") files.push_back(e.path().string());
        }
        std::sort(files.begin(), files.end());
        for (const auto& f : files) {
            std::ifstream in(f, std::ios::binary);
            std::string line;
            while (std::getline(in, line)) {
                if (!line.empty() && line.back() == '\r') line.pop_back();
                out.bytes += line.size();
                out.lines.push_back(std::move(line));
            }
        }
        // Neighbouring words of each line, as the engine compares a word with its candidates.
        for (const auto& line : out.lines) {
            const vebix::TokenList tokens = vebix::tokenize(line, vebix::Tokenize::Normalising);
            for (std::size_t i = 1; i < tokens.size(); ++i) {
                if (tokens[i - 1].type == vebix::TokenType::Word &&
                    tokens[i].type == vebix::TokenType::Word) {
                    out.wordPairs.emplace_back(tokens[i - 1].text(), tokens[i].text());
                }
            }
            if (out.wordPairs.size() >= 1000000) break;
        }
        return out;
    }();
    return c;
}

void tokenizeCorpus(benchmark::State& state, vebix::Tokenize mode) {
    const Corpus& c = corpus();
    std::size_t tokens = 0;
    for (auto _ : state) {
        for (const auto& line : c.lines) {
            const vebix::TokenList list = vebix::tokenize(line, mode);
            tokens += list.size();
            benchmark::DoNotOptimize(list.tokens().data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * c.lines.size()), benchmark::Counter::kIsRate);
    state.counters["tokens/line"] =
        static_cast<double>(tokens) / static_cast<double>(state.iterations() * c.lines.size());
}

void BM_TokenizePlain(benchmark::State& state) { tokenizeCorpus(state, vebix::Tokenize::Plain); }
void BM_TokenizeNormalising(benchmark::State& state) {
    tokenizeCorpus(state, vebix::Tokenize::Normalising);
}

void BM_WordsAlike(benchmark::State& state) {
    const Corpus& c = corpus();
    std::size_t alike = 0;
    for (auto _ : state) {
        for (const auto& [a, b] : c.wordPairs) alike += vebix::wordsAlike(a, b);
    }
    benchmark::DoNotOptimize(alike);
    state.counters["pairs/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * c.wordPairs.size()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_TokenizePlain)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TokenizeNormalising)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WordsAlike)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
