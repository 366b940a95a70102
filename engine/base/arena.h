#pragma once
// Memory for many small byte strings that live as long as their owner. Bytes are handed out
// from large blocks that are never moved or resized, so a pointer or view into the arena stays
// valid until clear() or the arena's end, also when the arena itself is moved: moving hands
// over the blocks, not the bytes.
//
// Not synchronised.

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace vebix {

class Arena {
public:
    static constexpr std::size_t kDefaultBlockSize = std::size_t{1} << 20;

    explicit Arena(std::size_t blockSize = kDefaultBlockSize) : blockSize_(blockSize) {}
    Arena(Arena&& other) noexcept;
    Arena& operator=(Arena&& other) noexcept;
    Arena(const Arena&) = delete;
    Arena& operator=(const Arena&) = delete;

    // Room for size bytes (null for 0), uninitialised. A request bigger than a quarter of a
    // block gets a block of its own, and the block being filled stays current.
    char* allocate(std::size_t size);
    // A copy of bytes, kept by the arena.
    std::string_view store(std::string_view bytes);
    // Takes ownership of a block filled elsewhere (a whole file read at once, say); it lives
    // until clear() like the arena's own blocks.
    void adopt(std::unique_ptr<char[]> block) { blocks_.push_back(std::move(block)); }
    // Frees every block: every pointer handed out is then dangling.
    void clear();

private:
    std::size_t blockSize_;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* cur_ = nullptr;      // the free part of the block being filled
    std::size_t curLeft_ = 0;  // bytes left in it
};

}  // namespace vebix
