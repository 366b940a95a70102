#pragma once
// The bytes of one input read whole. Unlike a std::string, room is added without being zeroed
// first: for inputs of many megabytes that zeroing took as long as reading them.

#include <cstddef>
#include <memory>
#include <string_view>

namespace vebix::cli {

class InputBytes {
public:
    InputBytes() = default;
    InputBytes(InputBytes&&) noexcept = default;
    InputBytes& operator=(InputBytes&&) noexcept = default;
    InputBytes(const InputBytes&) = delete;
    InputBytes& operator=(const InputBytes&) = delete;

    std::string_view view() const { return {data_.get(), size_}; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }

    // Makes room for at least capacity bytes in all, keeping those held; its pages are touched
    // at once (prefault.h).
    void reserve(std::size_t capacity);
    // Where the next bytes go: capacity() - size() of them may be written there, then taken in
    // with grow.
    char* end() { return data_.get() + size_; }
    // Takes in count bytes written at end(); count <= capacity() - size().
    void grow(std::size_t count) { size_ += count; }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace vebix::cli
