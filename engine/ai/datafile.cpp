#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/ai/ai.h"
#include "engine/base/mutex.h"
#include "engine/base/error.h"
#include "engine/base/filehandle.h"
#include "engine/base/hugealloc.h"
#include "engine/base/lines.h"
#include "engine/base/mappedfile.h"

namespace vebix {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view dropBom(std::string_view line) {
    if (line.starts_with(kBom)) line.remove_prefix(kBom.size());
    return line;
}

// Sets flag for the lifetime of the guard (also when an error passes).
class FlagGuard {
public:
    FlagGuard(bool& flag, bool value) : flag_(flag), old_(flag) { flag_ = value; }
    ~FlagGuard() { flag_ = old_; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    bool& flag_;
    bool old_;
};

// The file's first bytes, at most limit of them, in one block that the line list keeps: the
// lines are views into it, so a big mind costs no copy per line. The file may still grow while
// it is read; whatever is there when the end (or the limit) is met is loaded.
std::string_view readWhole(int fd, const std::string& name, LineStore& keeper,
                           std::uint64_t limit) {
    struct stat st {};
    std::size_t capacity = ::fstat(fd, &st) == 0 && st.st_size > 0
                               ? static_cast<std::size_t>(std::min<std::uint64_t>(
                                     static_cast<std::uint64_t>(st.st_size), limit)) +
                                     1
                               : std::size_t{1} << 16;
    auto block = std::make_unique_for_overwrite<char[]>(capacity);
    std::size_t size = 0;
    while (size < limit) {
        if (size == capacity) {
            auto bigger = std::make_unique_for_overwrite<char[]>(capacity * 2);
            std::memcpy(bigger.get(), block.get(), size);
            block = std::move(bigger);
            capacity *= 2;
        }
        const std::size_t want =
            static_cast<std::size_t>(std::min<std::uint64_t>(capacity - size, limit - size));
        const ssize_t got = ::read(fd, block.get() + size, want);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            throw systemError("Read error while loading AI file '" + name + "'", errno);
        }
        size += static_cast<std::size_t>(got);
    }
    const std::string_view text(block.get(), size);
    keeper.adopt(std::move(block), size);
    return text;
}

// True when the file holds bytes at offset or beyond (it grew after its size was taken). Leaves
// the file position where it was.
bool hasBytesFrom(int fd, off_t offset) {
    char byte = 0;
    for (;;) {
        const ssize_t got = ::pread(fd, &byte, 1, offset);
        if (got >= 0) return got > 0;
        if (errno != EINTR) return true;  // let the reading path meet and report the error
    }
}

// A regular file is mapped rather than copied into the process: the lines are views into the
// mapping, and a mind of millions of lines holds in memory only an entry per line and the few
// lines a reply reads. The mapping is never written through (saves append with write() or
// replace the file by rename), and it outlives the lines, which the line list drops together
// with it. The mind's writers, one at a time under the mind's write lock, never cut the file:
// appends only add bytes, a failed append cuts the file back no further than the length it
// found before writing, and a whole save renames a new file over the old one, whose pages the
// mapping keeps. Another program cutting it is survived (see MappedFile). Anything that is not
// a plain file of settled size is read into memory.
std::string_view mapWhole(int fd, const std::string& name, LineStore& keeper, bool& mapped,
                          std::uint64_t limit) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
        const auto fileSize = static_cast<std::uint64_t>(st.st_size);
        // Only the first limit bytes are wanted: what lies beyond them is left alone.
        const bool prefix = limit < fileSize;
        const auto size = static_cast<std::size_t>(prefix ? limit : fileSize);
        if (auto file = MappedFile::map(fd, size)) {
            // Grown or cut since its size was taken: a file being written; read what is there.
            struct stat now {};
            if (prefix || (!hasBytesFrom(fd, st.st_size) && ::fstat(fd, &now) == 0 &&
                           now.st_size == st.st_size)) {
                const std::string_view text = file->bytes();
                keeper.adopt(std::move(file));
                mapped = true;
                return text;
            }
        }
    }
    return readWhole(fd, name, keeper, limit);
}

// The length of the whole lines at the start of block, with their ends: up to the last line end
// in it. At the end of the file the rest is a line too. A CR at the very end of a block that is
// not the file's end may be the first half of a CR LF, so it is left for the next block.
std::size_t wholeLines(std::string_view block, bool atEnd) {
    if (atEnd) return block.size();
    std::size_t end = block.size();
    while (end > 0 && block[end - 1] != '\n' && block[end - 1] != '\r') --end;
    if (end == block.size() && end > 0 && block[end - 1] == '\r') {
        // Ends in CR: take the lines before it; the CR's line goes with the next block.
        --end;
        while (end > 0 && block[end - 1] != '\n' && block[end - 1] != '\r') --end;
    }
    return end;
}

// A line of a mapped file that does not end within the block read for it.
struct LongLine {
    std::string head;        // its first bytes, enough to tell it is too long for replies
    std::size_t length = 0;  // up to its end or its first NUL
    std::size_t next = 0;    // span offset of the line after it
};

