#pragma once
// Every write to a mind file goes through a MindWrite: one writer at a time, and each write
// whole or not at all, whatever happens to the process or the machine meanwhile.
//
// The lock. A writer holds an open-file-description lock on a lock file beside the mind,
// ".<name>.lock" in the folder of the mind's file (where a link the user named points). It is
// made before the mind is, so two programs making the same new mind wait for each other as two
// appending to one do, and the second finds the first one's mind and appends to it. A writer
// removes the lock file when it is done; one that finds the file removed or replaced by the time
// it holds the lock takes the lock again on the file that now has the name. Where no lock file
// can be made (a folder that may not be written) the lock is taken on the mind file itself.
//
// The journal. Before it appends, a writer records the mind's length in the lock file and puts
// the record on disk; once the appended bytes are on disk it clears the record. A writer killed
// midway, or a machine that loses power, leaves the record behind: the next writer cuts the
// mind back to that length before it writes, and a loader reads no further (openMindToRead), so
// a torn append is never seen and never built on. A whole write needs no record: it goes to a
// temporary file that is renamed over the mind.
//
// Never from stale memory: whoever saves a mind tells the writer what the file was when it
// was loaded (MindFileState); a file since replaced, or cut shorter, by another program is not
// written to (MindChanged).
//
// Other programs that do not take the lock are not stopped.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "app/platform/safefile.h"
#include "engine/base/error.h"
#include "engine/base/filehandle.h"

namespace vebix {

// What a mind file was when it was last loaded or written, to tell whether it is still that
// file: the same file (device and inode) and no shorter.
struct MindFileState {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;  // the bytes that hold whole lines (a torn append left out)

    bool sameFileAs(const MindFileState& other) const {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
};

// A save refused because the file is not the one the mind was loaded from: the message says
// what happened to it. The caller keeps its lines elsewhere (a rescue file).
class MindChanged : public Error {
public:
    using Error::Error;
};

// A mind file opened to be loaded: the open file and how much of it to read (the length a
// finished save left, when a torn append is still on the file).
struct MindToRead {
    OpenedFile file;
    MindFileState state;
};
// Opens the mind at path as the user's own file (safefile.h): nullopt when nothing is there;
// Error(failure + ": " + the reason) when it cannot be opened or is not a regular file.
std::optional<MindToRead> openMindToRead(const std::string& path, const std::string& failure);

// Whether the bytes of a whole mind file have a version 1.2 header without the empty line that
// ends its key=value lines (so that whatever is appended would be read as key=value lines).
// Throws MindChanged, naming path, when the bytes are no mind.
bool mindHeaderLacksEnd(std::string_view bytes, const std::string& path);

// The lock file of the mind file at path.
std::string mindLockPath(const std::string& path);

class MindWrite {
public:
    // Takes the write lock of the mind file at path, waiting for another writer (onWait, when
    // given, is called on this thread just before waiting), then puts right what a writer
    // killed midway left: a torn append is cut back. ops makes the system calls of every write.
    // Throws Error("Unable to save mind file '<path>': <reason>") when a torn append cannot be
    // cut back.
    explicit MindWrite(const std::string& path, const std::function<void()>& onWait = {},
                       const FileOps& ops = systemFileOps());
    // Releases the lock (and removes the lock file, unless a record must stay for the next one).
    ~MindWrite();
    MindWrite(const MindWrite&) = delete;
    MindWrite& operator=(const MindWrite&) = delete;

    // The mind file as it is now. Throws Error when something other than a regular file has
    // its name.
    MindFileState current() const;

    // Throws MindChanged unless the file is still the one described by loaded (the same file,
    // no shorter): one that was replaced, cut shorter or removed is not written from a memory
    // that no longer matches it.
    void checkUnchanged(const MindFileState& loaded) const;

    // Appends lines (whole lines, each ended by CR LF) to the mind file, which must exist: after
    // a line end when the last line has none, and after the empty line that ends the key=value
    // lines when a version 1.2 header lacks it (lines after it would be read as key=value lines
    // otherwise). Under the journal; on failure the file is cut back to its old length. Throws
    // Error("Unable to save mind file '<path>': <reason>"), or MindChanged when the file is no
    // mind at all. Returns the file after the write.
    MindFileState append(std::string_view lines);

    // Writes the whole mind through a temporary file renamed over it (owner, group and mode
    // kept). Returns the new file.
    MindFileState replace(const ByteProducer& produce);

    // Writes a new mind file whole, only when nothing has the name yet: nullopt, writing
    // nothing, when something has.
    std::optional<MindFileState> create(const ByteProducer& produce);

    // The failure message of this mind: "Unable to save mind file '<path>'".
    const std::string& failure() const { return failure_; }

private:
    void lock(const std::function<void()>& onWait);
    void recover();
    void writeRecord(const MindFileState& before);
    bool clearRecord();
    MindFileState stateOf(const std::string& path) const;

    std::string path_;      // as given
    std::string file_;      // the file written: path_, or where a link there points
    std::string lockPath_;  // empty when the lock is on the mind itself
    std::string failure_;
    const FileOps& ops_;
    FdHandle lockFd_;
    bool keepRecord_ = false;  // a record could not be cleared: the lock file stays
};

}  // namespace vebix
