#include "d3d9/GlBackend.h"

#include "d3d9/BlockDecoder.h"
#include "d3d9/D3d9Device.h"

#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace d3d9
{

namespace
{

struct GlFormat
{
    GLenum internal;
    GLenum format;
    GLenum type;
    GLint swizzle[4];
};

GlFormat FormatOf(Format format)
{
    constexpr GLint r = GL_RED, g = GL_GREEN, b = GL_BLUE, a = GL_ALPHA, one = GL_ONE, zero = GL_ZERO;
    switch (format)
    {
    case D3DFMT_A8R8G8B8:
        return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {r, g, b, a}};
    case D3DFMT_X8R8G8B8:
        return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {r, g, b, one}};
    case D3DFMT_X1R5G5B5:
        return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {r, g, b, one}};
    case D3DFMT_A1R5G5B5:
        return {GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {r, g, b, a}};
    case D3DFMT_R5G6B5:
        return {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {r, g, b, one}};
    case D3DFMT_A4R4G4B4:
        return {GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {r, g, b, a}};
    case D3DFMT_A8:
        return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {zero, zero, zero, r}};
    case D3DFMT_L8:
        return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, {r, r, r, one}};
    case D3DFMT_R16F:
        return {GL_R16F, GL_RED, GL_HALF_FLOAT, {r, one, one, one}};
    case D3DFMT_G16R16F:
        return {GL_RG16F, GL_RG, GL_HALF_FLOAT, {r, g, one, one}};
    case D3DFMT_A16B16G16R16F:
        return {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {r, g, b, a}};
    case D3DFMT_R32F:
        return {GL_R32F, GL_RED, GL_FLOAT, {r, one, one, one}};
    case D3DFMT_D24S8:
        return {GL_DEPTH24_STENCIL8, GL_DEPTH_STENCIL, GL_UNSIGNED_INT_24_8, {r, g, b, a}};
    case D3DFMT_D16:
        return {GL_DEPTH_COMPONENT16, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, {r, g, b, a}};
    // Block formats are stored decoded (see BlockDecoder.h).
    case D3DFMT_DXT1:
    case D3DFMT_DXT3:
    case D3DFMT_DXT5:
        return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {r, g, b, a}};
    default:
        return {0, 0, 0, {r, g, b, a}};
    }
}

GLenum Comparison(uint32_t func)
{
    static const GLenum table[] = {GL_ALWAYS,  GL_NEVER,    GL_LESS,   GL_EQUAL, GL_LEQUAL,
                                   GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return func < 9 ? table[func] : GL_ALWAYS;
}

GLenum BlendFactor(uint32_t blend)
{
    static const GLenum table[] = {GL_ONE,
                                   GL_ZERO,
                                   GL_ONE,
                                   GL_SRC_COLOR,
                                   GL_ONE_MINUS_SRC_COLOR,
                                   GL_SRC_ALPHA,
                                   GL_ONE_MINUS_SRC_ALPHA,
                                   GL_DST_ALPHA,
                                   GL_ONE_MINUS_DST_ALPHA,
                                   GL_DST_COLOR,
                                   GL_ONE_MINUS_DST_COLOR,
                                   GL_SRC_ALPHA_SATURATE};
    return blend < 12 ? table[blend] : GL_ONE;
}

GLenum BlendEquation(uint32_t op)
{
    static const GLenum table[] = {GL_FUNC_ADD, GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT,
                                   GL_MIN,      GL_MAX};
    return op < 6 ? table[op] : GL_FUNC_ADD;
}

GLenum StencilOperation(uint32_t op)
{
    static const GLenum table[] = {GL_KEEP, GL_KEEP,   GL_ZERO,      GL_REPLACE,  GL_INCR,
                                   GL_DECR, GL_INVERT, GL_INCR_WRAP, GL_DECR_WRAP};
    return op < 9 ? table[op] : GL_KEEP;
}

GLenum Primitive(PrimitiveType type)
{
    switch (type)
    {
    case D3DPT_POINTLIST:
        return GL_POINTS;
    case D3DPT_LINELIST:
        return GL_LINES;
    case D3DPT_LINESTRIP:
        return GL_LINE_STRIP;
    case D3DPT_TRIANGLESTRIP:
        return GL_TRIANGLE_STRIP;
    case D3DPT_TRIANGLEFAN:
        return GL_TRIANGLE_FAN;
    case D3DPT_TRIANGLELIST:
        break;
    }
    return GL_TRIANGLES;
}

// The clip planes a draw can turn on.
constexpr GLenum clipPlanes = 6;

// Whether the vertex code writes clip distances (see the vertex epilogue).
bool WritesClipDistances(const std::string& code)
{
    return code.find("gl_ClipDistance") != std::string::npos;
}

// Attribute locations 0 to 8 carry the usages shaders read (see CreateVertexShader).
constexpr GLuint attributeLocations = 9;

// The location of an element's usage, or -1 for a usage no shader reads.
GLint AttributeLocation(const VertexElement& element)
{
    struct Slot
    {
        uint8_t usage;
        uint8_t index;
        GLint location;
    };
    static const Slot slots[] = {
        {D3DDECLUSAGE_POSITION, 0, 0}, {D3DDECLUSAGE_POSITIONT, 0, 0}, {D3DDECLUSAGE_COLOR, 0, 1},
        {D3DDECLUSAGE_TEXCOORD, 0, 2}, {D3DDECLUSAGE_NORMAL, 0, 3},    {D3DDECLUSAGE_TEXCOORD, 1, 4},
        {D3DDECLUSAGE_TEXCOORD, 2, 5}, {D3DDECLUSAGE_TANGENT, 0, 6},   {D3DDECLUSAGE_TEXCOORD, 3, 7},
        {D3DDECLUSAGE_BINORMAL, 0, 8},
    };
    for (const Slot& slot : slots)
    {
        if (slot.usage == element.usage && slot.index == element.usageIndex)
        {
            return slot.location;
        }
    }
    return -1;
}

// The GL target a texture binds to.
GLenum TargetOf(const BaseTexture& texture)
{
    return texture.IsCube() ? GL_TEXTURE_CUBE_MAP : texture.IsVolume() ? GL_TEXTURE_3D : GL_TEXTURE_2D;
}

GLenum Address(uint32_t mode)
{
    switch (mode)
    {
    case D3DTADDRESS_MIRROR:
        return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP:
        return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

GLenum Minification(uint32_t min, uint32_t mip)
{
    const bool linear = min != D3DTEXF_POINT && min != D3DTEXF_NONE;
    switch (mip)
    {
    case D3DTEXF_NONE:
        return linear ? GL_LINEAR : GL_NEAREST;
    case D3DTEXF_POINT:
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    default:
        return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    }
}

void ColorOf(D3DCOLOR color, float out[4])
{
    out[0] = float((color >> 16) & 0xFF) / 255.0f;
    out[1] = float((color >> 8) & 0xFF) / 255.0f;
    out[2] = float(color & 0xFF) / 255.0f;
    out[3] = float(color >> 24) / 255.0f;
}

float FloatOf(uint32_t bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

Matrix Multiply(const Matrix& a, const Matrix& b)
{
    Matrix product;
    for (int row = 0; row < 4; ++row)
    {
        for (int column = 0; column < 4; ++column)
        {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
            {
                sum += a.m[row][k] * b.m[k][column];
            }
            product.m[row][column] = sum;
        }
    }
    return product;
}

// Texture stage operation as the built-in program takes it: 0 vertex colour only, 1 texture
// only, 2 texture times vertex colour.
int StageOperation(uint32_t op)
{
    switch (op)
    {
    case D3DTOP_DISABLE:
        return 0;
    case D3DTOP_SELECTARG1:
        return 1;
    default:
        return 2;
    }
}

// What the layer wraps around every vertex stage: the code's main runs first, then the
// Direct3D clip space (depth 0..1, pixel centres on integer coordinates) becomes GL's.
const char* vertexPrologue = R"(#version 330 core
uniform vec4 we_Viewport;
out float we_FogDepth;
#define main we_EffectMain
)";

// Code that writes clip distances (CLIP_PLANES defined) draws with every plane turned on, and the
// planes the render state leaves off (we_ClipPlanes) keep everything: llvmpipe clips by every
// distance the code writes when none is turned on.
const char* vertexEpilogue = R"(
#undef main
#ifdef CLIP_PLANES
uniform int we_ClipPlanes;
#endif
void main()
{
    we_FogDepth = -1e30;
    we_EffectMain();
#ifdef CLIP_PLANES
    for (int plane = 0; plane < 6; ++plane)
        if ((we_ClipPlanes & (1 << plane)) == 0)
            gl_ClipDistance[plane] = 1.0;
#endif
    vec4 p = gl_Position;
    if (we_FogDepth == -1e30)
        we_FogDepth = p.w;
    p.x += p.w / we_Viewport.z;
    p.y -= p.w / we_Viewport.w;
    gl_Position = vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w);
}
)";

// And around every pixel stage: the alpha test and linear fog of the render states, which GL's
// core profile does not have. The code reads the fragment's position with its rows counted from
// the top as in Direct3D (we_FragCoord stands for gl_FragCoord), whichever way the target's run.
const char* pixelPrologue = R"(#version 330 core
uniform vec2 we_FragRows; // the scale and offset taking gl_FragCoord.y to the row from the top
vec4 we_FragCoord;
uniform int we_AlphaFunc;
uniform float we_AlphaRef;
uniform bool we_Fog;
uniform vec4 we_FogColor;
uniform vec2 we_FogRange;
in float we_FogDepth;
layout(location = 0) out vec4 o_color;
#define main we_EffectMain
#line 1
)";