// The line at span offset pos, whose first want bytes are in buffer (a block of blockSize
// bytes) and hold no line end but perhaps a CR at their very end. The rest is read on a block
// at a time, held only until its line end is found: a line of any length costs one block.
LongLine readLongLine(const LineStore& store, std::size_t pos, std::size_t want, std::size_t size,
                      char* buffer, std::size_t blockSize, const std::string& name) {
    LongLine line;
    line.head.assign(buffer, std::min(want, kLongestLine + kBom.size() + 1));
    std::size_t nul = std::string_view::npos;  // span offset of the first NUL
    std::size_t at = pos;                      // buffer holds [at, at + n)
    std::size_t n = want;
    std::size_t end = size;  // span offset of the line end
    for (;;) {
        const char* const found = findLineBreak(buffer, buffer + n);
        if (nul == std::string_view::npos)
            if (const void* z = std::memchr(buffer, '\0', static_cast<std::size_t>(found - buffer)))
                nul = at + static_cast<std::size_t>(static_cast<const char*>(z) - buffer);
        if (found != buffer + n) {
            end = at + static_cast<std::size_t>(found - buffer);
            break;
        }
        at += n;
        if (at >= size) break;
        n = std::min(blockSize, size - at);
        if (!store.readSpan(at, n, buffer))
            throw systemError("Read error while loading AI file '" + name + "'", EIO);
    }
    line.length = std::min(end, nul) - pos;
    line.next = std::min(end + 1, size);
    if (line.next < size) {
        // A CR LF ends the line as one line end.
        char two[2] = {0, 0};
        if (!store.readSpan(end, 2, two))
            throw systemError("Read error while loading AI file '" + name + "'", EIO);
        if (two[0] == '\r' && two[1] == '\n') ++line.next;
    }
    return line;
}

}  // namespace

std::size_t Ai::loadFile(const std::string& name) {
    lines_.clear();
    fileName_ = name;
    std::error_code ec;
    if (!std::filesystem::exists(name, ec)) return 0;

    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw systemError("Unable to load AI file '" + name + "'", errno);
    const FdHandle closer(fd);
    return loadFrom(fd, name, kWholeFile);
}

std::size_t Ai::loadFrom(int fd, const std::string& name, std::uint64_t length) {
    lines_.clear();
    fileName_ = name;
    bool mapped = false;
    const std::string_view text = mapWhole(fd, name, lines_, mapped, length);
    const std::size_t size = text.size();
    MutexLock indexLock(indexMutex_);
    index_->sync(lines_);  // starts over: the store was cleared
    index_->reserve(size / 64 + 16);
    lines_.reserve(size / 64 + 16);  // about the lines of a mind; the list grows if need be

    // One pass from start to end, a block at a time. A mapped file is read through its
    // descriptor into one buffer rather than through the mapping, so that no page of the
    // mapping is brought in: the lines are views into the mapping, read later only where a
    // reply needs them. Each line's facts go to the reply index while its bytes are at hand.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    HugeVector<char> buffer;
    std::vector<std::string_view> accepted;  // the block's lines that became mind lines
    std::size_t pos = 0;                     // span offset of the first byte not yet split
    FlagGuard views(keepViews_, true);
    while (pos < size) {
        const std::size_t want = std::min(kBlock, size - pos);
        const char* block = text.data() + pos;
        if (mapped) {
            if (buffer.size() < want) buffer.resize(want);
            if (!lines_.readSpan(pos, want, buffer.data()))
                throw systemError("Read error while loading AI file '" + name + "'", EIO);
            block = buffer.data();
        }
        // Bytes of whole lines (with their ends) at the block's start.
        std::size_t used = wholeLines(std::string_view(block, want), pos + want == size);
        if (used == 0 && mapped) {
            // A line longer than the block, far too long for replies (see kLongestLine): it is
            // kept as a view into the file, and the reply index sees only its start.
            const LongLine longLine =
                readLongLine(lines_, pos, want, size, buffer.data(), kBlock, name);
            std::string_view head(longLine.head);
            head = head.substr(0, std::min(head.size(), longLine.length));
            const std::size_t bom = head.starts_with(kBom) ? kBom.size() : 0;
            const std::size_t before = lines_.size();
            acceptLoadedLine(text.substr(pos + bom, longLine.length - bom));
            if (lines_.size() != before) {
                const std::string_view start = head.substr(bom);
                index_->append(&start, 1);
            }
            pos = longLine.next;
            continue;
        }
        if (used == 0) {
            // In memory, the line's end is simply looked for.
            const char* const end = findLineBreak(block, text.data() + size);
            used = static_cast<std::size_t>(end - block);
            if (end != text.data() + size)
                used += end[0] == '\r' && end + 1 != text.data() + size && end[1] == '\n' ? 2 : 1;
        }
        // NUL bytes are rare: only in a block that holds one is each line searched for it.
        const bool hasNul = std::memchr(block, '\0', used) != nullptr;
        LineSplitter split(std::string_view(block, used));
        std::string_view line;
        accepted.clear();
        while (split.next(line)) {
            if (hasNul)
                if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos)
                    line = line.substr(0, nul);
            line = dropBom(line);
            const std::size_t before = lines_.size();
            acceptLoadedLine(
                std::string_view(text.data() + pos + (line.data() - block), line.size()));
            if (lines_.size() != before) accepted.push_back(line);
        }
        index_->append(accepted.data(), accepted.size());
        pos += used;
    }
    finishLoading();
    return lines_.size();
}

std::size_t Ai::loadText(const std::string& name, std::string_view text, TextLines keep) {
    lines_.clear();
    fileName_ = name;
    FlagGuard views(keepViews_, keep == TextLines::Viewed);
    forEachLine(text, [&](std::string_view line) { acceptLoadedLine(dropBom(line)); });
    finishLoading();
    return lines_.size();
}

}  // namespace vebix
