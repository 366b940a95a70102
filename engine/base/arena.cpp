#include "engine/base/arena.h"

#include <cstring>
#include <utility>

namespace vebix {

// A moved-from arena must not go on filling the block it handed over.
Arena::Arena(Arena&& other) noexcept
    : blockSize_(other.blockSize_),
      blocks_(std::move(other.blocks_)),
      cur_(std::exchange(other.cur_, nullptr)),
      curLeft_(std::exchange(other.curLeft_, 0)) {
    other.blocks_.clear();
}

Arena& Arena::operator=(Arena&& other) noexcept {
    if (this != &other) {
        blockSize_ = other.blockSize_;
        blocks_ = std::move(other.blocks_);
        other.blocks_.clear();
        cur_ = std::exchange(other.cur_, nullptr);
        curLeft_ = std::exchange(other.curLeft_, 0);
    }
    return *this;
}

char* Arena::allocate(std::size_t size) {
    if (size == 0) return nullptr;
    if (size > blockSize_ / 4) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        return blocks_.back().get();
    }
    if (curLeft_ < size) {
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
        cur_ = blocks_.back().get();
        curLeft_ = blockSize_;
    }
    char* out = cur_;
    cur_ += size;
    curLeft_ -= size;
    return out;
}

std::string_view Arena::store(std::string_view bytes) {
    if (bytes.empty()) return {};
    char* dst = allocate(bytes.size());
    std::memcpy(dst, bytes.data(), bytes.size());
    return {dst, bytes.size()};
}

void Arena::clear() {
    blocks_.clear();
    cur_ = nullptr;
    curLeft_ = 0;
}

}  // namespace vebix
