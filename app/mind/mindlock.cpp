#include "app/mind/mindlock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>

#include "app/mind/filelock.h"
#include "app/platform/safefile.h"
#include "engine/base/error.h"

namespace vebix {
namespace {

// Far beyond any mind's contents, so that the locks never meet a lock another program may take
// on the bytes it reads.
constexpr off_t kHeldByte = off_t{1} << 62;

// A descriptor of the regular file at path, or -1 (never a FIFO or a device, which an open
// could block on or set going).
int openRegular(const std::string& path, Access access) {
    try {
        std::optional<OpenedFile> opened =
            openRegularFile(path, Place::Own, access, "Unable to open '" + path + "'");
        return opened ? opened->fd.release() : -1;
    } catch (const Error&) {
        return -1;
    }
}

int openForLocking(const std::string& path, bool& writable) {
    int fd = openRegular(path, Access::ReadWrite);
    writable = fd >= 0;
    // A mind that cannot be written is still held open, with a shared lock (an exclusive one
    // needs write access); it still conflicts with a holder that can write.
    if (fd < 0) fd = openRegular(path, Access::Read);
    return fd;
}

}  // namespace

MindLock::~MindLock() { release(); }

void MindLock::release() {
    // Closing the only descriptor of the open file releases its locks.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

MindLock::Outcome MindLock::hold(const std::string& path) {
    if (fd_ >= 0 && nameStandsFor(fd_, path, true)) return Outcome::Held;
    release();
    bool writable = false;
    const int fd = openForLocking(path, writable);
    if (fd < 0) return Outcome::NoFile;
    if (!lockRange(fd, kHeldByte, 1, writable ? F_WRLCK : F_RDLCK, LockWait::No)) {
        const int error = errno;
        ::close(fd);
        return error == EAGAIN || error == EACCES ? Outcome::HeldElsewhere : Outcome::NoFile;
    }
    fd_ = fd;
    return Outcome::Held;
}

bool mindOpenElsewhere(const std::string& path, const std::string& ownMind) {
    if (!ownMind.empty()) {
        struct stat own {};
        struct stat target {};
        if (::stat(ownMind.c_str(), &own) == 0 && ::stat(path.c_str(), &target) == 0 &&
            own.st_dev == target.st_dev && own.st_ino == target.st_ino)
            return false;
    }
    // A holder of our own for a moment: it conflicts with any other, and lets go at once.
    MindLock probe;
    return probe.hold(path) == MindLock::Outcome::HeldElsewhere;
}

}  // namespace vebix