const char* pixelEpilogue = R"(
#undef main
bool we_AlphaPasses(float alpha)
{
    float a = floor(alpha * 255.0 + 0.5);
    switch (we_AlphaFunc)
    {
    case 1: return false;
    case 2: return a < we_AlphaRef;
    case 3: return a == we_AlphaRef;
    case 4: return a <= we_AlphaRef;
    case 5: return a > we_AlphaRef;
    case 6: return a != we_AlphaRef;
    case 7: return a >= we_AlphaRef;
    default: return true;
    }
}
void main()
{
    we_FragCoord = vec4(gl_FragCoord.x, we_FragRows.x * gl_FragCoord.y + we_FragRows.y, gl_FragCoord.zw);
    we_EffectMain();
    if (!we_AlphaPasses(o_color.a))
        discard;
    if (we_Fog)
    {
        float range = max(we_FogRange.y - we_FogRange.x, 1e-6);
        float f = clamp((we_FogRange.y - we_FogDepth) / range, 0.0, 1.0);
        o_color.rgb = mix(we_FogColor.rgb, o_color.rgb, f);
    }
}
)";

// The same for draws with neither an alpha test nor fog: without a discard that may happen, a
// software rasteriser can write covered tiles outright.
const char* plainPixelEpilogue = R"(
#undef main
void main()
{
    we_FragCoord = vec4(gl_FragCoord.x, we_FragRows.x * gl_FragCoord.y + we_FragRows.y, gl_FragCoord.zw);
    we_EffectMain();
}
)";

// True when the render states ask for neither the alpha test nor linear fog.
bool PlainPixels(const uint32_t* rs)
{
    const bool alphaTest = rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] != D3DCMP_ALWAYS;
    return !alphaTest && !(rs[D3DRS_FOGENABLE] && rs[D3DRS_FOGTABLEMODE] == D3DFOG_LINEAR);
}

// The fixed-function vertex and pixel processing the device offers without shaders.
const char* builtInVertexCode = R"(layout(location = 0) in vec4 a_position;
layout(location = 1) in vec4 a_color;
layout(location = 2) in vec2 a_tex0;
uniform mat4 u_worldView;
uniform mat4 u_projection;
uniform bool u_pretransformed;
uniform bool u_hasColor;
out vec4 v_color;
out vec2 v_tex;
void main()
{
    if (u_pretransformed)
    {
        float w = a_position.w != 0.0 ? 1.0 / a_position.w : 1.0;
        vec2 ndc = vec2((a_position.x - we_Viewport.x) / we_Viewport.z * 2.0 - 1.0,
                        1.0 - (a_position.y - we_Viewport.y) / we_Viewport.w * 2.0);
        gl_Position = vec4(ndc * w, a_position.z * w, w);
        we_FogDepth = a_position.z;
    }
    else
    {
        vec4 eye = u_worldView * vec4(a_position.xyz, 1.0);
        we_FogDepth = eye.z;
        gl_Position = u_projection * eye;
    }
    v_color = u_hasColor ? a_color : vec4(1.0);
    v_tex = a_tex0;
}
)";

const char* builtInPixelCode = R"(in vec4 v_color;
in vec2 v_tex;
uniform sampler2D u_texture;
uniform int u_colorOp;
uniform int u_alphaOp;
void main()
{
    vec4 texel = texture(u_texture, v_tex);
    vec4 c = v_color;
    if (u_colorOp == 1) c.rgb = texel.rgb; else if (u_colorOp == 2) c.rgb *= texel.rgb;
    if (u_alphaOp == 1) c.a = texel.a; else if (u_alphaOp == 2) c.a *= texel.a;
    o_color = c;
}
)";

// The shader's code wrapped by the layer. The variant of a vertex stage reads instances (with
// INSTANCED defined); that of a pixel stage is the plain one.
GLuint Compile(GLenum kind, const std::string& code, std::string& problem, bool variant = false)
{
    const bool vertex = kind == GL_VERTEX_SHADER;
    const char* pixelEnd = variant ? plainPixelEpilogue : pixelEpilogue;
    const char* clipping =
        vertex && WritesClipDistances(code) ? "#define CLIP_PLANES\nout float gl_ClipDistance[6];\n" : "";
    const std::string prologue =
        vertex ? std::string(vertexPrologue) + (variant ? "#define INSTANCED\n" : "") + clipping + "#line 1\n"
               : pixelPrologue;
    std::string body = code;
    for (size_t at = body.find("gl_FragCoord"); !vertex && at != std::string::npos;
         at = body.find("gl_FragCoord", at))
    {
        body.replace(at, 3, "we_");
    }
    const std::string source = prologue + body + (vertex ? vertexEpilogue : pixelEnd);
    const char* text = source.c_str();
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok)
    {
        char log[2048] = {};
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        problem = std::string(vertex ? "vertex shader: " : "pixel shader: ") + log;
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Floats per element of a uniform type, and whether it takes integers; 0 for types no
// constant can fill.
struct UniformShape
{
    GLint floats;
    bool integer;
};

UniformShape ShapeOf(GLenum type)
{
    switch (type)
    {
    case GL_FLOAT:
        return {1, false};
    case GL_FLOAT_VEC2:
        return {2, false};
    case GL_FLOAT_VEC3:
        return {3, false};
    case GL_FLOAT_VEC4:
        return {4, false};
    case GL_FLOAT_MAT4:
        return {16, false};
    case GL_INT:
    case GL_BOOL:
    case GL_SAMPLER_2D:
    case GL_SAMPLER_CUBE:
    case GL_SAMPLER_3D:
        return {1, true};
    case GL_INT_VEC2:
    case GL_BOOL_VEC2:
        return {2, true};
    case GL_INT_VEC3:
    case GL_BOOL_VEC3:
        return {3, true};
    case GL_INT_VEC4:
    case GL_BOOL_VEC4:
        return {4, true};
    default:
        return {0, false};
    }
}

void UploadUniform(GLint location, GLenum type, GLint size, const std::vector<float>& values)
{
    const UniformShape shape = ShapeOf(type);
    const GLsizei count = std::min(GLsizei(size), GLsizei(values.size() / size_t(shape.floats)));
    if (count <= 0)
    {
        return;
    }
    if (shape.integer)
    {
        std::vector<GLint> ints(size_t(count) * size_t(shape.floats));
        for (size_t i = 0; i < ints.size(); ++i)
        {
            ints[i] = GLint(std::lround(values[i]));
        }
        switch (shape.floats)
        {
        case 1:
            return glUniform1iv(location, count, ints.data());
        case 2:
            return glUniform2iv(location, count, ints.data());
        case 3:
            return glUniform3iv(location, count, ints.data());
        default:
            return glUniform4iv(location, count, ints.data());
        }
    }
    switch (shape.floats)
    {
    case 1:
        return glUniform1fv(location, count, values.data());
    case 2:
        return glUniform2fv(location, count, values.data());
    case 3:
        return glUniform3fv(location, count, values.data());
    case 4:
        return glUniform4fv(location, count, values.data());
    default:
        return glUniformMatrix4fv(location, count, GL_FALSE, values.data());
    }
}

bool BuiltInUniform(const std::string& name)
{
    return name.rfind("we_", 0) == 0 || name.rfind("u_", 0) == 0;
}

// Mesa's rasterisers that run on the processor.
bool SoftwareRenderer()
{
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const std::string name = renderer ? renderer : "";
    return name.find("llvmpipe") != std::string::npos || name.find("softpipe") != std::string::npos;
}

// Whether a clear of the rectangle with the flags leaves nothing of the depth-stencil's contents.
bool Overwrites(const Surface& depthStencil, uint32_t flags, const Rect& rect)
{
    const SurfaceDesc desc = depthStencil.GetDesc();
    const bool stencilToo = desc.format != D3DFMT_D24S8 || (flags & D3DCLEAR_STENCIL);
    return (flags & D3DCLEAR_ZBUFFER) && stencilToo && rect.left <= 0 && rect.top <= 0 &&
           rect.right >= int32_t(desc.width) && rect.bottom >= int32_t(desc.height);
}

} // namespace

