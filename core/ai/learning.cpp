#include <string>

#include "ai/ai.h"

namespace vebix {
namespace {

// Key and speaker are single fields of a blank-separated line.
void appendField(std::string& out, std::string_view field) {
    for (char c : field) out.push_back(c == ' ' ? '_' : c);
}

}  // namespace

void Ai::addLine(std::string_view key, std::string_view time, std::string_view speaker,
                 std::string_view text) {
    std::string line;
    line.reserve(key.size() + time.size() + speaker.size() + text.size() + 3);
    appendField(line, key);
    line.push_back(' ');
    line.append(time);
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
    lines.push_back(line);
    modified = true;
}

void Ai::acceptLoadedLine(std::string_view line) {
    if (line.empty()) return;
    if (keepViews_)
        lines.pushExternal(line);
    else
        lines.push_back(line);
}

void Ai::finishLoading() {}

void Ai::debug(std::string_view text) const {
    if (onDebug) onDebug(text);
}

}  // namespace vebix
