#include "tools/mindgen.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string_view>

#include "engine/base/ascii.h"

namespace vebix::mindgen {
namespace {

// splitmix64: a tiny generator whose output is fixed by its definition, unlike the standard
// distributions, so that the same seed gives the same mind with any standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // A number in [0, n); n > 0. The modulo bias is far below anything a test could notice.
    std::uint64_t below(std::uint64_t n) { return next() % n; }
    // A number in [low, high]; low <= high.
    std::uint64_t between(std::uint64_t low, std::uint64_t high) {
        return low + below(high - low + 1);
    }
    bool percent(unsigned p) { return below(100) < p; }

private:
    std::uint64_t state_;
};

// Some names with blanks and some beyond ASCII, as users type them.
const char* const kNames[] = {
    "Anna",  "Ben",   "Chloé", "David",  "Elena",    "Finn", "Grace",     "Hugo",
    "Ines",  "Jonas", "Kate",  "Liam",   "Mary Ann", "Noah", "Jean Luc",  "Zoë",
    "Priya", "Kenji", "Søren", "Fatima", "Omar",     "Rosa", "José Luis", "Tom",
};

constexpr std::uint32_t kMinute = 60;
constexpr std::uint32_t kHour = 60 * kMinute;
constexpr std::uint32_t kDay = 24 * kHour;
// Sessions of big minds move closer together so that the whole mind spans about this much.
constexpr std::uint64_t kMaxSpan = 700ull * kDay;

std::string squeezed(std::string_view line) {
    std::string out;
    bool blank = false;
    for (char c : line) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0' || c == '\v' ||
            c == '\f') {
            blank = !out.empty();
            continue;
        }
        if (blank) out.push_back(' ');
        blank = false;
        out.push_back(c);
    }
    return out;
}

std::vector<std::string> makeUsers(std::size_t count, Random& random) {
    std::vector<std::string> users;
    std::set<std::string> seen;
    std::uint64_t numbers = 99;
    while (users.size() < count) {
        std::string name = kNames[random.below(std::size(kNames))];
        std::replace(name.begin(), name.end(), ' ', '_');
        name += '_';
        name += std::to_string(random.between(1, numbers));
        if (!seen.insert(name).second) {
            if (seen.size() * 2 > std::size(kNames) * numbers) numbers *= 10;
            continue;
        }
        users.push_back(std::move(name));
    }
    return users;
}

// A light change for a line used again: another case of the first letter, the end punctuation
// taken off or added, a word in front, or a smiley after.
std::string varied(const std::string& text, Random& random) {
    std::string out = text;
    switch (random.below(4)) {
        case 0:
            if (isAsciiLowerLetter(out[0]))
                out[0] = asciiUpper(out[0]);
            else if (isAsciiUpper(out[0]))
                out[0] = asciiLower(out[0]);
            else
                out = "so " + out;
            break;
        case 1:
            if (out.size() > 1 && (out.back() == '.' || out.back() == '!' || out.back() == '?'))
                out.pop_back();
            else
                out += random.percent(50) ? "." : "!";
            break;
        case 2: {
            static const char* const kFront[] = {"well, ", "oh, ", "hmm, ", "ok "};
            out = kFront[random.below(std::size(kFront))] + out;
            break;
        }
        default: {
            static const char* const kBack[] = {" :)", " lol", " haha", " ;)"};
            out += kBack[random.below(std::size(kBack))];
            break;
        }
    }
    return out;
}

// Seconds between two sessions before big minds squeeze them: minutes, hours or days.
std::uint64_t sessionGap(Random& random) {
    const std::uint64_t r = random.below(100);
    if (r < 35) return random.between(2 * kMinute, kHour);
    if (r < 80) return random.between(kHour, kDay);
    return random.between(kDay, 6ull * kDay);
}

}  // namespace

std::vector<Conversation> parseCorpus(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    std::vector<Conversation> corpus;
    Conversation current;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line = squeezed(text.substr(pos, end - pos));
        if (!line.empty()) {
            current.push_back(std::move(line));
        } else if (!current.empty()) {
            corpus.push_back(std::move(current));
            current.clear();
        }
        pos = end + 1;
    }
    if (!current.empty()) corpus.push_back(std::move(current));
    return corpus;
}

std::vector<Conversation> readCorpusFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read the corpus " + path);
    std::ostringstream text;
    text << in.rdbuf();
    auto corpus = parseCorpus(text.str());
    if (corpus.empty()) throw std::runtime_error("no conversation in the corpus " + path);
    return corpus;
}

std::string makeMind(const std::vector<Conversation>& corpus, const Options& options) {
    const std::string_view eol = options.plain ? "\n" : "\r\n";
    std::string out;
    if (!options.plain) {
        out += "\xEF\xBB\xBF";
        out +=
            "1.2 1.2 \"" + options.botName + "\"\r\napp=Vebix\r\nappver=1.2.02\r\ngender=m\r\n\r\n";
    }
    if (options.lines == 0) return out;
    if (corpus.empty()) throw std::invalid_argument("a mind needs a corpus with conversations");

    Random random(options.seed);
    std::size_t utterances = 0;
    for (const auto& c : corpus) utterances += c.size();
    const std::size_t sessions =
        options.lines * corpus.size() / std::max<std::size_t>(utterances, 1) + 1;
    const std::vector<std::string> users =
        makeUsers(std::max<std::size_t>(1, sessions / 3), random);
    const std::size_t regulars = std::max<std::size_t>(1, users.size() / 20);
    // The mean unsqueezed gap is about 22 hours; squeeze when the sessions would span too long.
    const std::uint64_t plannedSpan = sessions * 22ull * kHour;
    const std::uint64_t squeeze = std::max<std::uint64_t>(1, plannedSpan / kMaxSpan + 1);

    out.reserve(out.size() + options.lines * 80);
    std::uint64_t time = options.startTime + random.between(8 * kHour, 20 * kHour);
    std::size_t written = 0;
    for (std::uint64_t round = 0; written < options.lines; ++round) {
        std::vector<std::size_t> order(corpus.size());
        for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
        for (std::size_t i = order.size(); i > 1; --i)
            std::swap(order[i - 1], order[random.below(i)]);
        for (std::size_t c : order) {
            if (written == options.lines) break;
            const std::string& user = random.percent(30) ? users[random.below(regulars)]
                                                         : users[random.below(users.size())];
            const Conversation& conversation = corpus[c];
            for (std::size_t k = 0; k < conversation.size() && written < options.lines; ++k) {
                const std::string text = round ? varied(conversation[k], random) : conversation[k];
                const bool bot = k % 2 == 1;
                if (k > 0)
                    time += bot ? random.between(1, 3) : 2 + text.size() / 5 + random.below(10);
                out += user;
                out += ' ';
                out += std::to_string(time);
                out += ' ';
                out += bot ? std::string_view("<ai>") : std::string_view(user);
                out += ' ';
                out += text;
                out += eol;
                ++written;
            }
            time += std::max<std::uint64_t>(kMinute, sessionGap(random) / squeeze) + 1;
        }
    }
    return out;
}

}  // namespace vebix::mindgen