void RequestWindowDepthStencil(int samples)
{
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, std::max(samples, 0));
}

GlBackend::GlBackend(WindowHandle window) : window(window) {}

GlBackend::~GlBackend()
{
    if (!context)
    {
        return;
    }
    SDL_GL_MakeCurrent(window, context);
    for (const auto& entry : programs)
    {
        glDeleteProgram(entry.second.name);
    }
    glDeleteShader(builtInVertex);
    glDeleteShader(builtInPixel);
    glDeleteShader(builtInPlainPixel);
    glDeleteTextures(1, &whiteTexture);
    glDeleteVertexArrays(1, &vertexArray);
    glDeleteBuffers(1, &userBuffer);
    glDeleteBuffers(1, &userIndexBuffer);
    glDeleteBuffers(1, &instanceBuffer);
    glDeleteFramebuffers(1, &drawFramebuffer);
    glDeleteFramebuffers(1, &readFramebuffer);
    glDeleteFramebuffers(1, &resolveFramebuffer);
    glDeleteFramebuffers(1, &copyFramebuffer);
    glDeleteRenderbuffers(1, &resolveRenderbuffer);
    glDeleteRenderbuffers(1, &spareDepth);
    glDeleteSamplers(16, samplers);
    glDeleteSync(frameBefore);
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
}

HRESULT GlBackend::Open(const PresentParameters& parameters, Surface& backBuffer)
{
    if (!window)
    {
        problem = "no device window";
        return D3DERR_INVALIDCALL;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    context = SDL_GL_CreateContext(window);
    if (!context)
    {
        problem = SDL_GetError();
        return D3DERR_NOTAVAILABLE;
    }
    SDL_GL_MakeCurrent(window, context);
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    clipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH, GL_FRAMEBUFFER_ATTACHMENT_DEPTH_SIZE,
                                          &windowDepthBits);
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_STENCIL, GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE,
                                          &windowStencilBits);
    glGetIntegerv(GL_SAMPLES, &windowSamples);
    // A software rasteriser takes several texels per sample even where a texture is not seen at a
    // slant, which doubles the cost of a screen of flat quads; it filters linearly instead.
    anisotropic = (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") || epoxy_gl_version() >= 46) &&
                  !SoftwareRenderer();
    glGenVertexArrays(1, &vertexArray);
    glGenBuffers(1, &userBuffer);
    glGenBuffers(1, &userIndexBuffer);
    glGenBuffers(1, &instanceBuffer);
    glGenFramebuffers(1, &drawFramebuffer);
    glGenFramebuffers(1, &readFramebuffer);
    glGenFramebuffers(1, &resolveFramebuffer);
    glGenFramebuffers(1, &copyFramebuffer);
    glGenSamplers(16, samplers);
    for (GLuint unit = 0; unit < maxSamplers; ++unit)
    {
        glBindSampler(unit, samplers[unit]);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!MakeBuiltIns())
    {
        return D3DERR_NOTAVAILABLE;
    }
    return Reset(parameters, backBuffer);
}

