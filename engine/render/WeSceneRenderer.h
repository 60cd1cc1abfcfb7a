// The scene renderer turns a scene and a camera into draw calls in two steps: Prepare collects
// the visible actors' pieces into six ordered lists through the render queue, Render draws the
// lists pass by pass (background, outlined solid, solid, alpha, last) with the special renderers
// between them. The reflection renderer runs both steps once per face of a cube target from a
// camera of its own, every few frames; reflective materials sample that cube. One global object
// each: `sceneRenderer`, `reflectionRenderer`.
#pragma once

#include "WeBaseRenderer.h"
#include "WeCamera.h"
#include "WeRenderQueue.h"

#include <cstdint>
#include <memory>
#include <set>
#include <vector>

class WeActor;
class WeBaseModel;
class WeMaterial;
class WeMesh;
class WeRenderTarget;
class WeScene;
class WeShader;
class WeTexture;

namespace d3d9
{
class BaseTexture;
class VertexDeclaration;
} // namespace d3d9

class WeSceneRenderer : public WeBaseRenderer
{
public:
    // The steps a pass switch turns off while not above 0.
    enum PassSwitch : int32_t
    {
        velocitySwitch,
        backgroundSwitch,
        outlineSwitch,
        solidSwitch,
        projectorSwitch,
        alphaSwitch,
        lastSwitch,
        flareSwitch,
        spareSwitch,
        switchCount
    };
    // The ordered lists; the first holds every solid item (for shadow maps).
    enum List : int32_t
    {
        solidList,
        solidPlainList,
        solidOutlinedList,
        backgroundList,
        alphaList,
        lastList,
        listCount
    };
    // The drawing passes in Render's order, by the numbers the scripts know; the projector pass
    // draws no list.
    enum Pass : int32_t
    {
        backgroundPass = 1,
        outlinedPass = 2,
        solidPass = 3,
        projectorPass = 4,
        alphaPass = 5,
        lastPass = 6,
        passCount
    };
    // Items a multi-pass effect remembers for its further passes.
    static constexpr int32_t replayLimit = 65536;

    WeSceneRenderer() = default;
    ~WeSceneRenderer() override;

    bool Init() override;
    void Shutdown() override;
    // Releases the two vertex declarations; OnResetDevice makes them again.
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Collects what the camera sees of the scene into the lists, which are emptied first.
    void Prepare(WeScene* scene, WeCamera* camera);
    // Draws the lists of the last Prepare.
    void Render();
    // Draws the pass's list; the projector pass only restores the states a list leaves. Nothing
    // for a number outside the passes.
    void RenderPass(int32_t pass);
    // The item's own values to the effect: world matrices, the actor's scale, the camera's
    // rotation, the material colour tinted by the model, the texture animation at the actor's
    // age, the actor's light map (sampler 7) and a skinned frame's bone matrices.
    void SetupItem(WeShader* effect, const WeRenderItem& item);
    // Whether the model is a frame of an animated model whose mesh has bones.
    static bool IsSkinned(const WeBaseModel* model);
    // A skinned frame's bone matrices to the effect; nothing for other models.
    static void SetBones(WeShader& effect, const WeBaseModel* model);
    // The vertex declaration the mesh draws with.
    d3d9::VertexDeclaration* DeclarationFor(const WeMesh& mesh) const;
    // Whether Prepare hands the actor to the queue: active, shown, within the view grown by
    // the margin, and, while reflecting, with no reflective surface in its sets.
    bool Collects(const WeActor& actor, float margin) const;

    // The list a material pass files into (-1 for passes that are not queued); outlined picks
    // the outlined solid list.
    static int32_t ListOfMaterialPass(int32_t materialPass, bool outlined);

    // Warm-ups. A driver may make the code of a program for each state it is first drawn in,
    // at that draw; a warm-up has it done in a frame nobody sees instead of one that is shown.
    // While one runs the passes draw only items of a look no pass has drawn before (the first
    // always, the others until its milliseconds are spent); the other renderers draw as ever.
    // Every look drawn is remembered, in warm-ups and frames alike, until the device is lost.
    // With holdLit, items of lit materials wait: lights still to come would change their looks.
    void BeginWarmUp(double milliseconds, bool holdLit);
    // Ends it; whether it drew every new look it met, so that a next one would draw none.
    bool EndWarmUp();
    // Looks that frames outside warm-ups drew first, since the count was last zeroed.
    int32_t coldLooks = 0;

    bool initialised = false;
    int32_t passSwitch[switchCount] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
    d3d9::VertexDeclaration* meshDeclaration = nullptr;    // the 52-byte mesh vertex
    d3d9::VertexDeclaration* skinnedDeclaration = nullptr; // the same with weights and bones
    WeScene* scene = nullptr;
    WeCamera* camera = nullptr;
    WeRenderList lists[listCount];

private:
    // What the pass last set, so that each change is made only when it differs.
    struct PassState
    {
        WeShader* effect = nullptr;
        int32_t techniqueMask = 0;
        const WeMaterial* material = nullptr;
        int32_t srcBlend = -1, destBlend = -1;
        int32_t alphaReference = -1;
        bool ownFogStored = false;
        bool refractive = false;
        int32_t materialPass = 0;
        d3d9::VertexDeclaration* declaration = nullptr;
        d3d9::BaseTexture* textures[16] = {};
    };

