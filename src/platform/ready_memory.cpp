#include "platform/ready_memory.h"

#include <sys/mman.h>

#include <cerrno>
#include <cstdint>

namespace tolva {

namespace {

constexpr std::size_t kSmallPage = 4096;
constexpr std::size_t kHugePage = 2 * 1024 * 1024;

// How much is mapped for size bytes: whole huge pages once it takes one.
std::size_t MappedLength(std::size_t size) {
    return size >= kHugePage ? (size + kHugePage - 1) / kHugePage * kHugePage : size;
}

// Maps size bytes, in huge pages where it takes one, without making any page ready.
char* MapBlock(std::size_t size, int flags) {
    if (size == 0) return nullptr;
    const std::size_t length = MappedLength(size);
    const bool huge = length >= kHugePage;
    // A huge page must start on its own boundary: one more is mapped, and what lies outside the
    // aligned block is given back.
    const std::size_t slack = huge ? kHugePage : 0;
    void* mapped = ::mmap(nullptr, length + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | flags, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    char* block = static_cast<char*>(mapped);
    if (huge) {
        const std::size_t skip = (kHugePage - reinterpret_cast<std::uintptr_t>(block) % kHugePage) % kHugePage;
        if (skip > 0) ::munmap(block, skip);
        ::munmap(block + skip + length, kHugePage - skip);
        block += skip;
        ::madvise(block, length, MADV_HUGEPAGE);
    }
    return block;
}

}  // namespace

std::size_t WholeHugePages(std::size_t size) noexcept { return (size + kHugePage - 1) / kHugePage * kHugePage; }

char* ReserveMemory(std::size_t size) { return MapBlock(size, MAP_NORESERVE); }

char* MapMemory(std::size_t size) { return MapBlock(size, 0); }

char* TakeReadyMemory(std::size_t size) {
    char* block = MapBlock(size, 0);
    if (block == nullptr) return nullptr;
    const std::size_t length = MappedLength(size);
    bool ready = false;
#ifdef MADV_POPULATE_WRITE
    ready = ::madvise(block, length, MADV_POPULATE_WRITE) == 0;
#endif
    // Without it (kernels before 5.14) one touch per page makes them ready as well.
    for (std::size_t at = 0; !ready && at < length; at += kSmallPage) block[at] = 0;
    return block;
}

void MakePagesReady(char* memory, std::size_t size) noexcept {
#ifdef MADV_POPULATE_WRITE
    const auto address = reinterpret_cast<std::uintptr_t>(memory);
    const std::size_t skip = (kSmallPage - address % kSmallPage) % kSmallPage;
    if (size <= skip) return;
    const std::size_t length = (size - skip) / kSmallPage * kSmallPage;
    // Only a hint: pages it cannot make ready are met on first use as usual.
    if (length > 0) ::madvise(memory + skip, length, MADV_POPULATE_WRITE);
#else
    (void)memory;
    (void)size;
#endif
}

bool MakeReservedPagesReady(char* memory, std::size_t size) noexcept {
#ifdef MADV_POPULATE_WRITE
    if (::madvise(memory, size, MADV_POPULATE_WRITE) == 0) return true;
    if (errno != EINVAL) return false;
#endif
    // A kernel without it (before 5.14) makes the pages on first use: one touch each.
    for (std::size_t at = 0; at < size; at += kSmallPage) memory[at] = 0;
    return true;
}

void FreeReadyMemory(char* memory, std::size_t size) noexcept {
    if (memory != nullptr) ::munmap(memory, MappedLength(size));
}

}  // namespace tolva
