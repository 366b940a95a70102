#pragma once
// The UDLP info files beside a bot's executable.
//
// "UDLP.NFO" (basic) and "UDLPX.NFO" (extended): plain 8-bit text, every line ended by CR LF,
// no blank lines, no comments, no byte-order mark.
//   line 1  protocol major version, decimal 0..255      ("2")
//   line 2  protocol minor version, decimal 0..255      ("0")
//   line 3  the bot's executable file name, without folder
//   line 4  the bot's name
// "UDLPX.NFO" goes on with key lines, a key immediately followed by its value:
//   mind=<full path of the mind file>  exepath=<full path of the executable>
//   showerrors=<flag>                  learn=<flag>
// A flag is off when its value is "0", "false" or "no" (any letter case), on otherwise.

#include <string_view>

namespace vebix::udlp {

inline constexpr std::string_view kBasicFileName = "UDLP.NFO";
inline constexpr std::string_view kExtendedFileName = "UDLPX.NFO";
inline constexpr std::string_view kLineEnd = "\r\n";

inline constexpr std::string_view kWrittenMajor = "2";
inline constexpr std::string_view kWrittenMinor = "0";

inline constexpr std::string_view kMindKey = "mind=";
inline constexpr std::string_view kShowErrorsKey = "showerrors=";
inline constexpr std::string_view kLearnKey = "learn=";
inline constexpr std::string_view kExePathKey = "exepath=";

inline constexpr std::string_view kTrue = "true";
inline constexpr std::string_view kFalse = "false";

// The header's version lines must hold a number from 0 to kMaxVersionPart, digits only.
inline constexpr unsigned kMaxVersionPart = 255;
inline constexpr std::string_view kBadVersionMessage =
    "UDLP info file: the version line is not a number from 0 to 255";

}  // namespace vebix::udlp
