#include <string>

#include "engine/ai/ai.h"
#include "engine/enparse/tokenizer.h"

namespace vebix {
namespace {

// A speaker id is a name, "!" and a local tag; the name is what people are called by.
std::string_view upToBang(std::string_view s) { return s.substr(0, s.find('!')); }

}  // namespace

std::string Ai::personalizeText(std::string_view partnerName, std::size_t lineIndex,
                                std::string_view text) const {
    if (lineIndex >= lines_.size()) return std::string(text);
    const MindLine line = parseLine(lines_[lineIndex], AiSuffix::Keep);

    std::string_view self = upToBang(name_);
    if (self.empty()) self = "me";
    const std::string_view user = upToBang(partnerName);

    auto nameOf = [&](std::string_view speaker) {
        return speaker.ends_with(kAiSpeaker) ? self : upToBang(speaker);
    };
    const std::string_view speakerName = nameOf(line.speaker);

    // The addressee: who spoke just before in the same conversation, when the text names them.
    std::string_view addressee;
    const TokenList tokens = tokenize(text, Tokenize::Plain);
    for (std::size_t back = 1; back <= 3 && back <= lineIndex; ++back) {
        const MindLine before = parseLine(lines_[lineIndex - back], AiSuffix::Keep);
        if (before.key != line.key) continue;
        const std::string_view candidate = nameOf(before.speaker);
        if (candidate.size() <= 2) continue;
        bool named = false;
        for (const Token& t : tokens) {
            if (t.text() == candidate) {
                named = true;
                break;
            }
        }
        if (named) {
            addressee = candidate;
            break;
        }
    }

    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::string_view rest = text.substr(i);
        if (speakerName.size() > 2 && rest.starts_with(speakerName)) {
            out.append(self);
            i += speakerName.size();
        } else if (addressee.size() > 2 && rest.starts_with(addressee)) {
            out.append(user);
            i += addressee.size();
        } else {
            out.push_back(text[i]);
            ++i;
        }
    }
    return out;
}

}  // namespace vebix
