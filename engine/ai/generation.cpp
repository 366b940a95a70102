// Making up a reply: the part of one line before a word of the input, that word, and the part
// of another line after the same word; both halves may be stretched by splicing in further lines
// at short phrases they share.

#include <string>

#include "engine/ai/ai.h"
#include "engine/base/mutex.h"
#include "engine/ai/findnocase.h"
#include "engine/base/ascii.h"
#include "engine/base/random.h"
#include "engine/enparse/tokenizer.h"
#include "engine/enparse/unicode.h"

namespace vebix {
namespace {

// Keeps a splice chain finite whatever the mind holds; real chains end after a few passes.
constexpr int kMaxSplicePasses = 100;
constexpr std::size_t kKeptPositions = 256;
constexpr int kPickAttempts = 5;
constexpr int kSeedSweeps = 33;
constexpr int kNumberShySweeps = 8;
constexpr std::size_t kShortestExtended = 10;

bool isWordOrNumber(const Token& t) {
    return t.type == TokenType::Word || t.type == TokenType::Number;
}

// True when text[pos, pos+len) stands as whole words: a word break or the end of the text on
// either side.
bool boundedByBreaks(std::string_view text, std::size_t pos, std::size_t len) {
    if (pos > 0) {
        std::size_t start = pos - 1;
        while (start > 0 && pos - start < 4 &&
               (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80)
            --start;
        std::size_t cpLen = 0;
        const char32_t cp = unicode::decode(text, start, cpLen);
        if (start + cpLen != pos || !isWordBreak(cp)) return false;
    }
    const std::size_t end = pos + len;
    if (end < text.size()) {
        std::size_t cpLen = 0;
        if (!isWordBreak(unicode::decode(text, end, cpLen))) return false;
    }
    return true;
}

bool hasLetterOrDigit(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        std::size_t len = 0;
        const char32_t cp = unicode::decode(s, i, len);
        if ((cp >= '0' && cp <= '9') || (cp != unicode::kInvalid && unicode::isAlphabetic(cp)))
            return true;
        i += len ? len : 1;
    }
    return false;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\r' || c == '\n'; }

std::vector<Token> plainTokens(std::string_view text) {
    return tokenize(text, Tokenize::Plain).tokens();
}

// Chooses the phrase length for one splice pass: 2 words, sometimes 1, sometimes 3.
// Returns 0 when toks is too short for it.
std::size_t choosePhraseLength(const std::vector<Token>& toks) {
    std::size_t m = 2;
    if ((rng::next() & 15) == 0) m = 1;
    if (toks.size() < m) return 0;
    if (toks.size() > m && (rng::next() & 3) == 0) ++m;
    return m;
}

// The span from the start of first to the end of last within text, blanks trimmed; false when
// either token is not inside text.
bool phraseSpan(std::string_view text, const Token& first, const Token& last, std::size_t& start,
                std::size_t& end) {
    if (!liesWithin(first.text(), text) || !liesWithin(last.text(), text)) return false;
    start = static_cast<std::size_t>(first.data - text.data());
    end = static_cast<std::size_t>(last.data + last.length - text.data());
    if (end < start) return false;
    while (start < end && isBlank(text[start])) ++start;
    while (end > start && isBlank(text[end - 1])) --end;
    return end > start;
}

}  // namespace

int Ai::pickSeedToken(const std::vector<Token>& tokens) {
    if (tokens.empty()) return -1;
    const std::uint32_t count = static_cast<std::uint32_t>(tokens.size());
    for (int sweep = 0; sweep < kSeedSweeps; ++sweep) {
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (tokens[i].type == TokenType::Word) {
                if (rng::next() % count == 0) return static_cast<int>(i);
            } else if (tokens[i].type == TokenType::Number) {
                // Numbers are shy at first: a word makes the better seed.
                const std::uint64_t odds = sweep < kNumberShySweeps ? 4ull * count : count;
                if (rng::next() % odds == 0) return static_cast<int>(i);
            }
        }
    }
    return -1;
}

std::vector<Token> Ai::tokensFromWord(const std::vector<Token>& tokens, int k) {
    if (k >= 0) {
        int skipped = 0;
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            if (!isWordOrNumber(tokens[i])) continue;
            if (skipped == k)
                return {tokens.begin() + static_cast<std::ptrdiff_t>(i), tokens.end()};
            ++skipped;
        }
    } else {
        int skipped = 0;
        for (std::size_t i = tokens.size(); i-- > 0;) {
            if (!isWordOrNumber(tokens[i])) continue;
            if (skipped == -k)
                return {tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1};
            ++skipped;
        }
    }
    return {};
}

