#include "engine/base/hugealloc.h"

#include <sys/mman.h>

#include <cstdlib>

namespace vebix::hugealloc {
namespace {

constexpr std::size_t kBig = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t mappedSize(std::size_t bytes) { return (bytes + kHugePage - 1) & ~(kHugePage - 1); }

}  // namespace

void* allocate(std::size_t bytes) {
    if (bytes < kBig) return ::operator new(bytes);
    // Rounded up to whole huge pages, so that the block's last page can be one too. The
    // address the system picks for a block this size is not always aligned to a huge page;
    // the kernel then uses huge pages for the aligned middle, which is most of it.
    const std::size_t size = mappedSize(bytes);
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
    ::madvise(p, size, MADV_HUGEPAGE);
#endif
    return p;
}

void deallocate(void* p, std::size_t bytes) noexcept {
    if (p == nullptr) return;
    if (bytes < kBig) {
        ::operator delete(p);
        return;
    }
    ::munmap(p, mappedSize(bytes));
}

}  // namespace vebix::hugealloc
