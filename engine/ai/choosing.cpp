#include <algorithm>
#include <string>

#include "engine/ai/ai.h"
#include "engine/ai/scoringrules.h"
#include "engine/base/mutex.h"
#include "engine/base/ascii.h"
#include "engine/base/clock.h"
#include "engine/base/random.h"
#include "engine/enparse/likeness.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {
namespace {

bool hasAsciiAlnum(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) { return isAsciiAlnum(c); });
}

// The first ASCII letter (upper case) or digit of s, or 0 when it has none.
char firstAlnumUpper(std::string_view s) {
    for (char c : s)
        if (isAsciiAlnum(c)) return asciiUpper(c);
    return 0;
}

}  // namespace

std::string Ai::reply(std::string_view partnerName, std::string_view conversationKey,
                      std::string_view input, std::uint32_t referenceTime) {
    // Only the start of a very long input is weighed: scoring costs the input's words times
    // every line's, so a pasted book would take hours, and says no more to a reply than its
    // first paragraphs. Cut at a blank, so that no word (or character) is cut in two.
    if (input.size() > kWeighedInputBytes) {
        std::size_t end = input.rfind(' ', kWeighedInputBytes);
        if (end == std::string_view::npos || end == 0) {
            end = kWeighedInputBytes;
            while (end > 0 && (static_cast<unsigned char>(input[end]) & 0xC0) == 0x80) --end;
        }
        input = input.substr(0, end);
    }
    std::vector<Sim> candidates =
        scoreLinesIndexed(partnerName, conversationKey, input, referenceTime);
    return chooseReply(partnerName, candidates, input);
}

int Ai::groupThreshold(int top) {
    if (top <= 2) return top;
    if (top <= 4) return 1;
    if (top <= 6) return 2;
    if (top <= 9) return 3;
    if (top <= 12) return 4;
    if (top <= 15) return 5;
    if (top <= 22) return top - 4;
    return top - 6;
}

std::size_t Ai::groupSize(const std::vector<Sim>& candidates) {
    if (candidates.empty()) return 0;
    const int top = candidates[0].score;
    const int threshold = groupThreshold(top);
    int budget = std::min(top / 2, 12);
    std::size_t n = 1;
    while (n < candidates.size() && candidates[n].score >= threshold) {
        budget -= candidates[n].score - threshold;
        if (budget < 0) break;
        ++n;
    }
    return n;
}

std::string Ai::chooseReply(std::string_view partnerName, std::vector<Sim>& candidates,
                            std::string_view input) const {
    if (candidates.empty()) return {};
    const std::size_t count = candidates.size();

    bool direct = candidates[0].score > DirectMinScore && count >= DirectMinCandidates;
    std::size_t n = 0;
    if (direct) {
        n = groupSize(candidates);
        // A small group among many candidates is sometimes passed over for a new sentence.
        if (count >= 20 && n <= 3 && (rng::next() & 3) == 0)
            direct = false;
        else if (count >= 14 && n <= 2 && (rng::next() & 3) == 0)
            direct = false;
        if (direct) {
            unsigned sum = 0;
            for (std::size_t i = 0; i < n; ++i) sum += candidates[i].score;
            if (sum / n < (input.size() / 5) * 4) direct = false;
        }
    }

    if (!direct) {
        const TokenList tokens = tokenize(scoring::readInput(input), Tokenize::Normalising);
        for (int attempt = 1; attempt <= GenerationTries; ++attempt) {
            const int seed = pickSeedToken(tokens.tokens());
            if (seed < 0) continue;
            std::string r = generateReply(partnerName, tokens[seed].text());
            if (r.empty() || r == input) continue;
            if (rng::next() & 1) {
                // Not a repeat of something somebody said.
                bool repeat = false;
                const char lead = firstAlnumUpper(r);
                MutexLock lock(indexMutex_);
                index_->sync(lines_);
                LineStore::Reader reader(lines_, LineStore::Reader::kDefaultBlock, kLongestLine);
                for (std::size_t i = 0; i < lines_.size() && !repeat;) {
                    const std::size_t end = reader.fill(i, lines_.size());
                    for (; i < end; ++i) {
                        if (index_->fromAi(i)) continue;
                        const std::string_view line = reader.line(i);
                        const std::string_view text = index_->text(i, line);
                        // looseEquals starts with the first letters or digits: most lines
                        // differ there.
                        if (firstAlnumUpper(text) != lead) continue;
                        if (hasExcludeMark(line)) continue;
                        if (looseEquals(text, r)) {
                            repeat = true;
                            break;
                        }
                    }
                }
                if (repeat) continue;
            }
            debug("Tries: " + std::to_string(attempt));
            debug("Entry: generated");
            if (onReplySource_) onReplySource_(std::nullopt);
            return r;
        }
        n = groupSize(candidates);
    }

    // Texts said in the last ten minutes, from the newest lines, are not repeated.
    std::vector<std::string_view> recent;
    if (lines_.size() >= 8) {
        const std::int64_t since =
            static_cast<std::int64_t>(clock().nowSeconds()) - RecentTextSeconds;
        for (std::size_t i = lines_.size() - 8; i < lines_.size(); ++i) {
            const MindLine m = parseLine(lines_[i], AiSuffix::Keep);
            const auto time = parseTime(m.time);
            if (!time) continue;  // an unreadable time is passed over
            if (static_cast<std::int64_t>(*time) <= since) break;
            recent.push_back(m.text);
        }
    }

    std::string r;
    std::size_t picked = 0;
    int picks = 0;
    for (picks = 1; picks <= MaxPicks; ++picks) {
        picked = rng::next() % n;
        r = std::string(candidateText(candidates[picked].index, candidates[picked].textOffset));
        if (picks == MaxPicks) break;
        bool reject = !hasAsciiAlnum(r) || looseEquals(r, input);
        for (std::size_t i = 0; !reject && i < recent.size(); ++i)
            reject = looseEquals(r, recent[i]);
        if (!reject) break;
        if ((rng::next() & 3) == 0 && n < count) ++n;
    }

    debug("Tries: " + std::to_string(picks));
    debug("Entry: " + std::to_string(candidates[picked].index + 1));
    if (onReplySource_) onReplySource_(candidates[picked].index);
    if (personalize_) r = personalizeText(partnerName, candidates[picked].index, r);
    return r;
}

}  // namespace vebix
