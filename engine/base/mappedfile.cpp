#include "engine/base/mappedfile.h"

#include <sys/mman.h>

namespace vebix {

std::unique_ptr<MappedFile> MappedFile::map(int fd, std::size_t size) {
    if (size == 0) return nullptr;
    // Every byte is about to be read once from start to end (the caller splits the file into
    // lines): the pages are brought in at once rather than one fault at a time.
    void* addr = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (addr == MAP_FAILED) return nullptr;
    return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const char*>(addr), size));
}

MappedFile::~MappedFile() { ::munmap(const_cast<char*>(data_), size_); }

}  // namespace vebix
