#pragma once
// Memory for the entries of URL sets, which come and go by the hundred thousand: slots of one
// size carved out of large blocks, instead of one allocation each. UrlEntry's operator new
// takes its memory here (model/url_set.cpp).

#include <cstddef>
#include <atomic>

namespace tolva {

// Blocks are taken from the system with their pages made ready at once, which costs far less
// than meeting each fresh page on first use: small ones first, so a small set stays small,
// then a few megabytes at a time in huge pages where the system allows. A freed slot is reused
// by the next allocation. Entries are made and freed on more than one thread. Blocks are never
// given back.
class EntryPool {
public:
    // Slots of slotSize bytes, each aligned as alignment requires.
    EntryPool(std::size_t slotSize, std::size_t alignment);
    EntryPool(const EntryPool&) = delete;
    EntryPool& operator=(const EntryPool&) = delete;

    // Throws std::bad_alloc when the system has no more memory, as operator new does.
    void* Allocate();
    void Release(void* slot) noexcept;

private:
    struct FreeSlot {
        FreeSlot* next;
    };

    bool AddBlock();
    void Lock() noexcept;
    void Unlock() noexcept { locked_.store(false, std::memory_order_release); }

    const std::size_t slot_;
    // Held for a few instructions, nearly always by the only thread that wants it: a flag costs
    // a fraction of a mutex, which showed in every entry made and freed.
    std::atomic<bool> locked_{false};
    std::size_t blockSize_;
    FreeSlot* free_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

}  // namespace tolva
