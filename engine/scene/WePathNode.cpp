#include "WePathNode.h"

#include "WeDebugRenderer.h"
#include "WeEngine.h"
#include "WeFileStream.h"
#include "WeRecordReader.h"
#include "WeScene.h"

#include <algorithm>
#include <string>

int32_t WePathNode::nodeCounter = 0;

namespace
{

// The editor's line colours, by visit order.
constexpr uint32_t walkColours[6] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu,
                                     0xFFFFFF00u, 0xFF00FFFFu, 0xFFFF00FFu};

void ReadColour(WeRecordReader& reader, WeColor& colour)
{
    reader.ReadFloats(&colour.r, 4);
}

bool WriteColour(WeFileStream& stream, const WeColor& colour)
{
    return stream.WriteVector4(&colour.r);
}

bool WriteFloats(WeFileStream& stream, const float* values, int32_t first, int32_t last)
{
    bool written = true;
    for (int32_t k = first; k <= last; ++k)
        written = written && stream.WriteFloat(values[k]);
    return written;
}

// The text up to the first blank, leading blanks left out.
std::string FirstWord(const std::string& text)
{
    const size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos)
        return {};
    return text.substr(start, text.find(' ', start) - start);
}

void ResolveList(WeScene& scene, const WeString& names, WeList<WeActor*>& links)
{
    links.Clear();
    const std::string all = names.GetData();
    WeList<WeActor*> found;
    for (size_t start = 0; start < all.size();)
    {
        const size_t end = std::min(all.find(';', start), all.size());
        if (end == start)
            break; // an empty item ends the list
        const std::string key = FirstWord(all.substr(start, end - start));
        start = end + 1;
        if (key.empty())
            continue;
        scene.FindActorsByPrefix(key.c_str(), found);
        for (WeActor* actor : found)
            if (FirstWord(actor->name.GetData()) == key)
                links.PushBack(actor);
    }
}

} // namespace

WePathNode::WePathNode()
{
    type = WeActorTypePathNode;
    modelName = "Config.Assets.PathNode";
    const std::pair<int32_t, float> defaults[] = {{4, 500.0f}, {5, 2000.0f}, {7, 1.0f},   {8, 10.0f},
                                                  {9, 900.0f}, {10, 4.0f},   {17, 60.0f}, {25, 0.1f}};
    for (const auto& [index, value] : defaults)
        values[index] = value;
}

WeString WePathNode::GetDisplayName() const
{
    WeString shown = placed ? name : "INVALID " + name;
    for (const WeString* links : {&LinkNamesA, &LinkNamesB})
        if (!links->IsEmpty())
            shown += "   [" + *links + "]";
    return shown;
}

bool WePathNode::SaveNode(WeFileStream& stream) const
{
    bool written =
        stream.WriteInt(recordVersion) && stream.WriteInt(Number) && WriteFloats(stream, values, 1, 2) &&
        stream.WriteBool(flags[1]) && stream.WriteInt(Kind) && stream.WriteInt(BranchA) &&
        stream.WriteInt(BranchB) && stream.WriteBool(flags[2]) && stream.WriteBool(flags[3]) &&
        stream.WriteBool(flags[4]) && stream.WriteInt(value3) && stream.WriteBool(flags[5]) &&
        WriteColour(stream, colourA) && stream.WriteBool(flags[6]) && WriteFloats(stream, values, 4, 7) &&
        WriteColour(stream, colourB) && stream.WriteBool(flags[7]) && WriteFloats(stream, values, 8, 10) &&
        stream.WriteBool(flags[8]) && stream.WriteBool(flags[9]) && WriteFloats(stream, values, 11, 15) &&
        stream.WriteBool(flags[10]) && WriteFloats(stream, values, 16, 16) && stream.WriteBool(flags[11]) &&
        WriteFloats(stream, values, 17, 18) && stream.WriteBool(flags[12]) &&
        WriteFloats(stream, values, 19, 20) && stream.WriteBool(flags[13]) &&
        WriteFloats(stream, values, 21, 23) && stream.WriteBool(flags[14]) &&
        WriteFloats(stream, values, 24, 25) && stream.WriteBool(flags[15]) && stream.WriteBool(flags[16]) &&
        WriteFloats(stream, values, 26, 31);
    for (const WeString* text : {&LinkNamesA, &LinkNamesB, &texts[1], &texts[2]})
        written = written && stream.WriteString(*text);
    return written && stream.WriteBool(flags[17]) && stream.WriteString(texts[3]) &&
           stream.WriteBool(flags[18]) && WriteFloats(stream, values, 32, 32) && stream.WriteInt(value33) &&
           stream.WriteBool(flags[19]) && WriteFloats(stream, values, 34, 34);
}

