#include "app/cli/inputreader.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "engine/base/error.h"
#include "engine/base/filehandle.h"

namespace vebix::cli {
namespace {

constexpr std::size_t kBlockBytes = 1 << 20;

}  // namespace

InputRead readInput(const std::string& name, int stdinFd, const std::atomic<bool>& stop,
                    const std::function<void(const ReadProgress&)>& progress) {
    InputRead result;
    const bool isStdin = name == "-";
    // Without waiting: a FIFO nobody writes yet is waited for below, where Ctrl-C is seen,
    // rather than in open(), which the signal would only restart.
    const int fd =
        isStdin ? stdinFd : ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.error = systemReason(errno);
        return result;
    }
    const FdHandle closer(isStdin ? -1 : fd);
    struct stat st {};
    ReadProgress at;
    if (::fstat(fd, &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            result.error = systemReason(EISDIR);
            return result;
        }
        // A pipe, a FIFO or a terminal ends; a device such as one that gives zeros for ever
        // would fill the memory.
        if ((S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) && !::isatty(fd)) {
            result.error = "it is a device, not a file or a pipe";
            return result;
        }
        if (S_ISREG(st.st_mode)) {
            at.total = static_cast<std::uint64_t>(st.st_size);
            // One byte more than the size: the read that finds the end then needs no room of
            // its own, and the file is read without moving it.
            result.bytes.reserve(static_cast<std::size_t>(st.st_size) + 1);
        }
    }
    for (;;) {
        if (stop.load()) {
            result.interrupted = true;
            return result;
        }
        // A signal ends poll() early whatever the handler's flags, so Ctrl-C is seen while a
        // pipe is quiet; read() alone would be restarted.
        pollfd ready{fd, POLLIN, 0};
        if (::poll(&ready, 1, -1) < 0) {
            if (errno == EINTR) continue;
            result.error = systemReason(errno);
            return result;
        }
        const std::size_t old = result.bytes.size();
        // Grown only when full: a file of known size fits from the start, a pipe doubles.
        if (result.bytes.capacity() == old)
            result.bytes.reserve(std::max(old * 2, old + kBlockBytes));
        const std::size_t want = std::min(result.bytes.capacity() - old, kBlockBytes);
        const ssize_t got = ::read(fd, result.bytes.end(), want);
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            result.error = systemReason(errno);
            return result;
        }
        result.bytes.grow(static_cast<std::size_t>(got));
        if (got == 0) return result;
        at.bytes += static_cast<std::uint64_t>(got);
        if (progress) {
            const char* from = result.bytes.view().data() + old;
            at.lines += static_cast<std::uint64_t>(std::count(from, from + got, '\n'));
            progress(at);
        }
    }
}

}  // namespace vebix::cli
