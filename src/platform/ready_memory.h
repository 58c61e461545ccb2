#pragma once
// Memory taken from the system with all its pages made ready in one step. Meeting each fresh
// 4 KiB page on first use costs more than most work done in it (on the shared machines Tolva is
// measured on, reading a file into fresh small pages took five times as long as reading it into
// huge ones), so large blocks come in huge pages where the system allows, made ready at once.

#include <cstddef>

namespace tolva {

// size bytes of zeroed memory with every page ready, in huge pages when size is at least one
// (the block then reaches to the end of its last huge page); null when the system has none
// left. Given back with FreeReadyMemory and the same size.
char* TakeReadyMemory(std::size_t size);
void FreeReadyMemory(char* memory, std::size_t size) noexcept;

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

}  // namespace tolva