bool WePathNode::Save(WeFileStream& stream)
{
    return WeActor::Save(stream) && SaveNode(stream);
}

void WePathNode::ReadValues(WeRecordReader& reader, int32_t first, int32_t last)
{
    reader.ReadFloats(&values[first], last - first + 1);
}

bool WePathNode::LoadNode(WeRecordReader& reader)
{
    int32_t v = reader.ReadInt();
    if (v < 0)
        reader.StepBack(4); // no version word: the record starts with the number
    v = std::max(v, 0);
    Number = reader.ReadInt();
    nodeCounter = std::max(nodeCounter, Number);
    if (v < 13)
        reader.Skip((v >= 2 ? 16 : 0) + (v >= 9 ? 4 : 0));
    if (v >= 3)
        values[1] = reader.ReadFloat();
    if (v >= 4)
    {
        if (v < 14)
            reader.Skip(4);
        values[2] = reader.ReadFloat();
    }
    if (v >= 11)
        flags[1] = reader.ReadBool();
    else if (v >= 5)
        flags[1] = reader.ReadInt() == 2;
    if (v >= 6)
        Kind = reader.ReadInt();
    if (v >= 7)
    {
        BranchA = reader.ReadInt();
        BranchB = reader.ReadInt();
        if (v < 14)
            reader.Skip(4);
    }
    for (const auto& [from, flag] : {std::pair{8, 2}, std::pair{10, 3}, std::pair{12, 4}})
        if (v >= from)
            flags[flag] = reader.ReadBool();
    if (v >= 15)
        value3 = reader.ReadInt();
    ReadLaterFields(reader, v);
    return reader.Ok();
}

void WePathNode::ReadLaterFields(WeRecordReader& reader, int32_t v)
{
    if (v >= 16)
    {
        flags[5] = reader.ReadBool();
        ReadColour(reader, colourA);
        flags[6] = reader.ReadBool();
        ReadValues(reader, 4, 7);
        ReadColour(reader, colourB);
        flags[7] = reader.ReadBool();
        ReadValues(reader, 8, 10);
    }
    if (v >= 17)
    {
        flags[8] = v >= 24 && reader.ReadBool();
        flags[9] = reader.ReadBool();
        ReadValues(reader, 11, 14);
        values[15] = v >= 18 ? reader.ReadFloat() : values[11];
        flags[10] = reader.ReadBool();
        values[16] = reader.ReadFloat();
        if (v >= 28)
        {
            flags[11] = reader.ReadBool();
            ReadValues(reader, 17, 18);
        }
        flags[12] = reader.ReadBool();
        ReadValues(reader, 19, 20);
        if (v >= 22)
        {
            flags[13] = reader.ReadBool();
            ReadValues(reader, 21, 23);
        }
        flags[14] = reader.ReadBool();
        values[24] = reader.ReadFloat();
        if (v >= 21)
            values[25] = reader.ReadFloat();
        if (v >= 23)
            flags[15] = reader.ReadBool();
        if (v >= 27)
            flags[16] = reader.ReadBool();
    }
    if (v >= 19)
    {
        ReadValues(reader, 26, 28);
        if (v >= 25)
            values[29] = reader.ReadFloat();
        ReadValues(reader, 30, 31);
        reader.ReadString(LinkNamesA);
        if (v >= 32)
            reader.ReadString(LinkNamesB);
        if (v >= 20)
            reader.ReadString(texts[1]);
    }
    if (v >= 33)
        reader.ReadString(texts[2]);
    if (v >= 26)
    {
        flags[17] = reader.ReadBool();
        reader.ReadString(texts[3]);
        flags[18] = reader.ReadBool();
        values[32] = reader.ReadFloat();
    }
    if (v >= 29)
        value33 = reader.ReadInt();
    if (v >= 30)
        flags[19] = reader.ReadBool();
    if (v >= 31)
        values[34] = reader.ReadFloat();
}

bool WePathNode::Load(WeRecordReader& reader)
{
    return WeActor::Load(reader) && LoadNode(reader);
}

void WePathNode::OnAddedToScene()
{
    physicModel.type = WePhysicModel::none;
    const bool editor = engine.settings.editorMode;
    active = editor;
    if (!editor)
    {
        visible = false;
        staticFlags[0] = staticFlags[1] = staticFlags[2] = true;
        Orthonormalise(true);
    }
    furtherFlags[0] = furtherFlags[1] = true;
    shadowVolume = false;
    WeActor::OnAddedToScene();
}

