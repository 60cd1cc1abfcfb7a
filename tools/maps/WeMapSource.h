// The text source of a map and the map file made from it. A source holds one statement a line
// ('#' starts a comment):
//   ambient <r> <g> <b>                    the scene's ambient colour
//   background <r> <g> <b>                 the clear colour
//   sky <r> <g> <b> <r> <g> <b>            the flat sky, top colour to bottom colour
//   cubesky <r g b> <r g b> <r g b>        a cube sky instead: zenith, horizon and ground colours,
//                                          with a sun and drifting clouds
//   skydome <model>                        the sky drawn on the model's dome, kept around the
//                                          camera, instead of over the whole view: only where the
//                                          dome shows, none where a view looks down at the ground.
//                                          The model's material takes the map's sky texture: the
//                                          flat sky's rows from the dome's top to its rim, or the
//                                          cube sky's colours laid on the dome (see SkyDomeImage)
//   camera <name> <x y z> <target x y z> <fov radians>
//   mesh <name> <model> <x y z> [yaw <degrees>] [scale <x y z>] [preset <n>] [animation <name>]
//        [lightmap <size> <x0 z0 x1 z1 y>]   a light map baked over the rectangle of the plane at
//                                            height y that the mesh's second texture coordinates
//                                            span, u along x and v along z
//        [physic <type>] [mass <kg>] [group <n>] [shapeflags <n>] [awake]
//                                          its physic model: the type (0-9), the mass, the group
//                                          and shape flags as saved (0-65535), awake at the start
//        [teleport <target>]                a teleport to the actor of that name
//   light <name> <x y z> <range> <r g b> <intensity> [vertex]
//   state <seconds> <intensity>            a key state of the light above
//   interpolate                            the light above blends from state to state
//   shadows                                the light above casts shadows on every side
//   corona <texture> <size>                the light above glows with the texture, its size a
//                                          share of the screen's height
//   flares <texture> <size> <strength>     the light above throws five lens flares of the
//                                          texture, their size a share of the screen's height,
//                                          their opacity the strength (0 to 1)
//   projector <material> <target x y z> <cone degrees>
//                                          the light above becomes a spot projector throwing the
//                                          material's first texture towards the target, lighting
//                                          nothing else (no light map either)
//   portal <name> <x y z> <width> <height> [yaw <degrees>]
//   path <number> <x y z> [fork <first of branch A> <first of B> | join <last of A> <last of B>]
//                                          a path node, plain unless it forks or joins
// The map file holds what the engine reads: file version 1, a version-24 scene config, a
// version-2 sky box naming the sky texture (flat or cube), then every actor saved through its own
// Save.
#pragma once

#include "WeCamera.h"
#include "WeColor.h"
#include "WeDdsWriter.h"
#include "physics/WePhysicModel.h"

#include <cstdint>
#include <string>
#include <vector>

struct WeMapMesh
{
    std::string name, model, animation;
    WeVector position;
    float yawDegrees = 0.0f;
    WeVector scale{1.0f, 1.0f, 1.0f};
    int32_t preset = 0;
    int32_t lightMapSize = 0;   // 0: no light map
    float lightMapRect[4] = {}; // x0, z0, x1, z1
    float lightMapHeight = 0.0f;
    WePhysicModel physic;
    std::string teleportTarget; // none when empty
};

struct WeMapLight
{
    struct State
    {
        float duration, intensity;
    };
    std::string name;
    WeVector position;
    float range = 10.0f;
    WeColor colour{1.0f, 1.0f, 1.0f, 1.0f};
    float intensity = 1.0f;
    bool vertexOnly = false;
    bool interpolate = false;
    bool castShadows = false;  // on every face of its cube
    std::string coronaTexture; // none when empty
    float coronaSize = 0.1f;   // share of the screen
    std::string flareTexture;  // none when empty
    float flareSize = 0.5f;
    float flareStrength = 1.0f;
    std::string projectorMaterial; // a plain light when empty
    WeVector projectorTarget;
    float coneDegrees = 45.0f;
    std::vector<State> states;
};

struct WeMapPortal
{
    std::string name;
    WeVector position;
    float width = 10.0f, height = 10.0f;
    float yawDegrees = 0.0f;
};

struct WeMapPathNode
{
    int32_t number = 1;
    WeVector position;
    int32_t kind = 0; // plain, 1 fork, 2 join
    int32_t branches[2] = {};
};

struct WeMapCamera
{
    std::string name;
    WeVector position, target;
    float fov = 0.8f;
};

class WeMapSource
{
public:
    // False, with the line and the reason in GetLastError, for a statement it does not know or
    // whose values are missing or not numbers.
    bool Parse(const std::string& text);
    // The flat sky: the top colour blending into the bottom colour down the image.
    WeDdsImage Sky(uint32_t width, uint32_t height) const;
    // The cube sky: zenith to horizon above, horizon to ground below, a sun, and clouds above.
    WeDdsCube CubeSky(uint32_t edge) const;
    // The sky texture of a dome: the flat sky, or the cube sky's colours in the directions of the
    // dome's texture coordinates.
    WeDdsImage SkyDomeImage(uint32_t width, uint32_t height) const;
    // The light the map's lights throw on the mesh's light-map rectangle (facing up): ARGB texels,
    // rows along z; falloff (1 - distance / range) squared, times the angle to the light.
    std::vector<uint32_t> BakeLightMap(const WeMapMesh& mesh) const;
    // Writes the map file, its sky box naming the texture (the dome's model when it has one).
    // Needs a render device for the light maps' textures.
    bool Write(const std::string& path, const std::string& skyTexture);

    const std::string& GetLastError() const { return lastError; }

    WeColor ambient{0.3f, 0.3f, 0.3f, 1.0f};
    WeColor background{0.0f, 0.0f, 0.0f, 1.0f};
    WeColor skyTop{0.3f, 0.5f, 0.8f, 1.0f};
    WeColor skyBottom{0.8f, 0.8f, 0.9f, 1.0f};
    bool cubeSky = false;
    WeColor skyZenith{0.2f, 0.4f, 0.8f, 1.0f};
    WeColor skyHorizon{0.8f, 0.85f, 0.9f, 1.0f};
    WeColor skyGround{0.3f, 0.3f, 0.3f, 1.0f};
    std::string skyDome; // the dome's model, none when empty
    std::vector<WeMapMesh> meshes;
    std::vector<WeMapLight> lights;
    std::vector<WeMapCamera> cameras;
    std::vector<WeMapPortal> portals;
    std::vector<WeMapPathNode> pathNodes;

private:
    bool Fail(int32_t line, const std::string& reason);
    // The cube sky's colour in the direction.
    WeColor CubeSkyColour(const WeVector& direction) const;

    std::string lastError;
};
