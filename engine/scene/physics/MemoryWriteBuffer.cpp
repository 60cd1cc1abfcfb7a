#include "MemoryWriteBuffer.h"

#include "physx/PhysXSdk.h"
#include "win32/Win32Library.h"

#include <cstring>

namespace
{

physx::UserAllocator* SdkAllocator()
{
    const auto proc = reinterpret_cast<physx::NxGetPhysicsSDKAllocatorProc>(
        WeGetLibraryProc("PhysXLoader.dll", "NxGetPhysicsSDKAllocator"));
    return proc ? proc() : nullptr;
}

} // namespace

MemoryWriteBuffer::~MemoryWriteBuffer()
{
    if (data)
        allocator->free(data);
}

physx::Stream& MemoryWriteBuffer::storeBuffer(const void* bytes, uint32_t size)
{
    if (failure || size == 0)
        return *this;
    const uint64_t needed = uint64_t(currentSize) + size;
    if (needed > maxSize)
    {
        const uint64_t grown = needed + 4096;
        physx::UserAllocator* sdkAllocator = grown <= UINT32_MAX ? SdkAllocator() : nullptr;
        auto* block =
            sdkAllocator
                ? static_cast<uint8_t*>(sdkAllocator->malloc(uint32_t(grown), physx::NX_MEMORY_PERSISTENT))
                : nullptr;
        if (!block)
        {
            failure = true;
            return *this;
        }
        if (data)
        {
            std::memcpy(block, data, currentSize);
            allocator->free(data);
        }
        data = block;
        allocator = sdkAllocator;
        maxSize = uint32_t(grown);
    }
    std::memcpy(data + currentSize, bytes, size);
    currentSize += size;
    return *this;
}

void MemoryReadBuffer::readBuffer(void* destination, uint32_t size)
{
    if (size > uint64_t(end - buffer))
    {
        std::memset(destination, 0, size);
        buffer = end;
        failure = true;
        return;
    }
    std::memcpy(destination, buffer, size);
    buffer += size;
}
