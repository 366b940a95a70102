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
    std::size_t pos = 0;  // span offset of the first byte not yet split
    FlagGuard views(keepViews_, true);
    while (pos < size) {
        std::size_t want = std::min(kBlock, size - pos);
        const char* block = nullptr;
        std::size_t used = 0;  // bytes of whole lines (with their ends) at the block's start
        for (;;) {
            if (mapped) {
                if (buffer.size() < want) buffer.resize(want);
                if (!lines_.readSpan(pos, want, buffer.data()))
                    throw systemError("Read error while loading AI file '" + name + "'", EIO);
                block = buffer.data();
            } else {
                block = text.data() + pos;
            }
            used = wholeLines(std::string_view(block, want), pos + want == size);
            if (used > 0) break;
            want = std::min(want * 2, size - pos);  // a line longer than the block
        }
        // NUL bytes are rare: only in a block that holds one is each line searched for it.
        const bool hasNul = std::memchr(block, '\0', used) != nullptr;
        LineSplitter split(std::string_view(block, used));
        std::string_view line;
        while (split.next(line)) {
            if (hasNul)
                if (const std::size_t nul = line.find('\0'); nul != std::string_view::npos)
                    line = line.substr(0, nul);
            line = dropBom(line);
            const std::size_t before = lines_.size();
            acceptLoadedLine(
                std::string_view(text.data() + pos + (line.data() - block), line.size()));
            if (lines_.size() != before) index_->append(line);
        }
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
