// The OpenGL 3.3 core back end on an SDL window. Render targets are framebuffer objects whose row
// 0 is the top row, so Direct3D's top-left coordinates (viewport, scissor, texture rows,
// read-back) hold unchanged; every vertex stage flips clip-space y, maps depth 0..1 to GL's
// -1..1 and moves vertices by half a pixel to put pixel centres where Direct3D has them.
// A back buffer of the window's size and samples is the window itself, whose row 0 is the
// bottom one: its clip space is turned over (clip control) and rectangles and read rows are
// turned on the way (a multisampled window is read resolved). A frame drawn wholly into the
// window is then one pass the driver overlaps with the next frame's, where one drawn into a
// texture and copied to the window is two, which a software rasteriser runs one after the other.
// Clip planes are the vertex code's own: a plane that D3DRS_CLIPPLANEENABLE turns on keeps where
// the code's gl_ClipDistance of its number is at least 0, so that a pass can leave out everything
// beyond planes of its own before a pixel of it is rasterised.
// A program is linked for each pair of vertex and pixel shader drawn together (the built-in
// stages standing in for missing ones) and kept until one of its shaders goes. Stages without a
// 2D texture sample a white texel.
#pragma once

#include "d3d9/D3d9Backend.h"

#include <array>
#include <epoxy/gl.h>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace d3d9
{

// Asks SDL for the window depth-stencil buffer a D24S8 surface of the window's size can live in
// while drawing into the window, and for the samples a multisampled back buffer (0 for none)
// drawn straight into it has; call before creating the window. Without it such a surface, or
// a back buffer of other samples than the window's, makes the back buffer leave the window for
// a texture or renderbuffer of its own.
void RequestWindowDepthStencil(int samples = 0);

class GlBackend : public Backend
{
public:
    explicit GlBackend(WindowHandle window);
    ~GlBackend() override;

    HRESULT Open(const PresentParameters& parameters, Surface& backBuffer) override;
    HRESULT Reset(const PresentParameters& parameters, Surface& backBuffer) override;
    bool CreateStorage(Surface& surface) override;
    bool CreateStorage(BaseTexture& texture) override;
    bool CreateStorage(Buffer& buffer) override;
    bool CreateStorage(Shader& shader) override;
    void DestroyStorage(Resource& resource) override;
    void Upload(Surface& surface) override;
    void Download(Surface& surface) override;
    void Upload(Buffer& buffer, uint32_t offset, uint32_t size) override;
    void Upload(VolumeTexture& texture, uint32_t level) override;
    void Clear(const DeviceState& state, uint32_t flags, D3DCOLOR color, float z, uint32_t stencil) override;
    void Draw(const DeviceState& state, const DrawCall& call) override;
    void Copy(Surface& source, const Rect& from, Surface& dest, const Rect& to, bool linear) override;
    HRESULT Present(Surface& backBuffer) override;
    std::string LastProblem() const override { return problem; }

    GlBackend(const GlBackend&) = delete;
    GlBackend& operator=(const GlBackend&) = delete;

private:
    // A uniform that takes a shader constant.
    struct Uniform
    {
        uint32_t constant = 0;
        GLint location = -1;
        GLenum type = GL_FLOAT;
        GLint size = 1;
        uint64_t stamp = 0; // of the constant value last uploaded
    };
    // The values of the uniforms the layer itself sets, as a program last took them.
    struct FixedValues
    {
        Matrix worldView;
        Matrix projection;
        GLint pretransformed = 0, hasColor = 0, colorOp = 0, alphaOp = 0, alphaFunc = 0, fog = 0,
              clipPlanes = 0;
        float alphaRef = 0.0f;
        std::array<float, 4> viewport = {};
        std::array<float, 4> fogColor = {};
        std::array<float, 2> fogRange = {};
        std::array<float, 2> fragRows = {};
    };
    struct Program
    {
        GLuint name = 0;
        std::vector<Uniform> uniforms;
        bool fixedKnown = false;
        FixedValues fixed;
        GLint worldView = -1;
        GLint projection = -1;
        GLint pretransformed = -1;
        GLint viewport = -1;
        GLint hasColor = -1;
        GLint colorOp = -1;
        GLint alphaOp = -1;
        GLint alphaFunc = -1;
        GLint alphaRef = -1;
        GLint fog = -1;
        GLint fogColor = -1;
        GLint fogRange = -1;
        GLint fragRows = -1;
        GLint clipPlanes = -1; // only in programs whose vertex code writes clip distances
    };
    void ApplyPresentation(const PresentParameters& parameters);
    GLsizei Samples(MultisampleType type) const;
    bool BindTargets(const DeviceState& state);
    // The back buffer drawn straight into the window: one of the window's size and samples, of
    // a format the window holds, the window having a depth-stencil buffer.
    bool FitsWindow(const Surface& backBuffer) const;
    bool InWindow(const Surface& surface) const { return windowTarget != 0 && surface.Id() == windowTarget; }
    // Whether the window's depth-stencil buffer can stand for the surface while drawing there.
    bool WindowHoldsDepth(const Surface& depthStencil) const;
    // The draw's targets as the window allows them: the back buffer goes to a texture when it is
    // bound beside other targets, or with a depth-stencil the window cannot hold that the draw
    // uses (touched; overwritten by a clear of all of it).
    void SettleTargets(const DeviceState& state, bool depthTouched, bool depthOverwritten);
    // Moves the depth-stencil's contents to where the draw reads it: the window's buffer when
    // drawing into the window, its own renderbuffer otherwise.
    void PlaceDepth(const Surface& depthStencil, bool intoWindow, bool overwritten);
    // Copies the depth-stencil's contents between its renderbuffer and the window, turned over.
    void CopyDepth(const Surface& depthStencil, bool intoWindow);
    // The back buffer leaves the window for a texture of its own, taking what was drawn with it.
    void MoveToTexture(Surface& backBuffer);
    // The GL row of the bound target where a band of rows starting at Direct3D's row `top` starts.
    GLint FirstRow(int32_t top, int32_t height) const;
    // The GL row boundary of Direct3D's row boundary `y` in the surface.
    GLint RowEdge(const Surface& surface, int32_t y) const;
    void Attach(GLenum target, GLenum attachment, const Surface* surface);
    // Whether the surface lives in a texture laid out as the window's pixels (B8G8R8A8) rather
    // than in a renderbuffer: the single-sampled 32-bit back buffer, which Present then copies to
    // the window byte for byte instead of converting every pixel.
    bool InWindowLayout(const Surface& surface) const;
    // Whether the surface is a back buffer of the window's pixel format (B8G8R8A8).
    static bool WindowPixels(const Surface& surface);
    // Draws into that back buffer always have a depth-stencil attached, an unused one of its own
    // when the device has none set: llvmpipe's linear rasteriser, which it takes only without
    // one, writes constant colours to B8G8R8A8 targets with red and blue swapped.
    void AttachSpareDepth(const Surface& backBuffer);
    // Binds the framebuffer the surface is read from as it is: the window for the back buffer
    // drawn there, whose rows run bottom up.
    GLuint BindForReading(const Surface& surface);
    // A framebuffer to read the surface from, multisampling resolved (rows as the surface has
    // them: bottom up for the back buffer drawn into the window).
    GLuint ReadableFramebuffer(const Surface& surface);
    // Copies the bound read framebuffer, of the surface's size, into the window upside down (its
    // row 0 at the bottom), scaled to the window's size.
    void BlitToWindow(int width, int height, const SurfaceDesc& desc, GLenum filter);
    // The back buffer, of the window's size, straight into the window, resolving it when
    // multisampled; false when the driver refused the blit (the window is left as it was).
    bool BlitBackBuffer(const Surface& backBuffer, int width, int height);
    // Hands the frame to the driver and waits for the one before it: the next frame's drawing
    // overlaps this one's rasterising but runs no further ahead, as Direct3D queues few frames
    // (swapping an off-screen window waits for nothing, and without the flush starts nothing).
    void Swap();
    // Forgets the draw framebuffer binding and the render states applied, after anything else
    // bound a framebuffer or changed the scissor or write masks.
    void ForgetDrawState();
    void ApplyRenderStates(const DeviceState& state);
    // Sampler objects and texture bindings change only where the stage's state did.
    void ApplySamplers(const DeviceState& state);
    void ApplySampler(GLuint sampler, const uint32_t* samplerStates);
    bool ApplyProgram(const DeviceState& state, bool instanced);
    void UploadFixed(const DeviceState& state, Program& linked);
    void UploadConstants(const DeviceState& state, Program& linked);
    // Binds the draw's vertices and indices; attributes are specified again only when their
    // buffer, offset, stride or elements changed.
    void BindVertices(const DeviceState& state, const DrawCall& call);
    // The instances' attributes of an instanced draw, or none after one.
    void BindInstances(const DeviceState& state, bool instanced);
    void SpecifyAttributes(const std::vector<VertexElement>& layout, GLuint buffer, uintptr_t base,
                           GLsizei stride);
    bool MakeBuiltIns();
    // The program of the state's shaders, linked on first use; null when it does not link.
    Program* ProgramFor(const DeviceState& state, bool instanced);
    // The pixel stage of the state's shader, plain (without the alpha test and fog) or whole.
    GLuint PixelStage(const DeviceState& state, bool plain);
    // The vertex stage of the state's shader, reading instances or not.
    GLuint VertexStage(const DeviceState& state, bool instanced);
    // The other compilation of the shader (see Compile), made on first use.
    GLuint Variant(const Shader& shader);

    WindowHandle window;
    void* context = nullptr;
    std::string problem;
    GLint maxSamples = 0;
    bool anisotropic = false;
    bool clipControl = false; // whether clip space can be turned upside down (drawing into the window)
    GLuint builtInVertex = 0;
    GLuint builtInPixel = 0;
    GLuint builtInPlainPixel = 0;
    // By shader ids (0 built-in), whether the pixel stage leaves out the alpha test and fog, and
    // whether the vertex stage reads instances.
    using ProgramKey = std::tuple<uint32_t, uint32_t, bool, bool>;
    std::map<ProgramKey, Program> programs;
    // By shader id: pixel stages without the alpha test and fog, vertex stages that read instances.
    std::map<uint32_t, GLuint> variants;
    GLuint whiteTexture = 0;
    GLuint vertexArray = 0;
    GLuint userBuffer = 0;
    GLuint userIndexBuffer = 0;
    GLuint instanceBuffer = 0;
    static constexpr GLuint firstInstanceLocation = 8;
    GLuint instanceVectors = 0; // the instance attributes enabled
    GLuint drawFramebuffer = 0;
    GLuint readFramebuffer = 0;
    GLuint resolveFramebuffer = 0;
    GLuint copyFramebuffer = 0;
    GLuint resolveRenderbuffer = 0;
    GLuint spareDepth = 0;
    GLsync frameBefore = nullptr; // the fence of the frame presented last
    uint32_t windowTarget = 0;    // the id of the back buffer drawn into the window, 0 for none
    bool windowRefused = false;   // until a reset, after the back buffer had to leave the window
    uint32_t windowWidth = 0, windowHeight = 0;
    GLint windowDepthBits = 0, windowStencilBits = 0, windowSamples = 0;
    const Surface* windowDepth = nullptr; // the depth-stencil the window's buffer holds
    bool windowBound = false;             // the window rather than the framebuffer object is drawn into
    uint32_t spareDepthWidth = 0, spareDepthHeight = 0;
    uint32_t resolveWidth = 0;
    uint32_t resolveHeight = 0;
    bool mirroredResolve = true; // until the driver refuses a multisampled blit upside down
    GLuint samplers[16] = {};
    struct AppliedStage
    {
        bool samplerKnown = false;
        uint32_t samplerStates[D3DSAMP_COUNT] = {};
        GLuint flat = 0; // the 2D, cube and 3D textures bound to the unit
        GLuint cube = 0;
        GLuint volume = 0;
    };
    AppliedStage appliedStages[16];
    bool texturesKnown = false; // false after anything else bound a texture
    uint32_t boundTargets[5] = {};
    bool drawFramebufferBound = false;
    bool targetsComplete = false; // of the bound targets
    // What the last draw applied, so that the next one changes only what differs.
    struct AppliedRenderStates
    {
        uint32_t renderStates[D3DRS_COUNT] = {};
        Viewport viewport;
        Rect scissor;
        bool depthStencil = false;
        bool window = false;

        bool operator==(const AppliedRenderStates&) const = default;
    };
    bool renderStatesKnown = false;
    AppliedRenderStates appliedRenderStates;
    GLuint currentProgram = 0;
    bool clipDistances = false; // the GL clip distances are turned on, for the current program
    // The vertex attributes as last specified: from which buffer, where, and their elements.
    bool verticesKnown = false;
    GLuint attributeBuffer = 0;
    uintptr_t attributeBase = 0;
    GLsizei attributeStride = 0;
    std::vector<VertexElement> attributeLayout;
    uint32_t enabledAttributes = 0; // a bit per location
    GLuint boundIndexBuffer = 0;
    std::vector<uint8_t> decoded; // the pixels of the block level last uploaded
};

} // namespace d3d9
