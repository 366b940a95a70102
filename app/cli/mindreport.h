#pragma once
// What a mind file holds, counted in one pass over its bytes, and (on request) every line the
// engine would skip or read differently from what it looks like. Behind `vebix info`.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vebix::cli {

struct MindReportOptions {
    bool check = false;  // collect problems
    int words = 10;      // how many frequent words to keep (0: words are not counted at all)
    int speakers = 5;    // how many of the most frequent speakers to keep
    // Words shorter than this (in code points) are not counted.
    int minWordLength = 3;
};

// One line the engine would skip or misread, or a fault of the header (a fault); or something
// worth knowing that loses nothing (a note: a time that goes back, invalid UTF-8, a header line
// that is not key=value).
struct MindProblem {
    std::uint64_t line = 0;  // 1-based line number in the file, as CR, LF and CR LF end lines
    std::string reason;
    bool fault = true;
};

using Counted = std::pair<std::string, std::uint64_t>;

struct MindReport {
    bool isMind = false;  // a header line the engine accepts was found
    std::string notMind;  // why not, when !isMind
    std::string botName;
    std::string version;               // the header's version field ("1.2")
    std::uint64_t headerKeyLines = 0;  // key=value lines of a version 1.2 header
    std::uint64_t lines = 0;           // mind lines (what the engine keeps), the bot's included
    std::uint64_t botLines = 0;        // of them, spoken by the bot itself ("<ai>")
    std::uint64_t conversations = 0;   // distinct keys, ASCII letter case ignored
    std::uint64_t speakers = 0;        // distinct speakers other than "<ai>", case kept
    std::vector<Counted> topSpeakers;  // the most frequent of them, most first
    std::optional<std::uint32_t> firstTime;  // the earliest readable time
    std::optional<std::uint32_t> lastTime;   // the latest readable time
    std::vector<Counted> topWords;           // most first; ties in byte order
    std::vector<MindProblem> problems;       // in line order; only with options.check

    std::size_t faults() const {
        std::size_t n = 0;
        for (const MindProblem& p : problems) n += p.fault ? 1 : 0;
        return n;
    }
};

// Reads a mind file's bytes. Never throws; a text that is not a mind gives isMind false.
// Lines are read as the engine loads them: a byte-order mark at a line's start is dropped,
// a NUL byte ends the line, empty lines among the mind lines are not lines.
MindReport readMindReport(std::string_view bytes, const MindReportOptions& options);

// readMindReport on the file at path, mapped into memory rather than copied, opened as a mind is
// loaded (mindwrite.h). Throws Error when the file cannot be opened or read, or is not a
// regular file.
MindReport reportMindFile(const std::string& path, const MindReportOptions& options);

}  // namespace vebix::cli
