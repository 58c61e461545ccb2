#pragma once
// Memory taken from the system with all its pages made ready in one step. Meeting each fresh
// 4 KiB page on first use costs more than most work done in it (on the shared machines Tolva is
// measured on, reading a file into fresh small pages took five times as long as reading it into
// huge ones), so large blocks come in huge pages where the system allows, made ready at once.

#include <cstddef>
#include <new>

namespace tolva {

// size bytes of zeroed memory with every page ready, in huge pages when size is at least one
// (the block then reaches to the end of its last huge page); null when the system has none
// left. Given back with FreeReadyMemory and the same size.
char* TakeReadyMemory(std::size_t size);
void FreeReadyMemory(char* memory, std::size_t size) noexcept;

// size bytes mapped as TakeReadyMemory maps them, in huge pages when size is at least one, with
// no page made ready: for a block filled from the front, whose pages then come a huge one at a
// time as it fills. Given back with FreeReadyMemory and the same size.
char* MapMemory(std::size_t size);

// size bytes of zeroed memory laid out as TakeReadyMemory lays it out, but with no page made
// ready: for a block filled a part at a time (MakePagesReady before each), of which only the
// parts filled ever take memory. Given back with FreeReadyMemory and the same size.
char* ReserveMemory(std::size_t size);

// Makes the whole pages within size bytes at memory ready in one step, for a block that came
// from elsewhere (a string's own buffer, say) and is about to be filled.
void MakePagesReady(char* memory, std::size_t size) noexcept;

// Makes the whole pages within size bytes at memory, part of a block from ReserveMemory, ready
// to be used; false, when the system has no memory for them, instead of failing on first use.
bool MakeReservedPagesReady(char* memory, std::size_t size) noexcept;

// size rounded up to whole huge pages.
std::size_t WholeHugePages(std::size_t size) noexcept;

// An allocator for a container that grows to megabytes (a parsed document's values): a block of
// a megabyte or more is mapped on its own (MapMemory), so that it fills in huge pages instead of
// a fault every 4 KiB; smaller ones come from the heap as usual.
template <class T>
class LargeBlockAllocator {
public:
    using value_type = T;

    LargeBlockAllocator() = default;
    template <class U>
    LargeBlockAllocator(const LargeBlockAllocator<U>& /*other*/) noexcept {}  // NOLINT(google-explicit-constructor)

    T* allocate(std::size_t count) {
        const std::size_t size = count * sizeof(T);
        if (size < kMapped) return static_cast<T*>(::operator new(size));
        char* block = MapMemory(size);
        if (block == nullptr) throw std::bad_alloc();
        return reinterpret_cast<T*>(block);
    }
    void deallocate(T* memory, std::size_t count) noexcept {
        const std::size_t size = count * sizeof(T);
        if (size < kMapped) {
            ::operator delete(memory);
        } else {
            FreeReadyMemory(reinterpret_cast<char*>(memory), size);
        }
    }

    template <class U>
    bool operator==(const LargeBlockAllocator<U>& /*other*/) const noexcept {
        return true;
    }

private:
    static constexpr std::size_t kMapped = 1024 * 1024;
};

}  // namespace tolva
