#include "engine/base/memorypolicy.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vebix {

void keepFreedMemory() {
#if defined(__GLIBC__)
    // Blocks up to the largest size the allocator takes from its heap stay there when freed
    // (bigger ones, the per-line arrays, have their own huge-page blocks), and the heap is cut
    // back only when a quarter of a gigabyte at its top is free.
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    ::mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
#endif
}

}  // namespace vebix