bool GlBackend::MakeBuiltIns()
{
    builtInVertex = Compile(GL_VERTEX_SHADER, builtInVertexCode, problem);
    builtInPixel = Compile(GL_FRAGMENT_SHADER, builtInPixelCode, problem);
    builtInPlainPixel = Compile(GL_FRAGMENT_SHADER, builtInPixelCode, problem, true);
    glGenTextures(1, &whiteTexture);
    texturesKnown = false;
    glBindTexture(GL_TEXTURE_2D, whiteTexture);
    const uint8_t white[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    return builtInVertex && builtInPixel && builtInPlainPixel;
}

GLuint GlBackend::PixelStage(const DeviceState& state, bool plain)
{
    if (!state.pixelShader)
    {
        return plain ? builtInPlainPixel : builtInPixel;
    }
    if (!plain)
    {
        return state.pixelShader->backendName;
    }
    return Variant(*state.pixelShader);
}

GLuint GlBackend::VertexStage(const DeviceState& state, bool instanced)
{
    if (!state.vertexShader)
    {
        return builtInVertex;
    }
    return instanced ? Variant(*state.vertexShader) : state.vertexShader->backendName;
}

GLuint GlBackend::Variant(const Shader& shader)
{
    GLuint& made = variants[shader.Id()];
    if (!made)
    {
        made = Compile(shader.IsVertex() ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, shader.Source(), problem,
                       true);
    }
    return made;
}

GlBackend::Program* GlBackend::ProgramFor(const DeviceState& state, bool instanced)
{
    const bool plain = PlainPixels(state.renderStates);
    const ProgramKey key{state.vertexShader ? state.vertexShader->Id() : 0,
                         state.pixelShader ? state.pixelShader->Id() : 0, plain, instanced};
    const auto found = programs.find(key);
    if (found != programs.end())
    {
        return found->second.name ? &found->second : nullptr;
    }
    Program& made = programs[key]; // a pair that fails to link stays recorded as failed
    made.name = glCreateProgram();
    glAttachShader(made.name, VertexStage(state, instanced));
    glAttachShader(made.name, PixelStage(state, plain));
    glLinkProgram(made.name);
    GLint linked = 0;
    glGetProgramiv(made.name, GL_LINK_STATUS, &linked);
    if (!linked)
    {
        char log[2048] = {};
        glGetProgramInfoLog(made.name, sizeof log, nullptr, log);
        problem = std::string("the shaders do not link: ") + log;
        glDeleteProgram(made.name);
        made.name = 0;
        return nullptr;
    }
    const GLuint p = made.name;
    made.worldView = glGetUniformLocation(p, "u_worldView");
    made.projection = glGetUniformLocation(p, "u_projection");
    made.pretransformed = glGetUniformLocation(p, "u_pretransformed");
    made.viewport = glGetUniformLocation(p, "we_Viewport");
    made.fragRows = glGetUniformLocation(p, "we_FragRows");
    made.clipPlanes = glGetUniformLocation(p, "we_ClipPlanes");
    made.hasColor = glGetUniformLocation(p, "u_hasColor");
    made.colorOp = glGetUniformLocation(p, "u_colorOp");
    made.alphaOp = glGetUniformLocation(p, "u_alphaOp");
    made.alphaFunc = glGetUniformLocation(p, "we_AlphaFunc");
    made.alphaRef = glGetUniformLocation(p, "we_AlphaRef");
    made.fog = glGetUniformLocation(p, "we_Fog");
    made.fogColor = glGetUniformLocation(p, "we_FogColor");
    made.fogRange = glGetUniformLocation(p, "we_FogRange");
    glUseProgram(p);
    currentProgram = p;
    glUniform1i(glGetUniformLocation(p, "u_texture"), 0);
    GLint count = 0;
    glGetProgramiv(p, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i)
    {
        char text[256] = {};
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(p, GLuint(i), sizeof text, nullptr, &size, &type, text);
        std::string name = text;
        if (name.size() > 3 && name.compare(name.size() - 3, 3, "[0]") == 0)
        {
            name.resize(name.size() - 3);
        }
        if (BuiltInUniform(name) || ShapeOf(type).floats == 0 || name.find('.') != std::string::npos)
        {
            continue;
        }
        made.uniforms.push_back({ShaderConstantId(name), glGetUniformLocation(p, text), type, size, 0});
    }
    return &made;
}

void GlBackend::ApplyPresentation(const PresentParameters& parameters)
{
    SDL_GL_SetSwapInterval(parameters.presentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1);
    const bool fullScreen = (SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN) != 0;
    if (fullScreen == parameters.windowed)
    {
        SDL_SetWindowFullscreen(window, parameters.windowed ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
    }
}

HRESULT GlBackend::Reset(const PresentParameters& parameters, Surface& backBuffer)
{
    ApplyPresentation(parameters);
    std::fill(std::begin(boundTargets), std::end(boundTargets), 0u);
    windowTarget = 0;
    windowRefused = false;
    ForgetDrawState();
    return CreateStorage(backBuffer) ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
}

GLsizei GlBackend::Samples(MultisampleType type) const
{
    if (type == D3DMULTISAMPLE_NONE)
    {
        return 0;
    }
    const GLint wanted = type == D3DMULTISAMPLE_NONMASKABLE ? 4 : GLint(type);
    return std::min(wanted, maxSamples);
}

bool GlBackend::CreateStorage(Surface& surface)
{
    if (surface.Kind() == SurfaceKind::textureLevel)
    {
        return true;
    }
    const SurfaceDesc desc = surface.GetDesc();
    const GlFormat format = FormatOf(desc.format);
    if (format.internal == 0)
    {
        return false;
    }
    if (FitsWindow(surface))
    {
        windowTarget = surface.Id();
        windowWidth = desc.width;
        windowHeight = desc.height;
        return true;
    }
    while (glGetError() != GL_NO_ERROR)
    {
    }
    GLuint name = 0;
    const bool inTexture = InWindowLayout(surface);
    if (inTexture)
    {
        // An unsized internal format takes the layout of the pixels it is given.
        glGenTextures(1, &name);
        texturesKnown = false;
        glBindTexture(GL_TEXTURE_2D, name);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(desc.width), GLsizei(desc.height), 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    else
    {
        glGenRenderbuffers(1, &name);
        glBindRenderbuffer(GL_RENDERBUFFER, name);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, Samples(desc.multiSampleType), format.internal,
                                         GLsizei(desc.width), GLsizei(desc.height));
    }
    if (glGetError() != GL_NO_ERROR)
    {
        inTexture ? glDeleteTextures(1, &name) : glDeleteRenderbuffers(1, &name);
        return false;
    }
    surface.backendName = name;
    return true;
}

bool GlBackend::FitsWindow(const Surface& backBuffer) const
{
    const SurfaceDesc desc = backBuffer.GetDesc();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    // Without a depth-stencil buffer the window would be drawn by llvmpipe's linear rasteriser
    // (see AttachSpareDepth), which the texture and its spare depth-stencil avoid.
    const bool depthBuffer = windowDepthBits > 0 || windowStencilBits > 0;
    return clipControl && depthBuffer && !windowRefused && WindowPixels(backBuffer) &&
           Samples(desc.multiSampleType) == windowSamples && uint32_t(width) == desc.width &&
           uint32_t(height) == desc.height;
}

bool GlBackend::WindowHoldsDepth(const Surface& depthStencil) const
{
    const SurfaceDesc desc = depthStencil.GetDesc();
    const bool bits = desc.format == D3DFMT_D24S8 ? windowDepthBits == 24 && windowStencilBits == 8
                                                  : desc.format == D3DFMT_D16 && windowDepthBits == 16;
    return bits && Samples(desc.multiSampleType) == windowSamples && desc.width == windowWidth &&
           desc.height == windowHeight;
}

void GlBackend::SettleTargets(const DeviceState& state, bool depthTouched, bool depthOverwritten)
{
    Surface* backBuffer = nullptr;
    bool alone = true; // the window is target 0 and the only one
    for (uint32_t i = 0; i < maxRenderTargets; ++i)
    {
        Surface* target = state.renderTargets[i];
        const bool window = target && InWindow(*target);
        backBuffer = window ? target : backBuffer;
        alone = alone && (i == 0 ? target == nullptr || window : target == nullptr);
    }
    const Surface* depth = depthTouched ? state.depthStencil : nullptr;
    if (backBuffer && !(alone && (!depth || WindowHoldsDepth(*depth))))
    {
        MoveToTexture(*backBuffer);
        backBuffer = nullptr;
    }
    if (depth)
    {
        PlaceDepth(*depth, backBuffer != nullptr, depthOverwritten);
    }
}

void GlBackend::PlaceDepth(const Surface& depthStencil, bool intoWindow, bool overwritten)
{
    if (intoWindow == (windowDepth == &depthStencil))
    {
        return;
    }
    // What the window holds goes back to its own surface, unless it is the one being overwritten.
    if (windowDepth && (windowDepth != &depthStencil || !overwritten))
    {
        CopyDepth(*windowDepth, false);
    }
    windowDepth = intoWindow ? &depthStencil : nullptr;
    if (intoWindow && !overwritten)
    {
        CopyDepth(depthStencil, true);
    }
}

void GlBackend::AttachSpareDepth(const Surface& backBuffer)
{
    const SurfaceDesc desc = backBuffer.GetDesc();
    if (spareDepthWidth != desc.width || spareDepthHeight != desc.height)
    {
        glDeleteRenderbuffers(1, &spareDepth);
        glGenRenderbuffers(1, &spareDepth);
        glBindRenderbuffer(GL_RENDERBUFFER, spareDepth);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, GLsizei(desc.width),
                              GLsizei(desc.height));
        spareDepthWidth = desc.width;
        spareDepthHeight = desc.height;
    }
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, spareDepth);
}

bool GlBackend::WindowPixels(const Surface& surface)
{
    const GlFormat format = FormatOf(surface.GetDesc().format);
    return surface.Kind() == SurfaceKind::backBuffer && format.internal == GL_RGBA8 &&
           format.format == GL_BGRA;
}

bool GlBackend::InWindowLayout(const Surface& surface) const
{
    return WindowPixels(surface) && Samples(surface.GetDesc().multiSampleType) == 0;
}

bool GlBackend::CreateStorage(BaseTexture& texture)
{
    const GlFormat format = FormatOf(texture.GetFormat());
    if (format.internal == 0 || IsDepthFormat(texture.GetFormat()))
    {
        return false;
    }
    while (glGetError() != GL_NO_ERROR)
    {
    }
    const GLenum target = TargetOf(texture);
    GLuint name = 0;
    glGenTextures(1, &name);
    texturesKnown = false;
    glBindTexture(target, name);
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, GLint(texture.GetLevelCount()) - 1);
    glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, format.swizzle);
    if (auto* volume = dynamic_cast<VolumeTexture*>(&texture))
    {
        for (uint32_t level = 0; level < texture.GetLevelCount(); ++level)
        {
            const Box box = volume->LevelBox(level);
            glTexImage3D(target, GLint(level), GLint(format.internal), GLsizei(box.right),
                         GLsizei(box.bottom), GLsizei(box.back), 0, format.format, format.type, nullptr);
        }
    }
    const uint32_t faces = texture.IsVolume() ? 0 : texture.IsCube() ? 6 : 1;
    // A flat 32-bit colour target takes the layout of its pixels (an unsized internal format), as
    // the single-sampled back buffer does, so a copy between the two is a copy of memory.
    const bool pixelLayout = target == GL_TEXTURE_2D && (texture.GetUsage() & D3DUSAGE_RENDERTARGET) &&
                             format.internal == GL_RGBA8 && format.format == GL_BGRA;
    const GLint internal = pixelLayout ? GL_RGBA : GLint(format.internal);
    for (uint32_t face = 0; face < faces; ++face)
    {
        const GLenum imageTarget = texture.IsCube() ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : GL_TEXTURE_2D;
        for (uint32_t level = 0; level < texture.GetLevelCount(); ++level)
        {
            const SurfaceDesc desc = texture.Level(face, level)->GetDesc();
            glTexImage2D(imageTarget, GLint(level), internal, GLsizei(desc.width), GLsizei(desc.height), 0,
                         format.format, format.type, nullptr);
        }
    }
    if (glGetError() != GL_NO_ERROR)
    {
        glDeleteTextures(1, &name);
        return false;
    }
    texture.backendName = name;
    return true;
}

