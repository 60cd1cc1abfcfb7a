// The engine's view: position, direction and up vector, a perspective or orthogonal projection,
// the matrices and view frustum built from them, the camera-axis matrices of billboards and
// motion blur, and a ring of recent camera states for rebuilding earlier views.
#pragma once

#include "d3dx/D3dxMath.h"

#include <cstdint>

using WeVector = d3dx::Vector3;
using WeVector4 = d3dx::Vector4;
using WeQuaternion = d3dx::Quaternion;
using WeMatrix = d3dx::Matrix;

// Six normalised planes (left, right, bottom, top, far, near), the corners of a square pyramid
// with the projection's near and far distances, and a sphere enclosing that pyramid.
struct WeFrustum
{
    void Build(const WeVector& eyePosition, const WeMatrix& viewMatrix, const WeMatrix& projectionMatrix);
    // centre and radius as x, y, z, w; a sphere on a plane's outer side by less than its radius
    // is visible.
    bool IsSphereVisible(const WeVector4& sphere) const;

    enum PlaneIndex
    {
        leftPlane,
        rightPlane,
        bottomPlane,
        topPlane,
        farPlane,
        nearPlane,
    };

    WeVector eye;
    WeMatrix view;
    WeMatrix projection;
    WeMatrix viewProjection;
    d3dx::Plane planes[6];
    WeVector corners[8]; // x outer loop, y, then depth (near, far) inner, each -1 then 1
    WeVector nearCentre;
    WeVector farCentre;
    WeVector sphereCentre;
    float sphereRadius = 0.0f;
};

struct WeCameraHistoryEntry
{
    WeVector position;
    WeMatrix axes;
    float fov = 0.0f;
    float nearClip = 0.0f;
    float farClip = 0.0f;
    float aspect = 0.0f;
    float time = 0.0f;
};

class WeCamera
{
public:
    static constexpr int32_t historySize = 1000;

    WeCamera();
    // Records the state before the move into the history, then rebuilds view, projection,
    // frustum and the axis matrices.
    virtual void Update();
    // Projection and frustum from the current settings; the view is not rebuilt.
    void UpdateProjection();

    void SetFov(float radians);
    void SetAspect(float value);
    void SetOrthoSize(float width, float height);
    void SetNearClip(float value);
    void SetFarClip(float value);
    void SetPerspective(float fovRadians, float nearValue, float farValue, float aspectValue);
    // Takes effect at the next UpdateProjection.
    void SetOrthogonal(bool value) { orthogonal = value; }

    // World-space ray through the back-buffer pixel: origin and normalised direction.
    void GetPickRay(float screenX, float screenY, WeVector& origin, WeVector& rayDirection) const;

    // History entries, oldest first; index 0 .. HistoryCount() - 1.
    int32_t HistoryCount() const;
    const WeCameraHistoryEntry& HistoryEntry(int32_t index) const;

    bool orthogonal = false;
    float fov = 0.7853982f;
    float aspect = 0.0f; // 0: the render device's back-buffer aspect
    float nearClip = 1.0f;
    float farClip = 1000.0f;
    WeFrustum frustum;
    WeVector position{0.0f, 0.0f, 0.0f};
    WeVector direction{0.0f, 0.0f, 1.0f};
    WeVector up{0.0f, 1.0f, 0.0f};
    float orthoWidth = 100.0f;
    float orthoHeight = 100.0f;
    WeVector target;
    WeMatrix view;
    WeMatrix projection;
    WeMatrix viewProjection;
    WeMatrix axes;      // right, true up, direction, (0, 0, 0, 1)
    WeMatrix levelAxes; // the same with the world's up
    bool historyResetPending = true;
    WeCameraHistoryEntry history[historySize];
    int32_t historyStart = 0;
    int32_t historyEnd = 0;

private:
    void RecordHistory();
    float ProjectionAspect() const;
};

// The rows right = normalise(up x direction), direction x right, direction and (0, 0, 0, 1).
WeMatrix WeAxesFor(const WeVector& direction, const WeVector& up);
