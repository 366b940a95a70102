#include "engine/ai/mindline.h"

#include <functional>

#include "engine/enparse/unicode.h"

namespace vebix {

std::string speakerId(std::string_view name, std::string_view tag) {
    std::string id;
    id.reserve(name.size() + 1 + tag.size());
    id.append(name).append(1, '!').append(tag);
    return id;
}

MindLine parseLine(std::string_view line, AiSuffix aiSuffix) {
    MindLine m;
    std::size_t b1 = line.find(' ');
    if (b1 == std::string_view::npos) return m;
    m.key = line.substr(0, b1);
    std::size_t b2 = line.find(' ', b1 + 1);
    if (b2 == std::string_view::npos) return m;
    m.time = line.substr(b1 + 1, b2 - b1 - 1);
    std::size_t b3 = line.find(' ', b2 + 1);
    if (b3 == std::string_view::npos) return m;
    m.speaker = line.substr(b2 + 1, b3 - b2 - 1);
    m.text = line.substr(b3 + 1);
    if (aiSuffix == AiSuffix::Strip && m.speaker.size() > kAiSpeaker.size() &&
        m.speaker.ends_with(kAiSpeaker))
        m.speaker.remove_suffix(kAiSpeaker.size());
    return m;
}

std::optional<std::size_t> textOffset(std::string_view line) {
    std::size_t pos = 0;
    for (int blanks = 0; blanks < 3; ++blanks) {
        std::size_t b = line.find(' ', pos);
        if (b == std::string_view::npos) return std::nullopt;
        pos = b + 1;
    }
    return pos;
}

std::string_view lineText(std::string_view line) {
    auto off = textOffset(line);
    return off ? line.substr(*off) : std::string_view();
}

bool hasExcludeMark(std::string_view line) {
    return line.find(kExcludeMark) != std::string_view::npos;
}

bool isLineBreakByte(char c) { return c == '\r' || c == '\n' || c == '\0'; }

std::string learnedText(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (isLineBreakByte(c)) c = ' ';
    return out;
}

std::optional<std::uint32_t> parseTime(std::string_view field) {
    if (field.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFFFFFFull) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

bool isWordBreak(char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;  // not a code point
    if (cp >= '0' && cp <= '9') return false;
    return !unicode::isAlphabetic(cp);
}

bool liesWithin(std::string_view inner, std::string_view outer) {
    // Compared as addresses through std::less, which orders unrelated pointers too.
    std::less<const char*> before;
    const char* ib = inner.data();
    const char* ie = inner.data() + inner.size();
    const char* ob = outer.data();
    const char* oe = outer.data() + outer.size();
    if (ib == nullptr || ob == nullptr) return false;
    return !before(ib, ob) && !before(oe, ie);
}

}  // namespace vebix
