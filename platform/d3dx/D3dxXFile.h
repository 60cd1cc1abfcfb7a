// DirectX ".x" files (text, binary or compressed), read through Assimp and handed out the way
// D3DX hands them out: left-handed as the file is, triangles in the file's winding, texture
// coordinates as stored, matrices as row-vector matrices, rotation keys as D3DX quaternions.
//
// Each frame's meshes become one mesh whose faces are sorted by material, the material's place
// in the file as attribute id, with its attribute table; vertices that agree in everything are
// shared. Its declaration has a FLOAT3 POSITION, a FLOAT3 NORMAL when the file gives normals, and
// a FLOAT2 TEXCOORD per set of texture coordinates. Meshes of more than 65,535 vertices get
// 32-bit indices whatever the options say. A material no face uses is not counted.
#pragma once

#include "d3dx/D3dxFrame.h"

namespace d3dx
{

// The frame tree of a ".x" file in memory, built through the allocator; with several top-level
// frames, the first is the root and the others its siblings. A frame's mesh container gets its
// skin information when the file has skin weights for it (bones in the order the file first
// names them). Files with animation sets give a controller (else null) holding every set, with
// two tracks, the first set on track 0 (enabled), and the frames' matrices registered as its
// outputs. Files Assimp cannot read fail with D3DXERR_INVALIDDATA, as do trees nested deeper
// than 256 frames.
HRESULT D3DXLoadMeshHierarchyFromXInMemory(const void* data, uint32_t size, uint32_t options,
                                           d3d9::Device* device, AllocateHierarchy* allocator, Frame** root,
                                           AnimationController** controller);

// Every mesh of a ".x" file joined into one mesh, each placed by its frames' matrices; attribute
// ids count the materials of the whole file in order.
HRESULT D3DXLoadMeshFromXA(const char* fileName, uint32_t options, d3d9::Device* device, Mesh** mesh);

} // namespace d3dx
