#pragma once
// Opening, reading and writing files with care. Some files are the user's own: a mind named on
// the command line, a transcript. Others lie in a bot folder, which other people and other bots
// can write: CHAT.MSG, UDLP.NFO, UDLPX.NFO. There a name may stand for anything: a symbolic link
// to a file the user would not want read or overwritten, a FIFO that blocks its reader for
// ever, a device that never ends. Every read and write of a mind, CHAT.MSG and the info files
// goes through here:
//  - a file is opened without waiting (a FIFO or a device does not block the open), and in a
//    bot folder without following a symbolic link; the open descriptor is asked what it is, and
//    only a regular file is accepted; otherwise the error names the file and what it is;
//  - lines of a file others can place are read with bounds (kMaxLineBytes, kMaxReadBytes);
//  - a file written whole goes to a temporary file in the same folder, which is synced and
//    renamed over the name, and then the folder is synced. In a bot folder the rename replaces
//    whatever has the name (a symbolic link is replaced, never its target); a user's file named
//    through a link is written where the link points, the link kept. A file that is replaced
//    keeps its owner, group and mode as far as the system lets us.

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/base/filehandle.h"

namespace vebix {

// Where a file lies, which decides what a symbolic link there means.
enum class Place {
    Own,        // named by the user: a link to a regular file is followed
    BotFolder,  // in a folder others may write: a link is refused, and replaced when writing
};

// The longest line kept from a file others can place; a longer one is cut there (and the
// reader tells so). No more than kMaxReadBytes of such a file are read at all.
inline constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;
inline constexpr std::uint64_t kMaxReadBytes = std::uint64_t{16} << 20;

// Why a file of this mode is not taken as a file ("it is a FIFO (named pipe), not a regular
// file"); empty for a regular file.
std::string notRegularReason(mode_t mode);

// An open regular file and what fstat said of it.
struct OpenedFile {
    FdHandle fd;
    struct stat info {};
};

enum class Access { Read, ReadWrite };

// Opens the regular file at path, never waiting for a FIFO or a device and never opening one
// (what the name is, is asked first and asked again of the open descriptor). Nothing at path:
// nullopt. Anything else that keeps it from being opened as a regular file throws
// Error(failure + ": " + the reason): the system's words, or what the file is instead ("it is a
// folder, not a file"). In a bot folder a symbolic link is refused the same way, and so is a
// file with more than one name (a hard link to a file elsewhere).
std::optional<OpenedFile> openRegularFile(const std::string& path, Place place, Access access,
                                          const std::string& failure);

// openRegularFile for reading, as a stream for the line readers; null when nothing is at path.
FilePtr openRegularStream(const std::string& path, Place place, const std::string& failure);

// The lines of a small file others can place (CHAT.MSG, the UDLP info files): at most maxLines
// of them, each cut to kMaxLineBytes, from at most kMaxReadBytes of the file.
struct BoundedLines {
    bool found = false;  // a regular file was there
    std::vector<std::string> lines;
    bool cut = false;  // a line was cut, or the file was longer than what is read of it
};
// Reads them as openRegularFile opens; a read error ends the lines read so far. Throws as
// openRegularFile does.
BoundedLines readBoundedLines(const std::string& path, Place place, std::size_t maxLines,
                              const std::string& failure);

// The system calls that put a file's bytes on disk, in one place, so that a test can make each
// one fail in turn. Each returns what the system call returns and sets errno as it does.
class FileOps {
public:
    enum class Rename { Replace, NoReplace };

    virtual ~FileOps() = default;
    // pwrite(2).
    virtual long writeAt(int fd, const char* data, std::size_t size, off_t offset) const;
    // fdatasync(2), of a file or of a folder.
    virtual int sync(int fd) const;
    // ftruncate(2).
    virtual int truncate(int fd, off_t length) const;
    // rename(2); NoReplace fails with EEXIST when something has the name to.
    virtual int rename(const std::string& from, const std::string& to, Rename mode) const;
};
// The system's own.
const FileOps& systemFileOps();

// Receives the bytes of the file being written; may be called any number of times.
using ByteSink = std::function<void(std::string_view)>;
using ByteProducer = std::function<void(const ByteSink&)>;

// Writes every byte of data at offset through ops, again after a short write. Returns 0, or the
// errno of the call that failed (ENOSPC for a write that took nothing).
int writeAllAt(const FileOps& ops, int fd, std::string_view data, off_t offset);

// A file written whole in two steps: prepared (its bytes written to a temporary file in the
// same folder and synced) and then put in place (renamed over its name, the folder synced).
// Dropped before it was put in place, it leaves nothing behind.
class PreparedFile {
public:
    // Writes the temporary file: produce is called once with a sink for the contents. Throws
    // Error(failureMessage + ": " + the system's reason) when it cannot be written.
    PreparedFile(const std::string& path, Place place, const ByteProducer& produce,
                 const std::string& failureMessage, const FileOps& ops = systemFileOps());
    ~PreparedFile();
    PreparedFile(const PreparedFile&) = delete;
    PreparedFile& operator=(const PreparedFile&) = delete;

    // Renames it over the name (NoReplace: only when nothing has the name; false otherwise).
    // Throws as the constructor does.
    bool putInPlace(FileOps::Rename mode = FileOps::Rename::Replace);

private:
    void write(int fd, const struct stat* old, const ByteProducer& produce);

    std::string target_;
    std::string folder_;
    std::string temporary_;  // empty once put in place
    std::string failure_;
    const FileOps& ops_;
};

// Writes the file at path whole: produce is called once with a sink for its contents. A user's
// file named through a symbolic link is written where the link points. Throws
// Error(failureMessage + ": " + the system's reason) when it cannot be written; whatever had
// the name is then left as it was. Whatever produce throws leaves it as it was too.
void writeFileWhole(const std::string& path, Place place, const ByteProducer& produce,
                    const std::string& failureMessage, const FileOps& ops = systemFileOps());

// The same for a file that must not exist yet: false, writing nothing, when something has the
// name by the time the file would take it.
bool createFileWhole(const std::string& path, Place place, const ByteProducer& produce,
                     const std::string& failureMessage, const FileOps& ops = systemFileOps());

// Where a user's file named path lives: the file a symbolic link there points to, made
// absolute, or path itself when it is no link (or a link to nothing).
std::string resolvedOwnPath(const std::string& path);

}  // namespace vebix
