#pragma once

#include "WeList.h"
#include "WeString.h"

#include <cstdint>
#include <cstring>

// A string-keyed table of 127 chained buckets. Entries live in a node list whose spare nodes are
// reused, so Clear and Remove never free memory. New entries go to the tail of their chain and
// lookups search from the head, so a duplicate key inserted without findFirst stays hidden
// behind the first one. Keys are case-sensitive.
//
// The table carries its own iterator; a walk that removes the current entry lets RemoveValue or
// Remove advance it instead of calling Next:
//     for (table.Reset(); !table.IsEnd();)
//         if (Drop(table.GetValue())) table.RemoveValue(table.GetValue()); else table.Next();
template <typename V> class WeHashTable
{
public:
    static constexpr int32_t BucketCount = 127;

    WeHashTable() { Clear(); }
    WeHashTable(const WeHashTable&) = delete;
    WeHashTable& operator=(const WeHashTable&) = delete;

    // Stores value under key and returns its slot; with findFirst an existing entry's slot is
    // returned instead, its value unchanged.
    V* Insert(const WeString& key, const V& value, bool findFirst = false);
    bool Find(const WeString& key, V& out) const; // copies the first entry's value when present
    bool Lookup(const WeString& key, V*& out);    // the first entry's value slot when present
    bool Remove(const WeString& key, V* out = nullptr);
    bool RemoveValue(const V& value); // the first entry, in table order, holding value
    void Clear();                     // every entry to the spare nodes
    int32_t GetCount() const { return count; }

    // The built-in iterator, in table order (bucket 0 to 126, then chain order).
    void Reset();
    bool IsEnd() const { return current == nullptr; }
    void Next();
    const WeString& GetKey() const { return current->value.key; } // only while !IsEnd()
    V& GetValue() { return current->value.value; }                // only while !IsEnd()

    // Visits every entry in table order as visit(key, value) without touching the iterator.
    template <typename F> void ForEach(F&& visit) const;

    static uint32_t Hash(const char* bytes, int32_t length);
    static int32_t Bucket(const WeString& key)
    {
        return static_cast<int32_t>(Hash(key.GetData(), key.GetLength()) % BucketCount);
    }

private:
    struct Entry;
    using Node = typename WeList<Entry>::Node;
    struct Entry
    {
        Node* chainNext = nullptr;
        Node* chainPrev = nullptr;
        WeString key;
        V value{};
    };
    struct Chain
    {
        Node* head;
        Node* tail;
    };

    Node* FindNode(const WeString& key) const;
    void RemoveNode(Node* node);
    void SeekBucket(int32_t bucket); // iterator to the first entry of bucket or a later one

    int32_t count = 0;
    Chain buckets[BucketCount];
    WeList<Entry> nodes;
    int32_t iteratorBucket = -1;
    Node* current = nullptr;
};

template <typename V> uint32_t WeHashTable<V>::Hash(const char* bytes, int32_t length)
{
    uint32_t h = 0;
    for (int32_t i = 0; i < length; ++i)
    {
        h = (h + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(bytes[i])))) * 1025u;
        h ^= h >> 6;
    }
    h *= 9u;
    h ^= h >> 11;
    h *= 32769u;
    return h;
}

template <typename V> typename WeHashTable<V>::Node* WeHashTable<V>::FindNode(const WeString& key) const
{
    for (Node* node = buckets[Bucket(key)].head; node; node = node->value.chainNext)
    {
        const WeString& stored = node->value.key;
        if (stored.GetLength() == key.GetLength() &&
            std::strncmp(stored.GetData(), key.GetData(), static_cast<size_t>(key.GetLength())) == 0)
            return node;
    }
    return nullptr;
}

template <typename V> V* WeHashTable<V>::Insert(const WeString& key, const V& value, bool findFirst)
{
    if (findFirst)
        if (Node* node = FindNode(key))
            return &node->value.value;
    Node* node = nodes.PushBackNode();
    Entry& entry = node->value;
    entry.key = key;
    entry.value = value;
    Chain& chain = buckets[Bucket(key)];
    entry.chainNext = nullptr;
    entry.chainPrev = chain.tail;
    if (chain.tail)
        chain.tail->value.chainNext = node;
    else
        chain.head = node;
    chain.tail = node;
    ++count;
    return &entry.value;
}

template <typename V> bool WeHashTable<V>::Find(const WeString& key, V& out) const
{
    const Node* node = FindNode(key);
    if (node)
        out = node->value.value;
    return node != nullptr;
}

template <typename V> bool WeHashTable<V>::Lookup(const WeString& key, V*& out)
{
    Node* node = FindNode(key);
    if (node)
        out = &node->value.value;
    return node != nullptr;
}

template <typename V> bool WeHashTable<V>::Remove(const WeString& key, V* out)
{
    Node* node = FindNode(key);
    if (!node)
        return false;
    if (out)
        *out = node->value.value;
    RemoveNode(node);
    return true;
}

template <typename V> bool WeHashTable<V>::RemoveValue(const V& value)
{
    for (Chain& chain : buckets)
        for (Node* node = chain.head; node; node = node->value.chainNext)
            if (node->value.value == value)
            {
                RemoveNode(node);
                return true;
            }
    return false;
}

template <typename V> void WeHashTable<V>::RemoveNode(Node* node)
{
    if (node == current)
        Next();
    Entry& entry = node->value;
    Chain& chain = buckets[Bucket(entry.key)];
    (entry.chainPrev ? entry.chainPrev->value.chainNext : chain.head) = entry.chainNext;
    (entry.chainNext ? entry.chainNext->value.chainPrev : chain.tail) = entry.chainPrev;
    nodes.ReleaseNode(node);
    --count;
}

template <typename V> void WeHashTable<V>::Clear()
{
    for (Chain& chain : buckets)
        chain = Chain{nullptr, nullptr};
    nodes.Clear();
    count = 0;
    iteratorBucket = -1;
    current = nullptr;
}

template <typename V> void WeHashTable<V>::SeekBucket(int32_t bucket)
{
    for (; bucket < BucketCount; ++bucket)
        if (buckets[bucket].head)
        {
            iteratorBucket = bucket;
            current = buckets[bucket].head;
            return;
        }
    iteratorBucket = -1;
    current = nullptr;
}

template <typename V> void WeHashTable<V>::Reset()
{
    SeekBucket(0);
}

template <typename V> void WeHashTable<V>::Next()
{
    if (!current)
        return;
    if (Node* next = current->value.chainNext)
        current = next;
    else
        SeekBucket(iteratorBucket + 1);
}

template <typename V> template <typename F> void WeHashTable<V>::ForEach(F&& visit) const
{
    for (const Chain& chain : buckets)
        for (const Node* node = chain.head; node; node = node->value.chainNext)
            visit(node->value.key, node->value.value);
}
