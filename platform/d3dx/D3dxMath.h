// The vector, quaternion, plane and matrix mathematics the engine calls, as D3DX defines it:
// row vectors (a point p goes to p x M), left-handed view and projection matrices, clip-space
// depth 0..1, translation in the fourth matrix row. The records have D3DX's memory layouts.
#pragma once

#include "d3d9/D3d9Types.h"

namespace d3dx
{

struct Vector2
{
    float x = 0.0f, y = 0.0f;
};

struct Vector3
{
    float x = 0.0f, y = 0.0f, z = 0.0f;

    Vector3 operator+(const Vector3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vector3 operator-(const Vector3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vector3 operator*(float s) const { return {x * s, y * s, z * s}; }
};

struct Vector4
{
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 0.0f;
};

struct Quaternion
{
    float x = 0.0f, y = 0.0f, z = 0.0f, w = 1.0f;
};

struct Plane
{
    float a = 0.0f, b = 0.0f, c = 0.0f, d = 0.0f;
};

using Matrix = d3d9::Matrix;

float D3DXVec3Dot(const Vector3& a, const Vector3& b);
float D3DXVec3Length(const Vector3& v);
Vector3 D3DXVec3Cross(const Vector3& a, const Vector3& b);
// A zero vector stays zero.
Vector3 D3DXVec3Normalize(const Vector3& v);
// (v, 1) x m, divided by the resulting w.
Vector3 D3DXVec3TransformCoord(const Vector3& v, const Matrix& m);
Vector4 D3DXVec4Transform(const Vector4& v, const Matrix& m);
// (v, 1) x m, all four components.
Vector4 D3DXVec3Transform(const Vector3& v, const Matrix& m);

Matrix D3DXMatrixIdentity();
// a x b: a is applied first.
Matrix D3DXMatrixMultiply(const Matrix& a, const Matrix& b);
// False (and the output left alone) when the matrix is singular.
bool D3DXMatrixInverse(Matrix* out, float* determinant, const Matrix& m);
Matrix D3DXMatrixTranspose(const Matrix& m);
Matrix D3DXMatrixTranslation(float x, float y, float z);
Matrix D3DXMatrixScaling(float x, float y, float z);
Matrix D3DXMatrixRotationZ(float angle);
// Roll about z, then pitch about x, then yaw about y.
Matrix D3DXMatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
Matrix D3DXMatrixLookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up);
Matrix D3DXMatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
Matrix D3DXMatrixOrthoLH(float width, float height, float zNear, float zFar);
Matrix D3DXMatrixRotationQuaternion(const Quaternion& q);

// The rotation of a matrix whose upper 3x3 part is a rotation.
Quaternion D3DXQuaternionRotationMatrix(const Matrix& m);
// The turn by the angle about the axis (made unit length), as D3DXMatrixRotationQuaternion
// turns it: a positive angle about z takes x towards y.
Quaternion D3DXQuaternionRotationAxis(const Vector3& axis, float angle);
// Along the shorter arc; t outside 0..1 extrapolates.
Quaternion D3DXQuaternionSlerp(const Quaternion& a, const Quaternion& b, float t);

// Divides the plane by the length of its normal; a zero normal gives a zero plane.
Plane D3DXPlaneNormalize(const Plane& p);
float D3DXPlaneDotCoord(const Plane& p, const Vector3& v);
// The plane through the point with the normal (kept as given, not made unit length).
Plane D3DXPlaneFromPointNormal(const Vector3& point, const Vector3& normal);
// Where the line through a and b (not only the segment) meets the plane; false, and the output
// left alone, when the line runs parallel to it (or a and b coincide).
bool D3DXPlaneIntersectLine(Vector3* out, const Plane& p, const Vector3& a, const Vector3& b);

// Whether the ray from the position along the direction meets the box (a ray starting inside
// does).
bool D3DXBoxBoundProbe(const Vector3& min, const Vector3& max, const Vector3& rayPosition,
                       const Vector3& rayDirection);

} // namespace d3dx
