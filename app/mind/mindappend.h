#pragma once
// Adding many lines to a mind file in one atomic step, for importing text: the mind's bytes are
// kept verbatim (lines the engine cannot read included) and the new lines are appended under
// the mind's write lock and journal (mindwrite.h), so that the file holds either none or all of
// them whenever the process dies. The mind is never read whole: what the import needs of it is
// read a line at a time, and only a new mind is written whole.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "app/platform/safefile.h"

namespace vebix {

// What a mind that does not exist yet (or is an empty file) starts from.
enum class NewMindStart { Template, Empty };

// The bytes of a new empty mind for botName: the header a save writes, and no mind line.
std::string emptyMindText(const std::string& botName);

// The name an empty mind made at path gets: the file's name without its last extension and
// without double quotes ("Robo" for "/x/Robo.mdd"); "Vebix" when nothing is left.
std::string botNameForPath(const std::string& path);

// Thrown out of a producer to abandon the write; appendToMind then leaves the mind as it was
// and lets it through.
struct AppendCancelled {};

// The lines of a mind as it stands, for a producer to look at before it adds to them: read a
// block at a time when asked, never held.
class ExistingMind {
public:
    ExistingMind() = default;  // a new mind: no lines
    ExistingMind(int fd, std::uint64_t size, std::string path)
        : fd_(fd), size_(size), path_(std::move(path)) {}

    bool isNew() const { return fd_ < 0; }
    // Calls take with each line of the file (the header's included), in order, as a loader
    // splits them; a line longer than a mebibyte comes as its first mebibyte. Throws Error when
    // the file cannot be read.
    void forEachLine(const std::function<void(std::string_view)>& take) const;
    // The same, faster where few lines matter: lines(run, offset) takes runs of whole lines
    // with their line ends at that offset in the file, line(text) a line too long for a run,
    // as its start.
    void forEachRun(const std::function<void(std::string_view, std::uint64_t)>& lines,
                    const std::function<void(std::string_view)>& line) const;

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::string path_;
};

// The lines of the mind file at path, as ExistingMind gives them, opened as a mind is loaded
// (an append cut off midway left out); nothing when no file has the name.
void forEachMindLine(const std::string& path, const std::function<void(std::string_view)>& take);

// Receives the mind's current lines (none for a new mind) and a sink for the new lines, each
// ended by CR LF. Called once, under the mind's write lock.
using MindLinesProducer = std::function<void(const ExistingMind& existing, const ByteSink& sink)>;

struct MindAppendResult {
    bool created = false;  // the mind was new (no file, or an empty one)
};

// Appends what produce gives to the mind file at path (absolute), under the mind's write lock:
// after a line end when the last old line has none (and the empty line a version 1.2 header
// lacks), written as it comes and synced (MindWrite::append). A mind that does not exist or is
// empty is written whole instead, starting from start (the template, or emptyMindText with
// botNameForPath), through a temporary file renamed over it; a new one is made only if nothing
// has the name meanwhile. Throws Error, leaving the file as it was, when another front end holds
// the mind open (it would write its own copy over the new lines), when the file is not a mind
// (or not a regular file), or when it cannot be read or written. Whatever produce throws leaves
// the file as it was too. ops makes the system calls.
MindAppendResult appendToMind(const std::string& path, NewMindStart start,
                              const MindLinesProducer& produce,
                              const FileOps& ops = systemFileOps());

}  // namespace vebix
