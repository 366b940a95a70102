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
#include "engine/enparse/likeness.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {
namespace {

using scoring::Context;
using scoring::conversationBonus;
using scoring::finishOwnScore;
using scoring::isLongLine;
using scoring::recencyBonus;
using scoring::speakerPenalty;
using scoring::storedForm;
using scoring::walk;

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
    std::string_view line = lines_[index];
    return offset <= line.size() ? line.substr(offset) : std::string_view();
}

void Ai::trimCandidates(std::vector<Sim>& candidates) {
    std::stable_sort(candidates.begin(), candidates.end());
    if (candidates.size() > static_cast<std::size_t>(MaxCandidates))
        candidates.resize(MaxCandidates);
}

std::uint64_t Ai::tokenRunScore(const Token* a, std::size_t aCount, const TokenList& b,
                                RunToken start) const {
    if (aCount == 0) return 0;
    const bool seen = start == RunToken::SeenBefore;
    std::uint64_t total = 0;
    for (const Token& bt : b) {
        // bt stays fixed while the run walks along a.
        for (std::size_t j = 0; j < aCount; ++j) {
            const Token& at = a[j];
            if (bt.type == TokenType::Word) {
                if (at.type == TokenType::Word && at.text() == bt.text()) {
                    if (!seen)
                        total += notFillWord(at.text()) ? WordMatchScore : FillWordMatchScore;
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
        if (!seen) total += tokenRunScore(&a[k], a.size() - k, b, RunToken::FirstOfItsKind);
    }
    return total;
}

std::vector<Ai::Sim> Ai::scoreLines(std::string_view partnerName, std::string_view conversationKey,
                                    std::string_view input, std::uint32_t referenceTime) const {
    const TokenList inputTokens = tokenize(input, Tokenize::Normalising);
    const std::string key = storedForm(conversationKey);
    const std::string partner = storedForm(partnerName);
    const std::size_t n = lines_.size();
    scoring::Chunking chunking(n);
    std::uint64_t chunked = 0;
    std::unordered_map<std::string, Context> contexts;
    std::vector<Sim> candidates;
    candidates.reserve(MaxCandidatesBuilding);

    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view line = lines_[i];
        bool skip = hasExcludeMark(line);
        if (chunking.skipsNext()) {
            skip = true;
            ++chunked;
        }

        const auto offset = textOffset(line);
        if (!offset) continue;
        const MindLine m = parseLine(line, AiSuffix::Keep);
        const auto time = parseTime(m.time);
        if (!time) continue;  // an unreadable time: neither candidate nor context

        scoring::WalkLine step;
        step.index = static_cast<std::uint32_t>(i);
        step.textOffset = static_cast<std::uint32_t>(*offset);
        step.time = *time;
        step.own = recencyBonus(referenceTime, *time);
        if (!skip) {
            step.own += conversationBonus(m, key, partner);
            const TokenList lineTokens = tokenize(m.text, Tokenize::Normalising);
            step.own += phraseMatchScore(lineTokens, inputTokens);
            std::size_t words = 0;
            for (const Token& t : lineTokens)
                if (t.type == TokenType::Word) ++words;
            step.own = finishOwnScore(step.own, isLongLine(words));
            step.scored = true;
            step.candidate = m.speaker != kAiSpeaker;
            step.penalty = speakerPenalty(m.speaker);
        }
        walk(contexts[lowerAscii(m.key)], step, candidates);
    }

    if (onDebug_) debug(scoring::chunkedReport(chunked, n));
    trimCandidates(candidates);
    return candidates;
}

}  // namespace vebix
