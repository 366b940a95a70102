#pragma once
// Reading the lines of a file a block at a time, for passes that look at every line once and
// keep only what they count: memory stays at about one block whatever the size of the file or
// of its lines. Lines end as LineSplitter (lines.h) ends them, a CR LF split between two blocks
// included.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vebix {

class LineStream {
public:
    // Reads the first length bytes of the open file fd (read with pread, so that its offset is
    // left alone), from blockSize bytes at a time. name is for error messages.
    LineStream(int fd, std::uint64_t length, std::string name,
               std::size_t blockSize = std::size_t{1} << 20);

    struct Line {
        std::string_view text;   // the line, or only its first blockSize bytes when cut
        std::uint64_t size = 0;  // the whole line's length
        bool cut = false;        // text is only the line's start
        bool nulInRest = false;  // a cut line holds a NUL byte after its start
    };

    // The next line, valid until the next call; false at the end. Throws Error("Read error
    // while reading '<name>': <reason>") when the file cannot be read.
    bool next(Line& line);

    // The next run of whole lines with their line ends (the file's last line may have none),
    // valid until the next call, and its offset in the file; or, where a line is longer than a
    // block, that line alone as next gives it (cut). false at the end. Mixed with next, each
    // byte is still given once.
    bool nextLines(std::string_view& lines, std::uint64_t& offset, Line& cutLine);

private:
    // Reads at most most bytes to to; 0 at the end of what is to be read.
    std::size_t readInto(char* to, std::size_t most);
    // Moves the bytes held to the buffer's front.
    void compact();
    // compact, then reads more after the bytes held; false at the end.
    bool fill();
    // Moves past the line end at at (a CR or LF), a CR LF's LF with it.
    void endLineAt(std::size_t at);
    // Measures the rest of a cut line whose start is the buffer's first block, up to and with
    // its line end; the bytes after it are held in the buffer's second half.
    void skipRest(Line& line);

    int fd_;
    std::uint64_t length_;
    std::uint64_t offset_ = 0;  // file offset of the byte after those read
    std::string name_;
    std::string buffer_;
    std::size_t blockSize_;
    std::size_t begin_ = 0;  // first byte not yet given out
    std::size_t end_ = 0;    // end of the bytes held
    bool skipLf_ = false;    // the last line ended with a CR at a block's end: an LF may follow
};

}  // namespace vebix
