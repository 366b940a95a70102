#include "app/mind/mindwrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <system_error>

#include "app/mind/filelock.h"
#include "app/mind/mindfileformat.h"
#include "app/mind/vebixai.h"

namespace vebix {
namespace {

// Far beyond any mind's contents: where the lock is taken on the mind file itself (no lock
// file could be made), it never meets a lock another program takes on the bytes it reads.
constexpr off_t kWritingByte = (off_t{1} << 62) + 1;

// The journal record, one line in the lock file: "vebix-journal 1 DEVICE INODE LENGTH", the
// mind file and its length before the append.
constexpr std::string_view kRecordStart = "vebix-journal 1 ";
constexpr std::size_t kRecordMax = 128;

struct Record {
    std::uint64_t device = 0, inode = 0, length = 0;
};

std::string recordText(const Record& r) {
    return std::string(kRecordStart) + std::to_string(r.device) + " " + std::to_string(r.inode) +
           " " + std::to_string(r.length) + "\n";
}

// The record in text, or nullopt for anything else (an empty lock file, a torn record).
std::optional<Record> parseRecord(std::string_view text) {
    if (!text.starts_with(kRecordStart) || !text.ends_with('\n')) return std::nullopt;
    text.remove_prefix(kRecordStart.size());
    text.remove_suffix(1);
    std::uint64_t values[3] = {};
    for (int i = 0; i < 3; ++i) {
        const char* end = text.data() + text.size();
        const auto [next, ec] = std::from_chars(text.data(), end, values[i]);
        if (ec != std::errc() || next == text.data()) return std::nullopt;
        text.remove_prefix(static_cast<std::size_t>(next - text.data()));
        if (i < 2) {
            if (!text.starts_with(' ')) return std::nullopt;
            text.remove_prefix(1);
        }
    }
    if (!text.empty()) return std::nullopt;
    return Record{values[0], values[1], values[2]};
}

std::optional<Record> readRecord(int fd) {
    char text[kRecordMax];
    ssize_t n;
    do {
        n = ::pread(fd, text, sizeof text, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) return std::nullopt;
    return parseRecord(std::string_view(text, static_cast<std::size_t>(n)));
}

MindFileState stateFrom(const struct stat& st) {
    MindFileState state;
    state.exists = true;
    state.device = static_cast<std::uint64_t>(st.st_dev);
    state.inode = static_cast<std::uint64_t>(st.st_ino);
    state.size = static_cast<std::uint64_t>(st.st_size);
    return state;
}

// A write lock, without waiting; when another holds it, onWait is called and it is waited for.
bool lockForWriting(int fd, off_t start, off_t length, const std::function<void()>& onWait) {
    if (lockRange(fd, start, length, F_WRLCK, LockWait::No)) return true;
    if (errno != EAGAIN && errno != EACCES) return false;
    if (onWait) onWait();
    return lockRange(fd, start, length, F_WRLCK, LockWait::UntilFree);
}

void syncFolderOf(const std::string& path, const FileOps& ops) {
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ops.sync(fd);
    ::close(fd);
}

// Reads the start of a mind file, block by block, as the loader reads it (lines end at CR, LF
// or CR LF, a byte-order mark at a line's start is dropped, a NUL ends a line), up to the end of
// its header: whether the key=value lines of a version 1.2 header lack the empty line that
// ends them. Throws MindChanged when the file is no mind.
class HeaderScan {
public:
    explicit HeaderScan(const std::string& path) : path_(path) {}

    // Takes the next bytes; true once the header has ended (nothing more is needed).
    bool feed(std::string_view bytes) {
        for (const char c : bytes) {
            if (c == '\n' && afterCr_) {
                afterCr_ = false;
                continue;
            }
            afterCr_ = c == '\r';
            if (c == '\r' || c == '\n') {
                if (take(line_)) return true;
                line_.clear();
            } else {
                line_.push_back(c);
            }
        }
        return false;
    }

    // At the end of the file: whether the header still needs its empty line.
    bool lacksEnd() {
        if (!line_.empty() && take(line_)) return false;
        if (reader_.botName().empty()) notMind(std::string(mindfile::kNotValidMessage));
        return !reader_.inBody();
    }

private:
    bool take(std::string_view line) {
        if (line.starts_with(mindfile::kByteOrderMark))
            line.remove_prefix(mindfile::kByteOrderMark.size());
        line = line.substr(0, line.find('\0'));
        try {
            reader_.acceptLoadedLine(line);
        } catch (const Error& e) {
            notMind(e.what());
        }
        return reader_.inBody();
    }
    [[noreturn]] void notMind(const std::string& why) const {
        throw MindChanged("'" + path_ + "' is not a mind file (" + why +
                          "); nothing was written to it");
    }

    const std::string& path_;
    VebixAi reader_;
    std::string line_;
    bool afterCr_ = false;
};

bool headerLacksEnd(int fd, std::uint64_t size, const std::string& path) {
    HeaderScan scan(path);
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::string block(kBlock, '\0');
    for (std::uint64_t at = 0; at < size;) {
        const ssize_t got = ::pread(fd, block.data(), kBlock, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        at += static_cast<std::uint64_t>(got);
        if (scan.feed(std::string_view(block.data(), static_cast<std::size_t>(got)))) return false;
    }
    return scan.lacksEnd();
}

}  // namespace

bool mindHeaderLacksEnd(std::string_view bytes, const std::string& path) {
    HeaderScan scan(path);
    return !scan.feed(bytes) && scan.lacksEnd();
}

std::string mindLockPath(const std::string& path) {
    const std::string file = resolvedOwnPath(path);
    const std::size_t slash = file.rfind('/');
    if (slash == std::string::npos) return "." + file + ".lock";
    return file.substr(0, slash + 1) + "." + file.substr(slash + 1) + ".lock";
}

std::optional<MindToRead> openMindToRead(const std::string& path, const std::string& failure) {
    std::optional<OpenedFile> opened = openRegularFile(path, Place::Own, Access::Read, failure);
    if (!opened) return std::nullopt;
    MindToRead mind{std::move(*opened), {}};
    mind.state = stateFrom(mind.file.info);
    // A record in the lock file: an append is under way or was cut off. Its bytes are not part
    // of the mind (yet); the next writer keeps or cuts them.
    const int lockFd = ::open(mindLockPath(path).c_str(),
                              O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (lockFd >= 0) {
        const FdHandle closer(lockFd);
        struct stat st {};
        if (::fstat(lockFd, &st) == 0 && S_ISREG(st.st_mode))
            if (std::optional<Record> r = readRecord(lockFd))
                if (r->device == mind.state.device && r->inode == mind.state.inode &&
                    r->length < mind.state.size)
                    mind.state.size = r->length;
    }
    return mind;
}

MindWrite::MindWrite(const std::string& path, const std::function<void()>& onWait,
                     const FileOps& ops)
    : path_(path),
      file_(resolvedOwnPath(path)),
      failure_("Unable to save mind file '" + path + "'"),
      ops_(ops) {
    lock(onWait);
    recover();
}

MindWrite::~MindWrite() {
    if (!lockFd_) return;
    // Removed while still held: a writer waiting on it finds it gone once it holds it, and
    // takes the lock on whatever has the name by then.
    if (!lockPath_.empty() && !keepRecord_) ::unlink(lockPath_.c_str());
}

void MindWrite::lock(const std::function<void()>& onWait) {
    const std::string lockPath = mindLockPath(path_);
    for (int round = 0; round < 64; ++round) {
        bool made = true;
        int fd = ::open(lockPath.c_str(),
                        O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
        if (fd < 0 && errno == EEXIST) {
            made = false;
            fd = ::open(lockPath.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0 && errno == ENOENT) continue;  // removed by its holder meanwhile
        }
        if (fd < 0) break;
        FdHandle held(fd);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) break;
        // A new lock file outlives a power cut only with its folder synced; a record in it
        // that vanished with it would leave a torn append nobody knows of.
        if (made) syncFolderOf(lockPath, ops_);
        if (!lockForWriting(fd, 0, 0, onWait)) break;
        if (!nameStandsFor(fd, lockPath)) continue;  // its holder removed it: take the new one
        lockFd_ = std::move(held);
        lockPath_ = lockPath;
        return;
    }
    // No lock file to be had (a folder that may not be written): the lock is taken on the
    // mind itself, and appends go without a journal.
    for (int round = 0; round < 8; ++round) {
        const int fd = ::open(file_.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return;  // nothing to lock; the write itself reports the failure
        FdHandle held(fd);
        struct stat st {};
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
        if (!lockForWriting(fd, kWritingByte, 1, onWait)) return;
        // A whole write replaces the file while another writer waits on the old one; the
        // waiter then locks the file that now has the name.
        if (nameStandsFor(fd, file_)) {
            lockFd_ = std::move(held);
            return;
        }
    }
}

void MindWrite::recover() {
    if (lockPath_.empty()) return;
    const std::optional<Record> record = readRecord(lockFd_.get());
    if (!record) {
        struct stat st {};
        if (::fstat(lockFd_.get(), &st) == 0 && st.st_size != 0) clearRecord();
        return;
    }
    std::optional<OpenedFile> mind =
        openRegularFile(file_, Place::Own, Access::ReadWrite, failure_);
    if (mind && static_cast<std::uint64_t>(mind->info.st_dev) == record->device &&
        static_cast<std::uint64_t>(mind->info.st_ino) == record->inode &&
        static_cast<std::uint64_t>(mind->info.st_size) > record->length) {
        // The tail of an append that never finished: cut back to where it began.
        if (ops_.truncate(mind->fd.get(), static_cast<off_t>(record->length)) != 0 ||
            ops_.sync(mind->fd.get()) != 0) {
            keepRecord_ = true;
            throw systemError(failure_, errno);
        }
    }
    if (!clearRecord()) {
        keepRecord_ = true;
        throw systemError(failure_, errno);
    }
}

void MindWrite::writeRecord(const MindFileState& before) {
    const std::string record = recordText({before.device, before.inode, before.size});
    int error = writeAllAt(ops_, lockFd_.get(), record, 0);
    if (error == 0 && ops_.truncate(lockFd_.get(), static_cast<off_t>(record.size())) != 0)
        error = errno;
    if (error == 0 && ops_.sync(lockFd_.get()) != 0) error = errno;
    if (error != 0) {
        // Nothing was appended: whatever stands in the lock file names the file at its
        // present length, and the next writer clears it.
        throw systemError(failure_, error);
    }
}

bool MindWrite::clearRecord() {
    return ops_.truncate(lockFd_.get(), 0) == 0 && ops_.sync(lockFd_.get()) == 0;
}

MindFileState MindWrite::stateOf(const std::string& path) const {
    std::optional<OpenedFile> opened = openRegularFile(path, Place::Own, Access::Read, failure_);
    return opened ? stateFrom(opened->info) : MindFileState{};
}

MindFileState MindWrite::current() const { return stateOf(file_); }

void MindWrite::checkUnchanged(const MindFileState& loaded) const {
    const MindFileState now = current();
    const std::string what = "the mind file '" + path_ + "' ";
    const std::string notSaved = "; the lines not saved are kept elsewhere, not written over it";
    if (!now.exists)
        throw MindChanged(what + "was removed by another program since it was loaded" + notSaved);
    if (!now.sameFileAs(loaded))
        throw MindChanged(what + "was replaced by another file since it was loaded" + notSaved);
    if (now.size < loaded.size)
        throw MindChanged(what + "was cut shorter by another program since it was loaded (" +
                          std::to_string(loaded.size) + " bytes, now " + std::to_string(now.size) +
                          ")" + notSaved);
}

MindFileState MindWrite::append(std::string_view lines) {
    std::optional<OpenedFile> opened =
        openRegularFile(file_, Place::Own, Access::ReadWrite, failure_);
    if (!opened) throw systemError(failure_, ENOENT);
    const int fd = opened->fd.get();
    const MindFileState before = stateFrom(opened->info);
    const auto size = static_cast<off_t>(before.size);

    std::string block;
    if (size > 0) {
        char last = 0;
        if (::pread(fd, &last, 1, size - 1) != 1) throw systemError(failure_, errno ? errno : EIO);
        // A last line without a line end would otherwise run together with the first new one.
        if (last != '\n' && last != '\r') block += mindfile::kLineEnd;
    }
    if (headerLacksEnd(fd, before.size, path_)) block += mindfile::kLineEnd;
    block += lines;

    if (!lockPath_.empty()) writeRecord(before);
    // The new lines go to the file in one write where the system allows, then to the disk.
    // Should either come up short (a full disk, an input/output error), the file is cut back
    // to its old length, so that a failed save leaves it as it was and the next save writes
    // the same lines again without doubling any; should even that fail, the record stays for
    // the next writer to cut back.
    int error = writeAllAt(ops_, fd, block, size);
    if (error == 0 && ops_.sync(fd) != 0) error = errno;
    // Once the record is gone the append is for good; a record that cannot be cleared would
    // have the next writer cut it off, so then it is undone now and reported as failed.
    if (error == 0 && !lockPath_.empty() && !clearRecord()) error = errno ? errno : EIO;
    if (error != 0) {
        if (ops_.truncate(fd, size) == 0 && ops_.sync(fd) == 0) {
            if (!lockPath_.empty() && !clearRecord()) keepRecord_ = true;
        } else {
            keepRecord_ = !lockPath_.empty();
        }
        throw systemError(failure_, error);
    }
    MindFileState after = before;
    after.size += block.size();
    return after;
}

MindFileState MindWrite::replace(const ByteProducer& produce) {
    writeFileWhole(file_, Place::Own, produce, failure_, ops_);
    return stateOf(file_);
}

std::optional<MindFileState> MindWrite::create(const ByteProducer& produce) {
    if (!createFileWhole(file_, Place::Own, produce, failure_, ops_)) return std::nullopt;
    return stateOf(file_);
}

}  // namespace vebix