std::vector<std::uint32_t> Ai::linesWithPhrase(std::string_view phrase,
                                               std::string_view exclude) const {
    std::vector<std::uint32_t> found;
    const ReplyIndex& index = *index_;
    // Line i (its bytes: line) may lend its text.
    auto consider = [&](std::size_t i, std::string_view line) {
        if (index.fromAi(i)) return;
        const std::string_view text = index.text(i, line);
        const std::size_t pos = findNoCase(text, phrase);
        if (pos == std::string_view::npos || !boundedByBreaks(text, pos, phrase.size())) return;
        if (hasExcludeMark(line)) return;
        if (!exclude.empty() && exclude.find(text) != std::string_view::npos) return;
        found.push_back(static_cast<std::uint32_t>(i));
    };
    const std::size_t n = lines_.size();
    LineStore::Reader reader(lines_);
    std::size_t i = 0;
    // The lines loaded from one text are searched a block at a time: only a line whose bytes
    // hold the phrase somewhere is looked at on its own.
    const bool blocks = !phrase.empty() && phrase.find_first_of(std::string_view("\r\n\0", 3)) ==
                                               std::string_view::npos;
    const char* const span = lines_.spanText().data();
    while (blocks && i < lines_.spanLines()) {
        const std::size_t end = reader.fill(i, lines_.spanLines());
        const std::string_view block = reader.block();
        const char* const base = span + reader.blockOffset();  // block[0] in the span
        std::size_t from = 0;
        for (;;) {
            const std::size_t at = findNoCase(block, phrase, from);
            if (at == std::string_view::npos) break;
            // The line the hit starts in or after.
            while (i < end &&
                   static_cast<std::size_t>(lines_[i].data() + lines_[i].size() - base) <= at)
                ++i;
            if (i == end) break;
            const auto start = static_cast<std::size_t>(lines_[i].data() - base);
            const std::size_t size = lines_[i].size();
            if (at >= start && at + phrase.size() <= start + size) {
                consider(i, block.substr(start, size));
                from = start + size;
                ++i;
            } else {
                from = at + 1;  // across a line end, or in bytes no line holds
            }
        }
        i = end;
    }
    while (i < n) {
        const std::size_t end = reader.fill(i, n);
        for (; i < end; ++i) consider(i, reader.line(i));
    }
    return found;
}

bool Ai::findLineWithPhrase(std::string_view partnerName, std::string_view phrase,
                            std::string_view exclude, PhraseHit& hit) const {
    std::vector<std::uint32_t> kept;
    auto keep = [&](std::uint32_t i) {
        if (kept.size() < kKeptPositions) {
            kept.push_back(i);
        } else if (rng::next() & 1) {
            kept[rng::next() & 255] = i;
        }
    };
    {
        MutexLock lock(indexMutex_);
        index_->sync(lines_);
        if (const std::vector<std::uint32_t>* found = index_->foundLines(phrase, exclude)) {
            for (std::uint32_t i : *found) keep(i);
        } else {
            std::vector<std::uint32_t> lines = linesWithPhrase(phrase, exclude);
            for (std::uint32_t i : lines) keep(i);
            index_->keepFoundLines(phrase, exclude, std::move(lines));
        }
    }
    if (kept.empty()) return false;

    for (int attempt = 0; attempt < kPickAttempts; ++attempt) {
        const std::uint32_t index = kept[rng::next() % kept.size()];
        const std::string_view text = lineText(lines_[index]);
        std::string chosen =
            personalize_ ? personalizeText(partnerName, index, text) : std::string(text);
        // Personalising may have replaced a name the phrase held.
        const std::size_t pos = findNoCase(chosen, phrase);
        if (pos == std::string_view::npos) continue;
        hit.text = std::move(chosen);
        hit.offset = pos;
        hit.length = phrase.size();
        return true;
    }
    return false;
}

