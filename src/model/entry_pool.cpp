#include "model/entry_pool.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <new>

namespace tolva {

namespace {

constexpr std::size_t kSmallPage = 4096;
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
    const bool huge = size >= kHugePage;
    // A huge page must start on its own boundary: one more is mapped, and what lies
    // outside the aligned block is given back.
    const std::size_t slack = huge ? kHugePage : 0;
    void* mapped = ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return false;
    char* block = static_cast<char*>(mapped);
    if (huge) {
        const std::size_t skip = (kHugePage - reinterpret_cast<std::uintptr_t>(block) % kHugePage) % kHugePage;
        if (skip > 0) ::munmap(block, skip);
        ::munmap(block + skip + size, kHugePage - skip);
        block += skip;
        ::madvise(block, size, MADV_HUGEPAGE);
    }
    bool ready = false;
#ifdef MADV_POPULATE_WRITE
    ready = ::madvise(block, size, MADV_POPULATE_WRITE) == 0;
#endif
    // Without it (kernels before 5.14) one touch per page makes them ready as well.
    for (std::size_t at = 0; !ready && at < size; at += kSmallPage) block[at] = 0;
    next_ = block;
    end_ = block + size / slot_ * slot_;
    blockSize_ = std::min(size * 2, kLargestBlock);
    return true;
}

}  // namespace tolva
