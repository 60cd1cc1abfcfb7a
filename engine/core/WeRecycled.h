#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

// Gives class T (derived from WeRecycled<T, Base>, which derives from Base) a class-level new and
// delete served from a per-class pool: a deleted object's block goes to a spare chain and the
// next new takes it back, so objects made and destroyed every frame allocate nothing in steady
// state. Base needs a virtual destructor when objects are deleted through it.
//
// Every block starts with a header that records how it was obtained, so a delete always releases
// the block it came from, whatever the pooling switch says by then: an object allocated while
// pooling was on and deleted after it went off is freed whole, never by an interior pointer.
template <typename T, typename Base> class WeRecycled : public Base
{
public:
    using Base::Base;

    static void* operator new(size_t size);
    static void operator delete(void* object);
    static void* operator new(size_t, void* where) noexcept { return where; }
    static void operator delete(void*, void*) noexcept {}

    static void SetPooling(bool on) { pool.pooling = on; }
    static bool IsPooling() { return pool.pooling; }
    // Runs the destructor of every live object (in allocation order) without releasing it,
    // switches pooling off and frees every block. Objects deleted by those destructors are
    // handled as usual.
    static void DestroyPool();
    // Frees every block, live ones included, without running any destructor (unwinding only).
    static void FreeSpareBlocks();
    static int32_t GetLiveCount() { return pool.count; }
    static int32_t GetSpareCount() { return pool.spareCount; }
    // Calls visit(T*) for every live object in allocation order; visit may delete any of them.
    template <typename F> static void ForEachLive(F&& visit);

private:
    enum class BlockState : uint32_t
    {
        Live = 0x4C495645,  // in the live list
        Spare = 0x53504152, // on the spare chain; the object is not constructed
        Plain = 0x504C4149, // allocated outside the pool (pooling off, or a larger derived class)
    };

    struct alignas(std::max_align_t) Header
    {
        Header* next;
        Header* prev;
        BlockState state;
    };

    // Constant-initialised, so it is valid for static objects built before main and after exit.
    struct Pool
    {
        bool pooling;
        Header* first; // live list
        Header* last;
        Header* spare; // spare chain, linked through next
        int32_t count;
        int32_t spareCount;
        Header* cursor; // the next block of a ForEachLive walk
    };

    static Header* HeaderOf(void* object) { return reinterpret_cast<Header*>(object) - 1; }
    static void* ObjectOf(Header* header) { return header + 1; }
    static Header* NewBlock(size_t objectSize, BlockState state);
    static void LinkLive(Header* header);
    static void UnlinkLive(Header* header);
    static void PushSpare(Header* header);
    static void FreeSpareChain();

    static inline Pool pool{};
};

template <typename T, typename Base>
typename WeRecycled<T, Base>::Header* WeRecycled<T, Base>::NewBlock(size_t objectSize, BlockState state)
{
    static_assert(alignof(T) <= alignof(Header), "over-aligned classes cannot be recycled");
    void* block = std::malloc(sizeof(Header) + objectSize);
    if (!block)
        std::abort();
    Header* header = static_cast<Header*>(block);
    header->next = nullptr;
    header->prev = nullptr;
    header->state = state;
    return header;
}

template <typename T, typename Base> void WeRecycled<T, Base>::LinkLive(Header* header)
{
    header->state = BlockState::Live;
    header->next = nullptr;
    header->prev = pool.last;
    (pool.last ? pool.last->next : pool.first) = header;
    pool.last = header;
    ++pool.count;
}

template <typename T, typename Base> void WeRecycled<T, Base>::UnlinkLive(Header* header)
{
    if (pool.cursor == header)
        pool.cursor = header->next;
    (header->prev ? header->prev->next : pool.first) = header->next;
    (header->next ? header->next->prev : pool.last) = header->prev;
    --pool.count;
}

template <typename T, typename Base> void WeRecycled<T, Base>::PushSpare(Header* header)
{
    header->state = BlockState::Spare;
    header->prev = nullptr;
    header->next = pool.spare;
    pool.spare = header;
    ++pool.spareCount;
}

template <typename T, typename Base> void* WeRecycled<T, Base>::operator new(size_t size)
{
    // A derived class larger than T gets a block of its own, still with a header.
    if (size > sizeof(T) || !pool.pooling)
        return ObjectOf(NewBlock(size, BlockState::Plain));
    Header* header = pool.spare;
    if (header)
    {
        pool.spare = header->next;
        --pool.spareCount;
    }
    else
    {
        header = NewBlock(sizeof(T), BlockState::Spare);
    }
    LinkLive(header);
    return ObjectOf(header);
}

template <typename T, typename Base> void WeRecycled<T, Base>::operator delete(void* object)
{
    if (!object)
        return;
    Header* header = HeaderOf(object);
    switch (header->state)
    {
    case BlockState::Live:
        UnlinkLive(header);
        if (pool.pooling)
            PushSpare(header);
        else
            std::free(header);
        return;
    case BlockState::Plain:
        std::free(header);
        return;
    case BlockState::Spare:
        return; // already released: a second delete must not free the block again
    }
}

template <typename T, typename Base> void WeRecycled<T, Base>::FreeSpareChain()
{
    while (Header* header = pool.spare)
    {
        pool.spare = header->next;
        std::free(header);
    }
    pool.spareCount = 0;
}

template <typename T, typename Base> void WeRecycled<T, Base>::DestroyPool()
{
    if (pool.pooling)
    {
        while (Header* header = pool.first)
        {
            UnlinkLive(header);
            PushSpare(header);
            static_cast<T*>(ObjectOf(header))->~T();
        }
        pool.pooling = false;
    }
    FreeSpareChain();
}

template <typename T, typename Base> void WeRecycled<T, Base>::FreeSpareBlocks()
{
    while (Header* header = pool.first)
    {
        UnlinkLive(header);
        PushSpare(header);
    }
    FreeSpareChain();
}

template <typename T, typename Base> template <typename F> void WeRecycled<T, Base>::ForEachLive(F&& visit)
{
    for (pool.cursor = pool.first; pool.cursor;)
    {
        Header* header = pool.cursor;
        pool.cursor = header->next;
        visit(static_cast<T*>(ObjectOf(header)));
    }
}
