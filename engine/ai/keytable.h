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
    struct Slot {
        std::uint64_t head[2] = {0, 0};  // the key's first sixteen bytes, lower case, zero after
        std::uint32_t hash = 0;
        std::uint32_t id = 0;      // its number + 1; 0: empty
        std::uint32_t length = 0;  // the key's length, saturated
        std::uint32_t rest = 0;    // for a key longer than sixteen bytes: its text in long_, + 1
    };

public:
    // What a look-up works out from the key alone, for a look-up now or a hint ahead of one.
    class Probe {
        friend class KeyTable;
        Slot slot_;
    };
    static Probe probe(std::string_view key);

    // The number of key, a new one when it (in any letter case) was not met before; probe is
    // probe(key).
    std::uint32_t id(std::string_view key, const Probe& probe);
    std::uint32_t id(std::string_view key) { return id(key, probe(key)); }
    // Brings the place where a key is looked up into the cache, for a look-up soon after: a
    // loader hints the keys of the lines ahead so that their look-ups need not wait for memory.
    void prefetch(const Probe& probe) const;
    // How many distinct keys were met.
    std::size_t size() const { return count_; }
    void clear();

private:
    bool matches(const Slot& slot, std::string_view key) const;
    void grow();

    HugeVector<Slot> slots_;
    std::size_t count_ = 0;
    Arena texts_;                         // the lower-case texts of long keys
    std::vector<std::string_view> long_;  // views into texts_
};

}  // namespace vebix
