// The scorer reply() uses: the same scores as scoreLines (the reference), from what the reply
// index keeps about each line, so that a reply costs little more than one walk over the
// conversations however big the mind.
//
// How it stays equal to the reference:
//   1. Random chunking draws the generator exactly as the reference does (it depends on the
//      number of lines only), so it is done first and tells which lines are scored on words.
//   2. A line's own score is the sum of bonuses that depend on the line alone and its phrase
//      score, so it is worked out for the open lines before the walk over conversations.
//   3. The phrase score. With A the longer token list and B the shorter, the reference adds,
//      for every first occurrence k in A and every token b of B, the scores of the run of
//      tokens of A from k on that all match b. For a fixed b that is a sum over maximal runs,
//      which is what is computed here, from per-word decisions made once per reply:
//        - line shorter than input (A = input): the total is the sum over the line's tokens b
//          of G(b), the run sum of b against the input, worked out once per distinct word;
//        - otherwise (A = line): for every distinct input token, the run sums over the line,
//          walking the line once from its end, with the input tokens each line word matches
//          (and what each match is worth) worked out once per distinct word.
//      wordsAlike is asked only for words with the same first letter (a word alike to another
//      always starts with the same letter; words not starting with an ASCII letter are
//      compared with all), and once per pair of distinct words.
//   4. The walk over conversations (recency, pause decay, running scores, candidates) is the
//      reference's, on numbers instead of texts.

#include <algorithm>
#include <string>

#include "engine/ai/ai.h"
#include "engine/base/mutex.h"
#include "engine/ai/scoringrules.h"
#include "engine/base/ascii.h"
#include "engine/enparse/likeness.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {
namespace {

using scoring::Context;
using scoring::conversationBonus;
using scoring::finishOwnScore;
using scoring::recencyBonus;
using scoring::SpeakerPenalty;
using scoring::speakerPenalty;
using scoring::storedForm;
using scoring::walk;

// Words alike to each other start with the same ASCII letter (see the note above); 26 stands
// for a word that does not start with one.
constexpr int kOtherStart = 26;
int startClass(std::string_view w) {
    if (w.empty()) return kOtherStart;
    const char c = w[0];
    return isAsciiLetter(c) ? asciiLower(c) - 'a' : kOtherStart;
}

// The distinct tokens of the input that can score (Words and Numbers).
struct InputToken {
    std::uint16_t type = 0;
    std::string_view text;
    std::uint32_t count = 0;               // how often it occurs in the input
    bool fill = false;                     // a fill word
    std::vector<std::uint32_t> positions;  // where it occurs in the input
};

// One input token a line word matches, and what the match is worth (it may be worth 0 and
// still continue a run).
struct Match {
    std::uint32_t input = 0;
    std::uint32_t score = 0;
};

enum : std::uint8_t {
    kHaveG = 1,
    kHaveM = 2,
};

// Everything worked out once per reply.
class Query {
public:
    Query(const Ai& ai, ReplyIndex& index, std::string_view input)
        : ai_(ai), index_(index), tokens_(tokenize(input, Tokenize::Normalising)) {
        position_.assign(tokens_.size(), -1);
        first_.assign(tokens_.size(), 0);
        for (std::size_t p = 0; p < tokens_.size(); ++p) {
            const Token& t = tokens_[p];
            if (t.type != TokenType::Word && t.type != TokenType::Number) continue;
            auto& table = t.type == TokenType::Word ? wordLookup_ : numberLookup_;
            const auto [at, fresh] =
                table.try_emplace(t.text(), static_cast<std::uint32_t>(inputs_.size()));
            if (fresh) addInput(t);
            const std::uint32_t d = at->second;
            InputToken& it = inputs_[d];
            if (it.count == 0) first_[p] = 1;
            ++it.count;
            it.positions.push_back(static_cast<std::uint32_t>(p));
            position_[p] = static_cast<std::int32_t>(d);
        }
        lastPos_.assign(inputs_.size(), 0);
        run_.assign(inputs_.size(), 0);
    }

