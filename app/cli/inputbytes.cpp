#include "app/cli/inputbytes.h"

#include <cstring>

#include "app/cli/prefault.h"

namespace vebix::cli {

void InputBytes::reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    // new char[] leaves the bytes as the allocator gives them: fresh pages for big sizes, which
    // the system zeroes itself while faulting them in.
    std::unique_ptr<char[]> bigger(new char[capacity]);
    prefault(bigger.get(), capacity);
    if (size_ != 0) std::memcpy(bigger.get(), data_.get(), size_);
    data_ = std::move(bigger);
    capacity_ = capacity;
}

}  // namespace vebix::cli
