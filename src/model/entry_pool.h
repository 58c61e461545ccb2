#pragma once
// Memory for the entries of URL sets, which come and go by the hundred thousand: slots of one
// size carved out of large blocks, instead of one allocation each. UrlEntry's operator new
// takes its memory here (model/url_set.cpp).

#include <atomic>
#include <cstddef>

namespace tolva {

// Blocks are taken from the system with their pages made ready at once, which costs far less
// than meeting each fresh page on first use: small ones first, so a small set stays small,
// then (at once, when many slots are expected) a few megabytes at a time in huge pages where
// the system allows, cut from one range of addresses reserved once (mapping each such block on
// its own waited for any other thread of the process making pages ready meanwhile, such as a
// file loading). A freed slot is reused by a later allocation. Blocks are never given back,
// and a pool is never destroyed.
//
// Entries are made and freed on more than one thread. Each thread keeps a few hundred fresh
// slots and a few thousand freed ones of the first pool it uses, so the shared lists are locked
// once per batch instead of once per entry; what a thread keeps goes back when it ends.
class EntryPool {
public:
    // Slots of slotSize bytes, each aligned as alignment requires.
    EntryPool(std::size_t slotSize, std::size_t alignment);
    EntryPool(const EntryPool&) = delete;
    EntryPool& operator=(const EntryPool&) = delete;

    // Throws std::bad_alloc when the system has no more memory, as operator new does.
    void* Allocate();
    // Tells that about count slots are coming: blocks then grow to their largest at once.
    void Expect(std::size_t count) noexcept;
    void Release(void* slot) noexcept;

private:
    // A freed slot. The shared list holds batches: the first slot of each carries the next batch.
    struct FreeSlot {
        FreeSlot* next;
        FreeSlot* nextBatch;
        std::size_t count;  // slots in the batch this one begins
    };
    struct ThreadSlots;
    struct ThreadEnd;
    static thread_local ThreadSlots threadSlots_;

    void* AllocateSlow();
    void ReleaseSlow(void* slot) noexcept;
    bool Adopt(ThreadSlots& kept) noexcept;
    void Refill(ThreadSlots& kept);
    void* AllocateShared();
    void PushBatch(FreeSlot* head, std::size_t count) noexcept;
    // Under the lock: fresh slots of at most bytes, a block's remainder perhaps fewer, which
    // bytes is set to. Unlocks and throws std::bad_alloc when the system has no more memory.
    char* Carve(std::size_t& bytes);
    bool AddBlock();
    // Under the lock: a block of size bytes cut from the reserved range, its pages ready;
    // null when there is no room left or no memory.
    char* TakeReserved(std::size_t size);
    void Lock() noexcept;
    void Unlock() noexcept {
        if (state_.exchange(kFree, std::memory_order_release) == kAwaited) state_.notify_one();
    }
    static void ReturnThreadSlots() noexcept;

    const std::size_t slot_;
    // Nearly always taken at once by the only thread that wants it, but held for as long as a
    // new block takes to be made ready (a millisecond or more): a thread that finds it held
    // sleeps until it is let go (a yielding loop made thousands of system calls and took the
    // processor the file's loading wanted).
    static constexpr int kFree = 0;
    static constexpr int kHeld = 1;
    static constexpr int kAwaited = 2;  // held, and a thread sleeps until it is let go
    std::atomic<int> state_{kFree};
    std::size_t blockSize_;
    FreeSlot* batches_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
    // What is left of the reserved range; reserving is tried once.
    char* reservedNext_ = nullptr;
    char* reservedEnd_ = nullptr;
    bool reserveTried_ = false;
};

}  // namespace tolva
