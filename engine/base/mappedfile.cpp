#include "engine/base/mappedfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <cstdint>

#include "engine/base/mutex.h"

namespace vebix {
namespace {

// The cut-file guard. A mapped page past the end of its file raises SIGBUS when touched; the
// handler looks the address up among the live mappings and, when it lies in one, maps zero
// pages over the rest of that mapping and returns, so the read that faulted is repeated and
// finds zeros. Any other SIGBUS is passed to the handler that was there before.
//
// A signal handler is process-wide by nature, so this table is too. It is lock-free for the
// handler: a slot is claimed and freed under a mutex by map() and ~MappedFile(), and the
// handler reads the atomics only.
struct Watched {
    std::atomic<std::uintptr_t> begin{0};
    std::atomic<std::uintptr_t> end{0};
    std::atomic<bool> cut{false};
};
constexpr int kSlots = 64;
std::array<Watched, kSlots> watched;
Mutex slotsMutex;
// Set once, under the mutex, before the handler is installed; the handler only reads it.
struct sigaction previous {};
bool installed VEBIX_GUARDED_BY(slotsMutex) = false;

std::uintptr_t pageSize() {
    static const auto size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    return size;
}

void onBusError(int sig, siginfo_t* info, void* context) {
    const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (Watched& w : watched) {
        const std::uintptr_t begin = w.begin.load(std::memory_order_acquire);
        const std::uintptr_t end = w.end.load(std::memory_order_acquire);
        if (begin == 0 || at < begin || at >= end) continue;
        const std::uintptr_t from = at & ~(pageSize() - 1);
        void* zeros = ::mmap(reinterpret_cast<void*>(from), end - from, PROT_READ,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        if (zeros == MAP_FAILED) break;
        w.cut.store(true, std::memory_order_release);
        return;
    }
    // Not ours: as if this handler had never been installed.
    if (previous.sa_flags & SA_SIGINFO) {
        if (previous.sa_sigaction) {
            previous.sa_sigaction(sig, info, context);
            return;
        }
    } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
        previous.sa_handler(sig);
        return;
    }
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

int watch(const char* data, std::size_t size) {
    MutexLock lock(slotsMutex);
    if (!installed) {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        if (::sigaction(SIGBUS, &action, &previous) != 0) return -1;
        installed = true;
    }
    for (int i = 0; i < kSlots; ++i) {
        Watched& w = watched[static_cast<std::size_t>(i)];
        if (w.begin.load(std::memory_order_relaxed) != 0) continue;
        w.cut.store(false, std::memory_order_relaxed);
        w.end.store(reinterpret_cast<std::uintptr_t>(data) + size, std::memory_order_relaxed);
        w.begin.store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
        return i;
    }
    return -1;
}

void unwatch(int slot) {
    if (slot < 0) return;
    MutexLock lock(slotsMutex);
    Watched& w = watched[static_cast<std::size_t>(slot)];
    w.begin.store(0, std::memory_order_release);
    w.end.store(0, std::memory_order_release);
}

}  // namespace

std::unique_ptr<MappedFile> MappedFile::map(int fd, std::size_t size) {
    if (size == 0) return nullptr;
    const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0) return nullptr;
    void* addr = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (addr == MAP_FAILED) {
        ::close(own);
        return nullptr;
    }
    const auto* data = static_cast<const char*>(addr);
    // Without a slot a cut file could kill the process: such a mapping is not used.
    const int slot = watch(data, size);
    if (slot < 0) {
        ::munmap(addr, size);
        ::close(own);
        return nullptr;
    }
    return std::unique_ptr<MappedFile>(new MappedFile(data, size, slot, own));
}

MappedFile::~MappedFile() {
    unwatch(slot_);
    ::munmap(const_cast<char*>(data_), size_);
    ::close(fd_);
}

bool MappedFile::read(std::size_t offset, std::size_t size, char* out) const {
    std::size_t done = 0;
    bool failed = false;
    while (done < size) {
        const ssize_t got =
            ::pread(fd_, out + done, size - done, static_cast<off_t>(offset + done));
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        failed = got < 0;
        break;
    }
    if (done < size) {
        // Cut shorter since it was mapped, or unreadable: as the mapping would read.
        std::memset(out + done, 0, size - done);
        if (!failed && slot_ >= 0) watched[static_cast<std::size_t>(slot_)].cut.store(true);
    }
    return !failed;
}

void MappedFile::populate() const {
    if (populated()) return;
    bool done = false;
#ifdef MADV_POPULATE_READ
    done = ::madvise(const_cast<char*>(data_), size_, MADV_POPULATE_READ) == 0;
#endif
    if (!done) {
        // An older kernel, or a file cut shorter (whose lost pages the guard makes zeros as
        // they are read): one read per page.
        const auto page = static_cast<std::size_t>(pageSize());
        volatile char sink = 0;
        for (std::size_t at = 0; at < size_; at += page) sink = sink + data_[at];
    }
    populated_.store(true, std::memory_order_release);
}

bool MappedFile::cut() const {
    if (slot_ >= 0 && watched[static_cast<std::size_t>(slot_)].cut.load()) return true;
    // The bytes between the new end and the end of its page read as zeros without any fault.
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) < size_;
}

}  // namespace vebix
