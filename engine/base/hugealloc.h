#pragma once
// An allocator for the big flat arrays a mind of millions of lines needs (one entry per line).
// Blocks of a megabyte or more are taken straight from the system and marked for huge pages:
// the first touch of every ordinary page costs a trap into the kernel, which on a virtual
// machine can cost more than reading the page's bytes many times over, and a huge page is one
// trap for 512 of them. Smaller blocks come from operator new.
//
// Stateless: any two allocators are equal, so containers move and swap as with
// std::allocator.

#include <cstddef>
#include <new>
#include <vector>

namespace vebix {

namespace hugealloc {
// Room for bytes bytes, aligned for any type; throws std::bad_alloc.
void* allocate(std::size_t bytes);
void deallocate(void* p, std::size_t bytes) noexcept;
}  // namespace hugealloc

template <typename T>
struct HugeAllocator {
    using value_type = T;
    HugeAllocator() = default;
    template <typename U>
    HugeAllocator(const HugeAllocator<U>&) {}
    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(hugealloc::allocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { hugealloc::deallocate(p, n * sizeof(T)); }
    friend bool operator==(const HugeAllocator&, const HugeAllocator&) { return true; }
};

// A vector of one entry per line.
template <typename T>
using HugeVector = std::vector<T, HugeAllocator<T>>;

}  // namespace vebix
