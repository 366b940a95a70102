#include <string>

#include "engine/ai/ai.h"
#include "engine/base/mutex.h"

namespace vebix {
namespace {

// Key, time and speaker are single fields of a blank-separated line: a blank there would shift
// the fields after it, and a line break (which learning turns into a blank) would too.
void appendField(std::string& out, std::string_view field) {
    for (char c : field) out.push_back(c == ' ' || isLineBreakByte(c) ? '_' : c);
}

}  // namespace

void Ai::addLine(std::string_view key, std::string_view time, std::string_view speaker,
                 std::string_view text) {
    std::string line;
    line.reserve(key.size() + time.size() + speaker.size() + text.size() + 3);
    appendField(line, key);
    line.push_back(' ');
    // The time is stored as the caller formatted it; only a line break, which would shift the
    // fields, becomes "_".
    for (char c : time) line.push_back(isLineBreakByte(c) ? '_' : c);
    line.push_back(' ');
    appendField(line, speaker);
    line.push_back(' ');
    line.append(text);
    appendLine(line);
}

void Ai::addAiLine(std::string_view key, std::string_view time, std::string_view text) {
    addLine(key, time, kAiSpeaker, text);
}

void Ai::appendLine(std::string_view line) {
    // The one place every learned line passes: a CR or LF stored here would split the line in
    // the saved file (its end reloading as a malformed line of its own), and a NUL would cut it
    // on reloading. Whatever the front end, the mind holds one line per thing learned.
    std::string learned = learnedText(line);
    {
        // prepareReplies may be reading the lines on another thread, under the index's lock.
        MutexLock lock(indexMutex_);
        lines_.push_back(learned);
    }
}

void Ai::setLines(const std::vector<std::string>& lines) {
    lines_.clear();
    for (const std::string& line : lines) lines_.push_back(line);
}

void Ai::acceptLoadedLine(std::string_view line) {
    if (line.empty()) return;
    if (keepViews_)
        lines_.pushExternal(line);
    else
        lines_.push_back(line);
}

void Ai::finishLoading() {}

void Ai::debug(std::string_view text) const {
    if (onDebug_) onDebug_(text);
}

}  // namespace vebix
