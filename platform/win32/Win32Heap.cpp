#include "win32/Win32Heap.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace win32
{

namespace
{

constexpr uintptr_t kHugePage = 2 << 20;
constexpr size_t kHugeHeapTop = 48 << 20;

// Grows the heap's top by kHugeHeapTop, which stays mapped, and asks the kernel to back it with
// huge pages: the start's allocations, the engine's and the GL driver's, then fault in 2 MB at a
// time instead of 4 KB (half the page faults of a start). Nothing where malloc does not grow the
// heap by moving the program break (under a sanitizer).
void BackHeapTopWithHugePages()
{
    const auto begin = reinterpret_cast<uintptr_t>(sbrk(0));
    void* block = malloc(kHugeHeapTop);
    asm volatile("" : : "r"(block) : "memory"); // the block is made, not optimised away
    const auto end = reinterpret_cast<uintptr_t>(sbrk(0));
    const bool grown = block != nullptr;
    free(block);
    const uintptr_t first = (begin + kHugePage - 1) & ~(kHugePage - 1), last = end & ~(kHugePage - 1);
    if (grown && last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

} // namespace

void KeepHeapMapped()
{
    static bool kept = false;
    if (std::exchange(kept, true))
        return;
    // Blocks up to 64 MB come from the heap, and up to 256 MB of free heap top stays mapped.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    BackHeapTopWithHugePages();
}

} // namespace win32
