#include "ai/replyindex.h"

#include <algorithm>
#include <unordered_set>

#include "ai/mindline.h"
#include "enparse/tokenizer.h"

namespace vebix {
namespace {

// Where the first three blanks of a line are; false when it has fewer.
bool findBlanks(std::string_view line, std::size_t& b1, std::size_t& b2, std::size_t& b3) {
    b1 = line.find(' ');
    if (b1 == std::string_view::npos) return false;
    b2 = line.find(' ', b1 + 1);
    if (b2 == std::string_view::npos) return false;
    b3 = line.find(' ', b2 + 1);
    return b3 != std::string_view::npos;
}

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
    wordIds_.clear();
    numberIds_.clear();
    words_.assign(1, std::string_view());
    types_.assign(1, 0);
    lastKey_.clear();
    lastConversation_ = kNone;
}

void ReplyIndex::sync(const LineStore& lines) {
    if (epoch_ != lines.epoch() || time_.size() > lines.size()) {
        reset();
        epoch_ = lines.epoch();
    }
    const std::size_t from = time_.size();
    const std::size_t n = lines.size();
    if (from == n) return;
    time_.resize(n);
    conversation_.resize(n);
    flags_.resize(n);
    textOffset_.resize(n);
    tokenStart_.resize(n, kNone);
    std::string lower;
    for (std::size_t i = from; i < n; ++i) {
        const std::string_view line = lines[i];
        std::size_t b1, b2, b3;
        std::uint8_t flags = hasExcludeMark(line) ? kExcluded : 0;
        time_[i] = 0;
        conversation_[i] = 0;
        textOffset_[i] = 0;
        const bool blanks = findBlanks(line, b1, b2, b3);
        flags_[i] = flags;
        if (!blanks) continue;  // no speaker: not "<ai>"
        std::string_view speaker = line.substr(b2 + 1, b3 - b2 - 1);
        if (speaker.size() > kAiSpeaker.size() && speaker.ends_with(kAiSpeaker))
            speaker.remove_suffix(kAiSpeaker.size());
        if (speaker == kAiSpeaker) flags |= kAiStripped;
        flags |= kHasText;
        textOffset_[i] = static_cast<std::uint8_t>(std::min<std::size_t>(b3 + 1, 255));
        flags_[i] = flags;
        const auto t = parseTime(line.substr(b1 + 1, b2 - b1 - 1));
        if (!t) continue;
        flags_[i] = flags | kUsable;
        time_[i] = *t;
        const std::string_view key = line.substr(0, b1);
        if (lastConversation_ == kNone || key != lastKey_) {
            lower.assign(key);
            for (char& c : lower)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            auto [it, fresh] = conversations_.try_emplace(lower, 0);
            if (fresh) it->second = static_cast<std::uint32_t>(conversations_.size() - 1);
            lastConversation_ = it->second;
            lastKey_.assign(key);
        }
        conversation_[i] = lastConversation_;
    }
}

std::string_view ReplyIndex::text(std::size_t i, std::string_view line) const {
    if (!(flags_[i] & kHasText)) return {};
    if (textOffset_[i] < 255) return line.substr(textOffset_[i]);
    return lineText(line);
}

std::uint32_t ReplyIndex::wordId(std::uint16_t type, std::string_view text) {
    Table& table = type == TokenType::Word ? wordIds_ : numberIds_;
    auto it = table.find(text);
    if (it != table.end()) return it->second;
    const auto id = static_cast<std::uint32_t>(words_.size());
    auto [at, fresh] = table.emplace(std::string(text), id);
    (void)fresh;
    words_.push_back(at->first);  // the table's keys do not move
    types_.push_back(type);
    return id;
}

ReplyIndex::LineTokens ReplyIndex::tokens(std::size_t i, std::string_view text) {
    if (tokenStart_[i] == kNone) {
        const TokenList list = tokenize(text, true);
        const auto start = static_cast<std::uint32_t>(pool_.size());
        pool_.push_back(0);
        std::size_t words = 0;
        std::unordered_set<std::uint32_t> seen;
        const bool pairwise = list.size() <= kPairwiseFirstCheck;
        for (const Token& t : list) {
            std::uint32_t id = kBreak;
            if (t.type == TokenType::Word || t.type == TokenType::Number) {
                if (t.type == TokenType::Word) ++words;
                id = wordId(t.type, t.text());
                bool first;
                if (pairwise) {
                    first = true;
                    for (std::size_t k = start + 1; k < pool_.size(); ++k)
                        if ((pool_[k] & kIdMask) == id) {
                            first = false;
                            break;
                        }
                } else {
                    first = seen.insert(id).second;
                }
                if (first) id |= kFirstBit;
            }
            pool_.push_back(id);
        }
        pool_[start] = static_cast<std::uint32_t>(list.size()) | (words >= 7 ? kFirstBit : 0u);
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
