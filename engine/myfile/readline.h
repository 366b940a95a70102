#pragma once
// Reading text files line by line. CR, LF and CR LF all end a line; the line end is not part of
// the line. Bytes pass through unchanged, whatever their value, and a line may be of any length.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace vebix {

// Reads the next line of stream into line. Returns false when the stream is at its end and
// nothing was read, or on a read error (ask std::ferror to tell the two apart). A last line
// that has no line end is returned like any other line.
//
// After a CR the reader looks at the next byte and takes it when it is the LF of a CR LF pair
// (the stream must allow one byte to be pushed back, as every file stream does). It keeps no
// state between calls.
bool readLine(std::string& line, std::FILE* stream);

// Lines as readLine reads them, from a file another program may have made, with bounds: a line
// longer than maxLineBytes keeps its first maxLineBytes bytes (the rest of it is passed over),
// and at most maxTotalBytes of the stream are read in all (whatever lies beyond counts as the
// end of the file). So the memory and the time a file can cost are bounded, whatever it holds.
class BoundedLineReader {
public:
    BoundedLineReader(std::FILE* stream, std::size_t maxLineBytes, std::uint64_t maxTotalBytes)
        : stream_(stream), maxLineBytes_(maxLineBytes), maxTotalBytes_(maxTotalBytes) {}

    // The next line, false at the end, at the total bound or on a read error.
    bool next(std::string& line);
    // Whether the line last read was cut to maxLineBytes.
    bool lastLineCut() const { return lastCut_; }
    // Whether any line was cut, or the total bound ended the reading.
    bool anyCut() const { return anyCut_; }

private:
    int get();

    std::FILE* stream_;
    std::size_t maxLineBytes_;
    std::uint64_t maxTotalBytes_;
    std::uint64_t read_ = 0;
    bool lastCut_ = false;
    bool anyCut_ = false;
};

}  // namespace vebix
