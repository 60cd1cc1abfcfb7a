#include "WeCamera.h"

#include "WeRenderDevice.h"
#include "WeTimer.h"

#include <algorithm>
#include <cmath>

using namespace d3dx;

namespace
{

void SetRow(WeMatrix& m, int row, const WeVector& v, float w)
{
    m.m[row][0] = v.x;
    m.m[row][1] = v.y;
    m.m[row][2] = v.z;
    m.m[row][3] = w;
}

WeVector Row(const WeMatrix& m, int row)
{
    return {m.m[row][0], m.m[row][1], m.m[row][2]};
}

Plane Column(const WeMatrix& m, int column)
{
    return {m.m[0][column], m.m[1][column], m.m[2][column], m.m[3][column]};
}

Plane Add(const Plane& a, const Plane& b, float sign)
{
    return D3DXPlaneNormalize({a.a + sign * b.a, a.b + sign * b.b, a.c + sign * b.c, a.d + sign * b.d});
}

} // namespace

WeMatrix WeAxesFor(const WeVector& direction, const WeVector& up)
{
    const WeVector right = D3DXVec3Normalize(D3DXVec3Cross(up, direction));
    WeMatrix m;
    SetRow(m, 0, right, 0.0f);
    SetRow(m, 1, D3DXVec3Cross(direction, right), 0.0f);
    SetRow(m, 2, direction, 0.0f);
    return m;
}

void WeFrustum::Build(const WeVector& eyePosition, const WeMatrix& viewMatrix,
                      const WeMatrix& projectionMatrix)
{
    eye = eyePosition;
    view = viewMatrix;
    projection = projectionMatrix;
    viewProjection = D3DXMatrixMultiply(view, projection);
    const Plane c1 = Column(viewProjection, 0), c2 = Column(viewProjection, 1);
    const Plane c3 = Column(viewProjection, 2), c4 = Column(viewProjection, 3);
    planes[leftPlane] = Add(c4, c1, 1.0f);
    planes[rightPlane] = Add(c4, c1, -1.0f);
    planes[bottomPlane] = Add(c4, c2, 1.0f);
    planes[topPlane] = Add(c4, c2, -1.0f);
    planes[farPlane] = Add(c4, c3, -1.0f);
    planes[nearPlane] = D3DXPlaneNormalize(c3);

    const float n = -projection.m[3][2] / projection.m[2][2];
    const float f = n / (1.0f - 1.0f / projection.m[2][2]);
    WeMatrix toWorld;
    if (!D3DXMatrixInverse(&toWorld, nullptr, view))
        toWorld = D3DXMatrixIdentity();
    int corner = 0;
    for (float x : {-1.0f, 1.0f})
        for (float y : {-1.0f, 1.0f})
        {
            corners[corner++] = D3DXVec3TransformCoord({x, y, n}, toWorld);
            corners[corner++] = D3DXVec3TransformCoord({x * f / n, y * f / n, f}, toWorld);
        }
    nearCentre = D3DXVec3TransformCoord({0.0f, 0.0f, n}, toWorld);
    farCentre = D3DXVec3TransformCoord({0.0f, 0.0f, f}, toWorld);

    const WeVector& c0 = corners[0];
    const WeVector& c7 = corners[7];
    const float a = D3DXVec3Length(nearCentre - c0), b = D3DXVec3Length(nearCentre - c7);
    const float d = a - b;
    const float t = std::fabs(d) <= 0.0001f
                        ? 0.0f
                        : ((D3DXVec3Length(farCentre - c7) - b) - (D3DXVec3Length(farCentre - c0) - a)) / d;
    sphereCentre = nearCentre + (farCentre - nearCentre) * t;
    sphereRadius = 1.01f * std::max(D3DXVec3Length(c0 - sphereCentre), D3DXVec3Length(c7 - sphereCentre));
}

