#pragma once
// The UDLP info files (see udlpformat.h): reading them into a UdlpInfo, finding a bot's info,
// and writing both files beside the program's own executable.

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace vebix {

// A bot's parsed UDLP info.
struct UdlpInfo {
    std::string botName;            // line 4
    std::string exeName;            // line 3
    std::uint8_t versionMajor = 0;  // line 1
    std::uint8_t versionMinor = 0;  // line 2
    std::string infoPath;           // the file that was read
    std::string mind;               // "mind="
    std::string exePath;            // "exepath="
    bool showErrors = true;         // "showerrors="
    bool learn = false;             // "learn="
    // A line was longer than kMaxLineBytes (safefile.h) and was cut, or the file was longer
    // than what is read of it.
    bool cut = false;
};

// Reads lines 1 to 4 into versionMajor, versionMinor, exeName and botName and returns the
// version as major * 256 + minor. A missing line reads as empty. Lines are read with the bounds
// of a file others can place (safefile.h): each cut to kMaxLineBytes, setting cut. Throws Error
// when line 1 or 2 is not a number from 0 to 255 made of digits only.
unsigned readUdlpHeader(std::FILE* file, UdlpInfo& info);

// The header (its version not checked), then every further line as a key line: "mind=",
// "showerrors=", "learn=", "exepath=" at the very start of the line, case-sensitive, with a
// non-empty value; a later line overrides an earlier one; other lines are ignored.
UdlpInfo readUdlpInfo(std::FILE* file);

// Reads "UDLPX.NFO" in folder (the working folder when folder is empty) into info. Returns
// false, reading nothing, when the file does not exist. The folder is a bot folder: a link, a
// FIFO, a device or a folder of that name is refused with an Error that says so.
bool loadUdlpInfo(const std::string& folder, UdlpInfo& info);

// loadUdlpInfo in the working folder, then in the folder of the program's executable at
// programPath, then, when a botName is given, in that bot's per-user folder (see botfolder.h).
bool findUdlpInfo(UdlpInfo& info, const std::string& programPath, std::string_view botName = {});

// Writes "UDLP.NFO" and "UDLPX.NFO" for the bot into the folder of the program's executable at
// programPath, naming that executable; each file whole through a temporary file renamed over
// the name (a link there is replaced, not followed). Throws Error when a file cannot be
// written; a file already written stays.
void writeUdlpFiles(const std::string& botName, const std::string& mindPath, bool learn,
                    const std::string& programPath);

// A flag value: off for "0" and for "false" or "no" in any letter case, on otherwise.
bool parseUdlpFlag(const std::string& value);

}  // namespace vebix
