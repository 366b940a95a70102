#pragma once
// A file's bytes seen in place: mapped read-only and private, so that reading a big file costs
// no copy and no write can ever reach the file through the mapping. The bytes stay readable as
// long as the MappedFile lives, also when the file is renamed over, deleted or appended to (the
// mapping holds the old file).
//
// The mapped bytes are the system's cached copy of the file: a page is brought into the
// process when first read through the mapping. A pass over much of a big file is cheaper with
// read(), which copies without bringing in any page.
//
// A file cut shorter while it is mapped would make the cut-off pages unreadable (SIGBUS on
// touching them). Whatever another program does to the file, reading never kills the process:
// a cut-off page reads as zero bytes instead, and cut() tells that it happened.
//
// Thread-safe: the bytes are immutable.

#include <atomic>
#include <cstddef>
#include <memory>
#include <string_view>

namespace vebix {

class MappedFile {
public:
    // The first size bytes of the open file fd, or null when they cannot be mapped (size 0, a
    // pipe or a device, no address space left); the caller then reads the file instead. fd may
    // be closed afterwards (the MappedFile keeps a descriptor of its own for read()).
    static std::unique_ptr<MappedFile> map(int fd, std::size_t size);

    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const { return {data_, size_}; }
    // Copies bytes [offset, offset + size) of the mapped range to out, from the file through
    // its descriptor: the mapping's pages are not touched, which for a pass over much of a big
    // file is cheaper than bringing them in (each page first touched through a mapping costs a
    // trap into the kernel; a copy costs none). Bytes the file no longer holds read as zeros.
    // False when the system reported a read error (the bytes not read are zeros then too).
    bool read(std::size_t offset, std::size_t size, char* out) const;
    // Brings every page in now (once), so that reading through the mapping costs no more
    // traps: for a process that will read the whole file many times over.
    void populate() const;
    // Whether populate() has brought the pages in.
    bool populated() const { return populated_.load(std::memory_order_acquire); }
    // True once a read met a page the file no longer holds, or when the file is now shorter
    // than the mapped bytes (it was cut shorter: what lies past its end reads as zeros).
    bool cut() const;

private:
    MappedFile(const char* data, std::size_t size, int slot, int fd)
        : data_(data), size_(size), slot_(slot), fd_(fd) {}

    const char* data_;
    std::size_t size_;
    int slot_;  // in the table of mappings the cut-file guard watches, or -1
    int fd_;    // the file, for read()
    mutable std::atomic<bool> populated_{false};
};

}  // namespace vebix