bool GlBackend::CreateStorage(Buffer& buffer)
{
    GLuint name = 0;
    glGenBuffers(1, &name);
    glBindBuffer(GL_ARRAY_BUFFER, name);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(buffer.Length()), nullptr,
                 (buffer.Usage() & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW);
    buffer.backendName = name;
    return true;
}

bool GlBackend::CreateStorage(Shader& shader)
{
    shader.backendName =
        Compile(shader.IsVertex() ? GL_VERTEX_SHADER : GL_FRAGMENT_SHADER, shader.Source(), problem);
    return shader.backendName != 0;
}

void GlBackend::DestroyStorage(Resource& resource)
{
    if (&resource == windowDepth)
    {
        windowDepth = nullptr;
    }
    if (!resource.backendName)
    {
        return;
    }
    GLuint name = resource.backendName;
    if (const auto* shader = dynamic_cast<Shader*>(&resource))
    {
        for (auto entry = programs.begin(); entry != programs.end();)
        {
            const bool uses =
                (shader->IsVertex() ? std::get<0>(entry->first) : std::get<1>(entry->first)) == shader->Id();
            if (uses)
            {
                glDeleteProgram(entry->second.name);
                currentProgram = entry->second.name == currentProgram ? 0 : currentProgram;
            }
            entry = uses ? programs.erase(entry) : std::next(entry);
        }
        glDeleteShader(name);
        if (const auto variant = variants.find(shader->Id()); variant != variants.end())
        {
            glDeleteShader(variant->second);
            variants.erase(variant);
        }
        resource.backendName = 0;
        return;
    }
    if (dynamic_cast<Buffer*>(&resource))
    {
        glDeleteBuffers(1, &name); // which unbinds it from the vertex array too
        verticesKnown = false;
        boundIndexBuffer = 0;
    }
    else if (const auto* surface = dynamic_cast<Surface*>(&resource);
             dynamic_cast<BaseTexture*>(&resource) || (surface && InWindowLayout(*surface)))
    {
        glDeleteTextures(1, &name);
        texturesKnown = false; // its name may come back for another texture
    }
    else
    {
        glDeleteRenderbuffers(1, &name);
    }
    resource.backendName = 0;
    std::fill(std::begin(boundTargets), std::end(boundTargets), 0u);
}

void GlBackend::Upload(Surface& surface)
{
    const BaseTexture* texture = surface.Container();
    if (!texture)
    {
        return;
    }
    const SurfaceDesc desc = surface.GetDesc();
    const GlFormat format = FormatOf(desc.format);
    const GLenum imageTarget =
        texture->IsCube() ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + surface.Face() : GL_TEXTURE_2D;
    texturesKnown = false;
    glBindTexture(TargetOf(*texture), texture->backendName);
    const uint8_t* pixels = surface.Memory().data();
    if (IsBlockFormat(desc.format))
    {
        DecodeBlocks(desc.format, desc.width, desc.height, pixels, surface.Memory().size(), decoded);
        pixels = decoded.data();
    }
    glTexSubImage2D(imageTarget, GLint(surface.Level()), 0, 0, GLsizei(desc.width), GLsizei(desc.height),
                    format.format, format.type, pixels);
}

void GlBackend::Upload(VolumeTexture& texture, uint32_t level)
{
    const GlFormat format = FormatOf(texture.GetFormat());
    const Box box = texture.LevelBox(level);
    texturesKnown = false;
    glBindTexture(GL_TEXTURE_3D, texture.backendName);
    glTexSubImage3D(GL_TEXTURE_3D, GLint(level), 0, 0, 0, GLsizei(box.right), GLsizei(box.bottom),
                    GLsizei(box.back), format.format, format.type, texture.LevelMemory(level).data());
}

void GlBackend::Attach(GLenum target, GLenum attachment, const Surface* surface)
{
    if (!surface)
    {
        glFramebufferRenderbuffer(target, attachment, GL_RENDERBUFFER, 0);
        return;
    }
    if (const BaseTexture* texture = surface->Container())
    {
        const GLenum imageTarget =
            texture->IsCube() ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + surface->Face() : GL_TEXTURE_2D;
        glFramebufferTexture2D(target, attachment, imageTarget, texture->backendName,
                               GLint(surface->Level()));
        return;
    }
    if (InWindowLayout(*surface))
    {
        glFramebufferTexture2D(target, attachment, GL_TEXTURE_2D, surface->backendName, 0);
        return;
    }
    glFramebufferRenderbuffer(target, attachment, GL_RENDERBUFFER, surface->backendName);
}

void GlBackend::CopyDepth(const Surface& depthStencil, bool intoWindow)
{
    ForgetDrawState();
    const SurfaceDesc desc = depthStencil.GetDesc();
    const bool packed = desc.format == D3DFMT_D24S8;
    const GLenum attachment = packed ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT;
    glBindFramebuffer(GL_FRAMEBUFFER, copyFramebuffer);
    Attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, nullptr);
    Attach(GL_FRAMEBUFFER, attachment, &depthStencil);
    glBindFramebuffer(intoWindow ? GL_DRAW_FRAMEBUFFER : GL_READ_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    const GLint w = GLint(desc.width), h = GLint(desc.height);
    glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_DEPTH_BUFFER_BIT | (packed ? GL_STENCIL_BUFFER_BIT : 0u),
                      GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, copyFramebuffer);
    Attach(GL_FRAMEBUFFER, attachment, nullptr);
}

void GlBackend::MoveToTexture(Surface& backBuffer)
{
    if (windowDepth)
    {
        CopyDepth(*windowDepth, false);
        windowDepth = nullptr;
    }
    windowTarget = 0;
    windowRefused = true;
    std::fill(std::begin(boundTargets), std::end(boundTargets), 0u);
    if (!CreateStorage(backBuffer))
    {
        problem = "no memory for the back buffer";
        return;
    }
    ForgetDrawState();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, copyFramebuffer);
    Attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, &backBuffer);
    glDisable(GL_SCISSOR_TEST);
    const GLint w = GLint(windowWidth), h = GLint(windowHeight);
    glBlitFramebuffer(0, 0, w, h, 0, h, w, 0, GL_COLOR_BUFFER_BIT, GL_NEAREST);
}

GLint GlBackend::FirstRow(int32_t top, int32_t height) const
{
    return windowBound ? GLint(windowHeight) - top - height : top;
}

GLint GlBackend::RowEdge(const Surface& surface, int32_t y) const
{
    return InWindow(surface) ? GLint(windowHeight) - y : y;
}

GLuint GlBackend::BindForReading(const Surface& surface)
{
    const GLuint framebuffer = InWindow(surface) ? 0 : readFramebuffer;
    glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer);
    if (framebuffer)
    {
        Attach(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, &surface);
    }
    return framebuffer;
}

GLuint GlBackend::ReadableFramebuffer(const Surface& surface)
{
    ForgetDrawState();
    const GLuint framebuffer = BindForReading(surface);
    const SurfaceDesc desc = surface.GetDesc();
    if (surface.Container() || Samples(desc.multiSampleType) == 0)
    {
        return framebuffer;
    }
    if (resolveWidth != desc.width || resolveHeight != desc.height)
    {
        glDeleteRenderbuffers(1, &resolveRenderbuffer);
        glGenRenderbuffers(1, &resolveRenderbuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, resolveRenderbuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, GLsizei(desc.width), GLsizei(desc.height));
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  resolveRenderbuffer);
        resolveWidth = desc.width;
        resolveHeight = desc.height;
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFramebuffer);
    glDisable(GL_SCISSOR_TEST);
    const GLint w = GLint(desc.width), h = GLint(desc.height);
    glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFramebuffer);
    return resolveFramebuffer;
}

