#pragma once
// The two small steps every lock on a mind takes: an open-file-description lock on a range of
// an open file, and the check that a name still stands for the file that was opened (a holder
// may have replaced or removed it meanwhile).

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>

namespace vebix {

// Whether a lock waits for its holder to let go.
enum class LockWait { No, UntilFree };

// Takes an F_OFD lock of type (F_RDLCK, F_WRLCK) on length bytes from start (length 0: to the
// end, however far the file grows). False, errno set, when it is taken elsewhere (without
// waiting) or cannot be had.
inline bool lockRange(int fd, off_t start, off_t length, short type, LockWait wait) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    for (;;) {
        if (::fcntl(fd, wait == LockWait::UntilFree ? F_OFD_SETLKW : F_OFD_SETLK, &lock) == 0)
            return true;
        if (errno != EINTR) return false;
    }
}

// Whether the name path stands for the open file fd: the name itself (a link there is not
// followed), or, with followLink, what a link there points to.
inline bool nameStandsFor(int fd, const std::string& path, bool followLink = false) {
    struct stat open {};
    struct stat named {};
    if (::fstat(fd, &open) != 0) return false;
    if ((followLink ? ::stat(path.c_str(), &named) : ::lstat(path.c_str(), &named)) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace vebix
