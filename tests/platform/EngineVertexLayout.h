// The engine's 52-byte mesh vertex and its declaration, as the mesh tests build and clone meshes
// in it.
#pragma once

#include "d3d9/D3d9Types.h"

struct EngineVertex
{
    float position[3];
    float normal[3];
    float uv[2];
    float tangent[3];
    float uv1[2];
};
static_assert(sizeof(EngineVertex) == 52);

inline constexpr d3d9::VertexElement engineLayout[] = {
    {0, 0, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_POSITION, 0},
    {0, 12, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_NORMAL, 0},
    {0, 24, d3d9::D3DDECLTYPE_FLOAT2, 0, d3d9::D3DDECLUSAGE_TEXCOORD, 0},
    {0, 32, d3d9::D3DDECLTYPE_FLOAT3, 0, d3d9::D3DDECLUSAGE_TANGENT, 0},
    {0, 44, d3d9::D3DDECLTYPE_FLOAT2, 0, d3d9::D3DDECLUSAGE_TEXCOORD, 1},
    d3d9::D3DDECL_END};
