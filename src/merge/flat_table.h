#pragma once
// A table from 64-bit keys to small values, kept in one block of memory (huge pages once it is
// large) and searched by linear probing. A merge looks up every link in tables of as many
// entries: a node-based map goes from a bucket to a node in pages of their own, two or three
// misses of the cache and of the address translation each time; here it is one line.

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/ready_memory.h"

namespace tolva {

template <class Value>
class FlatTable {
    static_assert(std::is_trivially_copyable_v<Value>);

public:
    FlatTable() = default;
    ~FlatTable() { FreeReadyMemory(reinterpret_cast<char*>(slots_), capacity_ * sizeof(Slot)); }
    FlatTable(const FlatTable&) = delete;
    FlatTable& operator=(const FlatTable&) = delete;

    std::size_t Size() const { return size_ + (hasZeroKey_ ? 1 : 0); }

    // Room for count keys in all without growing. Throws std::bad_alloc.
    void Reserve(std::size_t count) {
        if (count > Limit(capacity_)) Rehash(CapacityFor(count));
    }

    // The value of key; null when the table has none.
    Value* Find(std::uint64_t key) {
        if (key == kEmpty) return hasZeroKey_ ? &zeroKeyValue_ : nullptr;
        if (capacity_ == 0) return nullptr;
        for (std::size_t at = Home(key);; at = (at + 1) & (capacity_ - 1)) {
            Slot& slot = slots_[at];
            if (slot.key == key) return &slot.value;
            if (slot.key == kEmpty) return nullptr;
        }
    }

    // The value of key, which is value when the key is new; and whether it was. Throws
    // std::bad_alloc.
    std::pair<Value*, bool> TryEmplace(std::uint64_t key, Value value) {
        if (key == kEmpty) {
            const bool added = !hasZeroKey_;
            if (added) zeroKeyValue_ = value;
            hasZeroKey_ = true;
            return {&zeroKeyValue_, added};
        }
        if (size_ + 1 > Limit(capacity_)) Rehash(CapacityFor(size_ + 1));
        for (std::size_t at = Home(key);; at = (at + 1) & (capacity_ - 1)) {
            Slot& slot = slots_[at];
            if (slot.key == key) return {&slot.value, false};
            if (slot.key == kEmpty) {
                slot = {key, value};
                ++size_;
                return {&slot.value, true};
            }
        }
    }

private:
    struct Slot {
        std::uint64_t key;
        Value value;
    };
    // Fresh memory is zero: a slot with key 0 is empty, and a key 0 is kept aside.
    static constexpr std::uint64_t kEmpty = 0;

    // At most seven eighths full: a search still meets an empty slot within a few lines of the
    // cache, and a table for a round number of keys takes half the memory it would at three
    // quarters.
    static std::size_t Limit(std::size_t capacity) { return capacity / 8 * 7; }
    static std::size_t CapacityFor(std::size_t count) {
        std::size_t capacity = 16;
        while (Limit(capacity) < count) capacity *= 2;
        return capacity;
    }
    // Where a key's search begins: its top bits once mixed, so that keys made of two small
    // numbers spread as well as hashes do.
    std::size_t Home(std::uint64_t key) const {
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ULL) >> shift_);
    }

    void Rehash(std::size_t capacity) {
        auto* fresh = reinterpret_cast<Slot*>(TakeReadyMemory(capacity * sizeof(Slot)));
        if (fresh == nullptr) throw std::bad_alloc();
        Slot* const old = std::exchange(slots_, fresh);
        const std::size_t oldCapacity = std::exchange(capacity_, capacity);
        shift_ = 64;
        for (std::size_t c = capacity; c > 1; c /= 2) --shift_;
        size_ = 0;
        for (std::size_t i = 0; i < oldCapacity; ++i) {
            if (old[i].key != kEmpty) TryEmplace(old[i].key, old[i].value);
        }
        FreeReadyMemory(reinterpret_cast<char*>(old), oldCapacity * sizeof(Slot));
    }

    Slot* slots_ = nullptr;
    std::size_t capacity_ = 0;  // a power of two, or 0
    std::size_t size_ = 0;      // keys in slots_
    int shift_ = 64;
    bool hasZeroKey_ = false;
    Value zeroKeyValue_{};
};

}  // namespace tolva
