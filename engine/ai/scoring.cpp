// The reference scorer: every line of the mind against the input and against the course of its
// own conversation, written as plainly as the rules read.

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>

#include "engine/ai/ai.h"
#include "engine/ai/scoringrules.h"
#include "engine/base/ascii.h"
#include "engine/base/random.h"
#include "engine/enparse/likeness.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {
namespace {

using scoring::Context;
using scoring::saturate32;
using scoring::storedForm;

}  // namespace

std::string formatChunkedPercent(double percent) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.4f", percent);
    std::string s = buf;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string_view Ai::candidateText(std::uint32_t index, std::uint32_t offset) const {
    std::string_view line = lines[index];
    return offset <= line.size() ? line.substr(offset) : std::string_view();
}

void Ai::trimCandidates(std::vector<Sim>& candidates) {
    std::stable_sort(candidates.begin(), candidates.end());
    if (candidates.size() > static_cast<std::size_t>(MaxCandidates)) candidates.resize(MaxCandidates);
}

std::uint64_t Ai::tokenRunScore(const Token* a, std::size_t aCount, const TokenList& b,
                                bool seen) const {
    if (aCount == 0) return 0;
    std::uint64_t total = 0;
    for (const Token& bt : b) {
        // bt stays fixed while the run walks along a.
        for (std::size_t j = 0; j < aCount; ++j) {
            const Token& at = a[j];
            if (bt.type == TokenType::Word) {
                if (at.type == TokenType::Word && at.text() == bt.text()) {
                    if (!seen) total += notFillWord(at.text()) ? WordMatchScore : FillWordMatchScore;
                } else if (at.type == TokenType::Word && wordsAlike(at.text(), bt.text())) {
                    if (!seen && notFillWord(at.text())) total += AlikeWordScore;
                } else {
                    break;
                }
            } else if (bt.type == TokenType::Number) {
                if (at.type != TokenType::Number) break;
                if (!seen) {
                    total += NumberMatchScore;
                    if (at.text() == bt.text()) total += EqualNumberScore;
                }
            } else {
                break;
            }
        }
    }
    return total;
}

std::uint64_t Ai::phraseMatchScore(const TokenList& lineTokens,
                                   const TokenList& inputTokens) const {
    const bool lineLonger = lineTokens.size() >= inputTokens.size();
    const TokenList& a = lineLonger ? lineTokens : inputTokens;
    const TokenList& b = lineLonger ? inputTokens : lineTokens;
    std::uint64_t total = 0;
    std::set<std::pair<std::uint16_t, std::string_view>> earlier;
    for (std::size_t k = 0; k < a.size(); ++k) {
        bool seen = !earlier.emplace(a[k].type, a[k].text()).second;
        // A token met before adds nothing, so its runs need not be walked.
        if (!seen) total += tokenRunScore(&a[k], a.size() - k, b, false);
    }
    return total;
}

std::vector<Ai::Sim> Ai::scoreLines(std::string_view partnerName,
                                    const std::vector<Wc>& topicWords,
                                    std::string_view conversationKey, std::string_view input,
                                    std::uint32_t referenceTime) const {
    const TokenList inputTokens = tokenize(input, true);
    const std::string key = storedForm(conversationKey);
    const std::string partner = storedForm(partnerName);
    const std::size_t n = lines.size();
    std::uint64_t processed = 0, chunked = 0, chunkLeft = 0;
    std::unordered_map<std::string, Context> contexts;
    std::vector<Sim> candidates;
    candidates.reserve(MaxCandidatesBuilding);

    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view line = lines[i];
        bool skip = hasExcludeMark(line);

        // Random chunking: on big minds, runs of lines are passed over at random, so that
        // replies vary and cost less.
        if (chunkLeft > 0) {
            --chunkLeft;
            skip = true;
            ++chunked;
        } else if (n > static_cast<std::size_t>(ChunkingMinLines) && (rng::next() & 127) == 0) {
            chunkLeft = rng::next() % 40 + n / ChunkingLinesPerStep;
            skip = true;
            ++chunked;
        }
        ++processed;

        const auto offset = textOffset(line);
        if (!offset) continue;
        const MindLine m = parseLine(line, false);
        const auto time = parseTime(m.time);
        if (!time) continue;  // an unreadable time: neither candidate nor context

        Context& ctx = contexts[lowerAscii(m.key)];
        std::uint64_t own = 0;

        const auto d = static_cast<std::int32_t>(referenceTime - *time);
        if (d > 0) {
            if (d <= RecentLineSeconds) own += RecentLineBonus;
            if (d <= RecentMonthSeconds) own += RecentMonthBonus;
        }

        TokenList lineTokens;
        if (!skip) {
            if (m.key == key) own += SameConversationBonus;
            if (m.speaker == partner) own += SameSpeakerBonus;
            lineTokens = tokenize(m.text, true);
            own += phraseMatchScore(lineTokens, inputTokens);
            for (const Wc& w : topicWords) {
                for (const Token& t : lineTokens) {
                    if (t.text() == w.text)
                        own += static_cast<std::uint64_t>(w.count) * TopicWordPercent / 100;
                    else if (wordsAlike(t.text(), w.text))
                        own += static_cast<std::uint64_t>(w.count) * AlikeTopicWordPercent / 100;
                }
            }
            std::size_t words = 0;
            for (const Token& t : lineTokens)
                if (t.type == TokenType::Word) ++words;
            own = saturate32(own);
            if (words >= static_cast<std::size_t>(LongLineWords))
                own = static_cast<std::uint64_t>(static_cast<double>(own) * 0.7);
        }

        if (ctx.lastTime != 0) {
            const auto g = static_cast<std::int32_t>(*time - ctx.lastTime);
            if (g > 0) {
                const std::uint64_t minutes = std::min<std::uint64_t>(g / 60, PauseDecayMaxMinutes);
                if (own != 0) own -= own * (minutes * PauseDecayPercentPerMinute) / 100;
            } else if (g < 0) {
                continue;  // earlier than its predecessor: ignored, context untouched
            }
        }

        if (!skip) {
            Sim sim;
            sim.index = static_cast<std::uint32_t>(i);
            sim.textOffset = static_cast<std::uint32_t>(*offset);
            // Saturates: a wrapped score would put a strong line at the bottom.
            sim.score = static_cast<std::uint16_t>(
                std::min<std::uint64_t>(own / 2 + ctx.running, MaxScore));
            const std::string_view sp = m.speaker;
            if (sp.size() > 5 && (sp.starts_with("Nemo!") || sp.starts_with("oNemo!")))
                sim.score -= sim.score / 3;
            else if (sp.size() > 5 && sp.starts_with("pavex"))
                sim.score -= sim.score / 3;
            else if (sp.size() > 4 && sp.starts_with("gbit"))
                sim.score = sim.score / 2;
            if (sp != kAiSpeaker) {
                if (candidates.size() >= static_cast<std::size_t>(MaxCandidatesBuilding))
                    trimCandidates(candidates);
                candidates.push_back(sim);
            }
        }

        ctx.lastTime = *time;
        ctx.running = saturate32(own / 2 + ctx.running / 2);
    }

    if (onDebug) {
        const double percent = processed ? chunked * 100.0 / static_cast<double>(processed) : 0.0;
        debug("Randomly chunked: " + formatChunkedPercent(percent) + "%");
    }
    trimCandidates(candidates);
    return candidates;
}

}  // namespace vebix
