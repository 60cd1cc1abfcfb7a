// A placed marker of a path through a level. After a map is loaded the scene links its path
// nodes into one closed path graph: a main loop in the order of their numbers, fork and join
// nodes that split it into two parallel branches, and jump pairs; every node then gets its
// distance along the path and a position from 0 to 1. Nodes can name other actors as links,
// found by name after loading. Invisible and static outside the editor; the record's other
// values are the game's and are only kept, copied and saved.
#pragma once

#include "WeActor.h"
#include "WeColor.h"

class WePathNode : public WeActor
{
public:
    static constexpr int32_t recordVersion = 33;
    enum NodeKind : int32_t
    {
        plain = 0,
        fork = 1,
        join = 2,
        jumpStart = 3,
        jumpEnd = 4,
    };

    WePathNode();

    // "INVALID " before the name when the last graph build left the node out, then the link
    // names in brackets.
    WeString GetDisplayName() const override;
    bool Save(WeFileStream& stream) override;
    // The actor record, then a path-node record of any version; one without a version word starts
    // with the number.
    bool Load(WeRecordReader& reader) override;
    void OnAddedToScene() override;
    // The copy takes the next free number.
    void CopyFrom(const WeActor& source) override;
    // In the editor also lines to the following nodes and the linked actors.
    void Render(WeCamera* camera) override;

    // Both link lists from the ';'-separated names: every actor whose name's first word is an
    // item's first word.
    void ResolveLinks();

    // The highest number read so far, in the whole process.
    static int32_t nodeCounter;

    int32_t Number = 1;
    int32_t visitOrder = 0;
    float position = 0.0f;
    float distance = 0.0f;
    float scaledDistance = 0.0f;
    int32_t Kind = plain;
    int32_t BranchA = 0, BranchB = 0;
    bool placed = false;
    WePathNode* next = nullptr;
    WePathNode* previous = nullptr;
    WePathNode* secondNext = nullptr;
    WePathNode* secondPrevious = nullptr;
    WePathNode* partner = nullptr;
    float branchRatio = 1.0f;
    int32_t branch = 0;
    bool visited = false;
    WeString LinkNamesA, LinkNamesB;
    WeList<WeActor*> linksA, linksB;

    // The record's own values: values[k] holds value k (1 to 34) but the two integer ones,
    // flags[k] flag k (1 to 19), texts[k] text k (1 to 3).
    float values[35] = {};
    int32_t value3 = 0, value33 = 0;
    bool flags[20] = {};
    WeColor colourA{0.5f, 0.5f, 0.5f, 1.0f};
    WeColor colourB{1.0f, 1.0f, 1.0f, 1.0f};
    WeString texts[4];

private:
    bool SaveNode(WeFileStream& stream) const;
    bool LoadNode(WeRecordReader& reader);
    void ReadValues(WeRecordReader& reader, int32_t first, int32_t last);
    void ReadLaterFields(WeRecordReader& reader, int32_t version);
    void CopyRecord(const WePathNode& other);
};
