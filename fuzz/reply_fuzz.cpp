// A reply over a fuzzed mind to a fuzzed input: no crash, no hang, and the indexed scorer the
// engine uses gives the same candidates as the reference scorer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ai/ai.h"
#include "support/fakeclock.h"
#include "engine/base/random.h"

namespace {

// The input's layout: 8 bytes of seed, 4 bytes of time, then the partner's name, the
// conversation key and the input line, each ended by a NUL byte; the rest is the mind's text.
struct Case {
    std::uint64_t seed = 0;
    std::uint32_t now = 0;
    std::string partner, key, input, mind;
};

Case split(const std::uint8_t* data, std::size_t size) {
    Case c;
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    if (rest.size() >= 12) {
        std::memcpy(&c.seed, rest.data(), 8);
        std::memcpy(&c.now, rest.data() + 8, 4);
        rest.remove_prefix(12);
    }
    for (std::string* field : {&c.partner, &c.key, &c.input}) {
        std::size_t end = rest.find('\0');
        *field = std::string(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    c.mind = std::string(rest);
    return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Case c = split(data, size);
    const std::uint64_t seed = c.seed;
    const std::uint32_t now = c.now;
    const std::string& partner = c.partner;
    const std::string& key = c.key;
    const std::string& input = c.input;
    const std::string& mind = c.mind;

    vebix::FakeClock fake(now);
    vebix::ScopedClock scoped(fake);
    vebix::Ai ai;
    ai.loadText("fuzz", mind, vebix::TextLines::Copied);
    ai.setName("Bot");
    ai.calcFillWords();

    vebix::rng::seed(seed);
    std::vector<vebix::Ai::Sim> reference = ai.scoreLines(partner, key, input, now);
    vebix::rng::seed(seed);
    std::vector<vebix::Ai::Sim> indexed = ai.scoreLinesIndexed(partner, key, input, now);
    if (reference.size() != indexed.size()) std::abort();
    for (std::size_t i = 0; i < reference.size(); ++i)
        if (reference[i].index != indexed[i].index || reference[i].score != indexed[i].score ||
            reference[i].textOffset != indexed[i].textOffset)
            std::abort();

    vebix::rng::seed(seed);
    (void)ai.reply(partner, key, input, now);
    return 0;
}
