#pragma once
// What tests set on an engine and the program never does: a mind built line by line, fill
// words chosen by hand, personalising switched off, a sink for the engine's diagnostics
// ("Tries: 3", "Randomly chunked: 12.5%"). Only tests include this header.

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/ai/ai.h"

namespace vebix {

class AiTestHelper {
public:
    // Replaces the mind by these lines, kept exactly as given (no line-end bytes replaced,
    // empty lines kept).
    static void setLines(Ai& ai, const std::vector<std::string>& lines) { ai.setLines(lines); }
    static void setFillWords(Ai& ai, std::vector<std::string> words) {
        ai.fillWords_ = std::move(words);
    }
    // Whether replies taken from the mind pass through personalizeText (on by default).
    static bool personalizes(const Ai& ai) { return ai.personalize_; }
    static void setPersonalize(Ai& ai, bool on) { ai.personalize_ = on; }
    // Where the engine's diagnostics go; empty for nowhere (the default).
    static void setDebugSink(Ai& ai, std::function<void(std::string_view)> sink) {
        ai.onDebug_ = std::move(sink);
    }
    static bool hasDebugSink(const Ai& ai) { return static_cast<bool>(ai.onDebug_); }
};

}  // namespace vebix