void WePathNode::CopyRecord(const WePathNode& other)
{
    std::copy(std::begin(other.values), std::end(other.values), values);
    std::copy(std::begin(other.flags), std::end(other.flags), flags);
    std::copy(std::begin(other.texts), std::end(other.texts), texts);
    value3 = other.value3;
    value33 = other.value33;
    colourA = other.colourA;
    colourB = other.colourB;
    Kind = other.Kind;
    BranchA = other.BranchA;
    BranchB = other.BranchB;
    LinkNamesA = other.LinkNamesA;
    LinkNamesB = other.LinkNamesB;
}

void WePathNode::CopyFrom(const WeActor& source)
{
    WeActor::CopyFrom(source);
    nodeCounter += 10;
    Number = nodeCounter;
    if (const auto* other = dynamic_cast<const WePathNode*>(&source))
        CopyRecord(*other);
}

void WePathNode::Render(WeCamera* camera)
{
    WeActor::Render(camera);
    if (!engine.settings.editorMode)
        return;
    const uint32_t colour = walkColours[((visitOrder % 6) + 6) % 6];
    const WeVector from = GetWorldPosition();
    for (const WePathNode* following : {next, secondNext})
        if (following && following->position > position)
            debugRenderer.AddLine(from, following->GetWorldPosition(), colour, true);
    for (const WeList<WeActor*>* links : {&linksA, &linksB})
        for (const WeActor* linked : *links)
            debugRenderer.AddLine(from, linked->GetWorldPosition(), colour, true);
}

void WePathNode::ResolveLinks()
{
    if (!scene)
        return;
    ResolveList(*scene, LinkNamesA, linksA);
    ResolveList(*scene, LinkNamesB, linksB);
}

// The path graph of a scene.

namespace
{

float Distance(const WePathNode& a, const WePathNode& b)
{
    return d3dx::D3DXVec3Length(a.GetWorldPosition() - b.GetWorldPosition());
}

float DistanceSquared(const WePathNode& a, const WePathNode& b)
{
    const WeVector d = a.GetWorldPosition() - b.GetWorldPosition();
    return d3dx::D3DXVec3Dot(d, d);
}

} // namespace

WePathNode* WeScene::FindPathNodeByNumber(int32_t number)
{
    WePathNode* found = nullptr;
    pathNodes.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            auto* node = static_cast<WePathNode*>(actor);
            if (!found && node->Number == number)
                found = node;
        });
    return found;
}

WePathNode* WeScene::FindNextPathNode(const WePathNode* from, int32_t kind, int32_t limit, bool byProximity)
{
    const bool nearest = byProximity && from;
    const int32_t after = from ? from->Number : 0;
    WePathNode* best = nullptr;
    float bestDistance = 0.0f;
    pathNodes.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            auto* node = static_cast<WePathNode*>(actor);
            if (node->visited || (kind >= 0 && node->Kind != kind) || (!byProximity && node->Number <= after))
                return;
            const float distance = nearest ? DistanceSquared(*node, *from) : 0.0f;
            if (!best || (nearest ? distance < bestDistance : node->Number < best->Number))
            {
                best = node;
                bestDistance = distance;
            }
        });
    if (best && !byProximity && limit >= 1 && best->Number > limit)
        return nullptr;
    return best;
}

WePathNode* WeScene::WalkPath(WePathNode* start, int32_t limit, int32_t branch, float& length,
                              bool byProximity, int32_t& counter)
{
    WePathNode* current = start;
    for (WePathNode* next = FindNextPathNode(start, -1, limit, byProximity); next;
         next = FindNextPathNode(current, -1, limit, byProximity))
    {
        next->branch = branch;
        next->visitOrder = counter++;
        if (byProximity)
            next->Number = current->Number + 10;
        switch (next->Kind)
        {
        case WePathNode::plain:
            next->visited = true;
            current->next = next;
            next->previous = current;
            ++pathNodeCount;
            ++pathLinkCount;
            length += Distance(*current, *next);
            next->distance = length;
            current = next;
            break;
        case WePathNode::fork:
            if (!WalkFork(current, next, limit, length, byProximity, counter))
                return current;
            current = next->partner;
            break;
        case WePathNode::jumpStart:
            if (!WalkJump(current, next, limit, length, byProximity))
                return current;
            current = next->next;
            break;
        default:
            next->visited = true;
            break;
        }
    }
    return current;
}

