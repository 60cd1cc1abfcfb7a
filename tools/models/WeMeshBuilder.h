// Geometry for the content tools: faces of engine vertices gathered by subset, turned into an
// engine mesh with the engine's own optimisation, bounds and tangents, and written as a mesh
// record. Faces are given in any winding with the side they face; the builder winds them so
// that they face that side (clockwise seen from it, as the device culls).
#pragma once

#include "WeMesh.h"

#include <functional>
#include <string>
#include <vector>

class WeFileStream;

class WeMeshBuilder
{
public:
    // A corner without a normal takes the face's.
    struct Corner
    {
        Corner(const WeVector& position, float u = 0.0f, float v = 0.0f, const WeVector& normal = {})
            : position(position), u(u), v(v), normal(normal)
        {
        }

        WeVector position;
        float u, v;
        WeVector normal;
    };

    // A polygon (3 or 4 corners in order around it) of the subset, facing `outward`.
    void AddFace(std::vector<Corner> corners, const WeVector& outward, uint32_t subset);
    // A flat rectangle around `centre` facing `outward`: `up` gives its upward side; the
    // texture's rows run from its top, its columns from its left as seen from outside.
    void AddRectangle(const WeVector& centre, const WeVector& outward, const WeVector& up, float halfWidth,
                      float halfHeight, uint32_t subset, float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f,
                      float v1 = 1.0f);
    // A box with its edges cut off by `bevel` (0 for a plain box). Each face's flat part takes the
    // whole texture and the subset `faceSubset(normal)` gives; the cut edges and corners take the
    // subset `edgeSubset`, with the texture's border.
    template <typename FaceSubset>
    void AddBox(const WeVector& minimum, const WeVector& maximum, float bevel, FaceSubset faceSubset,
                uint32_t edgeSubset);
    // A plain box without its bottom face, for a model only ever seen from above: five faces,
    // each with the whole texture and the subset `faceSubset(normal)` gives.
    template <typename FaceSubset>
    void AddOpenBox(const WeVector& minimum, const WeVector& maximum, FaceSubset faceSubset);
    // A sphere of the rings and segments, the texture wrapped around it once.
    void AddSphere(const WeVector& centre, float radius, int rings, int segments, uint32_t subset);
    // A dome about the origin seen from inside: the sphere of the radius from its top down to
    // `rimDegrees` below its equator, in rings and segments. Its texture's rows run from the top
    // to the rim, its columns once around (see DomeDirection).
    void AddDome(float radius, float rimDegrees, int rings, int segments, uint32_t subset);
    // The direction from a dome's centre to the point of its texture coordinates.
    static WeVector DomeDirection(float u, float v, float rimDegrees);
    // How far below the horizon the maps' sky domes reach, in degrees: as far as the map tool
    // draws their skies on them.
    static constexpr float skyDomeRim = 15.0f;
    // A smooth upright tube from `bottom` up by `height` in `rings` rows, closed at the top, its
    // texture once around it.
    void AddTube(const WeVector& bottom, float radius, float height, int segments, int rings,
                 uint32_t subset);

    // The engine mesh of the faces (on no device): optimised, bounded, with tangents. False with
    // lastError when there are no faces or the mesh cannot be made.
    bool Build(WeMesh& mesh);
    // A version-17 mesh record of the mesh, its material sets (as many as `setCount`) and its
    // attach points.
    static bool WriteRecord(const WeMesh& mesh, int32_t setCount, WeFileStream& stream);
    const std::string& GetLastError() const { return lastError; }

    const std::vector<WeMeshVertex>& Vertices() const { return vertices; }
    const std::vector<uint16_t>& Indices() const { return indices; }
    const std::vector<uint32_t>& Attributes() const { return attributes; }

private:
    // The faces of the box (the bottom one unless left out), inset by the bevel.
    void AddBoxFaces(const WeVector& minimum, const WeVector& maximum, float bevel, const uint32_t subsets[6],
                     bool bottom = true);
    static void FaceSubsets(const std::function<uint32_t(const WeVector&)>& faceSubset, uint32_t subsets[6]);
    void AddBoxEdges(const WeVector& minimum, const WeVector& maximum, float bevel, uint32_t subset);

    std::vector<WeMeshVertex> vertices;
    std::vector<uint16_t> indices;
    std::vector<uint32_t> attributes;
    std::string lastError;
};

template <typename FaceSubset>
void WeMeshBuilder::AddBox(const WeVector& minimum, const WeVector& maximum, float bevel,
                           FaceSubset faceSubset, uint32_t edgeSubset)
{
    uint32_t subsets[6];
    FaceSubsets(faceSubset, subsets);
    AddBoxFaces(minimum, maximum, bevel, subsets);
    if (bevel > 0.0f)
        AddBoxEdges(minimum, maximum, bevel, edgeSubset);
}

template <typename FaceSubset>
void WeMeshBuilder::AddOpenBox(const WeVector& minimum, const WeVector& maximum, FaceSubset faceSubset)
{
    uint32_t subsets[6];
    FaceSubsets(faceSubset, subsets);
    AddBoxFaces(minimum, maximum, 0.0f, subsets, false);
}
