#include "engine/ai/linestore.h"

#include <cstring>

namespace vebix {

void LineStore::push_back(std::string_view line) {
    if (line.empty()) {
        views_.emplace_back();
        return;
    }
    char* dst;
    if (line.size() > kBlockSize / 4) {
        // A long line gets a block of its own; the block being filled stays current.
        blocks_.push_back(std::make_unique<char[]>(line.size()));
        dst = blocks_.back().get();
    } else {
        if (curLeft_ < line.size()) {
            blocks_.push_back(std::make_unique<char[]>(kBlockSize));
            cur_ = blocks_.back().get();
            curLeft_ = kBlockSize;
        }
        dst = cur_;
        cur_ += line.size();
        curLeft_ -= line.size();
    }
    std::memcpy(dst, line.data(), line.size());
    views_.emplace_back(dst, line.size());
}

void LineStore::clear() {
    views_.clear();
    blocks_.clear();
    cur_ = nullptr;
    curLeft_ = 0;
    ++epoch_;
}

}  // namespace vebix
