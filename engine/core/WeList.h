#pragma once

#include <cstdint>

// A circular doubly linked list whose sentinel is the list object itself. Removed nodes go to a
// chain of spare nodes and are reused by later insertions, so steady-state traffic allocates
// nothing; nodes are only freed when the list is destroyed. A spare node keeps its element as it
// was: whoever takes one (PushBack, InsertBeforeCursor) assigns the element at once.
//
// The list has its own cursor for walks that remove as they go:
//     for (list.Reset(); !list.IsEnd();)
//         if (Drop(list.GetItem())) list.RemoveCurrent(); else list.Next();
template <typename T> class WeList
{
    struct Link
    {
        Link* next;
        Link* prev;
    };

public:
    struct Node : Link
    {
        T value{};
    };

    class Iterator
    {
    public:
        explicit Iterator(Link* link) : link(link) {}
        T& operator*() const { return static_cast<Node*>(link)->value; }
        T* operator->() const { return &static_cast<Node*>(link)->value; }
        Iterator& operator++()
        {
            link = link->next;
            return *this;
        }
        bool operator==(const Iterator& other) const { return link == other.link; }

    private:
        Link* link;
    };

    class ConstIterator
    {
    public:
        explicit ConstIterator(const Link* link) : link(link) {}
        const T& operator*() const { return static_cast<const Node*>(link)->value; }
        const T* operator->() const { return &static_cast<const Node*>(link)->value; }
        ConstIterator& operator++()
        {
            link = link->next;
            return *this;
        }
        bool operator==(const ConstIterator& other) const { return link == other.link; }

    private:
        const Link* link;
    };

    // Walks from the last element to the first.
    class ReverseIterator
    {
    public:
        explicit ReverseIterator(Link* link) : link(link) {}
        T& operator*() const { return static_cast<Node*>(link)->value; }
        ReverseIterator& operator++()
        {
            link = link->prev;
            return *this;
        }
        bool operator==(const ReverseIterator& other) const { return link == other.link; }

    private:
        Link* link;
    };

    WeList() { ResetHead(); }
    WeList(const WeList& other) : WeList() { *this = other; }
    WeList& operator=(const WeList& other);
    ~WeList();

    T& PushBack(); // new last element (a reused node keeps its old value)
    void PushBack(const T& value) { PushBack() = value; }
    T& InsertBeforeCursor();        // new element before the cursor (last when the cursor is at the end)
    bool PopBack(T* out = nullptr); // unlinks the last element, copying it out first; false when empty
    bool Remove(const T& value);    // unlinks the first element equal to value; false when none
    void RemoveCurrent();           // unlinks the cursor's element; the cursor moves to the next one
    void Clear();                   // every element to the spare chain; nothing is freed

    int32_t GetCount() const { return count; }
    bool IsEmpty() const { return count == 0; }
    T& First() { return static_cast<Node*>(head.next)->value; } // only when not empty
    T& Last() { return static_cast<Node*>(head.prev)->value; }  // only when not empty
    const T& First() const { return static_cast<const Node*>(head.next)->value; }
    const T& Last() const { return static_cast<const Node*>(head.prev)->value; }

    // The list's own cursor.
    void Reset() { cursor = head.next; }
    bool IsEnd() const { return cursor == &head; }
    void Next() { cursor = cursor->next; }
    T& GetItem() { return static_cast<Node*>(cursor)->value; } // only while !IsEnd()

    Iterator begin() { return Iterator(head.next); }
    Iterator end() { return Iterator(&head); }
    ConstIterator begin() const { return ConstIterator(head.next); }
    ConstIterator end() const { return ConstIterator(&head); }
    ReverseIterator rbegin() { return ReverseIterator(head.prev); }
    ReverseIterator rend() { return ReverseIterator(&head); }

    // Node-level access for containers built on this list (the hash table's entries).
    Node* PushBackNode();
    void ReleaseNode(Node* node); // unlinks a live node to the spare chain, keeping the cursor valid

private:
    void ResetHead()
    {
        head.next = &head;
        head.prev = &head;
        cursor = &head;
    }
    Node* TakeSpare();
    void LinkBefore(Link* node, Link* before);

    Link head;             // the sentinel: first = head.next, last = head.prev
    Link* spare = nullptr; // spare nodes, chained through next
    int32_t count = 0;
    Link* cursor;
};

template <typename T> WeList<T>& WeList<T>::operator=(const WeList& other)
{
    if (this == &other)
        return *this;
    Clear();
    for (const T& value : other)
        PushBack() = value;
    return *this;
}

template <typename T> WeList<T>::~WeList()
{
    Clear();
    while (spare)
    {
        Link* next = spare->next;
        delete static_cast<Node*>(spare);
        spare = next;
    }
}

template <typename T> typename WeList<T>::Node* WeList<T>::TakeSpare()
{
    if (!spare)
        return new Node();
    Node* node = static_cast<Node*>(spare);
    spare = spare->next;
    return node;
}

template <typename T> void WeList<T>::LinkBefore(Link* node, Link* before)
{
    node->next = before;
    node->prev = before->prev;
    before->prev->next = node;
    before->prev = node;
    ++count;
}

template <typename T> typename WeList<T>::Node* WeList<T>::PushBackNode()
{
    Node* node = TakeSpare();
    LinkBefore(node, &head);
    return node;
}

template <typename T> T& WeList<T>::PushBack()
{
    return PushBackNode()->value;
}

template <typename T> T& WeList<T>::InsertBeforeCursor()
{
    Node* node = TakeSpare();
    LinkBefore(node, cursor);
    return node->value;
}

template <typename T> void WeList<T>::ReleaseNode(Node* node)
{
    if (cursor == node)
        cursor = node->next;
    node->prev->next = node->next;
    node->next->prev = node->prev;
    node->next = spare;
    node->prev = nullptr;
    spare = node;
    --count;
}

template <typename T> bool WeList<T>::PopBack(T* out)
{
    if (count == 0)
        return false;
    Node* last = static_cast<Node*>(head.prev);
    if (out)
        *out = last->value;
    ReleaseNode(last);
    return true;
}

template <typename T> bool WeList<T>::Remove(const T& value)
{
    for (Link* link = head.next; link != &head; link = link->next)
    {
        if (static_cast<Node*>(link)->value == value)
        {
            ReleaseNode(static_cast<Node*>(link));
            return true;
        }
    }
    return false;
}

template <typename T> void WeList<T>::RemoveCurrent()
{
    if (cursor != &head)
        ReleaseNode(static_cast<Node*>(cursor));
}

template <typename T> void WeList<T>::Clear()
{
    if (count > 0)
    {
        head.prev->next = spare;
        spare = head.next;
    }
    ResetHead();
    count = 0;
}
