#include "engine/ai/replyindex.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "engine/ai/mindline.h"
#include "engine/ai/scoringrules.h"
#include "engine/base/ascii.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {
namespace {

// Where the first three blanks of a line are; false when it has fewer.
// The fields before the text are short: the blanks are found sixteen bytes at a time rather
// than with a library search per blank.
bool findBlanks(std::string_view line, std::size_t& b1, std::size_t& b2, std::size_t& b3) {
    std::size_t found[3];
    int k = 0;
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i blank = _mm_set1_epi8(' ');
    if (line.size() >= 32) {
        // Key, time and speaker nearly always fit the first 32 bytes.
        const auto low = static_cast<std::uint32_t>(_mm_movemask_epi8(
            _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data())), blank)));
        const auto high = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + 16)), blank)));
        const std::uint32_t hits = low | high << 16;
        const std::uint32_t second = hits & (hits - 1);
        const std::uint32_t third = second & (second - 1);
        if (third != 0) {
            b1 = static_cast<std::size_t>(__builtin_ctz(hits));
            b2 = static_cast<std::size_t>(__builtin_ctz(second));
            b3 = static_cast<std::size_t>(__builtin_ctz(third));
            return true;
        }
    }
    for (; i + 16 <= line.size(); i += 16) {
        auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + i)), blank)));
        while (hits != 0) {
            found[k++] = i + static_cast<std::size_t>(__builtin_ctz(hits));
            if (k == 3) {
                b1 = found[0];
                b2 = found[1];
                b3 = found[2];
                return true;
            }
            hits &= hits - 1;
        }
    }
#endif
    for (; i < line.size(); ++i) {
        if (line[i] != ' ') continue;
        found[k++] = i;
        if (k == 3) {
            b1 = found[0];
            b2 = found[1];
            b3 = found[2];
            return true;
        }
    }
    return false;
}

// The hash of a word of the word table: eight bytes at a time, the type and length mixed in.
// Fewer than eight bytes from p in one word, the first in the lowest byte, zeros after: most
// words are that short, and a library copy of a few bytes costs more than the bytes.
std::uint64_t partialWord(const char* p, std::size_t n) {
    std::uint64_t v = 0;
    for (std::size_t k = 0; k < n; ++k)
        v |= std::uint64_t{static_cast<unsigned char>(p[k])} << (8 * k);
    return v;
}

std::uint32_t hashWord(std::uint16_t type, std::string_view text) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ (std::uint64_t{type} << 32) ^ text.size();
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        std::uint64_t v;
        std::memcpy(&v, text.data() + i, 8);
        h = (h ^ v) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    if (i < text.size()) {
        h = (h ^ partialWord(text.data() + i, text.size() - i)) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    h *= 0xC4CEB9FE1A85EC53ull;
    return static_cast<std::uint32_t>(h >> 32);
}

// The longest key kept to tell a run of lines of one conversation.
constexpr std::size_t kKeptKeyBytes = 256;

// Short lines compare their tokens pairwise; long ones use a set.
constexpr std::size_t kPairwiseFirstCheck = 48;

}  // namespace

void ReplyIndex::reset() {
    time_.clear();
    conversation_.clear();
    flags_.clear();
    textOffset_.clear();
    tokenStart_.clear();
    pool_.clear();
    conversations_.clear();
    slots_.clear();
    hashes_.assign(1, 0);
    texts_.clear();
    words_.assign(1, std::string_view());
    types_.assign(1, 0);
    lastKey_.clear();
    lastKeyShort_ = false;
    lastConversation_ = kNone;
    found_.clear();
}

void ReplyIndex::reserve(std::size_t lines) {
    time_.reserve(lines);
    conversation_.reserve(lines);
    flags_.reserve(lines);
    textOffset_.reserve(lines);
    tokenStart_.reserve(lines);
}

void ReplyIndex::sync(const LineStore& lines) {
    if (epoch_ != lines.epoch() || time_.size() > lines.size()) {
        reset();
        epoch_ = lines.epoch();
    }
    const std::size_t n = lines.size();
    if (time_.size() == n) return;
    found_.clear();  // a new line may hold any phrase
    LineStore::Reader reader(lines, LineStore::Reader::kDefaultBlock, kLongestLine);
    for (std::size_t i = time_.size(); i < n;) {
        const std::size_t end = reader.fill(i, n);
        for (; i < end; ++i) {
            const std::string_view line = reader.line(i);
            append(&line, 1);
        }
    }
}

