#pragma once
// The UDLP message file "CHAT.MSG", the exchange between a link program and a bot.
//
// Request (written by the link program): line 1 the sender's name, line 2 the message, each
// followed by CR LF; later lines are ignored. Readers accept CR LF, LF and CR. Bytes are taken
// as they stand: no trimming, no case change, no conversion.
//
// Reply (written by the bot): the whole file replaced by the reply text followed by CR LF.
// No reply: the file is gone, empty, or still starts with the sender's own name.

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/ai/engineversion.h"

namespace vebix::chatmsg {

inline constexpr std::string_view kFileName = "CHAT.MSG";
inline constexpr std::string_view kLineEnd = "\r\n";

// The probe: a message exactly "!#@" is answered with the engine's version, "<mxo1.7.5>", and
// never reaches the engine.
inline constexpr std::string_view kProbe = "!#@";
namespace detail {
constexpr std::string_view kProbeAnswerHead = "<mxo";
constexpr std::string_view kProbeAnswerTail = ">";
constexpr auto probeAnswerChars() {
    std::array<char, kProbeAnswerHead.size() + kEngineVersion.size() + kProbeAnswerTail.size()>
        chars{};
    std::size_t at = 0;
    for (std::string_view part : {kProbeAnswerHead, kEngineVersion, kProbeAnswerTail})
        for (char c : part) chars[at++] = c;
    return chars;
}
inline constexpr auto kProbeAnswerChars = probeAnswerChars();
}  // namespace detail
inline constexpr std::string_view kProbeAnswer(detail::kProbeAnswerChars.data(),
                                               detail::kProbeAnswerChars.size());

// How many times the engine is asked before the bot gives up, what it answers then, and what it
// learns for that answer (the exclude mark keeps the line from ever being chosen as a reply).
inline constexpr int kReplyAttempts = 10;
inline constexpr std::string_view kNoReplyAnswer = "I don't know.....";
inline constexpr std::string_view kNoReplyLearned = "I don't know.....#-";

// Errors of bot mode.
inline constexpr std::string_view kBadRequestMessage =
    "CHAT.MSG does not contain appropriate information";
inline constexpr std::string_view kTwoMindsMessage = "Two mind files supplied; must have one";
inline constexpr std::string_view kFatalCaption = "Fatal Error";

}  // namespace vebix::chatmsg
