#include "engine/ai/linestore.h"

#include <algorithm>
#include <cstring>

namespace vebix {

void LineStore::adopt(std::unique_ptr<char[]> block, std::size_t size) {
    if (views_.empty() && span_.empty()) {
        span_ = std::string_view(block.get(), size);
        spanNext_ = span_.data();
    }
    arena_.adopt(std::move(block));
}

void LineStore::adopt(std::unique_ptr<MappedFile> file) {
    if (views_.empty() && span_.empty()) {
        span_ = file->bytes();
        spanNext_ = span_.data();
        spanFile_ = file.get();
    }
    mapped_.push_back(std::move(file));
}

bool LineStore::readSpan(std::size_t offset, std::size_t size, char* out) const {
    if (spanFile_) return spanFile_->read(offset, size, out);
    std::memcpy(out, span_.data() + offset, size);
    return true;
}

void LineStore::keepInMemory() const {
    if (spanFile_) spanFile_->populate();
}

void LineStore::clear() {
    views_.clear();
    arena_.clear();
    mapped_.clear();
    span_ = {};
    spanFile_ = nullptr;
    spanLines_ = 0;
    spanNext_ = nullptr;
    ++epoch_;
}

LineStore::Reader::Reader(const LineStore& store, std::size_t blockBytes, std::size_t longest)
    : store_(store), blockBytes_(std::max<std::size_t>(blockBytes, 1)), longest_(longest) {}

std::size_t LineStore::Reader::fill(std::size_t first, std::size_t last) {
    bytes_ = 0;
    data_ = nullptr;
    if (first >= store_.spanLines_ || tooLong(first)) return first + 1;
    // Whole lines, as many as the block holds, always the first; a run stops before a line
    // too long to read.
    const std::size_t end = std::min(last, store_.spanLines_);
    const std::size_t start = store_.spanOffset(first);
    std::size_t stop = first + 1;
    std::size_t to = start + store_.views_[first].size();
    while (stop < end && !tooLong(stop)) {
        const std::size_t lineEnd = store_.spanOffset(stop) + store_.views_[stop].size();
        if (lineEnd - start > blockBytes_) break;
        to = lineEnd;
        ++stop;
    }
    offset_ = start;
    bytes_ = to - start;
    if (!store_.spanFile_ || store_.spanFile_->populated()) {
        // Bytes already in memory are read where they are.
        data_ = store_.span_.data() + start;
    } else {
        if (capacity_ < bytes_) {
            capacity_ = std::max(bytes_, blockBytes_);
            buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
        }
        // A read error midway through a reply leaves zeros, which match nothing: the reply
        // goes on with the lines it could read (loading is where such an error is reported).
        store_.readSpan(start, bytes_, buffer_.get());
        data_ = buffer_.get();
    }
    return stop;
}

std::string_view LineStore::Reader::line(std::size_t i) {
    if (tooLong(i)) return {};
    if (i >= store_.spanLines_) return store_.views_[i];
    const std::size_t at = store_.spanOffset(i);
    const std::size_t size = store_.views_[i].size();
    if (data_ == nullptr || at < offset_ || at + size > offset_ + bytes_) fill(i, i + 1);
    return {data_ + (at - offset_), size};
}

}  // namespace vebix