struct ReplyIndex::LineFacts {
    std::string_view key;
    std::uint32_t time = 0;
    std::uint8_t flags = 0;
    std::uint8_t textOffset = 0;
    bool shortKey = false;  // a key of at most sixteen bytes, probed already
    bool sameKey = false;   // usable, with the key of the usable line before it
    KeyTable::Probe probe;  // of key, when shortKey or not sameKey
};

ReplyIndex::LineFacts ReplyIndex::readLine(std::string_view line) {
    LineFacts f;
    std::size_t b1, b2, b3;
    // A line too long for replies has no facts: replies pass it over (as a Reader, which gives
    // it as an empty line, has them do).
    if (line.size() > kLongestLine || !findBlanks(line, b1, b2, b3)) return f;
    // "<ai>" after the suffix strip: "<ai>" itself, or "<ai><ai>".
    const std::string_view speaker = line.substr(b2 + 1, b3 - b2 - 1);
    if ((speaker.size() == 4 || speaker.size() == 8) && speaker.starts_with(kAiSpeaker) &&
        speaker.ends_with(kAiSpeaker))
        f.flags |= kAiStripped;
    f.flags |= kHasText;
    f.textOffset = static_cast<std::uint8_t>(std::min<std::size_t>(b3 + 1, 255));
    if (const auto t = parseTime(line.substr(b1 + 1, b2 - b1 - 1))) {
        f.flags |= kUsable;
        f.time = *t;
        f.key = line.substr(0, b1);
        // Nearly every key is short, in a line of 32 bytes or more (see findBlanks).
        if (line.size() >= 32 && b1 <= 16) {
            f.shortKey = true;
            f.probe = KeyTable::probeShort(line.data(), b1);
        }
    }
    return f;
}

void ReplyIndex::append(const std::string_view* lines, std::size_t count) {
    // Lines of one conversation come in runs, and each run looks up its key once. On a big
    // mind of short chats that is a look-up every few lines into a table far bigger than the
    // cache, so the lines go in small batches: the first pass reads them and sets the look-ups
    // of new keys going, the second makes them once the table's memory is at hand.
    constexpr std::size_t kBatch = 32;
    LineFacts facts[kBatch];
    for (std::size_t from = 0; from < count; from += kBatch) {
        const std::size_t n = std::min(kBatch, count - from);
        // The key of the usable line before: short ones are told by their probes, letter
        // case ignored as the table ignores it, longer ones by their bytes.
        bool haveKey = lastConversation_ != kNone;
        bool previousShort = lastKeyShort_;
        KeyTable::Probe previousProbe = lastProbe_;
        std::string_view previous = lastKey_;
        for (std::size_t k = 0; k < n; ++k) {
            LineFacts& f = facts[k];
            f = readLine(lines[from + k]);
            if (!(f.flags & kUsable)) continue;
            f.sameKey =
                haveKey && previousShort == f.shortKey &&
                (f.shortKey ? KeyTable::sameShortKey(f.probe, previousProbe) : f.key == previous);
            if (!f.sameKey) {
                if (!f.shortKey) f.probe = KeyTable::probe(f.key);
                conversations_.prefetch(f.probe);
            }
            // A key too long to be a name is looked up for every line rather than kept.
            haveKey = f.key.size() <= kKeptKeyBytes;
            previousShort = f.shortKey;
            previousProbe = f.probe;
            previous = f.key;
        }
        for (std::size_t k = 0; k < n; ++k) {
            const LineFacts& f = facts[k];
            std::uint32_t conversation = 0;
            if (f.sameKey) {
                conversation = lastConversation_;
            } else if (f.flags & kUsable) {
                conversation = conversations_.id(f.key, f.probe);
                if (f.key.size() <= kKeptKeyBytes) {
                    lastKeyShort_ = f.shortKey;
                    lastProbe_ = f.probe;
                    if (!f.shortKey) lastKey_.assign(f.key);
                    lastConversation_ = conversation;
                } else {
                    lastConversation_ = kNone;
                }
            }
            time_.push_back(f.time);
            conversation_.push_back(conversation);
            flags_.push_back(f.flags);
            textOffset_.push_back(f.textOffset);
            tokenStart_.push_back(kNone);
        }
    }
}

const std::vector<std::uint32_t>* ReplyIndex::foundLines(std::string_view phrase,
                                                         std::string_view exclude) const {
    for (const Found& f : found_)
        if (f.exclude == exclude && equalsIgnoringAsciiCase(f.phrase, phrase)) return &f.lines;
    return nullptr;
}

void ReplyIndex::keepFoundLines(std::string_view phrase, std::string_view exclude,
                                std::vector<std::uint32_t> found) {
    constexpr std::size_t kKept = 4;
    if (found_.size() == kKept) found_.erase(found_.begin());
    found_.push_back({lowerAscii(phrase), std::string(exclude), std::move(found)});
}

