#include "engine/enparse/token.h"

#include <cstring>

namespace vebix {

namespace {
constexpr std::size_t kFirstBlock = 128;
constexpr std::size_t kLargestBlock = 4096;
}  // namespace

TokenList& TokenList::operator=(TokenList&& other) noexcept {
    if (this != &other) {
        tokens_ = std::move(other.tokens_);
        kept_ = std::move(other.kept_);
        keptCur_ = std::exchange(other.keptCur_, nullptr);
        keptLeft_ = std::exchange(other.keptLeft_, 0);
        keptNextBlock_ = std::exchange(other.keptNextBlock_, 0);
        other.tokens_.clear();
        other.kept_.clear();
    }
    return *this;
}

std::string_view TokenList::keep(std::string_view s) {
    if (s.empty()) return {};
    // Most lists keep a few short lower-cased words, so small texts share growing blocks and a
    // list costs one allocation for them rather than one per text.
    if (s.size() > keptLeft_) {
        if (keptNextBlock_ == 0) keptNextBlock_ = kFirstBlock;
        if (s.size() > keptNextBlock_ / 4) {
            kept_.push_back(std::make_unique<char[]>(s.size()));
            char* dst = kept_.back().get();
            std::memcpy(dst, s.data(), s.size());
            return {dst, s.size()};
        }
        kept_.push_back(std::make_unique<char[]>(keptNextBlock_));
        keptCur_ = kept_.back().get();
        keptLeft_ = keptNextBlock_;
        if (keptNextBlock_ < kLargestBlock) keptNextBlock_ *= 2;
    }
    char* dst = keptCur_;
    std::memcpy(dst, s.data(), s.size());
    keptCur_ += s.size();
    keptLeft_ -= s.size();
    return {dst, s.size()};
}

void TokenList::adoptStorage(TokenList&& other) {
    // The blocks move as they are; the texts in them stay where they are. This list keeps filling
    // its own current block.
    for (auto& block : other.kept_) kept_.push_back(std::move(block));
    other.kept_.clear();
    other.keptCur_ = nullptr;
    other.keptLeft_ = 0;
}

}  // namespace vebix