bool WeFrustum::IsSphereVisible(const WeVector4& sphere) const
{
    for (int i = nearPlane; i >= leftPlane; --i)
    {
        const Plane& p = planes[i];
        if (p.a * sphere.x + p.b * sphere.y + p.c * sphere.z + p.d <=
            -(p.a * p.a + p.b * p.b + p.c * p.c) * sphere.w)
            return false;
    }
    return true;
}

WeCamera::WeCamera()
{
    target = position + direction;
    view = D3DXMatrixLookAtLH(position, target, up);
    UpdateProjection();
}

float WeCamera::ProjectionAspect() const
{
    return aspect != 0.0f ? aspect : renderDevice.Aspect();
}

void WeCamera::UpdateProjection()
{
    projection = orthogonal ? D3DXMatrixOrthoLH(orthoWidth, orthoHeight, nearClip, farClip)
                            : D3DXMatrixPerspectiveFovLH(fov, ProjectionAspect(), nearClip, farClip);
    frustum.Build(position, view, projection);
}

void WeCamera::RecordHistory()
{
    const float now = timer.absoluteTimeFloat;
    if (historyStart != historyEnd && history[historyEnd].time == now)
        return;
    historyEnd = (historyEnd + 1) % historySize;
    if (historyEnd == historyStart)
        historyStart = (historyStart + 1) % historySize;
    WeCameraHistoryEntry& entry = history[historyEnd];
    entry.position = position;
    entry.axes = axes;
    entry.fov = fov;
    entry.nearClip = nearClip;
    entry.farClip = farClip;
    entry.aspect = aspect;
    entry.time = now;
}

void WeCamera::Update()
{
    if (!historyResetPending)
        RecordHistory();
    target = position + direction;
    view = D3DXMatrixLookAtLH(position, target, up);
    UpdateProjection();
    viewProjection = D3DXMatrixMultiply(view, projection);
    if (historyResetPending)
    {
        historyStart = historyEnd = 0;
        historyResetPending = false;
    }
    axes = WeAxesFor(direction, up);
    levelAxes = WeAxesFor(direction, {0.0f, 1.0f, 0.0f});
}

void WeCamera::SetFov(float radians)
{
    fov = radians;
    UpdateProjection();
}

void WeCamera::SetAspect(float value)
{
    aspect = value;
    UpdateProjection();
}

void WeCamera::SetOrthoSize(float width, float height)
{
    orthoWidth = width;
    orthoHeight = height;
    UpdateProjection();
}

void WeCamera::SetNearClip(float value)
{
    nearClip = value;
    UpdateProjection();
}

void WeCamera::SetFarClip(float value)
{
    farClip = value;
    UpdateProjection();
}

void WeCamera::SetPerspective(float fovRadians, float nearValue, float farValue, float aspectValue)
{
    fov = fovRadians;
    nearClip = nearValue;
    farClip = farValue;
    aspect = aspectValue;
    UpdateProjection();
}

void WeCamera::GetPickRay(float screenX, float screenY, WeVector& origin, WeVector& rayDirection) const
{
    WeMatrix inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, view))
        inverse = D3DXMatrixIdentity();
    const float width = float(std::max(1, renderDevice.BackBufferWidth()));
    const float height = float(std::max(1, renderDevice.BackBufferHeight()));
    const float px = (2.0f * screenX / width - 1.0f) / projection.m[0][0];
    const float py = -(2.0f * screenY / height - 1.0f) / projection.m[1][1];
    origin = Row(inverse, 3);
    if (orthogonal)
    {
        // The offsets are view-space distances here: the ray moves, its direction stays forward.
        origin = origin + Row(inverse, 0) * px + Row(inverse, 1) * py;
        rayDirection = D3DXVec3Normalize(Row(inverse, 2));
        return;
    }
    rayDirection = D3DXVec3Normalize(Row(inverse, 0) * px + Row(inverse, 1) * py + Row(inverse, 2));
}

int32_t WeCamera::HistoryCount() const
{
    return (historyEnd - historyStart + historySize) % historySize;
}

const WeCameraHistoryEntry& WeCamera::HistoryEntry(int32_t index) const
{
    return history[(historyStart + 1 + index) % historySize];
}
