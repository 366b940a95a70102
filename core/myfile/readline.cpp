#include "myfile/readline.h"

#include <algorithm>
#include <vector>

namespace vebix {
namespace {

// The streams whose last line ended with CR, so that an LF at the start of the next call
// completes the pair. Identities only: never read through. Per thread and per stream, so that
// reading two files alternately, or on two threads, cannot swallow a line end of the other.
thread_local std::vector<std::FILE*> crStreams;

bool takeCr(std::FILE* stream) {
    auto it = std::find(crStreams.begin(), crStreams.end(), stream);
    if (it == crStreams.end()) return false;
    crStreams.erase(it);
    return true;
}

}  // namespace

bool readLine(std::string& line, std::FILE* stream) {
    line.clear();
    bool any = false;
    for (;;) {
        int c = getc_unlocked(stream);
        bool afterCr = takeCr(stream);
        if (c == EOF) {
            // A last line without line end is still a line: a file written by another program,
            // or cut short by a crash, must not lose its last line.
            return any && !std::ferror(stream);
        }
        if (c == '\r') {
            crStreams.push_back(stream);
            return true;
        }
        if (c == '\n') {
            if (afterCr) continue;  // second half of CR LF
            return true;
        }
        line.push_back(static_cast<char>(c));
        any = true;
    }
}

}  // namespace vebix
