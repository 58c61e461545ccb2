#include "model/entry_pool.h"

#include <algorithm>
#include <new>

#include "platform/ready_memory.h"

namespace tolva {

namespace {

constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kFirstBlock = 64 * 1024;
constexpr std::size_t kLargestBlock = 2 * kHugePage;

}  // namespace

EntryPool::EntryPool(std::size_t slotSize, std::size_t alignment)
    : slot_(std::max((slotSize + alignment - 1) / alignment * alignment, sizeof(FreeSlot))), blockSize_(kFirstBlock) {}

void* EntryPool::Allocate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_ != nullptr) {
        FreeSlot* slot = free_;
        free_ = slot->next;
        return slot;
    }
    if (next_ == end_ && !AddBlock()) throw std::bad_alloc();
    void* slot = next_;
    next_ += slot_;
    return slot;
}

void EntryPool::Release(void* slot) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* freed = static_cast<FreeSlot*>(slot);
    freed->next = free_;
    free_ = freed;
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