std::string_view ReplyIndex::text(std::size_t i, std::string_view line) const {
    if (!(flags_[i] & kHasText)) return {};
    if (textOffset_[i] < 255) return line.substr(textOffset_[i]);
    return lineText(line);
}

std::uint32_t ReplyIndex::wordId(std::uint16_t type, std::string_view text) {
    const std::uint32_t h = hashWord(type, text);
    // Words of up to eight bytes (most of them) are told apart by their slot alone: their
    // bytes, length and type are kept in it, so a look-up touches one place in memory.
    std::uint64_t head = 0;
    if (text.size() >= 8)
        std::memcpy(&head, text.data(), 8);
    else
        head = partialWord(text.data(), text.size());
    const auto length = static_cast<std::uint8_t>(std::min<std::size_t>(text.size(), 255));
    const auto check = static_cast<std::uint16_t>(h >> 16);
    if (slots_.empty()) slots_.resize(1 << 12);
    std::size_t mask = slots_.size() - 1;
    std::size_t at = h & mask;
    for (;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.id == 0) break;
        if (slot.head != head || slot.length != length || slot.type != type || slot.check != check)
            continue;
        if (text.size() <= 8 || words_[slot.id] == text) return slot.id;
    }
    // A new word: its text is kept where it never moves, since words_ views it.
    const auto id = static_cast<std::uint32_t>(words_.size());
    words_.push_back(texts_.store(text));
    types_.push_back(type);
    slots_[at] = {head, id, check, length, static_cast<std::uint8_t>(type)};
    hashes_.push_back(h);
    if (words_.size() * 2 > slots_.size()) {
        std::vector<Slot> bigger(slots_.size() * 2);
        mask = bigger.size() - 1;
        for (const Slot& slot : slots_) {
            if (slot.id == 0) continue;
            std::size_t k = hashes_[slot.id] & mask;
            while (bigger[k].id != 0) k = (k + 1) & mask;
            bigger[k] = slot;
        }
        slots_ = std::move(bigger);
    }
    return id;
}

// Turns the tokens of a line into word numbers as they come, straight into the pool.
class ReplyIndex::PoolSink final : public TokenSink {
public:
    explicit PoolSink(ReplyIndex& index) : index_(index) {}
    void push(std::uint16_t type, std::string_view text) override {
        std::uint32_t id = kBreak;
        if (type == TokenType::Word || type == TokenType::Number) {
            id = index_.wordId(type, text);
            if (type == TokenType::Word) ++words;
        }
        index_.pool_.push_back(id);
    }
    void pop() override {
        const std::uint32_t id = index_.pool_.back();
        if (id != kBreak && index_.types_[id] == TokenType::Word) --words;
        index_.pool_.pop_back();
    }
    std::size_t words = 0;  // Word tokens pushed and not taken back

private:
    ReplyIndex& index_;
};

ReplyIndex::LineTokens ReplyIndex::tokens(std::size_t i, std::string_view text) {
    if (tokenStart_[i] == kNone) {
        // The pool starts at a megabyte, in huge pages (see KeyTable::grow).
        if (pool_.capacity() == 0) pool_.reserve((std::size_t{1} << 20) / sizeof(std::uint32_t));
        const auto start = static_cast<std::uint32_t>(pool_.size());
        pool_.push_back(0);
        PoolSink sink(*this);
        tokenizeInto(text, sink);
        // Each token that is the first of its kind in the line is marked. A word's number
        // stands for its type and text, so equal numbers are equal tokens.
        std::uint32_t* ids = pool_.data() + start + 1;
        const std::size_t count = pool_.size() - start - 1;
        std::unordered_set<std::uint32_t> seen;
        const bool pairwise = count <= kPairwiseFirstCheck;
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint32_t id = ids[k];
            if (id == kBreak) continue;
            bool first;
            if (pairwise) {
                first = true;
                for (std::size_t j = 0; j < k; ++j)
                    if ((ids[j] & kIdMask) == id) {
                        first = false;
                        break;
                    }
            } else {
                first = seen.insert(id).second;
            }
            if (first) ids[k] = id | kFirstBit;
        }
        pool_[start] =
            static_cast<std::uint32_t>(count) | (scoring::isLongLine(sink.words) ? kFirstBit : 0u);
        tokenStart_[i] = start;
    }
    const std::uint32_t start = tokenStart_[i];
    LineTokens out;
    out.count = pool_[start] & kIdMask;
    out.longLine = (pool_[start] & kFirstBit) != 0;
    out.ids = pool_.data() + start + 1;
    return out;
}

}  // namespace vebix
