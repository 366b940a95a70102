#pragma once
// Numbers for conversation keys, ASCII letter case ignored: the first key met is 0, the next
// new one 1, and so on; the same key (in any letter case) always gets its first number.
//
// A big mind holds a hundred thousand keys and meets them in turn while it loads, so a look-up
// touches one place in memory: an open-addressing table whose slots hold the first sixteen
// bytes of their key in lower case. Only longer keys keep a copy of their text.
//
// Not synchronised.

#include <bit>
#include <cstdint>
#include <cstring>
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
    // The same for a key of at most sixteen bytes from whose start sixteen bytes may be read
    // (the line it begins): a loader works it out for every line without a call.
    static Probe probeShort(const char* key, std::size_t length);
    // Whether two probes of keys of at most sixteen bytes stand for the same key, letter case
    // ignored.
    static bool sameShortKey(const Probe& a, const Probe& b) {
        return a.slot_.length == b.slot_.length && a.slot_.head[0] == b.slot_.head[0] &&
               a.slot_.head[1] == b.slot_.head[1];
    }

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

    // Eight bytes with A-Z mapped to a-z and every other byte as it is (asciiLower, eight at a
    // time): a byte is upper case when its low seven bits reach 'A' but not past 'Z' and its
    // top bit is clear; such a byte gains 0x20.
    static std::uint64_t lower8(std::uint64_t x) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        const std::uint64_t low7 = x & (0x7F * kOnes);
        const std::uint64_t fromA = low7 + (0x80 - 'A') * kOnes;
        const std::uint64_t pastZ = low7 + (0x80 - 'Z' - 1) * kOnes;
        const std::uint64_t upper = (fromA & ~pastZ & ~x) & (0x80 * kOnes);
        return x | (upper >> 2);
    }

private:
    static std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
        h = (h ^ v) * 0xFF51AFD7ED558CCDull;
        return h ^ (h >> 32);
    }
    static std::uint32_t finish(std::uint64_t h) {
        return static_cast<std::uint32_t>((h * 0xC4CEB9FE1A85EC53ull) >> 32);
    }
    bool matches(const Slot& slot, std::string_view key) const;
    void grow();

    HugeVector<Slot> slots_;
    std::size_t count_ = 0;
    Arena texts_;                         // the lower-case texts of long keys
    std::vector<std::string_view> long_;  // views into texts_
};

inline KeyTable::Probe KeyTable::probeShort(const char* key, std::size_t length) {
    if constexpr (std::endian::native != std::endian::little) return probe({key, length});
    // The words as probe() reads them: the key's bytes, zeros after its end.
    auto keep = [](std::uint64_t word, std::size_t bytes) {
        return bytes >= 8 ? word : word & ((std::uint64_t{1} << (8 * bytes)) - 1);
    };
    std::uint64_t low, high;
    std::memcpy(&low, key, 8);
    std::memcpy(&high, key + 8, 8);
    Probe out;
    Slot& slot = out.slot_;
    slot.length = static_cast<std::uint32_t>(length);
    slot.head[0] = lower8(keep(low, length));
    slot.head[1] = length > 8 ? lower8(keep(high, length - 8)) : 0;
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    if (length > 0) h = mix(h, slot.head[0]);
    if (length > 8) h = mix(h, slot.head[1]);
    slot.hash = finish(h);
    return out;
}

}  // namespace vebix