std::string Ai::generateReply(std::string_view partnerName, std::string_view seed) const {
    if (!hasLetterOrDigit(seed)) return {};

    PhraseHit first;
    if (!findLineWithPhrase(partnerName, seed, {}, first)) return {};
    const std::string_view text1 = first.text;
    const std::string_view occurrence = text1.substr(first.offset, first.length);
    const std::vector<Token> occTokens = plainTokens(occurrence);
    const int s = pickSeedToken(occTokens);
    if (s < 0) return {};
    const Token& splice = occTokens[static_cast<std::size_t>(s)];
    if (!liesWithin(splice.text(), occurrence)) return {};
    // The word as the first line writes it, not as the input's normalised token.
    std::string head(text1.substr(0, static_cast<std::size_t>(splice.data - text1.data())));
    const std::string word(splice.text());

    PhraseHit second;
    if (!findLineWithPhrase(partnerName, word, {}, second)) return {};
    std::string tail = second.text.substr(second.offset + second.length);

    if (head.size() > kShortestExtended && (rng::next() & 1) == 0) {
        std::vector<Token> toks = plainTokens(head);
        for (int pass = 0; !toks.empty() && pass < kMaxSplicePasses; ++pass) {
            const int k = static_cast<int>(rng::next() % 3 + 2);
            toks = tokensFromWord(toks, k);
            if (toks.empty()) break;
            const std::size_t m = choosePhraseLength(toks);
            if (m == 0) continue;
            std::size_t start = 0, end = 0;
            if (!phraseSpan(head, toks[0], toks[m - 1], start, end)) continue;
            const std::string_view phrase = std::string_view(head).substr(start, end - start);
            PhraseHit hit;
            if (!findLineWithPhrase(partnerName, phrase, head, hit)) continue;
            std::string joined = hit.text.substr(0, hit.offset);
            joined.append(head, start);
            head = std::move(joined);
            // The next pass works on the part just spliced in, as it now stands in head.
            toks = plainTokens(std::string_view(head).substr(0, hit.offset));
        }
    }

    if (tail.size() > kShortestExtended) {
        std::vector<Token> toks = plainTokens(tail);
        for (int pass = 0; !toks.empty() && pass < kMaxSplicePasses; ++pass) {
            const int k = -static_cast<int>(rng::next() % 3 + 2);
            toks = tokensFromWord(toks, k);
            if (toks.empty()) break;
            const std::size_t m = choosePhraseLength(toks);
            if (m == 0) continue;
            std::size_t start = 0, end = 0;
            if (!phraseSpan(tail, toks[toks.size() - m], toks.back(), start, end)) continue;
            const std::string_view phrase = std::string_view(tail).substr(start, end - start);
            PhraseHit hit;
            if (!findLineWithPhrase(partnerName, phrase, tail, hit)) continue;
            const std::size_t after = hit.text.size() - (hit.offset + hit.length);
            std::string joined = tail.substr(0, start);
            joined.append(hit.text, hit.offset);
            tail = std::move(joined);
            toks = plainTokens(std::string_view(tail).substr(tail.size() - after));
        }
    }

    return head + word + tail;
}

}  // namespace vebix