    std::size_t tokenCount() const { return tokens_.size(); }

    // The phrase score of a line with these tokens against the input.
    std::uint64_t phraseScore(const ReplyIndex::LineTokens& line) {
        if (inputs_.empty()) return 0;
        std::uint64_t total = 0;
        if (line.count < tokens_.size()) {
            // A = input, B = line.
            for (std::uint32_t j = 0; j < line.count; ++j) {
                const std::uint32_t id = line.ids[j] & ReplyIndex::kIdMask;
                if (id != ReplyIndex::kBreak) total += g(id);
            }
            return total;
        }
        // A = line, B = input. pos_ grows over all lines, so a stale lastPos_ never looks like
        // the position just after.
        const std::uint64_t base = pos_;
        pos_ += line.count + 2;
        for (std::uint32_t j = line.count; j-- > 0;) {
            const std::uint32_t raw = line.ids[j];
            const std::uint32_t id = raw & ReplyIndex::kIdMask;
            if (id == ReplyIndex::kBreak) continue;
            const bool first = (raw & ReplyIndex::kFirstBit) != 0;
            const std::uint64_t p = base + j;
            const auto [from, to] = m(id);
            for (std::uint32_t k = from; k < to; ++k) {
                const Match mt = matches_[k];
                std::uint64_t s = mt.score;
                if (lastPos_[mt.input] == p + 1) s += run_[mt.input];
                run_[mt.input] = s;
                lastPos_[mt.input] = p;
                if (first) total += s * inputs_[mt.input].count;
            }
        }
        return total;
    }

private:
    void addInput(const Token& t) {
        InputToken it;
        it.type = t.type;
        it.text = t.text();
        it.fill = t.type == TokenType::Word && !ai_.notFillWord(it.text);
        const auto d = static_cast<std::uint32_t>(inputs_.size());
        if (t.type == TokenType::Word) {
            const int c = startClass(it.text);
            byStart_[c].push_back(d);
        } else {
            numbers_.push_back(d);
        }
        inputs_.push_back(std::move(it));
    }

    // Calls visit(d) for every input Word that may be alike to (or equal to) w.
    template <typename Visit>
    void forWordsNear(std::string_view w, Visit visit) const {
        const int c = startClass(w);
        if (c == kOtherStart) {
            for (const auto& list : byStart_)
                for (std::uint32_t d : list) visit(d);
            return;
        }
        for (std::uint32_t d : byStart_[c]) visit(d);
        for (std::uint32_t d : byStart_[kOtherStart]) visit(d);
    }

    void grow(std::uint32_t id) {
        if (state_.size() <= id) {
            const std::size_t n = std::max<std::size_t>(index_.wordCount(), id + 1);
            state_.resize(n, 0);
            g_.resize(n, 0);
            mFrom_.resize(n, 0);
            mTo_.resize(n, 0);
        }
    }

    bool fillWord(std::uint32_t id) { return !ai_.notFillWord(index_.wordText(id)); }

    // The run sum of line word id (as b) against the input (as A), over the input's first
    // occurrences.
    std::uint64_t g(std::uint32_t id) {
        grow(id);
        if (state_[id] & kHaveG) return g_[id];
        const std::string_view w = index_.wordText(id);
        scratch_.clear();
        if (index_.wordType(id) == TokenType::Word) {
            forWordsNear(w, [&](std::uint32_t d) {
                const InputToken& a = inputs_[d];
                std::uint32_t s;
                if (a.text == w)
                    s = a.fill ? Ai::FillWordMatchScore : Ai::WordMatchScore;
                else if (wordsAlike(a.text, w))
                    s = a.fill ? 0 : Ai::AlikeWordScore;
                else
                    return;
                for (std::uint32_t p : a.positions) scratch_.push_back({p, s});
            });
        } else {
            for (std::uint32_t d : numbers_) {
                const InputToken& a = inputs_[d];
                const std::uint32_t s =
                    Ai::NumberMatchScore + (a.text == w ? Ai::EqualNumberScore : 0);
                for (std::uint32_t p : a.positions) scratch_.push_back({p, s});
            }
        }
        std::sort(scratch_.begin(), scratch_.end(),
                  [](const Match& x, const Match& y) { return x.input < y.input; });
        std::uint64_t total = 0, run = 0;
        std::uint64_t next = ~std::uint64_t{0};
        for (std::size_t k = scratch_.size(); k-- > 0;) {
            const std::uint32_t p = scratch_[k].input;  // here: a position in the input
            run = scratch_[k].score + (p + 1 == next ? run : 0);
            next = p;
            if (first_[p]) total += run;
        }
        state_[id] |= kHaveG;
        g_[id] = total;
        return total;
    }

