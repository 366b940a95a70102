#pragma once
// Small helpers shared by the engine tests.

#include <string>
#include <string_view>
#include <vector>

#include "engine/ai/ai.h"
#include "engine/ai/aitesthelper.h"

namespace vebix::testing {

inline void fill(Ai& ai, const std::vector<std::string>& lines) {
    AiTestHelper::setLines(ai, lines);
}

// Collects what the engine sends to onDebug.
struct DebugLog {
    std::vector<std::string> texts;
    void attach(Ai& ai) {
        AiTestHelper::setDebugSink(ai, [this](std::string_view t) { texts.emplace_back(t); });
    }
    bool has(std::string_view t) const {
        for (const auto& x : texts)
            if (x == t) return true;
        return false;
    }
    // The last text starting with prefix, without the prefix; empty when none.
    std::string last(std::string_view prefix) const {
        for (auto it = texts.rbegin(); it != texts.rend(); ++it)
            if (std::string_view(*it).starts_with(prefix)) return it->substr(prefix.size());
        return {};
    }
};

}  // namespace vebix::testing
