#include "engine/ai/keytable.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vebix {
namespace {

// The eight bytes of text from at, zeros past its end, lower case. Keys are short: the last
// word of a key of eight bytes or more is read as the key's last eight bytes, shifted.
std::uint64_t lowerWord(std::string_view text, std::size_t at) {
    const std::size_t left = text.size() - at;
    std::uint64_t v = 0;
    if (left >= 8) {
        std::memcpy(&v, text.data() + at, 8);
    } else if (std::endian::native == std::endian::little && text.size() >= 8) {
        std::memcpy(&v, text.data() + text.size() - 8, 8);
        v >>= (8 - left) * 8;
    } else {
        for (std::size_t i = 0; i < left; ++i)
            v |= std::uint64_t{static_cast<unsigned char>(text[at + i])} << (8 * i);
    }
    return KeyTable::lower8(v);
}

}  // namespace

bool KeyTable::matches(const Slot& slot, std::string_view key) const {
    if (slot.rest == 0) return true;  // a short key: its head and length said it all
    const std::string_view stored = long_[slot.rest - 1];
    if (stored.size() != key.size()) return false;
    for (std::size_t i = 16; i < key.size(); i += 8) {
        std::uint64_t a = 0;
        std::memcpy(&a, stored.data() + i, std::min<std::size_t>(8, key.size() - i));
        if (a != lowerWord(key, i)) return false;
    }
    return true;
}

KeyTable::Probe KeyTable::probe(std::string_view key) {
    Probe out;
    Slot& probe = out.slot_;
    probe.length = static_cast<std::uint32_t>(std::min<std::size_t>(key.size(), 0xFFFFFFFFu));
    std::uint64_t h = 0x9E3779B97F4A7C15ull ^ key.size();
    for (std::size_t i = 0; i < key.size(); i += 8) {
        const std::uint64_t v = lowerWord(key, i);
        if (i < 16) probe.head[i / 8] = v;
        h = mix(h, v);
    }
    probe.hash = finish(h);
    return out;
}

void KeyTable::prefetch(const Probe& probe) const {
    if (!slots_.empty()) __builtin_prefetch(&slots_[probe.slot_.hash & (slots_.size() - 1)]);
}

std::uint32_t KeyTable::id(std::string_view key, const Probe& found) {
    Slot probe = found.slot_;
    if (slots_.empty()) slots_.resize(std::size_t{1} << 10);
    const std::size_t mask = slots_.size() - 1;
    std::size_t at = probe.hash & mask;
    for (;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.id == 0) break;
        if (slot.hash == probe.hash && slot.length == probe.length &&
            slot.head[0] == probe.head[0] && slot.head[1] == probe.head[1] && matches(slot, key))
            return slot.id - 1;
    }

    const auto number = static_cast<std::uint32_t>(count_);
    probe.id = number + 1;
    if (key.size() > 16) {
        char* text = texts_.allocate(key.size());
        for (std::size_t i = 0; i < key.size(); i += 8) {
            const std::uint64_t v = lowerWord(key, i);
            std::memcpy(text + i, &v, std::min<std::size_t>(8, key.size() - i));
        }
        long_.emplace_back(text, key.size());
        probe.rest = static_cast<std::uint32_t>(long_.size());
    }
    slots_[at] = probe;
    ++count_;
    if (count_ * 10 > slots_.size() * 7) grow();
    return number;
}

void KeyTable::grow() {
    // Past its first small size the table goes straight to a megabyte, which takes huge pages:
    // each page first touched in a block of ordinary pages costs a trap into the kernel.
    constexpr std::size_t kFirstBig = (std::size_t{1} << 20) / sizeof(Slot);
    HugeVector<Slot> bigger(std::max(slots_.size() * 2, kFirstBig));
    const std::size_t mask = bigger.size() - 1;
    for (const Slot& slot : slots_) {
        if (slot.id == 0) continue;
        std::size_t k = slot.hash & mask;
        while (bigger[k].id != 0) k = (k + 1) & mask;
        bigger[k] = slot;
    }
    slots_ = std::move(bigger);
}

void KeyTable::clear() {
    slots_ = HugeVector<Slot>();
    count_ = 0;
    texts_.clear();
    long_.clear();
}

}  // namespace vebix