    void SetPassStates(int32_t pass);
    // Begins the item's effect and technique when they differ from the current ones, first
    // finishing the current effect.
    void SwitchEffect(const WeRenderItem& item);
    // The further passes of a multi-pass effect over the items drawn with it, then its end.
    void FinishEffect();
    void DrawItem(const WeRenderItem& item);
    // The mesh subset, twice for a two-sided alpha material (back faces first).
    void DrawGeometry(const WeRenderItem& item);
    void SetDeclaration(d3d9::VertexDeclaration* declaration);
    void SetupMaterial(const WeMaterial& material, int32_t techniqueMask);
    void SetupRefraction(const WeMaterial& material);
    void SetAlphaReference(const WeRenderItem& item);
    // The alpha test's reference for the item: its material's, moved by its model's offset in
    // the actor's own set.
    static int32_t AlphaReference(const WeRenderItem& item);
    // The material colour, tinted by the model where its set tints the subset.
    static void ItemColour(const WeRenderItem& item, float colour[4]);
    // How many ordered items from the first draw as one instanced draw (1: the item alone).
    size_t RunLength(size_t first) const;
    // Whether b draws as a, but for its world matrix.
    static bool DrawsAlike(const WeRenderItem& a, const WeRenderItem& b);
    void CountDrawn(int32_t pass) const;
    void SetSamplerDefaults() const;
    // How far beyond the view's planes this frame's shadow lights reach (never below 0).
    float ShadowMargin() const;

    // A run of items of one key in a list.
    struct Group
    {
        size_t first = 0;
        size_t count = 0;
        float depth = 0.0f; // the mean view depth of the items' actors
    };
    // Empties the list into `ordered` by key; in the solid passes the runs of one key go nearest
    // first, so that opaque pixels behind a nearer group are never shaded, each ordered by mesh,
    // subset and lights so that instanced draws take long runs.
    void OrderItems(int32_t pass, WeRenderList& list);
    float CentreDepth(const WeRenderItem& item) const;

    static constexpr int32_t textureSlots = 16; // a material's
    // What decides the program and the states of an item's draw, as far as a driver's code for
    // it goes: its effect and technique, its pass and blending, the formats of its textures,
    // its geometry's layout, instancing and whether it is drawn into the reflection cube.
    struct Look
    {
        const WeShader* effect = nullptr;
        int32_t techniqueMask = 0;
        int32_t pass = 0;
        int32_t srcBlend = 0, destBlend = 0;
        bool refractive = false;
        uint64_t textures[textureSlots] = {}; // format and kind of each slot's texture
        uint64_t lightMap = 0;
        const d3d9::VertexDeclaration* geometry = nullptr;
        bool instanced = false;
        bool reflecting = false;
        auto operator<=>(const Look&) const = default;
    };
    Look LookOf(const WeRenderItem& item, int32_t pass, bool instanced) const;
    // Whether the pass draws the item: its look remembered, and in a warm-up only a new look.
    bool Admits(const WeRenderItem& item, int32_t pass, bool instanced);

    struct WarmUp
    {
        bool running = false;
        double deadline = 0.0; // the timer's seconds
        int32_t drawn = 0;     // new looks
        bool incomplete = false;
        bool holdLit = false;
    };

    PassState state;
    WarmUp warmUp;
    std::set<Look> drawnLooks;
    std::vector<const WeRenderItem*> replay; // the items drawn so far with a multi-pass effect
    std::vector<WeRenderItem*> ordered;      // the pass's items in drawing order
    std::vector<WeRenderItem*> byKey;
    std::vector<Group> groups;
};

// The faces of a cube target in face order (+X, -X, +Y, -Y, +Z, -Z): where a camera drawing
// the face looks, and its up direction.
struct WeCubeFace
{
    WeVector look, up;
};
inline constexpr WeCubeFace cubeFaces[6] = {
    {{1, 0, 0}, {0, 1, 0}},  {{-1, 0, 0}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, -1}},
    {{0, -1, 0}, {0, 0, 1}}, {{0, 0, 1}, {0, 1, 0}},  {{0, 0, -1}, {0, 1, 0}},
};

class WeReflectionRenderer : public WeBaseRenderer
{
public:
    static constexpr int32_t levelCount = 4;
    static constexpr uint32_t edges[levelCount] = {4, 4, 32, 64};
    static constexpr int32_t intervals[levelCount] = {0, 0, 6, 3};

    WeReflectionRenderer() = default;
    ~WeReflectionRenderer() override;

    bool Init() override { return true; }
    // OnLostDevice, then the camera goes.
    void Shutdown() override;
    // Destroys the cube target and the texture object.
    void OnLostDevice() override;
    // From level 2 on, a cube target of the level's edge (level 1 when it cannot be made); a new
    // texture object for the cube, which reflective materials sample.
    void OnResetDevice() override;
    // Stores the level, makes the device objects and the cube camera; true.
    bool InitLevel(int32_t newLevel);
    // Only stores the level.
    void SetLevel(int32_t newLevel) { level = newLevel; }
    void Prepare() {}
    // Every few frames by level, the six faces of the cube from the camera's position, each with
    // the background and solid passes only; none while the scene drew no reflective material in
    // its last frame (the frame after one shows again makes the cube at once).
    void Render(WeScene* scene, WeCamera* sceneCamera);
    // After the scene's own view was prepared: whether it draws a reflective material.
    void NoteReflectiveItems(const WeScene* scene, const WeRenderList* lists, int32_t listCount);

    WeRenderTarget* cubeTarget = nullptr;
    std::unique_ptr<WeTexture> cubeTexture;
    std::unique_ptr<WeCamera> camera;
    int32_t level = 2;
    int32_t frameCounter = 100;
    bool reflecting = false;
    // The scene last prepared when it drew no reflective material, which needs no cube.
    const WeScene* unreflectiveScene = nullptr;

private:
    // Lowers (or raises) every pass switch but background and solid.
    void ShiftSwitches(int32_t by) const;
    int32_t ClampedLevel() const;
};

extern WeSceneRenderer sceneRenderer;
extern WeReflectionRenderer reflectionRenderer;