void GlBackend::Copy(Surface& source, const Rect& from, Surface& dest, const Rect& to, bool linear)
{
    // A multisampled surface resolves straight into a destination of the same size, which keeps
    // float formats whole; other sizes go through the readable copy.
    const bool multisampled = !source.Container() && Samples(source.GetDesc().multiSampleType) > 0;
    const bool sameSize =
        from.right - from.left == to.right - to.left && from.bottom - from.top == to.bottom - to.top;
    ForgetDrawState();
    if (multisampled && sameSize)
    {
        BindForReading(source);
    }
    else
    {
        ReadableFramebuffer(source);
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, InWindow(dest) ? 0 : copyFramebuffer);
    if (!InWindow(dest))
    {
        Attach(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, &dest);
    }
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(from.left, RowEdge(source, from.top), from.right, RowEdge(source, from.bottom), to.left,
                      RowEdge(dest, to.top), to.right, RowEdge(dest, to.bottom), GL_COLOR_BUFFER_BIT,
                      linear && !sameSize ? GL_LINEAR : GL_NEAREST);
}

void GlBackend::BlitToWindow(int width, int height, const SurfaceDesc& desc, GLenum filter)
{
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    glDisable(GL_SCISSOR_TEST);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBlitFramebuffer(0, 0, GLint(desc.width), GLint(desc.height), 0, height, width, 0, GL_COLOR_BUFFER_BIT,
                      filter);
}

bool GlBackend::BlitBackBuffer(const Surface& backBuffer, int width, int height)
{
    ForgetDrawState();
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
    Attach(GL_READ_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, &backBuffer);
    while (glGetError() != GL_NO_ERROR)
    {
    }
    BlitToWindow(width, height, backBuffer.GetDesc(), GL_NEAREST);
    return glGetError() == GL_NO_ERROR;
}

void GlBackend::Download(Surface& surface)
{
    const SurfaceDesc desc = surface.GetDesc();
    const GlFormat format = FormatOf(desc.format);
    ReadableFramebuffer(surface);
    std::vector<uint8_t>& memory = surface.Memory();
    glReadPixels(0, 0, GLsizei(desc.width), GLsizei(desc.height), format.format, format.type, memory.data());
    if (InWindow(surface))
    {
        const size_t pitch = memory.size() / desc.height;
        for (size_t top = 0, bottom = desc.height - 1; top < bottom; ++top, --bottom)
        {
            std::swap_ranges(memory.begin() + ptrdiff_t(top * pitch),
                             memory.begin() + ptrdiff_t((top + 1) * pitch),
                             memory.begin() + ptrdiff_t(bottom * pitch));
        }
    }
    if (desc.format == D3DFMT_X8R8G8B8)
    {
        for (size_t i = 3; i < memory.size(); i += 4)
        {
            memory[i] = 0xFF;
        }
    }
}

void GlBackend::Upload(Buffer& buffer, uint32_t offset, uint32_t size)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer.backendName);
    glBufferSubData(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(size), buffer.Data() + offset);
}

void GlBackend::ForgetDrawState()
{
    drawFramebufferBound = false;
    renderStatesKnown = false;
}

bool GlBackend::BindTargets(const DeviceState& state)
{
    const bool toWindow = state.renderTargets[0] && InWindow(*state.renderTargets[0]);
    if (!drawFramebufferBound || toWindow != windowBound)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, toWindow ? 0 : drawFramebuffer);
        // The window's rows run the other way: its clip space is turned over with them, which
        // keeps the vertex stages, the winding and the rasteriser's tie rules as they are for
        // framebuffer objects.
        if (clipControl)
        {
            glClipControl(toWindow ? GL_UPPER_LEFT : GL_LOWER_LEFT, GL_NEGATIVE_ONE_TO_ONE);
        }
        drawFramebufferBound = true;
        windowBound = toWindow;
    }
    if (toWindow)
    {
        return true;
    }
    uint32_t wanted[5];
    for (uint32_t i = 0; i < maxRenderTargets; ++i)
    {
        wanted[i] = state.renderTargets[i] ? state.renderTargets[i]->Id() : 0;
    }
    wanted[4] = state.depthStencil ? state.depthStencil->Id() : 0;
    if (!std::equal(std::begin(wanted), std::end(wanted), std::begin(boundTargets)))
    {
        GLenum buffers[maxRenderTargets];
        for (uint32_t i = 0; i < maxRenderTargets; ++i)
        {
            Attach(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i, state.renderTargets[i]);
            buffers[i] = state.renderTargets[i] ? GL_COLOR_ATTACHMENT0 + i : GL_NONE;
        }
        const Surface* depth = state.depthStencil;
        const bool packed = depth && depth->GetDesc().format == D3DFMT_D24S8;
        Attach(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, packed ? depth : nullptr);
        if (!packed)
        {
            Attach(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, depth);
        }
        if (!depth && state.renderTargets[0] && InWindowLayout(*state.renderTargets[0]))
        {
            AttachSpareDepth(*state.renderTargets[0]);
        }
        glDrawBuffers(maxRenderTargets, buffers);
        std::copy(std::begin(wanted), std::end(wanted), std::begin(boundTargets));
        targetsComplete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    if (!targetsComplete)
    {
        problem = "the bound render targets and depth-stencil surface do not fit together";
        return false;
    }
    return true;
}

void GlBackend::Clear(const DeviceState& state, uint32_t flags, D3DCOLOR color, float z, uint32_t stencil)
{
    const Rect rect = ClearRect(state);
    const Surface* depth = state.depthStencil;
    const bool depthTouched = depth && (flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL));
    SettleTargets(state, depthTouched, depthTouched && Overwrites(*depth, flags, rect));
    if (!BindTargets(state))
    {
        return;
    }
    renderStatesKnown = false; // the scissor and the write masks change
    glEnable(GL_SCISSOR_TEST);
    glScissor(rect.left, FirstRow(rect.top, rect.bottom - rect.top), rect.right - rect.left,
              rect.bottom - rect.top);
    GLbitfield bits = 0;
    if (flags & D3DCLEAR_TARGET)
    {
        float rgba[4];
        ColorOf(color, rgba);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
        bits |= GL_COLOR_BUFFER_BIT;
    }
    if (flags & D3DCLEAR_ZBUFFER)
    {
        glDepthMask(GL_TRUE);
        glClearDepth(z);
        bits |= GL_DEPTH_BUFFER_BIT;
    }
    if ((flags & D3DCLEAR_STENCIL) && state.depthStencil->GetDesc().format == D3DFMT_D24S8)
    {
        glStencilMask(0xFF);
        glClearStencil(GLint(stencil));
        bits |= GL_STENCIL_BUFFER_BIT;
    }
    glClear(bits);
}

