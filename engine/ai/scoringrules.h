#pragma once
// Small pieces shared by the reference scorer and the indexed one, so that both apply the same
// rules in the same way.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/base/random.h"

namespace vebix::scoring {

inline std::uint32_t saturate32(std::uint64_t v) {
    return v > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<std::uint32_t>(v);
}

// Key and speaker are stored with blanks as "_": true when stored is name in that form, so
// that a name with a blank still earns the same-conversation and same-speaker bonuses.
inline bool isStoredForm(std::string_view stored, std::string_view name) {
    if (stored.size() != name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i)
        if (stored[i] != (name[i] == ' ' ? '_' : name[i])) return false;
    return true;
}

// The part of an input that replies read: at most kLongestLine bytes, cut before a character
// that would not fit whole.
inline std::string_view readInput(std::string_view input) {
    if (input.size() <= kLongestLine) return input;
    std::size_t end = kLongestLine;
    while (end > 0 && (static_cast<unsigned char>(input[end]) & 0xC0) == 0x80) --end;
    return input.substr(0, end);
}

// Random chunking: on big minds, runs of lines are passed over at random, so that replies vary
// and cost less. The generator is drawn once for each line outside a run (and once more where a
// run starts), whichever scorer asks, so both pass over the same lines.
class Chunking {
public:
    explicit Chunking(std::size_t lineCount) : lineCount_(lineCount) {}

    // Decides for the next line in order: true when it is passed over.
    bool skipsNext() {
        if (left_ > 0) {
            --left_;
            return true;
        }
        if (lineCount_ <= static_cast<std::size_t>(Ai::ChunkingMinLines)) return false;
        if ((rng::next() & 127) != 0) return false;
        left_ = rng::next() % 40 + lineCount_ / Ai::ChunkingLinesPerStep;
        return true;
    }
    // Passes over the rest of the current run at once, at most most lines; how many it took.
    // The same as that many calls of skipsNext, which would draw nothing inside a run.
    std::uint64_t skipRunRest(std::uint64_t most) {
        const std::uint64_t step = std::min(left_, most);
        left_ -= step;
        return step;
    }

private:
    std::size_t lineCount_;
    std::uint64_t left_ = 0;
};

// "Randomly chunked: <percent>%" for the debug sink.
inline std::string chunkedReport(std::uint64_t chunked, std::uint64_t lineCount) {
    const double percent = lineCount ? chunked * 100.0 / static_cast<double>(lineCount) : 0.0;
    return "Randomly chunked: " + formatChunkedPercent(percent) + "%";
}

// Lines said shortly before the reference time score a little more.
inline std::uint64_t recencyBonus(std::uint32_t referenceTime, std::uint32_t time) {
    const auto d = static_cast<std::int32_t>(referenceTime - time);
    std::uint64_t own = 0;
    if (d > 0) {
        if (d <= Ai::RecentLineSeconds) own += Ai::RecentLineBonus;
        if (d <= Ai::RecentMonthSeconds) own += Ai::RecentMonthBonus;
    }
    return own;
}

// A line of the conversation being had, or said by the partner, scores more (see
// isStoredForm).
inline std::uint64_t conversationBonus(const MindLine& line, std::string_view key,
                                       std::string_view partner) {
    std::uint64_t own = 0;
    if (isStoredForm(line.key, key)) own += Ai::SameConversationBonus;
    if (isStoredForm(line.speaker, partner)) own += Ai::SameSpeakerBonus;
    return own;
}

// A line with at least Ai::LongLineWords Word tokens keeps this share of its own score.
inline constexpr double kLongLineFactor = 0.7;

inline bool isLongLine(std::size_t wordTokens) {
    return wordTokens >= static_cast<std::size_t>(Ai::LongLineWords);
}

// A line's own score once every part is added: saturated to 32 bits, then cut for a long line.
inline std::uint64_t finishOwnScore(std::uint64_t own, bool longLine) {
    own = saturate32(own);
    if (longLine) own = static_cast<std::uint64_t>(static_cast<double>(own) * kLongLineFactor);
    return own;
}

// Lines of some other bots' speakers are worth less as replies.
enum class SpeakerPenalty : std::uint8_t { None, Third, Half };

inline SpeakerPenalty speakerPenalty(std::string_view speaker) {
    if (speaker.size() > 5 && (speaker.starts_with("Nemo!") || speaker.starts_with("oNemo!")))
        return SpeakerPenalty::Third;
    if (speaker.size() > 5 && speaker.starts_with("pavex")) return SpeakerPenalty::Third;
    if (speaker.size() > 4 && speaker.starts_with("gbit")) return SpeakerPenalty::Half;
    return SpeakerPenalty::None;
}

// Per conversation, within one scoring pass.
struct Context {
    std::uint32_t running = 0;
    std::uint32_t lastTime = 0;
};

// One line as the walk over conversations sees it.
struct WalkLine {
    std::uint32_t index = 0;
    std::uint32_t textOffset = 0;
    std::uint32_t time = 0;
    std::uint64_t own = 0;   // its own score (only the recency bonus when not scored)
    bool scored = false;     // not passed over: it may become a candidate
    bool candidate = false;  // scored and not said by "<ai>"
    SpeakerPenalty penalty = SpeakerPenalty::None;
};

// The walk over conversations, one line at a time in mind order: the own score decays with the
// pause since the conversation's previous line, a scored line's score adds the conversation's
// running score, and the running score carries half of both on. A line earlier than its
// predecessor in the conversation is ignored and leaves the context as it was.
inline void walk(Context& ctx, const WalkLine& line, std::vector<Ai::Sim>& candidates) {
    std::uint64_t own = line.own;
    if (ctx.lastTime != 0) {
        const auto g = static_cast<std::int32_t>(line.time - ctx.lastTime);
        if (g > 0) {
            const std::uint64_t minutes = std::min<std::uint64_t>(g / 60, Ai::PauseDecayMaxMinutes);
            if (own != 0) own -= own * (minutes * Ai::PauseDecayPercentPerMinute) / 100;
        } else if (g < 0) {
            return;
        }
    }

    if (line.scored) {
        Ai::Sim sim;
        sim.index = line.index;
        sim.textOffset = line.textOffset;
        // Saturates: a wrapped score would put a strong line at the bottom.
        sim.score = static_cast<std::uint16_t>(
            std::min<std::uint64_t>(own / 2 + ctx.running, Ai::MaxScore));
        if (line.penalty == SpeakerPenalty::Third)
            sim.score -= sim.score / 3;
        else if (line.penalty == SpeakerPenalty::Half)
            sim.score = sim.score / 2;
        if (line.candidate) {
            if (candidates.size() >= static_cast<std::size_t>(Ai::MaxCandidatesBuilding))
                Ai::trimCandidates(candidates);
            candidates.push_back(sim);
        }
    }

    ctx.lastTime = line.time;
    ctx.running = saturate32(own / 2 + ctx.running / 2);
}

}  // namespace vebix::scoring