    // The input tokens line word id (as part of A) matches, and their scores.
    std::pair<std::uint32_t, std::uint32_t> m(std::uint32_t id) {
        grow(id);
        if (!(state_[id] & kHaveM)) {
            const std::string_view w = index_.wordText(id);
            const auto from = static_cast<std::uint32_t>(matches_.size());
            if (index_.wordType(id) == TokenType::Word) {
                const bool fill = fillWord(id);
                forWordsNear(w, [&](std::uint32_t d) {
                    const InputToken& b = inputs_[d];
                    if (b.text == w)
                        matches_.push_back(
                            {d, static_cast<std::uint32_t>(fill ? Ai::FillWordMatchScore
                                                                : Ai::WordMatchScore)});
                    else if (wordsAlike(w, b.text))
                        matches_.push_back(
                            {d, static_cast<std::uint32_t>(fill ? 0 : Ai::AlikeWordScore)});
                });
            } else {
                for (std::uint32_t d : numbers_)
                    matches_.push_back({d, static_cast<std::uint32_t>(
                                               Ai::NumberMatchScore +
                                               (inputs_[d].text == w ? Ai::EqualNumberScore : 0))});
            }
            mFrom_[id] = from;
            mTo_[id] = static_cast<std::uint32_t>(matches_.size());
            state_[id] |= kHaveM;
        }
        return {mFrom_[id], mTo_[id]};
    }

    const Ai& ai_;
    ReplyIndex& index_;
    TokenList tokens_;
    std::vector<std::int32_t> position_;  // input position -> distinct input token, or -1
    std::vector<std::uint8_t> first_;     // input position holds a first occurrence
    std::vector<InputToken> inputs_;
    std::vector<std::uint32_t> byStart_[kOtherStart + 1];
    std::vector<std::uint32_t> numbers_;
    std::unordered_map<std::string_view, std::uint32_t> wordLookup_, numberLookup_;
    // Per word id of the index, worked out when first needed.
    std::vector<std::uint8_t> state_;
    std::vector<std::uint64_t> g_;
    std::vector<std::uint32_t> mFrom_, mTo_;
    std::vector<Match> matches_;
    std::vector<Match> scratch_;
    // Run bookkeeping for A = line.
    std::vector<std::uint64_t> lastPos_, run_;
    std::uint64_t pos_ = 1;
};

// What the walk over conversations needs of an open line.
struct OpenLine {
    std::uint64_t own = 0;
    std::uint32_t textOffset = 0;
    bool excluded = false;  // carries the exclude mark
    bool ai = false;        // said by "<ai>": never a candidate
    SpeakerPenalty penalty = SpeakerPenalty::None;
};

}  // namespace

