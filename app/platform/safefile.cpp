#include "app/platform/safefile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <atomic>
#include <cstdlib>

#include "engine/base/error.h"
#include "engine/myfile/readline.h"

namespace vebix {
namespace {

const char* const kLinkReason = "it is a symbolic link, which is not followed in a bot folder";

[[noreturn]] void refuse(const std::string& failure, const std::string& reason) {
    throw Error(failure + ": " + reason);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string baseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Eight random hexadecimal digits for a temporary file's name.
std::string randomTag() {
    unsigned char bytes[4] = {};
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No randomness to be had: the process and a counter still make clashes rare, and an
        // exclusive create settles the rest.
        static std::atomic<unsigned> counter{0};
        const unsigned n = static_cast<unsigned>(::getpid()) * 2654435761u + counter++;
        for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(n >> (8 * i));
    }
    static constexpr char kHex[] = "0123456789abcdef";
    std::string tag;
    for (unsigned char b : bytes) {
        tag += kHex[b >> 4];
        tag += kHex[b & 15];
    }
    return tag;
}

void syncFolder(const FileOps& ops, const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    // The new name is in place already; a folder that cannot be synced (some file systems do
    // not allow it) leaves it in place. Nothing is gained by calling the save failed.
    ops.sync(fd);
    ::close(fd);
}

}  // namespace

std::string notRegularReason(mode_t mode) {
    if (S_ISREG(mode)) return {};
    if (S_ISDIR(mode)) return "it is a folder, not a file";
    if (S_ISFIFO(mode)) return "it is a FIFO (named pipe), not a regular file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "it is a device, not a regular file";
    if (S_ISSOCK(mode)) return "it is a socket, not a regular file";
    if (S_ISLNK(mode)) return kLinkReason;
    return "it is not a regular file";
}

std::optional<OpenedFile> openRegularFile(const std::string& path, Place place, Access access,
                                          const std::string& failure) {
    // Asked before opening: opening a device may do something (a tape rewinds, a modem line
    // rises), and a FIFO would wait for a writer.
    struct stat named {};
    const int statted =
        place == Place::BotFolder ? ::lstat(path.c_str(), &named) : ::stat(path.c_str(), &named);
    if (statted != 0) {
        // Nothing there, or a folder on the way that is not one: nothing to open.
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        throw systemError(failure, errno);
    }
    if (!S_ISREG(named.st_mode)) refuse(failure, notRegularReason(named.st_mode));

    int flags = (access == Access::Read ? O_RDONLY : O_RDWR) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (place == Place::BotFolder) flags |= O_NOFOLLOW;
    FdHandle fd(::open(path.c_str(), flags));
    if (!fd) {
        if (errno == ENOENT) return std::nullopt;
        // Replaced by a link between the two looks.
        if (errno == ELOOP && place == Place::BotFolder) refuse(failure, kLinkReason);
        throw systemError(failure, errno);
    }
    OpenedFile opened;
    if (::fstat(fd.get(), &opened.info) != 0) throw systemError(failure, errno);
    // Replaced by something else between the two looks: what was opened decides.
    if (!S_ISREG(opened.info.st_mode)) refuse(failure, notRegularReason(opened.info.st_mode));
    // A second name is a link too: in a bot folder it could be any file of the user's.
    if (place == Place::BotFolder && opened.info.st_nlink > 1)
        refuse(failure,
               "it is a hard link (a file with another name elsewhere), which is not "
               "read in a bot folder");
    const int status = ::fcntl(fd.get(), F_GETFL);
    if (status >= 0) ::fcntl(fd.get(), F_SETFL, status & ~O_NONBLOCK);
    opened.fd = std::move(fd);
    return opened;
}

FilePtr openRegularStream(const std::string& path, Place place, const std::string& failure) {
    std::optional<OpenedFile> opened = openRegularFile(path, place, Access::Read, failure);
    if (!opened) return nullptr;
    std::FILE* stream = ::fdopen(opened->fd.get(), "rb");
    if (!stream) throw systemError(failure, errno);
    opened->fd.release();  // the stream owns it now
    return FilePtr(stream);
}

BoundedLines readBoundedLines(const std::string& path, Place place, std::size_t maxLines,
                              const std::string& failure) {
    BoundedLines result;
    const FilePtr stream = openRegularStream(path, place, failure);
    if (!stream) return result;
    result.found = true;
    BoundedLineReader reader(stream.get(), kMaxLineBytes, kMaxReadBytes);
    std::string line;
    while (result.lines.size() < maxLines && reader.next(line)) result.lines.push_back(line);
    result.cut = reader.anyCut();
    return result;
}

long FileOps::writeAt(int fd, const char* data, std::size_t size, off_t offset) const {
    return static_cast<long>(::pwrite(fd, data, size, offset));
}

int FileOps::sync(int fd) const { return ::fdatasync(fd); }

int FileOps::truncate(int fd, off_t length) const { return ::ftruncate(fd, length); }

int FileOps::rename(const std::string& from, const std::string& to, Rename mode) const {
    if (mode == Rename::Replace) return ::rename(from.c_str(), to.c_str());
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // A file system that cannot rename without replacing: a second name, which fails when the
    // name is taken, then the temporary one goes.
    if (::link(from.c_str(), to.c_str()) != 0) return -1;
    ::unlink(from.c_str());
    return 0;
}

const FileOps& systemFileOps() {
    static const FileOps ops;
    return ops;
}

int writeAllAt(const FileOps& ops, int fd, std::string_view data, off_t offset) {
    std::size_t done = 0;
    while (done < data.size()) {
        const long n = ops.writeAt(fd, data.data() + done, data.size() - done,
                                   offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        // A write that takes nothing and reports no error: the device is full.
        if (n <= 0) return n < 0 ? errno : ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

PreparedFile::PreparedFile(const std::string& path, Place place, const ByteProducer& produce,
                           const std::string& failureMessage, const FileOps& ops)
    : target_(place == Place::Own ? resolvedOwnPath(path) : path),
      folder_(folderOf(target_)),
      failure_(failureMessage),
      ops_(ops) {
    // What has the name now: a regular file passes its owner, group and mode on. A user's
    // name that stands for a folder, a FIFO or a device is not replaced by a file.
    struct stat old {};
    const bool hadFile = ::lstat(target_.c_str(), &old) == 0;
    if (hadFile && place == Place::Own && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode))
        refuse(failure_, notRegularReason(old.st_mode));

    FdHandle file;
    for (int attempt = 0; !file; ++attempt) {
        temporary_ = folder_ + "/." + baseName(target_) + ".tmp-" + randomTag();
        file = FdHandle(
            ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
        if (!file && (errno != EEXIST || attempt > 16)) {
            temporary_.clear();
            throw systemError(failure_, errno);
        }
    }
    try {
        write(file.get(), hadFile && S_ISREG(old.st_mode) ? &old : nullptr, produce);
        if (::close(file.release()) != 0) throw systemError(failure_, errno);
    } catch (...) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
        throw;
    }
}

void PreparedFile::write(int fd, const struct stat* old, const ByteProducer& produce) {
    if (old) {
        // A rewrite by another user (the administrator importing into someone's mind) must not
        // take the file away from its owner. The owner first: changing it clears set-id bits.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
            // Only the administrator may give a file away; anyone else keeps it as it is.
        }
        ::fchmod(fd, old->st_mode & 07777);
    }
    constexpr std::size_t kBlock = std::size_t{1} << 16;
    std::string buffer;
    buffer.reserve(kBlock);
    off_t offset = 0;
    int error = 0;
    auto flush = [&](std::string_view bytes) {
        if (error != 0 || bytes.empty()) return;
        error = writeAllAt(ops_, fd, bytes, offset);
        offset += static_cast<off_t>(bytes.size());
    };
    produce([&](std::string_view bytes) {
        if (error != 0) return;
        if (buffer.size() + bytes.size() > kBlock) {
            flush(buffer);
            buffer.clear();
        }
        if (bytes.size() >= kBlock) {
            flush(bytes);
            return;
        }
        buffer.append(bytes);
    });
    flush(buffer);
    if (error != 0) throw systemError(failure_, error);
    if (ops_.sync(fd) != 0) throw systemError(failure_, errno);
}

PreparedFile::~PreparedFile() {
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

bool PreparedFile::putInPlace(FileOps::Rename mode) {
    if (temporary_.empty()) throw Error(failure_);
    if (ops_.rename(temporary_, target_, mode) != 0) {
        const int error = errno;
        if (error == EEXIST && mode == FileOps::Rename::NoReplace) return false;
        throw systemError(failure_, error);
    }
    temporary_.clear();
    syncFolder(ops_, folder_);
    return true;
}

void writeFileWhole(const std::string& path, Place place, const ByteProducer& produce,
                    const std::string& failureMessage, const FileOps& ops) {
    PreparedFile(path, place, produce, failureMessage, ops).putInPlace();
}

bool createFileWhole(const std::string& path, Place place, const ByteProducer& produce,
                     const std::string& failureMessage, const FileOps& ops) {
    struct stat st {};
    const std::string target = place == Place::Own ? resolvedOwnPath(path) : path;
    if (::lstat(target.c_str(), &st) == 0) return false;
    return PreparedFile(path, place, produce, failureMessage, ops)
        .putInPlace(FileOps::Rename::NoReplace);
}

std::string resolvedOwnPath(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) return path;
    return resolved;
}

}  // namespace vebix
