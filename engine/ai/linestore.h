#pragma once
// The mind's line list: append-only, position is identity. A view of a line stays valid until
// clear() (also when the store is moved).
//
// Where the bytes live: a mind read from a file keeps its lines as views into that file's text
// (the span), mapped in place when it is a plain file; lines learned later are copied into an
// arena of large shared blocks. So a mind of millions of lines costs little more than one
// small entry per line, and its text stays the system's cached copy of the file.
//
// Reading one line through operator[] brings in its page. A pass over many lines goes through
// a Reader instead, which copies blocks of the file into one buffer: on a big mind that is
// cheaper than bringing in the pages one by one, and holds no more than the buffer.
//
// Not synchronised: appending while another thread reads is not allowed; any number of threads
// may read (each with its own Reader).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/base/arena.h"
#include "engine/base/hugealloc.h"
#include "engine/base/mappedfile.h"

namespace vebix {

class LineStore {
public:
    std::size_t size() const { return views_.size(); }
    bool empty() const { return views_.empty(); }
    std::string_view operator[](std::size_t i) const { return views_[i]; }
    std::string_view back() const { return views_.back(); }
    auto begin() const { return views_.begin(); }
    auto end() const { return views_.end(); }

    // Appends a copy of line.
    void push_back(std::string_view line) { views_.push_back(arena_.store(line)); }
    // Appends a view of bytes owned by the caller, who keeps them alive and unchanged for as
    // long as this store holds them.
    void pushExternal(std::string_view line) {
        if (spanLines_ == views_.size() && !span_.empty() && line.data() >= spanNext_ &&
            line.data() + line.size() <= span_.data() + span_.size()) {
            ++spanLines_;
            spanNext_ = line.data() + line.size();
        }
        views_.push_back(line);
    }
    // Takes ownership of a block of bytes (a whole file read at once); lines appended with
    // pushExternal may then view it. It lives until clear(). The first block or mapped file
    // adopted into an empty store becomes its span (see spanText).
    void adopt(std::unique_ptr<char[]> block, std::size_t size);
    // Takes ownership of a mapped file; lines appended with pushExternal may then view its
    // bytes. It stays mapped until clear().
    void adopt(std::unique_ptr<MappedFile> file);
    void reserve(std::size_t lines) { views_.reserve(lines); }
    void clear();
    // Changes on every clear(): lines at the same position before and after a clear are not
    // the same lines. Whatever is derived from lines remembers it to know when to start over.
    std::uint64_t epoch() const { return epoch_; }

    // The text a mind was loaded from, when it was adopted: the first spanLines() lines are
    // views into spanText(), in order (each starting at or after the end of the one before).
    // Empty, and 0, when the lines were not loaded that way.
    std::string_view spanText() const { return span_; }
    std::size_t spanLines() const { return spanLines_; }
    // Whether the file the span is mapped from has been cut shorter since (another program):
    // its lost bytes read as zeros, so the span's lines are no longer what was loaded.
    bool spanCut() const { return spanFile_ && spanFile_->cut(); }
    // Copies bytes [offset, offset + size) of the span to out without bringing in its pages.
    // False on a read error (see MappedFile::read).
    bool readSpan(std::size_t offset, std::size_t size, char* out) const;
    // Brings a mapped span's pages into memory for good, after which Readers read the span in
    // place instead of copying it: for a process that answers many lines (a window), where
    // each reply's passes over the mind would otherwise copy it again. Safe while Readers run.
    void keepInMemory() const;

    // Reads lines for a pass over many of them. fill() makes a run of lines readable at once,
    // copying span lines in blocks; line() gives a line (filling on a miss). Views stay valid
    // until the next fill() or line() call that misses.
    class Reader {
    public:
        explicit Reader(const LineStore& store, std::size_t blockBytes = kDefaultBlock);
        // Makes lines from first on readable without a further copy, as many as fit in one
        // block but at least one and none at or after last; returns the end of them.
        std::size_t fill(std::size_t first, std::size_t last);
        std::string_view line(std::size_t i);
        // The bytes of the lines the last fill() covered, from the start of the first to the
        // end of the last, and the offset in the span where they start. Empty when the last
        // fill covered lines outside the span.
        std::string_view block() const { return {data_, bytes_}; }
        std::size_t blockOffset() const { return offset_; }

        static constexpr std::size_t kDefaultBlock = std::size_t{256} << 10;

    private:
        const LineStore& store_;
        std::size_t blockBytes_;
        // Taken from the allocator, which keeps it for the next Reader (see memorypolicy.h),
        // and never cleared: it only ever holds what was just read into it.
        std::unique_ptr<char[]> buffer_;
        std::size_t capacity_ = 0;
        const char* data_ = nullptr;  // the block's bytes: in buffer_, or in the span itself
        std::size_t offset_ = 0;      // span offset of data_[0]
        std::size_t bytes_ = 0;
    };

private:
    std::size_t spanOffset(std::size_t i) const {
        return static_cast<std::size_t>(views_[i].data() - span_.data());
    }

    HugeVector<std::string_view> views_;
    Arena arena_;
    std::vector<std::unique_ptr<MappedFile>> mapped_;
    std::string_view span_;
    const MappedFile* spanFile_ = nullptr;  // when the span is mapped
    std::size_t spanLines_ = 0;
    const char* spanNext_ = nullptr;  // where the next span line may start
    std::uint64_t epoch_ = 0;
};

}  // namespace vebix
