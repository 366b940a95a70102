#pragma once
// What tests change in a Conversation and the program never does: the engine's answers,
// scripted, and the response delay, shortened. Only tests include this header.

#include <cstdint>
#include <utility>

#include "app/chat/conversation.h"

namespace vebix {

class ConversationTestHelper {
public:
    // The calls into the engine: reply(engine, speaker, line, referenceTime) and
    // refreshFillWords(engine). One left empty is the engine's own.
    using EngineCalls = Conversation::EngineCalls;
    static void setEngineCalls(Conversation& conversation, EngineCalls calls) {
        conversation.setEngineCalls(std::move(calls));
    }
    // The shortest time between asking the engine and showing its reply, with the delay on
    // (Conversation::kResponseDelayMs unless changed).
    static void setResponseDelayMs(Conversation& conversation, std::uint64_t ms) {
        conversation.responseDelayMs_ = ms;
    }
};

}  // namespace vebix