void GlBackend::ApplyRenderStates(const DeviceState& state)
{
    AppliedRenderStates wanted;
    std::copy(std::begin(state.renderStates), std::end(state.renderStates), wanted.renderStates);
    wanted.viewport = state.viewport;
    wanted.scissor = state.scissor;
    wanted.depthStencil = state.depthStencil != nullptr;
    wanted.window = windowBound;
    if (renderStatesKnown && wanted == appliedRenderStates)
    {
        return;
    }
    appliedRenderStates = wanted;
    renderStatesKnown = true;
    const uint32_t* rs = state.renderStates;
    const Viewport& v = state.viewport;
    glViewport(GLint(v.x), FirstRow(int32_t(v.y), int32_t(v.height)), GLsizei(v.width), GLsizei(v.height));
    glDepthRange(v.minZ, v.maxZ);
    const bool depth = state.depthStencil && rs[D3DRS_ZENABLE] != D3DZB_FALSE;
    depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    glDepthFunc(Comparison(rs[D3DRS_ZFUNC]));
    glDepthMask(rs[D3DRS_ZWRITEENABLE] ? GL_TRUE : GL_FALSE);
    rs[D3DRS_ALPHABLENDENABLE] ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    glBlendFunc(BlendFactor(rs[D3DRS_SRCBLEND]), BlendFactor(rs[D3DRS_DESTBLEND]));
    glBlendEquation(BlendEquation(rs[D3DRS_BLENDOP]));
    // Rows are stored top first, which turns Direct3D's clockwise front faces into GL's
    // counter-clockwise ones.
    glFrontFace(GL_CCW);
    switch (rs[D3DRS_CULLMODE])
    {
    case D3DCULL_CW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_FRONT);
        break;
    case D3DCULL_CCW:
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        break;
    default:
        glDisable(GL_CULL_FACE);
        break;
    }
    glPolygonMode(GL_FRONT_AND_BACK, rs[D3DRS_FILLMODE] == D3DFILL_WIREFRAME ? GL_LINE
                                     : rs[D3DRS_FILLMODE] == 1               ? GL_POINT
                                                                             : GL_FILL);
    const bool stencil = rs[D3DRS_STENCILENABLE] && state.depthStencil;
    stencil ? glEnable(GL_STENCIL_TEST) : glDisable(GL_STENCIL_TEST);
    glStencilFunc(Comparison(rs[D3DRS_STENCILFUNC]), GLint(rs[D3DRS_STENCILREF]), rs[D3DRS_STENCILMASK]);
    glStencilOp(StencilOperation(rs[D3DRS_STENCILFAIL]), StencilOperation(rs[D3DRS_STENCILZFAIL]),
                StencilOperation(rs[D3DRS_STENCILPASS]));
    glStencilMask(rs[D3DRS_STENCILWRITEMASK]);
    // Each render target has its own write mask.
    const uint32_t masks[maxRenderTargets] = {rs[D3DRS_COLORWRITEENABLE], rs[D3DRS_COLORWRITEENABLE1],
                                              rs[D3DRS_COLORWRITEENABLE2], rs[D3DRS_COLORWRITEENABLE3]};
    for (GLuint i = 0; i < maxRenderTargets; ++i)
    {
        glColorMaski(i, masks[i] & 1, (masks[i] >> 1) & 1, (masks[i] >> 2) & 1, (masks[i] >> 3) & 1);
    }
    if (rs[D3DRS_SCISSORTESTENABLE])
    {
        const Rect& s = state.scissor;
        glEnable(GL_SCISSOR_TEST);
        const int32_t height = std::max(0, s.bottom - s.top);
        glScissor(s.left, FirstRow(s.top, height), std::max(0, s.right - s.left), height);
    }
    else
    {
        glDisable(GL_SCISSOR_TEST);
    }
    rs[D3DRS_MULTISAMPLEANTIALIAS] ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE);
}

void GlBackend::ApplySamplers(const DeviceState& state)
{
    for (uint32_t stage = 0; stage < maxSamplers; ++stage)
    {
        const uint32_t* ss = state.samplerStates[stage];
        AppliedStage& applied = appliedStages[stage];
        if (!applied.samplerKnown || !std::equal(ss, ss + D3DSAMP_COUNT, applied.samplerStates))
        {
            ApplySampler(samplers[stage], ss);
            std::copy(ss, ss + D3DSAMP_COUNT, applied.samplerStates);
            applied.samplerKnown = true;
        }
        const BaseTexture* texture = state.textures[stage];
        const GLenum target = texture ? TargetOf(*texture) : GL_TEXTURE_2D;
        const GLuint flat = target == GL_TEXTURE_2D && texture ? texture->backendName : whiteTexture;
        const GLuint cube = target == GL_TEXTURE_CUBE_MAP ? texture->backendName : 0;
        const GLuint volume = target == GL_TEXTURE_3D ? texture->backendName : 0;
        if (!texturesKnown || applied.flat != flat || applied.cube != cube || applied.volume != volume)
        {
            glActiveTexture(GL_TEXTURE0 + stage);
            glBindTexture(GL_TEXTURE_2D, flat);
            glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
            glBindTexture(GL_TEXTURE_3D, volume);
            applied.flat = flat;
            applied.cube = cube;
            applied.volume = volume;
        }
    }
    glActiveTexture(GL_TEXTURE0);
    texturesKnown = true;
}

void GlBackend::ApplySampler(GLuint sampler, const uint32_t* ss)
{
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER,
                        ss[D3DSAMP_MAGFILTER] == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        GLint(Minification(ss[D3DSAMP_MINFILTER], ss[D3DSAMP_MIPFILTER])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, GLint(Address(ss[D3DSAMP_ADDRESSU])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, GLint(Address(ss[D3DSAMP_ADDRESSV])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, GLint(Address(ss[D3DSAMP_ADDRESSW])));
    float border[4];
    ColorOf(ss[D3DSAMP_BORDERCOLOR], border);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border);
    if (anisotropic)
    {
        const bool on =
            ss[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC || ss[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT,
                            on ? float(std::max(1u, ss[D3DSAMP_MAXANISOTROPY])) : 1.0f);
    }
}

bool GlBackend::ApplyProgram(const DeviceState& state, bool instanced)
{
    Program* linked = ProgramFor(state, instanced);
    if (!linked)
    {
        return false;
    }
    if (linked->name != currentProgram)
    {
        glUseProgram(linked->name);
        currentProgram = linked->name;
    }
    if (clipDistances != (linked->clipPlanes >= 0))
    {
        clipDistances = linked->clipPlanes >= 0;
        for (GLenum plane = 0; plane < clipPlanes; ++plane)
            clipDistances ? glEnable(GL_CLIP_DISTANCE0 + plane) : glDisable(GL_CLIP_DISTANCE0 + plane);
    }
    UploadFixed(state, *linked);
    UploadConstants(state, *linked);
    return true;
}

void GlBackend::UploadFixed(const DeviceState& state, Program& program)
{
    const uint32_t* rs = state.renderStates;
    FixedValues wanted;
    if (program.worldView >= 0)
    {
        wanted.worldView = Multiply(state.world, state.view);
        wanted.projection = state.projection;
    }
    wanted.pretransformed = FindElement(state.layout, D3DDECLUSAGE_POSITIONT, 0) != nullptr;
    const Viewport& v = state.viewport;
    wanted.viewport = {float(v.x), float(v.y), float(v.width), float(v.height)};
    wanted.fragRows =
        windowBound ? std::array<float, 2>{-1.0f, float(windowHeight)} : std::array<float, 2>{1.0f, 0.0f};
    wanted.hasColor = FindElement(state.layout, D3DDECLUSAGE_COLOR, 0) != nullptr;
    const bool textured = state.textures[0] && !state.textures[0]->IsCube() &&
                          FindElement(state.layout, D3DDECLUSAGE_TEXCOORD, 0);
    wanted.colorOp = textured ? StageOperation(state.stageStates[0][D3DTSS_COLOROP]) : 0;
    wanted.alphaOp = textured ? StageOperation(state.stageStates[0][D3DTSS_ALPHAOP]) : 0;
    wanted.alphaFunc = rs[D3DRS_ALPHATESTENABLE] ? GLint(rs[D3DRS_ALPHAFUNC]) : GLint(D3DCMP_ALWAYS);
    wanted.alphaRef = float(rs[D3DRS_ALPHAREF] & 0xFF);
    wanted.fog = rs[D3DRS_FOGENABLE] && rs[D3DRS_FOGTABLEMODE] == D3DFOG_LINEAR;
    wanted.clipPlanes = GLint(rs[D3DRS_CLIPPLANEENABLE] & ((1u << clipPlanes) - 1));
    ColorOf(rs[D3DRS_FOGCOLOR], wanted.fogColor.data());
    wanted.fogRange = {FloatOf(rs[D3DRS_FOGSTART]), FloatOf(rs[D3DRS_FOGEND])};
    // Only the values that differ from what the program holds are handed over.
    const bool known = program.fixedKnown;
    FixedValues& held = program.fixed;
    const auto changed = [known](const auto& now, const auto& before) { return !known || !(now == before); };
    if (changed(wanted.worldView, held.worldView))
        glUniformMatrix4fv(program.worldView, 1, GL_FALSE, &wanted.worldView.m[0][0]);
    if (changed(wanted.projection, held.projection))
        glUniformMatrix4fv(program.projection, 1, GL_FALSE, &wanted.projection.m[0][0]);
    const std::pair<GLint, GLint FixedValues::*> integers[] = {
        {program.pretransformed, &FixedValues::pretransformed},
        {program.hasColor, &FixedValues::hasColor},
        {program.colorOp, &FixedValues::colorOp},
        {program.alphaOp, &FixedValues::alphaOp},
        {program.alphaFunc, &FixedValues::alphaFunc},
        {program.fog, &FixedValues::fog},
        {program.clipPlanes, &FixedValues::clipPlanes}};
    for (const auto& [location, member] : integers)
        if (changed(wanted.*member, held.*member))
            glUniform1i(location, wanted.*member);
    if (changed(wanted.alphaRef, held.alphaRef))
        glUniform1f(program.alphaRef, wanted.alphaRef);
    if (changed(wanted.viewport, held.viewport))
        glUniform4fv(program.viewport, 1, wanted.viewport.data());
    if (changed(wanted.fogColor, held.fogColor))
        glUniform4fv(program.fogColor, 1, wanted.fogColor.data());
    if (changed(wanted.fragRows, held.fragRows))
        glUniform2fv(program.fragRows, 1, wanted.fragRows.data());
    if (changed(wanted.fogRange, held.fogRange))
        glUniform2fv(program.fogRange, 1, wanted.fogRange.data());
    held = wanted;
    program.fixedKnown = true;
}

void GlBackend::UploadConstants(const DeviceState& state, Program& program)
{
    for (Uniform& uniform : program.uniforms)
    {
        if (uniform.constant >= state.constants.size())
        {
            continue;
        }
        const ShaderConstant& constant = state.constants[uniform.constant];
        if (constant.stamp != uniform.stamp)
        {
            UploadUniform(uniform.location, uniform.type, uniform.size, constant.values);
            uniform.stamp = constant.stamp;
        }
    }
}

void GlBackend::BindVertices(const DeviceState& state, const DrawCall& call)
{
    uintptr_t base = 0;
    GLsizei stride = GLsizei(state.streamStride);
    GLuint buffer = 0;
    if (call.userVertices)
    {
        stride = GLsizei(call.userStride);
        buffer = userBuffer;
        glBindBuffer(GL_ARRAY_BUFFER, userBuffer);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(size_t(call.userVertexCount) * call.userStride),
                     call.userVertices, GL_STREAM_DRAW);
    }
    else
    {
        buffer = state.stream->backendName;
        base = state.streamOffset;
    }
    if (!verticesKnown || buffer != attributeBuffer || base != attributeBase || stride != attributeStride ||
        state.layout != attributeLayout)
    {
        SpecifyAttributes(state.layout, buffer, base, stride);
    }
    GLuint indexBuffer = boundIndexBuffer;
    if (call.userIndices)
    {
        indexBuffer = userIndexBuffer;
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, userIndexBuffer);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER,
                     GLsizeiptr(size_t(call.indexCount) * (call.userIndices32 ? 4 : 2)), call.userIndices,
                     GL_STREAM_DRAW);
    }
    else if (call.indexCount && state.indices->backendName != boundIndexBuffer)
    {
        indexBuffer = state.indices->backendName;
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer);
    }
    boundIndexBuffer = indexBuffer;
}

