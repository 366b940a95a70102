#pragma once
// The mind file (".mdd"): the layout shared by the reader and the writer of VebixAi.
//
//   EF BB BF                         byte-order mark; always written, optional on reading
//   1.2 1.2 "Name"                   header line: version, version2, the bot name
//   key=value                        version 1.2 only: kept verbatim, up to the first empty line
//   (empty line)                     version 1.2 only
//   key time speaker text            mind lines, one per line
//
// Lines are written with CR LF; CR LF, LF and CR are all accepted on reading.

#include <array>
#include <string_view>

namespace vebix::mindfile {

inline constexpr std::string_view kExtension = ".mdd";
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
inline constexpr std::string_view kLineEnd = "\r\n";
inline constexpr char kNameQuote = '"';
inline constexpr char kFieldSeparator = ' ';

// The version written by this program, and the versions it reads. Versions 1.0 and 1.1 have no
// key=value lines: the mind lines follow the header line directly.
inline constexpr std::string_view kCurrentVersion = "1.2";
inline constexpr std::array<std::string_view, 2> kVersionsWithoutKeyValues = {"1.0", "1.1"};

inline constexpr std::string_view kDefaultFileName = "Vebix.mdd";

// Errors raised while loading.
inline constexpr std::string_view kNotValidMessage = "Not a valid Vebix mind file";
inline constexpr std::string_view kIncompatibleMessage = "Incompatible mind file";

}  // namespace vebix::mindfile
