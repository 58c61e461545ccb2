#include "model/entry_pool.h"

#include <algorithm>
#include <new>

#include "platform/ready_memory.h"

namespace tolva {

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kLargestBlock = 2 * kHugePage;
// Addresses reserved for the largest blocks, none of it memory until used: room for nearly two
// million entries; blocks beyond it are mapped one by one. Not more, since a system that counts
// every writable mapping against its limit (strict overcommit) counts all of it.
constexpr std::size_t kReservedRange = std::size_t{256} << 20;
constexpr std::size_t kFreshSlots = 256;   // carved for a thread at once
constexpr std::size_t kFreedBatch = 4096;  // freed slots a thread gathers before keeping them aside

}  // namespace

// What one thread keeps of the first pool it uses. Freed slots gather in `freed`; a full batch
// is set aside in `full`, and only when a second one fills is the older handed to the shared
// list, so a thread freeing and making entries by turns does not lock each time.
struct EntryPool::ThreadSlots {
    EntryPool* pool;
    FreeSlot* freed;
    std::size_t freedCount;
    FreeSlot* full;
    char* next;
    char* end;
    bool ended;  // the thread is ending and gave its slots back: it uses the shared lists only
};

// Made once per thread that uses a pool; its destruction at the thread's end returns the slots.
struct EntryPool::ThreadEnd {
    ThreadEnd() = default;
    ThreadEnd(const ThreadEnd&) = delete;
    ThreadEnd& operator=(const ThreadEnd&) = delete;
    ~ThreadEnd() { ReturnThreadSlots(); }
};

// Constant-initialised and trivially destroyed, so reaching it costs no guard: it stays readable
// while the thread's other objects are destroyed, whose entries then go to the shared lists.
constinit thread_local EntryPool::ThreadSlots EntryPool::threadSlots_{};

EntryPool::EntryPool(std::size_t slotSize, std::size_t alignment)
    : slot_(std::max((slotSize + alignment - 1) / alignment * alignment, sizeof(FreeSlot))), blockSize_(kFirstBlock) {}

void EntryPool::Lock() noexcept {
    int state = kFree;
    if (state_.compare_exchange_strong(state, kHeld, std::memory_order_acquire)) return;
    // Marked awaited before each sleep, so the thread that lets it go wakes one sleeper.
    if (state != kAwaited) state = state_.exchange(kAwaited, std::memory_order_acquire);
    while (state != kFree) {
        state_.wait(kAwaited, std::memory_order_relaxed);
        state = state_.exchange(kAwaited, std::memory_order_acquire);
    }
}

void* EntryPool::Allocate() {
    ThreadSlots& kept = threadSlots_;
    if (kept.pool == this) {
        if (FreeSlot* slot = kept.freed) {
            kept.freed = slot->next;
            --kept.freedCount;
            return slot;
        }
        if (kept.next != kept.end) {
            void* slot = kept.next;
            kept.next += slot_;
            return slot;
        }
    }
    return AllocateSlow();
}

void EntryPool::Release(void* slot) noexcept {
    ThreadSlots& kept = threadSlots_;
    if (kept.pool != this) {
        ReleaseSlow(slot);
        return;
    }
    auto* freed = static_cast<FreeSlot*>(slot);
    freed->next = kept.freed;
    kept.freed = freed;
    if (++kept.freedCount < kFreedBatch) return;
    freed->count = kept.freedCount;
    if (kept.full != nullptr) {
        Lock();
        PushBatch(kept.full, kept.full->count);
        Unlock();
    }
    kept.full = freed;
    kept.freed = nullptr;
    kept.freedCount = 0;
}

bool EntryPool::Adopt(ThreadSlots& kept) noexcept {
    if (kept.ended || (kept.pool != nullptr && kept.pool != this)) return false;
    if (kept.pool == nullptr) {
        thread_local ThreadEnd threadEnd;  // made here so that it is destroyed when the thread ends
        kept.pool = this;
    }
    return true;
}

