#include "app/mind/mindlock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vebix {
namespace {

// Far beyond any mind's contents, so that the locks never meet a lock another program may take
// on the bytes it reads.
constexpr off_t kHeldByte = off_t{1} << 62;
constexpr off_t kWritingByte = kHeldByte + 1;

int openForLocking(const std::string& path, bool& writable) {
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    writable = fd >= 0;
    // A mind that cannot be written is still held open, with a shared lock (an exclusive one
    // needs write access); it still conflicts with a holder that can write.
    if (fd < 0) fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return fd;
}

// Whether taking a lock waits for its holder to let go.
enum class LockWait { No, UntilFree };

bool lockByte(int fd, off_t byte, short type, LockWait wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = byte;
    lock.l_len = 1;
    for (;;) {
        if (::fcntl(fd, wait == LockWait::UntilFree ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR) return false;
    }
}

bool sameFile(int fd, const std::string& path) {
    struct stat open {};
    struct stat named {};
    if (::fstat(fd, &open) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

MindLock::~MindLock() { release(); }

void MindLock::release() {
    // Closing the only descriptor of the open file releases its locks.
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

MindLock::Outcome MindLock::hold(const std::string& path) {
    if (fd_ >= 0 && sameFile(fd_, path)) return Outcome::Held;
    release();
    bool writable = false;
    const int fd = openForLocking(path, writable);
    if (fd < 0) return Outcome::NoFile;
    if (!lockByte(fd, kHeldByte, writable ? F_WRLCK : F_RDLCK, LockWait::No)) {
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

MindWriteLock::MindWriteLock(const std::string& path, const std::function<void()>& onWait) {
    // A write through a rename replaces the file while another writer waits on the old one;
    // the waiter then locks the file that now has the name. A few rounds settle any race.
    for (int round = 0; round < 8; ++round) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        // No file, or one that cannot be written: the write itself reports the failure.
        if (fd < 0) return;
        bool locked = lockByte(fd, kWritingByte, F_WRLCK, LockWait::No);
        if (!locked && (errno == EAGAIN || errno == EACCES)) {
            if (onWait) onWait();
            locked = lockByte(fd, kWritingByte, F_WRLCK, LockWait::UntilFree);
        }
        if (!locked) {
            ::close(fd);
            return;
        }
        if (sameFile(fd, path)) {
            fd_ = fd;
            return;
        }
        ::close(fd);
    }
}

MindWriteLock::~MindWriteLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace vebix
