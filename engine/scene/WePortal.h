// A placed rectangle through which a level is seen. Each frame the scene projects every portal
// with the camera into a screen rectangle and a depth; an actor that lies wholly inside that
// rectangle and behind the portal is not drawn. Invisible outside the editor.
#pragma once

#include "WeActor.h"

class WePortal : public WeActor
{
public:
    static constexpr int32_t portalVersion = 5;

    // Normalised device coordinates, and raw projected depths.
    struct ScreenRect
    {
        float minX = 0.0f, minY = 0.0f, minDepth = 0.0f;
        float maxX = 0.0f, maxY = 0.0f, maxDepth = 0.0f;
    };

    WePortal();

    // The scale follows the size; a size changed since the last build rebuilds the physics and
    // the bounds. Then the corners again.
    void Tick() override;
    // Corners, plane and bounding sphere from the world matrix and the size.
    void UpdateGeometry() override;
    bool Save(WeFileStream& stream) override;
    // The actor record, then the portal record of any version (unknown versions add nothing).
    bool Load(WeRecordReader& reader) override;
    void OnAddedToScene() override;
    void CopyFrom(const WeActor& source) override;

    // The rectangle on screen for the camera; projected stays false when the portal's centre is
    // behind the camera or the rectangle misses the view. Corners behind (or at) the camera's
    // plane are left out.
    void Project(const WeCamera& camera);
    // Whether the clip-space point (x, y, z, w) lies inside the rectangle and behind the portal.
    bool Covers(const WeVector4& point) const;
    // Whether the plane of this portal (through its place, across its z axis) has the two
    // points on opposite sides.
    bool Separates(const WeVector& a, const WeVector& b) const;

    WeVector storedScale{0.0f, 0.0f, 0.0f};
    float Width = 10.0f;
    float Height = 10.0f;
    d3dx::Plane plane{};
    bool flags[3] = {true, false, false};
    float values[2] = {500.0f, 500.0f};
    WeVector portalCorners[4];
    ScreenRect screen;
    bool projected = false;
    bool mutuallyVisible = true; // nothing in the engine reads it

private:
    bool SavePortal(WeFileStream& stream) const;
    bool LoadPortal(WeRecordReader& reader);
};
