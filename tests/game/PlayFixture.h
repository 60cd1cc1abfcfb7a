// What the play's tests load besides the level: the block models, meshes, materials and
// textures, freed as the engine's shut-down frees them.
#pragma once

#include "MivoPlayGamePhase.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeModel.h"
#include "WeTexture.h"

// The play's run-time block materials first: the meshes hold them.
inline void MivoFreeLevelResources()
{
    playGamePhase.blockMaterials.clear();
    modelManager.FreeAll();
    meshManager.FreeAll(true);
    materialManager.FreeAll(true);
    textures.FreeAll(true);
}
