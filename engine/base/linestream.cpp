#include "engine/base/linestream.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/base/error.h"
#include "engine/base/lines.h"

namespace vebix {

LineStream::LineStream(int fd, std::uint64_t length, std::string name, std::size_t blockSize)
    : fd_(fd),
      length_(length),
      name_(std::move(name)),
      blockSize_(std::max<std::size_t>(blockSize, 16)) {
    // Two blocks: a line shorter than a block always fits with a block read after it.
    buffer_.resize(2 * blockSize_);
}

std::size_t LineStream::readInto(char* to, std::size_t most) {
    const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(most, length_ - offset_));
    if (want == 0) return 0;
    for (;;) {
        const ssize_t got = ::pread(fd_, to, want, static_cast<off_t>(offset_));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw systemError("Read error while reading '" + name_ + "'", errno);
        if (got == 0) length_ = offset_;  // cut shorter meanwhile: what was there is all
        offset_ += static_cast<std::uint64_t>(got);
        return static_cast<std::size_t>(got);
    }
}

void LineStream::compact() {
    if (begin_ == 0) return;
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
}

bool LineStream::fill() {
    compact();
    const std::size_t got = readInto(buffer_.data() + end_, buffer_.size() - end_);
    end_ += got;
    return got > 0;
}

void LineStream::endLineAt(std::size_t at) {
    const bool cr = buffer_[at] == '\r';
    begin_ = at + 1;
    if (cr) {
        if (begin_ < end_) {
            if (buffer_[begin_] == '\n') ++begin_;
        } else {
            skipLf_ = true;  // the LF of a CR LF, if one follows, is in the next block
        }
    }
}

void LineStream::skipRest(Line& line) {
    // What is held after the start holds no line end: it was searched.
    const char* held = buffer_.data() + blockSize_;
    std::size_t size = end_ - blockSize_;
    for (;;) {
        const char* const found = findLineBreak(held, held + size);
        const auto part = static_cast<std::size_t>(found - held);
        if (!line.nulInRest && std::memchr(held, '\0', part) != nullptr) line.nulInRest = true;
        line.size += part;
        if (found != held + size) {
            end_ = static_cast<std::size_t>(held + size - buffer_.data());
            endLineAt(static_cast<std::size_t>(found - buffer_.data()));
            return;
        }
        held = buffer_.data() + blockSize_;
        size = readInto(buffer_.data() + blockSize_, blockSize_);
        if (size == 0) {
            begin_ = end_ = blockSize_;
            return;
        }
    }
}

bool LineStream::next(Line& line) {
    line = Line{};
    std::size_t searched = 0;  // bytes after begin_ known to hold no line end
    for (;;) {
        if (skipLf_ && begin_ < end_) {
            skipLf_ = false;
            if (buffer_[begin_] == '\n') ++begin_;
        }
        const char* const base = buffer_.data();
        const char* const found = findLineBreak(base + begin_ + searched, base + end_);
        if (found != base + end_) {
            const auto at = static_cast<std::size_t>(found - base);
            line.text = std::string_view(base + begin_, at - begin_);
            line.size = line.text.size();
            if (line.size > blockSize_) {
                // Longer than a block, though all held: given as its start all the same.
                const std::string_view rest = line.text.substr(blockSize_);
                line.nulInRest = std::memchr(rest.data(), '\0', rest.size()) != nullptr;
                line.text = line.text.substr(0, blockSize_);
                line.cut = true;
            }
            endLineAt(at);
            return true;
        }
        searched = end_ - begin_;
        if (searched > blockSize_) {
            // Longer than a block: its start is kept at the buffer's front, the rest measured.
            compact();
            line.text = std::string_view(buffer_.data(), blockSize_);
            line.size = blockSize_;
            line.cut = true;
            skipRest(line);
            return true;
        }
        if (!fill()) {
            if (begin_ >= end_) return false;
            // The last line, without a line end.
            line.text = std::string_view(buffer_.data() + begin_, end_ - begin_);
            line.size = line.text.size();
            begin_ = end_;
            return true;
        }
    }
}

bool LineStream::nextLines(std::string_view& lines, std::uint64_t& offset, Line& cutLine) {
    cutLine = Line{};
    for (;;) {
        if (skipLf_ && begin_ < end_) {
            skipLf_ = false;
            if (buffer_[begin_] == '\n') ++begin_;
        }
        const char* const base = buffer_.data();
        const bool atEnd = offset_ >= length_;
        // The last line end held; a CR at the very end waits for what follows it (an LF of
        // the same line end).
        std::size_t last = end_;
        while (last > begin_) {
            const char c = base[last - 1];
            if ((c == '\n' || c == '\r') && !(c == '\r' && last == end_ && !atEnd)) break;
            --last;
        }
        if (last > begin_ || (atEnd && end_ > begin_)) {
            const std::size_t stop = last > begin_ ? last : end_;
            lines = std::string_view(base + begin_, stop - begin_);
            offset = offset_ - (end_ - begin_);
            begin_ = stop;
            return true;
        }
        if (end_ - begin_ > blockSize_) {
            offset = offset_ - (end_ - begin_);
            next(cutLine);
            lines = {};
            return true;
        }
        if (!fill() && begin_ >= end_) return false;
    }
}

}  // namespace vebix
