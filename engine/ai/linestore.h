#pragma once
// The mind's line list: append-only, position is identity. Lines are kept in an arena of large
// shared blocks rather than one allocation each, so that a mind of millions of lines costs
// little more than its bytes, and a view of a line stays valid until clear() (also when the
// store is moved).
//
// Not synchronised: appending while another thread reads is not allowed.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/base/arena.h"
#include "engine/base/mappedfile.h"

namespace vebix {

class LineStore {
public:
    std::size_t size() const { return views_.size(); }
    bool empty() const { return views_.empty(); }
    std::string_view operator[](std::size_t i) const { return views_[i]; }
    std::string_view back() const { return views_.back(); }
    auto begin() const { return views_.begin(); }
    auto end() const { return views_.end(); }

    // Appends a copy of line.
    void push_back(std::string_view line) { views_.push_back(arena_.store(line)); }
    // Appends a view of bytes owned by the caller, who keeps them alive and unchanged for as
    // long as this store holds them.
    void pushExternal(std::string_view line) { views_.push_back(line); }
    // Takes ownership of a block of bytes; lines appended with pushExternal may then view it.
    // It lives until clear().
    void adopt(std::unique_ptr<char[]> block) { arena_.adopt(std::move(block)); }
    // Takes ownership of a mapped file; lines appended with pushExternal may then view its
    // bytes. It stays mapped until clear().
    void adopt(std::unique_ptr<MappedFile> file) { mapped_.push_back(std::move(file)); }
    void reserve(std::size_t lines) { views_.reserve(lines); }
    void clear();
    // Changes on every clear(): lines at the same position before and after a clear are not
    // the same lines. Whatever is derived from lines remembers it to know when to start over.
    std::uint64_t epoch() const { return epoch_; }

private:
    std::vector<std::string_view> views_;
    Arena arena_;
    std::vector<std::unique_ptr<MappedFile>> mapped_;
    std::uint64_t epoch_ = 0;
};

}  // namespace vebix
