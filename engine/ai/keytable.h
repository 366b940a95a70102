#pragma once
// Numbers for conversation keys, ASCII letter case ignored: the first key met is 0, the next
// new one 1, and so on; the same key (in any letter case) always gets its first number.
//
// A big mind holds a hundred thousand keys and meets them in turn while it loads, so a look-up
// touches one place in memory: an open-addressing table whose slots hold the first sixteen
// bytes of their key in lower case. Only longer keys keep a copy of their text.
//
// Not synchronised.

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/base/arena.h"
#include "engine/base/hugealloc.h"

namespace vebix {

class KeyTable {
public:
    // The number of key, a new one when it (in any letter case) was not met before.
    std::uint32_t id(std::string_view key);
    // Brings the place where key is looked up into the cache, for a look-up soon after: a
    // loader hints the keys of the lines ahead so that their look-ups need not wait for memory.
    void prefetch(std::string_view key) const;
    // How many distinct keys were met.
    std::size_t size() const { return count_; }
    void clear();

private:
    struct Slot {
        std::uint64_t head[2] = {0, 0};  // the key's first sixteen bytes, lower case, zero after
        std::uint32_t hash = 0;
        std::uint32_t id = 0;      // its number + 1; 0: empty
        std::uint32_t length = 0;  // the key's length, saturated
        std::uint32_t rest = 0;    // for a key longer than sixteen bytes: its text in long_, + 1
    };

    // A slot for key as it would be stored (its number unset), with its hash.
    static Slot probeFor(std::string_view key);
    bool matches(const Slot& slot, std::string_view key) const;
    void grow();

    HugeVector<Slot> slots_;
    std::size_t count_ = 0;
    Arena texts_;                         // the lower-case texts of long keys
    std::vector<std::string_view> long_;  // views into texts_
};

}  // namespace vebix
