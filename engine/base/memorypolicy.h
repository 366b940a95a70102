#pragma once
// The process's use of the C library's allocator, set once at start by the program (and by
// anything that measures it, to measure the same thing).

namespace vebix {

// Keeps freed memory for the next allocation instead of handing it back to the system at once.
// A reply allocates and frees a few megabytes of scratch arrays; handed back and taken again,
// each of their pages costs a trap into the kernel on its first touch, which on a virtual
// machine made up a fifth of a reply's time. Memory is still handed back when much of it is
// free. Does nothing where the allocator has no such setting.
void keepFreedMemory();

}  // namespace vebix
