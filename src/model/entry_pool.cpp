#include "model/entry_pool.h"

#include <algorithm>
#include <new>
#include <thread>

#include "platform/ready_memory.h"

namespace tolva {

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kLargestBlock = 2 * kHugePage;

}  // namespace

EntryPool::EntryPool(std::size_t slotSize, std::size_t alignment)
    : slot_(std::max((slotSize + alignment - 1) / alignment * alignment, sizeof(FreeSlot))), blockSize_(kFirstBlock) {}

void EntryPool::Lock() noexcept {
    while (locked_.exchange(true, std::memory_order_acquire)) {
        while (locked_.load(std::memory_order_relaxed)) std::this_thread::yield();
    }
}

void* EntryPool::Allocate() {
    Lock();
    if (free_ != nullptr) {
        FreeSlot* slot = free_;
        free_ = slot->next;
        Unlock();
        return slot;
    }
    if (next_ == end_ && !AddBlock()) {
        Unlock();
        throw std::bad_alloc();
    }
    void* slot = next_;
    next_ += slot_;
    Unlock();
    return slot;
}

void EntryPool::Release(void* slot) noexcept {
    Lock();
    auto* freed = static_cast<FreeSlot*>(slot);
    freed->next = free_;
    free_ = freed;
    Unlock();
}

bool EntryPool::AddBlock() {
    const std::size_t size = blockSize_;
    char* block = TakeReadyMemory(size);
    if (block == nullptr) return false;
    next_ = block;
    end_ = block + size / slot_ * slot_;
    blockSize_ = std::min(size * 2, kLargestBlock);
    return true;
}

}  // namespace tolva
