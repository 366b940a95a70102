#include "app/cli/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace vebix::cli {
namespace {

// Below this the faults cost less than the call.
constexpr std::size_t kMinBytes = 1 << 20;

}  // namespace

void prefault(void* data, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
    if (size < kMinBytes) return;
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto begin = reinterpret_cast<std::uintptr_t>(data);
    // Only pages wholly inside the range: the ones at its ends may hold the allocator's own
    // data. Populating never changes bytes already there, so this is safe on any memory we own.
    const std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    const std::uintptr_t last = (begin + size) & ~(page - 1);
    if (last <= first) return;
    // Kernels before 5.14 refuse the advice (EINVAL); the pages are then faulted in as used.
    ::madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)size;
#endif
}

}  // namespace vebix::cli