std::vector<Ai::Sim> Ai::scoreLinesIndexed(std::string_view partnerName,
                                           std::string_view conversationKey, std::string_view input,
                                           std::uint32_t referenceTime) const {
    MutexLock lock(indexMutex_);
    ReplyIndex& index = *index_;
    index.sync(lines_);
    const std::size_t n = lines_.size();

    // 1. Random chunking, drawing the generator exactly as the reference does.
    std::vector<std::uint32_t> open;
    scoring::Chunking chunking(n);
    for (std::size_t i = 0; i < n; ++i) {
        if (chunking.skipsNext()) {
            i += chunking.skipRunRest(n - i - 1);
            continue;
        }
        open.push_back(static_cast<std::uint32_t>(i));
    }

    // 2. The own score of every open line.
    const std::string key = storedForm(conversationKey);
    const std::string partner = storedForm(partnerName);
    Query query(*this, index, input);
    std::vector<OpenLine> scored(open.size());
    // The open lines come in runs between chunks: each run is read at once.
    LineStore::Reader reader(lines_, std::size_t{64} << 10);
    std::size_t covered = 0;  // the reader holds the open lines before this one
    for (std::size_t k = 0; k < open.size(); ++k) {
        const std::uint32_t i = open[k];
        if (!index.usable(i)) continue;
        if (i >= covered) {
            std::size_t last = i + 1;
            for (std::size_t j = k + 1; j < open.size() && open[j] == last; ++j) ++last;
            covered = reader.fill(i, last);
        }
        OpenLine& o = scored[k];
        const std::string_view line = reader.line(i);
        if (hasExcludeMark(line)) {
            o.excluded = true;
            continue;
        }
        const MindLine mline = parseLine(line, AiSuffix::Keep);
        o.textOffset = static_cast<std::uint32_t>(mline.text.data() - line.data());
        o.penalty = speakerPenalty(mline.speaker);
        o.ai = mline.speaker == kAiSpeaker;

        std::uint64_t own = recencyBonus(referenceTime, index.time(i));
        own += conversationBonus(mline, key, partner);
        const ReplyIndex::LineTokens toks = index.tokens(i, mline.text);
        own += query.phraseScore(toks);
        o.own = finishOwnScore(own, toks.longLine);
    }

    // 3. The walk over conversations, as the reference makes it.
    std::vector<Context> contexts(index.conversationCount());
    std::vector<Sim> candidates;
    candidates.reserve(MaxCandidatesBuilding);
    std::size_t k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const OpenLine* o = nullptr;
        if (k < open.size() && open[k] == i) o = &scored[k++];
        if (!index.usable(i)) continue;
        scoring::WalkLine step;
        step.index = static_cast<std::uint32_t>(i);
        step.time = index.time(i);
        step.scored = o != nullptr && !o->excluded;
        if (step.scored) {
            step.own = o->own;
            step.textOffset = o->textOffset;
            step.candidate = !o->ai;
            step.penalty = o->penalty;
        } else {
            step.own = recencyBonus(referenceTime, step.time);
        }
        walk(contexts[index.conversation(i)], step, candidates);
    }

    if (onDebug_) debug(scoring::chunkedReport(n - open.size(), n));
    trimCandidates(candidates);
    return candidates;
}

void Ai::prepareReplies(const std::atomic<bool>& stop) const {
    // Steps short enough that a reply or a learned line waiting for one is not held up for long.
    constexpr std::size_t kStep = 4096;
    // Replies will go over the mind again and again: its bytes stay in memory from now on.
    lines_.keepInMemory();
    LineStore::Reader reader(lines_);
    for (std::size_t i = 0; !stop.load(std::memory_order_relaxed);) {
        MutexLock lock(indexMutex_);
        ReplyIndex& index = *index_;
        index.sync(lines_);
        const std::size_t end = std::min(lines_.size(), i + kStep);
        if (i >= end) return;
        while (i < end) {
            const std::size_t filled = reader.fill(i, end);
            for (; i < filled; ++i) {
                // The lines the scorer looks at word by word, as it looks at them.
                if (!index.usable(i) || index.hasTokens(i)) continue;
                const std::string_view line = reader.line(i);
                if (hasExcludeMark(line)) continue;
                index.tokens(i, parseLine(line, AiSuffix::Keep).text);
            }
        }
    }
}

}  // namespace vebix