void GlBackend::BindInstances(const DeviceState& state, bool instanced)
{
    const GLuint vectors = instanced ? state.instanceVectors : 0;
    if (vectors == 0 && instanceVectors == 0)
    {
        return;
    }
    glBindVertexArray(vertexArray);
    const GLsizei stride = GLsizei(vectors * 4 * sizeof(float));
    if (vectors > 0)
    {
        glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(stride) * GLsizeiptr(state.instanceCount), state.instances,
                     GL_STREAM_DRAW);
    }
    for (GLuint vector = 0; vector < std::max(vectors, instanceVectors); ++vector)
    {
        const GLuint location = firstInstanceLocation + vector;
        if (vector < vectors)
        {
            glEnableVertexAttribArray(location);
            glVertexAttribPointer(location, 4, GL_FLOAT, GL_FALSE, stride,
                                  reinterpret_cast<const void*>(uintptr_t(vector) * 4 * sizeof(float)));
        }
        else
        {
            glDisableVertexAttribArray(location);
        }
        glVertexAttribDivisor(location, vector < vectors ? 1 : 0);
    }
    instanceVectors = vectors;
    // The locations may have been the vertices' (the binormal), or must be theirs again.
    verticesKnown = false;
    enabledAttributes &= ~(((1u << Device::maxInstanceVectors) - 1) << firstInstanceLocation);
}

void GlBackend::SpecifyAttributes(const std::vector<VertexElement>& layout, GLuint buffer, uintptr_t base,
                                  GLsizei stride)
{
    glBindVertexArray(vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    uint32_t enabled = 0;
    for (const VertexElement& element : layout)
    {
        const GLint location = AttributeLocation(element);
        if (location < 0)
        {
            continue;
        }
        const void* pointer = reinterpret_cast<const void*>(base + element.offset);
        enabled |= 1u << location;
        glEnableVertexAttribArray(GLuint(location));
        if (element.type == D3DDECLTYPE_D3DCOLOR)
        {
            glVertexAttribPointer(GLuint(location), GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, stride, pointer);
        }
        else
        {
            glVertexAttribPointer(GLuint(location), GLint(DeclTypeSize(element.type) / 4), GL_FLOAT, GL_FALSE,
                                  stride, pointer);
        }
    }
    for (GLuint location = 0; location < attributeLocations; ++location)
    {
        if ((enabledAttributes & ~enabled) & (1u << location))
        {
            glDisableVertexAttribArray(location);
        }
    }
    enabledAttributes = enabled;
    attributeBuffer = buffer;
    attributeBase = base;
    attributeStride = stride;
    attributeLayout = layout;
    verticesKnown = true;
}

void GlBackend::Draw(const DeviceState& state, const DrawCall& call)
{
    const uint32_t* rs = state.renderStates;
    SettleTargets(state, state.depthStencil && (rs[D3DRS_ZENABLE] != D3DZB_FALSE || rs[D3DRS_STENCILENABLE]),
                  false);
    if (!BindTargets(state))
    {
        return;
    }
    ApplyRenderStates(state);
    ApplySamplers(state);
    if (!ApplyProgram(state, call.instanced))
    {
        return; // shaders that do not link draw nothing
    }
    BindVertices(state, call);
    BindInstances(state, call.instanced);
    const GLenum mode = Primitive(call.type);
    if (call.indexCount)
    {
        const bool wide =
            call.userIndices ? call.userIndices32 : state.indices->GetFormat() == D3DFMT_INDEX32;
        const uintptr_t first = call.userIndices ? 0 : uintptr_t(call.startIndex) * (wide ? 4 : 2);
        const GLenum indexType = wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
        const auto* indices = reinterpret_cast<const void*>(first);
        if (call.instanced)
        {
            glDrawElementsInstancedBaseVertex(mode, GLsizei(call.indexCount), indexType, indices,
                                              GLsizei(state.instanceCount), call.baseVertex);
        }
        else
        {
            glDrawElementsBaseVertex(mode, GLsizei(call.indexCount), indexType, indices, call.baseVertex);
        }
    }
    else
    {
        glDrawArrays(mode, GLint(call.startVertex), GLsizei(call.vertexCount));
    }
}

HRESULT GlBackend::Present(Surface& backBuffer)
{
    const SurfaceDesc desc = backBuffer.GetDesc();
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    const bool sameSize = uint32_t(width) == desc.width && uint32_t(height) == desc.height;
    if (InWindow(backBuffer) && !sameSize)
    {
        MoveToTexture(backBuffer); // the window changed size under it
    }
    if (InWindow(backBuffer))
    {
        Swap();
        return D3D_OK;
    }
    // A back buffer of the window's size goes to the window in one blit, turned the right way up
    // on the way: a multisampled one is resolved by that blit, which saves a full-screen pass over
    // resolving it first. A driver that refuses a mirrored resolve gets the resolved copy.
    const bool multisampled = Samples(desc.multiSampleType) > 0;
    bool shown = false;
    if (sameSize && (mirroredResolve || !multisampled))
    {
        shown = BlitBackBuffer(backBuffer, width, height);
        mirroredResolve = shown || !multisampled;
    }
    if (!shown)
    {
        ReadableFramebuffer(backBuffer);
        BlitToWindow(width, height, desc, sameSize ? GL_NEAREST : GL_LINEAR);
    }
    Swap();
    std::fill(std::begin(boundTargets), std::end(boundTargets), 0u);
    return D3D_OK;
}

void GlBackend::Swap()
{
    const GLsync drawn = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    if (frameBefore)
    {
        constexpr GLuint64 patience = 5'000'000'000; // nanoseconds
        glClientWaitSync(frameBefore, 0, patience);
        glDeleteSync(frameBefore);
    }
    frameBefore = drawn;
    SDL_GL_SwapWindow(window);
}

} // namespace d3d9
