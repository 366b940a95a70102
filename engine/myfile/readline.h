#pragma once
// Reading text files line by line. CR, LF and CR LF all end a line; the line end is not part of
// the line. Bytes pass through unchanged, whatever their value, and a line may be of any length.

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

}  // namespace vebix
