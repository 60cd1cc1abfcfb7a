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

#include <assimp/cimport.h>
#include <assimp/material.h>

#include <string>

namespace d3dx
{

// Assimp's calls for reading a file in memory, each with the name and type of Assimp's function
// of that name. The program does not link Assimp, its largest library: the library opens at the
// first ".x" file, not at every start.
#define D3DX_ASSIMP_CALLS(CALL)                                                                              \
    CALL(aiImportFileFromMemory)                                                                             \
    CALL(aiReleaseImport)                                                                                    \
    CALL(aiGetMaterialColor)                                                                                 \
    CALL(aiGetMaterialFloatArray)                                                                            \
    CALL(aiGetMaterialTexture)

struct AssimpCalls
{
#define D3DX_ASSIMP_FIELD(name) decltype(&::name) name = nullptr;
    D3DX_ASSIMP_CALLS(D3DX_ASSIMP_FIELD)
#undef D3DX_ASSIMP_FIELD
};

// The file name of Assimp's library, for the major version the headers describe.
extern const char* const assimpLibrary;

// Opens the library by file name and finds its calls; false, with the library's name and what
// failed as the problem, when it cannot be opened or lacks a call. A library whose calls were
// found stays open.
bool LoadAssimp(const char* library, AssimpCalls& calls, std::string& problem);

// The frame tree of a ".x" file in memory, built through the allocator; with several top-level
// frames, the first is the root and the others its siblings. A frame's mesh container gets its
// skin information when the file has skin weights for it (bones in the order the file first
// names them). Files with animation sets give a controller (else null) holding every set, with
// two tracks, the first set on track 0 (enabled), and the frames' matrices registered as its
// outputs. Files Assimp cannot read fail with D3DXERR_INVALIDDATA, as do trees nested deeper
// than 256 frames; without Assimp's library every file fails with D3DERR_NOTAVAILABLE (the
// first says why on the standard error).
HRESULT D3DXLoadMeshHierarchyFromXInMemory(const void* data, uint32_t size, uint32_t options,
                                           d3d9::Device* device, AllocateHierarchy* allocator, Frame** root,
                                           AnimationController** controller);

// Every mesh of a ".x" file joined into one mesh, each placed by its frames' matrices; attribute
// ids count the materials of the whole file in order.
HRESULT D3DXLoadMeshFromXA(const char* fileName, uint32_t options, d3d9::Device* device, Mesh** mesh);

} // namespace d3dx
