// The process heap as the engine wants it for a software renderer that frees and allocates large
// blocks every frame (HeapSetInformation's place), over glibc's allocator and the kernel.
#pragma once

namespace win32
{

// Keeps freed heap memory mapped: the allocator's default thresholds would hand the renderer's
// large blocks back to the system after one frame and fault them in again during the next.
// Also backs the heap's top with huge pages. Only the first call does anything.
void KeepHeapMapped();

} // namespace win32
