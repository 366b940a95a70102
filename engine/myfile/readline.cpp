#include "engine/myfile/readline.h"

namespace vebix {

bool readLine(std::string& line, std::FILE* stream) {
    line.clear();
    bool any = false;
    for (;;) {
        int c = getc_unlocked(stream);
        if (c == EOF) {
            // A last line without line end is still a line: a file written by another program,
            // or cut short by a crash, must not lose its last line.
            return any && !std::ferror(stream);
        }
        if (c == '\r') {
            // The LF of a CR LF pair is taken now rather than remembered for the next call: a
            // remembered CR outlives a stream closed after it, and a new stream that got the
            // same address would lose an empty first line.
            int next = getc_unlocked(stream);
            if (next != '\n' && next != EOF) ungetc(next, stream);
            return true;
        }
        if (c == '\n') return true;
        line.push_back(static_cast<char>(c));
        any = true;
    }
}

int BoundedLineReader::get() {
    if (read_ >= maxTotalBytes_) {
        // What lies beyond is not read; if there is more, the reading was cut.
        if (getc_unlocked(stream_) != EOF) anyCut_ = true;
        return EOF;
    }
    const int c = getc_unlocked(stream_);
    if (c != EOF) ++read_;
    return c;
}

bool BoundedLineReader::next(std::string& line) {
    line.clear();
    lastCut_ = false;
    bool any = false;
    for (;;) {
        const int c = get();
        if (c == EOF) return any && !std::ferror(stream_);
        if (c == '\r') {
            const int after = get();
            if (after != '\n' && after != EOF) {
                ungetc(after, stream_);
                --read_;
            }
            return true;
        }
        if (c == '\n') return true;
        any = true;
        if (line.size() < maxLineBytes_) {
            line.push_back(static_cast<char>(c));
        } else {
            lastCut_ = true;
            anyCut_ = true;
        }
    }
}

}  // namespace vebix
