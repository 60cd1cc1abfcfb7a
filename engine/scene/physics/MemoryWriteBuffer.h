// The in-memory streams of cooking: a cook writes its block into a MemoryWriteBuffer, and the
// physics SDK reads it back through a MemoryReadBuffer over the written bytes.
#pragma once

#include "physx/PhysXTypes.h"

#include <cstdint>

// A block that grows as it is written, taken from and given back to the SDK's allocator
// ("NxGetPhysicsSDKAllocator" of "PhysXLoader.dll", looked up at each growth). Values are
// stored in their little-endian bytes. A store the block cannot take (no allocator, an
// allocation refused, a size past 4 GB) writes nothing and leaves the buffer failed; a failed
// buffer takes no more stores, so its block never has a hole.
class MemoryWriteBuffer : public physx::Stream
{
public:
    MemoryWriteBuffer() = default;
    ~MemoryWriteBuffer() override;
    MemoryWriteBuffer(const MemoryWriteBuffer&) = delete;
    MemoryWriteBuffer& operator=(const MemoryWriteBuffer&) = delete;

    // Appends the bytes; a full block grows to hold them plus 4096 bytes more.
    physx::Stream& storeBuffer(const void* buffer, uint32_t size) override;
    physx::Stream& storeByte(uint8_t value) override { return storeBuffer(&value, sizeof(value)); }
    physx::Stream& storeWord(uint16_t value) override { return storeBuffer(&value, sizeof(value)); }
    physx::Stream& storeDword(uint32_t value) override { return storeBuffer(&value, sizeof(value)); }
    physx::Stream& storeFloat(float value) override { return storeBuffer(&value, sizeof(value)); }
    physx::Stream& storeDouble(double value) override { return storeBuffer(&value, sizeof(value)); }
    // Nothing is read from a write buffer: zeros, and the buffer stays as it was.
    uint8_t readByte() override { return 0; }
    uint16_t readWord() override { return 0; }
    uint32_t readDword() override { return 0; }
    float readFloat() override { return 0.0f; }
    double readDouble() override { return 0.0; }
    void readBuffer(void*, uint32_t) override {}
    bool failed() const override { return failure; }

    uint32_t currentSize = 0; // bytes written
    uint32_t maxSize = 0;     // bytes the block holds
    uint8_t* data = nullptr;  // owned; from `allocator`

private:
    physx::UserAllocator* allocator = nullptr; // the allocator `data` came from
    bool failure = false;
};

// Reads a block of known size that the caller keeps alive. A read past the end gives 0 (a
// buffer read, zeros), takes nothing and leaves the buffer failed.
class MemoryReadBuffer : public physx::Stream
{
public:
    MemoryReadBuffer(const uint8_t* data, uint32_t size) : buffer(data), end(data + size) {}

    uint8_t readByte() override { return Read<uint8_t>(); }
    uint16_t readWord() override { return Read<uint16_t>(); }
    uint32_t readDword() override { return Read<uint32_t>(); }
    float readFloat() override { return Read<float>(); }
    double readDouble() override { return Read<double>(); }
    void readBuffer(void* destination, uint32_t size) override;
    // Nothing is stored into a read buffer.
    physx::Stream& storeByte(uint8_t) override { return *this; }
    physx::Stream& storeWord(uint16_t) override { return *this; }
    physx::Stream& storeDword(uint32_t) override { return *this; }
    physx::Stream& storeFloat(float) override { return *this; }
    physx::Stream& storeDouble(double) override { return *this; }
    physx::Stream& storeBuffer(const void*, uint32_t) override { return *this; }
    bool failed() const override { return failure; }

    const uint8_t* buffer; // the next byte to read

private:
    template <typename T> T Read()
    {
        T value{};
        readBuffer(&value, sizeof(T));
        return value;
    }

    const uint8_t* end;
    bool failure = false;
};
