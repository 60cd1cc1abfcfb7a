// The render queue: every preparation of a view, the visible actors hand their drawable pieces to
// it, one call per mesh subset. Each piece becomes a render item that knows the shader technique
// it needs, filed by its material's pass into one of the scene renderer's six ordered lists.
// Items are recycled from one preparation to the next and freed only at exit. One global queue,
// `renderQueue`.
#pragma once

#include "WeCamera.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class WeActor;
class WeBaseModel;
class WeMaterial;
class WeShader;

struct WeRenderItem
{
    WeRenderItem* next = nullptr;   // in the live list or the free list
    WeMaterial* material = nullptr; // never null
    int32_t techniqueMask = 0;      // 0: the shader's default technique
    WeActor* actor = nullptr;
    int32_t materialSet = 0;
    WeBaseModel* model = nullptr; // the model, or the frame of an animated model
    int32_t subset = 0;
    const WeMatrix* world = nullptr; // never null
    float depth = 0.0f;              // 0 without an actor
};

// A binary min-heap of items by a signed key. Its array grows fourfold when full and keeps its
// size, so a list filled every frame allocates nothing once it is large enough.
class WeRenderList
{
public:
    struct Entry
    {
        WeRenderItem* item = nullptr;
        int32_t key = 0;
    };
    static constexpr int32_t initialCapacity = 16;

    WeRenderList() : entries(initialCapacity) {}

    // Equal keys stay below the entry that came first.
    void Push(WeRenderItem* item, int32_t key);
    // The item of the smallest key, or null when empty. The popped entry moves to the slot just
    // past the new count, so a list popped empty holds its entries in descending key order.
    WeRenderItem* PopMin();
    // The smallest entry without taking it; only while not empty.
    const Entry& Top() const { return entries[0]; }
    void Clear() { count = 0; }
    bool IsEmpty() const { return count == 0; }
    int32_t GetCount() const { return count; }
    int32_t GetCapacity() const { return int32_t(entries.size()); }
    // The array slot, 0 to the capacity - 1.
    const Entry& At(int32_t index) const { return entries[size_t(index)]; }

    int32_t sizeAtFill = 0; // the count when the scene renderer ended its collection

private:
    std::vector<Entry> entries;
    int32_t count = 0;
};

class WeRenderQueue
{
public:
    static constexpr int32_t allFeatures = -1;

    WeRenderQueue() = default;
    ~WeRenderQueue() { FreeAll(); }
    WeRenderQueue(const WeRenderQueue&) = delete;
    WeRenderQueue& operator=(const WeRenderQueue&) = delete;

    // One piece of what the camera sees: an item for the subset of the model (or frame) drawn
    // with the material at the world matrix, filed into the scene renderer's lists. A lit
    // material makes the model gather its lights first. Null without a material or a matrix,
    // and for material passes that are not queued (the item still goes back at Recycle).
    WeRenderItem* Add(WeMaterial* material, WeActor* actor, int32_t materialSet, WeBaseModel* model,
                      int32_t subset, const WeMatrix* world, const WeCamera* camera);
    // Moves every item of the last preparation to the free list.
    void Recycle();
    // Frees every item; the lists that point at them must be emptied first.
    void FreeAll();
    // Items made so far, live and free.
    int32_t GetItemCount() const { return int32_t(storage.size()); }

    // The actor's sphere in the camera's view: its distance for alpha items, else its depth,
    // less the radius when a model is drawn; 0 without an actor or a camera.
    static float Depth(const WeActor* actor, bool withModel, bool alpha, const WeCamera* camera);
    // Whether the actor's model is drawn with shadows: shadows are on and lights were picked
    // for them this frame, the actor casts and receives them, and one of the model's nearest
    // lights (as many as may have shadows) has a shadow slot.
    static bool Shadowed(const WeActor* actor, const WeBaseModel* model);
    // Sort depth to whole units of 1/32768, saturated so that every key built from it fits.
    static int32_t DepthUnits(float depth);
    // Groups solid items by shader, technique and material; pass 6 after every pass-0 item.
    static int32_t StateKey(const WeShader* shader, int32_t techniqueMask, const WeMaterial* material,
                            int32_t pass);
    // Higher priority (clamped to -3..4) first, then smaller kind, then farther first.
    static int32_t AlphaKey(int32_t priority, int32_t kind, int32_t depthUnits);
    // The technique a material is drawn with over the model's base feature bits, for a shadowed
    // item or one whose mesh carries feature bit 7: what the shader has of it within the frame's
    // mask, else 0. Always 0 without a shader, while reflecting and while drawing grey ambient.
    int32_t ComposeMask(const WeMaterial& material, int32_t modelBits, bool shadowed, bool meshFlag) const;
    // Files the item into the scene renderer's lists by its material's pass and counts it; false
    // for passes that are not queued. Alpha items sort by their kind.
    static bool File(WeRenderItem* item, bool outlined, int32_t alphaKind);
    // Where an alpha item sorts among those of its priority: plain actors 1, particle systems 2,
    // additive ones 4; 8 more for an actor not loaded from the map.
    static int32_t AlphaKind(const WeMaterial& material, const WeActor* actor);

    // The technique bits the frame allows; reset to all at each preparation.
    int32_t frameMask = allFeatures;

private:
    // From the free list, or a new zeroed item; at the head of the live list.
    WeRenderItem* TakeItem();

    std::deque<WeRenderItem> storage; // stable addresses for the items the lists point at
    WeRenderItem* freeList = nullptr;
    WeRenderItem* liveHead = nullptr;
    WeRenderItem* liveTail = nullptr;
};

extern WeRenderQueue renderQueue;