bool WeScene::WalkFork(WePathNode* current, WePathNode* forkNode, int32_t limit, float& length,
                       bool byProximity, int32_t& counter)
{
    WePathNode* joinNode = FindNextPathNode(forkNode, WePathNode::join, limit, byProximity);
    if (!joinNode || forkNode->BranchA > joinNode->BranchA)
        return false;
    WePathNode* a = FindPathNodeByNumber(forkNode->BranchA);
    WePathNode* b = FindPathNodeByNumber(forkNode->BranchB);
    // A branch must start at a node of its own that the walk has not reached: one that names the
    // fork, the root or an earlier node would link the graph back into itself.
    if (!a || !b || a == b || a == forkNode || b == forkNode || a == joinNode || b == joinNode ||
        a->visited || b->visited)
        return false;
    float lengthA = Distance(*forkNode, *a), lengthB = Distance(*forkNode, *b);
    // Each branch's first node lies its own distance from the fork (its walk places only the
    // nodes after it).
    a->distance = lengthA;
    b->distance = lengthB;
    WePathNode* endA = WalkPath(a, joinNode->BranchA, 1, lengthA, byProximity, counter);
    WePathNode* endB = WalkPath(b, joinNode->BranchB, 2, lengthB, byProximity, counter);
    lengthA += Distance(*endA, *joinNode);
    lengthB += Distance(*endB, *joinNode);
    for (WePathNode* node : {forkNode, joinNode, a, b, endA, endB})
        node->visited = true;
    current->next = forkNode;
    forkNode->previous = current;
    forkNode->partner = joinNode;
    joinNode->partner = forkNode;
    ++pathLinkCount;
    length += Distance(*current, *forkNode);
    forkNode->distance = length;
    const bool aShorter = lengthB >= lengthA;
    forkNode->next = aShorter ? a : b;
    forkNode->secondNext = aShorter ? b : a;
    (aShorter ? endA : endB)->next = joinNode;
    joinNode->previous = aShorter ? endA : endB;
    (aShorter ? endB : endA)->next = joinNode;
    joinNode->secondPrevious = aShorter ? endB : endA;
    a->previous = b->previous = forkNode;
    const float shorter = std::min(lengthA, lengthB), longer = std::max(lengthA, lengthB);
    forkNode->branchRatio = longer > 0.0f ? shorter / longer : 1.0f;
    length += shorter;
    joinNode->distance = length;
    ++pathLinkCount;
    return true;
}

bool WeScene::WalkJump(WePathNode* current, WePathNode* jump, int32_t limit, float& length, bool byProximity)
{
    WePathNode* landing = FindNextPathNode(current, WePathNode::jumpEnd, limit, byProximity);
    if (!landing)
        return false;
    jump->BranchA = landing->Number;
    jump->visited = landing->visited = true;
    current->next = jump;
    jump->previous = current;
    jump->next = landing;
    landing->previous = jump;
    pathLinkCount += 2;
    jump->partner = landing;
    landing->partner = jump;
    length += Distance(*current, *jump);
    jump->distance = landing->distance = length;
    return true;
}

void WeScene::AssignPathPositions(WePathNode* first, const WePathNode* stop, float offset, float scale)
{
    WePathNode* node = first;
    do
    {
        // A node placed already, or a link the walk never made, ends the stretch.
        if (!node || node->placed)
            return;
        node->position = pathLength > 0.0f ? (node->distance * scale + offset) / pathLength : 0.0f;
        node->scaledDistance = node->position * pathLength;
        node->placed = true;
        if (node->Kind == WePathNode::fork && node->partner)
        {
            AssignPathPositions(node->next, node->partner, node->distance, 1.0f);
            AssignPathPositions(node->secondNext, node->partner, node->distance, node->branchRatio);
            node = node->partner;
        }
        else
            node = node->next;
    } while (node != stop);
}

void WeScene::BuildPathGraph(bool createIfNone, bool byProximity)
{
    pathNodes.ForEach(
        [](const WeString&, WeActor* actor)
        {
            auto* node = static_cast<WePathNode*>(actor);
            node->placed = node->visited = false;
        });
    pathLinkCount = pathNodeCount = 0;
    WePathNode* root = nullptr;
    pathNodes.ForEach(
        [&root](const WeString&, WeActor* actor)
        {
            auto* node = static_cast<WePathNode*>(actor);
            if (node->Kind == WePathNode::plain && node->Number >= 1 &&
                (!root || node->Number < root->Number))
                root = node;
        });
    pathRoot = root;
    if (!root && !createIfNone)
        return;
    if (!root)
    {
        root = pathRoot = new WePathNode;
        AddActor(root);
        root->next = root->previous = root;
        root->visited = true;
        root->scaledDistance = 0.0f;
        pathLinkCount = pathNodeCount = 1;
        pathLength = 1.0f;
        AssignPathPositions(root, root, 0.0f, 1.0f);
        return;
    }
    root->visited = true;
    root->scaledDistance = 0.0f;
    root->visitOrder = 0;
    int32_t counter = 1;
    pathLinkCount = pathNodeCount = 1;
    float length = 0.0f;
    WePathNode* end = WalkPath(root, 0, 0, length, byProximity, counter);
    end->next = root;
    root->previous = end;
    pathLength = length + Distance(*end, *root);
    AssignPathPositions(root, root, 0.0f, 1.0f);
}
