#include "d3dx/D3dxMath.h"

#include <algorithm>
#include <cmath>

namespace d3dx
{

float D3DXVec3Dot(const Vector3& a, const Vector3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float D3DXVec3Length(const Vector3& v)
{
    return std::sqrt(D3DXVec3Dot(v, v));
}

Vector3 D3DXVec3Cross(const Vector3& a, const Vector3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

Vector3 D3DXVec3Normalize(const Vector3& v)
{
    const float length = D3DXVec3Length(v);
    return length > 0.0f ? v * (1.0f / length) : Vector3{};
}

Vector4 D3DXVec4Transform(const Vector4& v, const Matrix& m)
{
    const float in[4] = {v.x, v.y, v.z, v.w};
    float out[4] = {};
    for (int column = 0; column < 4; ++column)
        for (int row = 0; row < 4; ++row)
            out[column] += in[row] * m.m[row][column];
    return {out[0], out[1], out[2], out[3]};
}

Vector3 D3DXVec3TransformCoord(const Vector3& v, const Matrix& m)
{
    const Vector4 r = D3DXVec4Transform({v.x, v.y, v.z, 1.0f}, m);
    const float inv = r.w != 0.0f ? 1.0f / r.w : 0.0f;
    return {r.x * inv, r.y * inv, r.z * inv};
}

Vector4 D3DXVec3Transform(const Vector3& v, const Matrix& m)
{
    return D3DXVec4Transform({v.x, v.y, v.z, 1.0f}, m);
}

Matrix D3DXMatrixIdentity()
{
    return Matrix{};
}

Matrix D3DXMatrixMultiply(const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            r.m[i][j] = sum;
        }
    return r;
}

bool D3DXMatrixInverse(Matrix* out, float* determinant, const Matrix& matrix)
{
    // Cofactors in double precision; the 2x2 sub-determinants of the top and bottom row pairs
    // are shared between them.
    double m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = matrix.m[i / 4][i % 4];
    const double s0 = m[0] * m[5] - m[4] * m[1], s1 = m[0] * m[6] - m[4] * m[2];
    const double s2 = m[0] * m[7] - m[4] * m[3], s3 = m[1] * m[6] - m[5] * m[2];
    const double s4 = m[1] * m[7] - m[5] * m[3], s5 = m[2] * m[7] - m[6] * m[3];
    const double c5 = m[10] * m[15] - m[14] * m[11], c4 = m[9] * m[15] - m[13] * m[11];
    const double c3 = m[9] * m[14] - m[13] * m[10], c2 = m[8] * m[15] - m[12] * m[11];
    const double c1 = m[8] * m[14] - m[12] * m[10], c0 = m[8] * m[13] - m[12] * m[9];
    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (determinant)
        *determinant = float(det);
    if (det == 0.0 || !std::isfinite(det))
        return false;
    const double inv = 1.0 / det;
    const double r[16] = {
        (m[5] * c5 - m[6] * c4 + m[7] * c3) * inv,     (-m[1] * c5 + m[2] * c4 - m[3] * c3) * inv,
        (m[13] * s5 - m[14] * s4 + m[15] * s3) * inv,  (-m[9] * s5 + m[10] * s4 - m[11] * s3) * inv,
        (-m[4] * c5 + m[6] * c2 - m[7] * c1) * inv,    (m[0] * c5 - m[2] * c2 + m[3] * c1) * inv,
        (-m[12] * s5 + m[14] * s2 - m[15] * s1) * inv, (m[8] * s5 - m[10] * s2 + m[11] * s1) * inv,
        (m[4] * c4 - m[5] * c2 + m[7] * c0) * inv,     (-m[0] * c4 + m[1] * c2 - m[3] * c0) * inv,
        (m[12] * s4 - m[13] * s2 + m[15] * s0) * inv,  (-m[8] * s4 + m[9] * s2 - m[11] * s0) * inv,
        (-m[4] * c3 + m[5] * c1 - m[6] * c0) * inv,    (m[0] * c3 - m[1] * c1 + m[2] * c0) * inv,
        (-m[12] * s3 + m[13] * s1 - m[14] * s0) * inv, (m[8] * s3 - m[9] * s1 + m[10] * s0) * inv,
    };
    for (int i = 0; i < 16; ++i)
        out->m[i / 4][i % 4] = float(r[i]);
    return true;
}

Matrix D3DXMatrixTranspose(const Matrix& m)
{
    Matrix r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m.m[j][i];
    return r;
}

Matrix D3DXMatrixTranslation(float x, float y, float z)
{
    Matrix r;
    r.m[3][0] = x;
    r.m[3][1] = y;
    r.m[3][2] = z;
    return r;
}

Matrix D3DXMatrixScaling(float x, float y, float z)
{
    Matrix r;
    r.m[0][0] = x;
    r.m[1][1] = y;
    r.m[2][2] = z;
    return r;
}

Matrix D3DXMatrixRotationZ(float angle)
{
    Matrix r;
    const float c = std::cos(angle), s = std::sin(angle);
    r.m[0][0] = c;
    r.m[0][1] = s;
    r.m[1][0] = -s;
    r.m[1][1] = c;
    return r;
}

Matrix D3DXMatrixRotationYawPitchRoll(float yaw, float pitch, float roll)
{
    Matrix aboutX, aboutY;
    const float cp = std::cos(pitch), sp = std::sin(pitch), cy = std::cos(yaw), sy = std::sin(yaw);
    aboutX.m[1][1] = cp;
    aboutX.m[1][2] = sp;
    aboutX.m[2][1] = -sp;
    aboutX.m[2][2] = cp;
    aboutY.m[0][0] = cy;
    aboutY.m[0][2] = -sy;
    aboutY.m[2][0] = sy;
    aboutY.m[2][2] = cy;
    return D3DXMatrixMultiply(D3DXMatrixMultiply(D3DXMatrixRotationZ(roll), aboutX), aboutY);
}

Matrix D3DXMatrixLookAtLH(const Vector3& eye, const Vector3& at, const Vector3& up)
{
    const Vector3 z = D3DXVec3Normalize(at - eye);
    const Vector3 x = D3DXVec3Normalize(D3DXVec3Cross(up, z));
    const Vector3 y = D3DXVec3Cross(z, x);
    Matrix r;
    const Vector3 axes[3] = {x, y, z};
    for (int column = 0; column < 3; ++column)
    {
        r.m[0][column] = axes[column].x;
        r.m[1][column] = axes[column].y;
        r.m[2][column] = axes[column].z;
        r.m[3][column] = -D3DXVec3Dot(axes[column], eye);
    }
    return r;
}

Matrix D3DXMatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar)
{
    const float ys = 1.0f / std::tan(fovY * 0.5f);
    Matrix r;
    r.m[0][0] = ys / aspect;
    r.m[1][1] = ys;
    r.m[2][2] = zFar / (zFar - zNear);
    r.m[2][3] = 1.0f;
    r.m[3][2] = -zNear * zFar / (zFar - zNear);
    r.m[3][3] = 0.0f;
    return r;
}

Matrix D3DXMatrixOrthoLH(float width, float height, float zNear, float zFar)
{
    Matrix r;
    r.m[0][0] = 2.0f / width;
    r.m[1][1] = 2.0f / height;
    r.m[2][2] = 1.0f / (zFar - zNear);
    r.m[3][2] = zNear / (zNear - zFar);
    return r;
}

Matrix D3DXMatrixRotationQuaternion(const Quaternion& q)
{
    Matrix r;
    r.m[0][0] = 1.0f - 2.0f * (q.y * q.y + q.z * q.z);
    r.m[0][1] = 2.0f * (q.x * q.y + q.z * q.w);
    r.m[0][2] = 2.0f * (q.x * q.z - q.y * q.w);
    r.m[1][0] = 2.0f * (q.x * q.y - q.z * q.w);
    r.m[1][1] = 1.0f - 2.0f * (q.x * q.x + q.z * q.z);
    r.m[1][2] = 2.0f * (q.y * q.z + q.x * q.w);
    r.m[2][0] = 2.0f * (q.x * q.z + q.y * q.w);
    r.m[2][1] = 2.0f * (q.y * q.z - q.x * q.w);
    r.m[2][2] = 1.0f - 2.0f * (q.x * q.x + q.y * q.y);
    return r;
}

Quaternion D3DXQuaternionRotationMatrix(const Matrix& matrix)
{
    const auto& m = matrix.m;
    const float trace = m[0][0] + m[1][1] + m[2][2];
    Quaternion q;
    if (trace > 0.0f)
    {
        const float s = std::sqrt(trace + 1.0f) * 2.0f;
        q = {(m[1][2] - m[2][1]) / s, (m[2][0] - m[0][2]) / s, (m[0][1] - m[1][0]) / s, 0.25f * s};
    }
    else if (m[0][0] > m[1][1] && m[0][0] > m[2][2])
    {
        const float s = std::sqrt(1.0f + m[0][0] - m[1][1] - m[2][2]) * 2.0f;
        q = {0.25f * s, (m[0][1] + m[1][0]) / s, (m[2][0] + m[0][2]) / s, (m[1][2] - m[2][1]) / s};
    }
    else if (m[1][1] > m[2][2])
    {
        const float s = std::sqrt(1.0f + m[1][1] - m[0][0] - m[2][2]) * 2.0f;
        q = {(m[0][1] + m[1][0]) / s, 0.25f * s, (m[1][2] + m[2][1]) / s, (m[2][0] - m[0][2]) / s};
    }
    else
    {
        const float s = std::sqrt(1.0f + m[2][2] - m[0][0] - m[1][1]) * 2.0f;
        q = {(m[2][0] + m[0][2]) / s, (m[1][2] + m[2][1]) / s, 0.25f * s, (m[0][1] - m[1][0]) / s};
    }
    return q;
}

Quaternion D3DXQuaternionRotationAxis(const Vector3& axis, float angle)
{
    const Vector3 v = D3DXVec3Normalize(axis) * std::sin(angle * 0.5f);
    return {v.x, v.y, v.z, std::cos(angle * 0.5f)};
}

Quaternion D3DXQuaternionSlerp(const Quaternion& a, const Quaternion& b, float t)
{
    float cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    const float sign = cosine < 0.0f ? -1.0f : 1.0f;
    cosine *= sign;
    float wa = 1.0f - t, wb = t;
    if (cosine < 0.9999f)
    {
        const float angle = std::acos(cosine);
        const float inv = 1.0f / std::sin(angle);
        wa = std::sin((1.0f - t) * angle) * inv;
        wb = std::sin(t * angle) * inv;
    }
    wb *= sign;
    return {wa * a.x + wb * b.x, wa * a.y + wb * b.y, wa * a.z + wb * b.z, wa * a.w + wb * b.w};
}

Plane D3DXPlaneNormalize(const Plane& p)
{
    const float length = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
    if (length == 0.0f)
        return {};
    const float inv = 1.0f / length;
    return {p.a * inv, p.b * inv, p.c * inv, p.d * inv};
}

float D3DXPlaneDotCoord(const Plane& p, const Vector3& v)
{
    return p.a * v.x + p.b * v.y + p.c * v.z + p.d;
}

Plane D3DXPlaneFromPointNormal(const Vector3& point, const Vector3& normal)
{
    return {normal.x, normal.y, normal.z, -D3DXVec3Dot(point, normal)};
}

bool D3DXPlaneIntersectLine(Vector3* out, const Plane& p, const Vector3& a, const Vector3& b)
{
    const Vector3 direction = b - a;
    const float along = D3DXVec3Dot({p.a, p.b, p.c}, direction);
    if (along == 0.0f)
    {
        return false;
    }
    *out = a + direction * (-D3DXPlaneDotCoord(p, a) / along);
    return true;
}

bool D3DXBoxBoundProbe(const Vector3& min, const Vector3& max, const Vector3& rayPosition,
                       const Vector3& rayDirection)
{
    // The ray's stretch inside each pair of faces, narrowed axis by axis.
    float nearest = -INFINITY, farthest = INFINITY;
    const float low[3] = {min.x, min.y, min.z}, high[3] = {max.x, max.y, max.z};
    const float from[3] = {rayPosition.x, rayPosition.y, rayPosition.z};
    const float along[3] = {rayDirection.x, rayDirection.y, rayDirection.z};
    for (int axis = 0; axis < 3; ++axis)
    {
        if (along[axis] == 0.0f)
        {
            if (from[axis] < low[axis] || from[axis] > high[axis])
            {
                return false;
            }
            continue;
        }
        const float t1 = (low[axis] - from[axis]) / along[axis], t2 = (high[axis] - from[axis]) / along[axis];
        nearest = std::max(nearest, std::min(t1, t2));
        farthest = std::min(farthest, std::max(t1, t2));
    }
    return nearest <= farthest && farthest >= 0.0f;
}

} // namespace d3dx
