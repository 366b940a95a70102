#pragma once
// A file's bytes seen in place: mapped read-only and private, so that reading a big file costs
// no copy and no write can ever reach the file through the mapping. The bytes stay readable as
// long as the MappedFile lives, also when the file is renamed over, deleted or appended to (the
// mapping holds the old file). Cutting the file shorter while it is mapped makes the cut-off
// pages unreadable (the process gets SIGBUS on touching them): whoever maps a file must know
// that its writers only append or replace it whole.
//
// Not synchronised; immutable once made.

#include <cstddef>
#include <memory>
#include <string_view>

namespace vebix {

class MappedFile {
public:
    // The first size bytes of the open file fd, or null when they cannot be mapped (size 0, a
    // pipe or a device, no address space left); the caller then reads the file instead. fd may
    // be closed afterwards.
    static std::unique_ptr<MappedFile> map(int fd, std::size_t size);

    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    std::string_view bytes() const { return {data_, size_}; }

private:
    MappedFile(const char* data, std::size_t size) : data_(data), size_(size) {}

    const char* data_;
    std::size_t size_;
};

}  // namespace vebix
