#pragma once
// Touching the pages of a big fresh buffer in one system call before it is filled. Each first
// touch of a page otherwise costs a fault of its own, and for buffers of many megabytes (a whole
// input, the lines read from it) those faults take longer than the work done in them.

#include <cstddef>

namespace vebix::cli {

// Asks the system to back the whole pages inside [data, data + size) with memory now, as if
// written. Only a hint: does nothing for small ranges or where the system cannot do it, and the
// buffer's contents are left as they are.
void prefault(void* data, std::size_t size);

}  // namespace vebix::cli
