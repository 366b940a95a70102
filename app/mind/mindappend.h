#pragma once
// Adding many lines to a mind file in one atomic step, for importing text: the mind's bytes are
// kept verbatim (lines the engine cannot read included), the new lines follow them, and the
// whole goes through a temporary file and a rename, so that the file holds either none or all
// of the new lines whenever the process dies.

#include <functional>
#include <string>
#include <string_view>

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

// Receives the mind's current bytes (empty for a new mind) and a sink for the new lines, each
// ended by CR LF. Called once, under the mind's write lock.
using MindLinesProducer = std::function<void(std::string_view existing, const ByteSink& sink)>;

struct MindAppendResult {
    bool created = false;  // the mind was new (no file, or an empty one)
};

// Appends what produce gives to the mind file at path (absolute), under the mind's write lock
// (mindwrite.h): old bytes, a line end when the last old line has none (and the empty line a
// version 1.2 header lacks), then the new lines, written whole through a temporary file that is
// synced and renamed over the mind, keeping its owner, group and mode. A mind that does not
// exist or is empty starts from start (the template, or emptyMindText with botNameForPath); a
// new one is made only if nothing has the name meanwhile. Throws Error, leaving the file as it
// was, when another front end holds the mind open (it would write its own copy over the new
// lines), when the file is not a mind (or not a regular file), or when it cannot be read or
// written. Whatever produce throws leaves the file as it was too. ops makes the system calls.
MindAppendResult appendToMind(const std::string& path, NewMindStart start,
                              const MindLinesProducer& produce,
                              const FileOps& ops = systemFileOps());

}  // namespace vebix