void* EntryPool::AllocateSlow() {
    ThreadSlots& kept = threadSlots_;
    if (!Adopt(kept)) return AllocateShared();
    if (kept.full != nullptr) {
        kept.freed = kept.full;
        kept.freedCount = kept.full->count;
        kept.full = nullptr;
    } else {
        Refill(kept);
    }
    return Allocate();
}

void EntryPool::ReleaseSlow(void* slot) noexcept {
    if (Adopt(threadSlots_)) {
        Release(slot);
        return;
    }
    auto* freed = static_cast<FreeSlot*>(slot);
    freed->next = nullptr;
    Lock();
    PushBatch(freed, 1);
    Unlock();
}

// Gives the thread a freed batch if there is one, else fresh slots.
void EntryPool::Refill(ThreadSlots& kept) {
    Lock();
    if (FreeSlot* batch = batches_) {
        batches_ = batch->nextBatch;
        Unlock();
        kept.freed = batch;
        kept.freedCount = batch->count;
        return;
    }
    std::size_t bytes = kFreshSlots * slot_;
    kept.next = Carve(bytes);
    kept.end = kept.next + bytes;
    Unlock();
}

void* EntryPool::AllocateShared() {
    Lock();
    if (FreeSlot* slot = batches_) {
        if (FreeSlot* rest = slot->next) {
            rest->nextBatch = slot->nextBatch;
            rest->count = slot->count - 1;
            batches_ = rest;
        } else {
            batches_ = slot->nextBatch;
        }
        Unlock();
        return slot;
    }
    std::size_t bytes = slot_;
    void* slot = Carve(bytes);
    Unlock();
    return slot;
}

char* EntryPool::Carve(std::size_t& bytes) {
    if (next_ == end_ && !AddBlock()) {
        Unlock();
        throw std::bad_alloc();
    }
    bytes = std::min(bytes, static_cast<std::size_t>(end_ - next_));
    char* slots = next_;
    next_ += bytes;
    return slots;
}

void EntryPool::PushBatch(FreeSlot* head, std::size_t count) noexcept {
    head->nextBatch = batches_;
    head->count = count;
    batches_ = head;
}

void EntryPool::ReturnThreadSlots() noexcept {
    ThreadSlots& kept = threadSlots_;
    EntryPool* pool = kept.pool;
    // Fresh slots not yet handed out become one more freed batch.
    FreeSlot* fresh = nullptr;
    std::size_t freshCount = 0;
    for (char* slot = kept.next; slot != kept.end; slot += pool->slot_) {
        auto* freed = reinterpret_cast<FreeSlot*>(slot);
        freed->next = fresh;
        fresh = freed;
        ++freshCount;
    }
    pool->Lock();
    if (kept.freed != nullptr) pool->PushBatch(kept.freed, kept.freedCount);
    if (kept.full != nullptr) pool->PushBatch(kept.full, kept.full->count);
    if (fresh != nullptr) pool->PushBatch(fresh, freshCount);
    pool->Unlock();
    kept = ThreadSlots{pool, nullptr, 0, nullptr, nullptr, nullptr, true};
}

void EntryPool::Expect(std::size_t count) noexcept {
    if (count * slot_ < kLargestBlock) return;
    Lock();
    blockSize_ = kLargestBlock;
    Unlock();
}

bool EntryPool::AddBlock() {
    const std::size_t size = blockSize_;
    char* block = size == kLargestBlock ? TakeReserved(size) : nullptr;
    if (block == nullptr) block = TakeReadyMemory(size);
    if (block == nullptr) return false;
    next_ = block;
    end_ = block + size / slot_ * slot_;
    blockSize_ = std::min(size * 2, kLargestBlock);
    return true;
}

char* EntryPool::TakeReserved(std::size_t size) {
    if (!reserveTried_) {
        reserveTried_ = true;
        reservedNext_ = ReserveMemory(kReservedRange);
        if (reservedNext_ != nullptr) reservedEnd_ = reservedNext_ + kReservedRange;
    }
    if (static_cast<std::size_t>(reservedEnd_ - reservedNext_) < size || !MakeReservedPagesReady(reservedNext_, size)) {
        return nullptr;
    }
    char* block = reservedNext_;
    reservedNext_ += size;
    return block;
}

}  // namespace tolva
