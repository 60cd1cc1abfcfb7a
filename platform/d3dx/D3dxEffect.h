// Effects in our own text format (asset type "fxo"): typed parameters with initial values, a
// shared flag and string annotations; samplers; techniques of passes with render states and
// GLSL code. Parameters marked shared hold one value for every effect of the same pool.
//
// Format, one statement a line ('#' starts a comment outside code blocks):
//   parameter [shared] <type>[<count>] <name> [= <values...>]    type: float float2 float3 float4
//                                                                 int bool string matrix texture
//   annotation <parameter> <name> "<text>"
//   sampler <uniform> <stage> [<texture parameter>]
//   technique <name>
//   pass <name>
//   state <render state number> <value>
//   vertex / fragment, then GLSL lines up to a line "end"
//   code <name>, then GLSL lines up to a line "end": a block that passes may share
//   vertex / fragment <block> [<define>...]: the named block, after "#define <define>" lines
//
// The code of a pass is GLSL 3.30 without a #version line, under the rules of
// d3d9::Device::CreateVertexShader: the fragment code writes `o_color`, and the alpha test and fog
// of the render states are applied after it. A pass without vertex (or fragment) code draws with
// the device's built-in stage in its place; with the built-in vertex stage, pre-transformed
// vertices keep their pixel positions and the fragment code reads `v_color` and `v_tex`. A
// parameter reaches the code as the uniform of its name (a matrix so that `M * v` applies it);
// a sampler statement gives the uniform its stage and, with a texture parameter, binds that
// parameter's texture to the stage when the pass begins or commits.
//
// Handles are process-wide names: one handle stands for a name in every effect, so a handle
// cached from one effect stays valid when the effect is created again from other bytes.
#pragma once

#include "d3d9/D3d9Device.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace d3dx
{

struct HandleName;
using D3DXHANDLE = const HandleName*;

// The handle of a name; never null for a non-empty name.
D3DXHANDLE HandleOf(const std::string& name);

constexpr uint32_t D3DXFX_DONOTSAVESTATE = 1;
constexpr uint32_t D3DXFX_DONOTSAVESHADERSTATE = 2;
constexpr uint32_t D3DXFX_DONOTSAVESAMPLERSTATE = 4;
constexpr uint32_t D3DXFX_NOT_CLONEABLE = 0x800;

enum class ParameterType
{
    floatValue,
    intValue,
    boolValue,
    stringValue,
    matrixValue,
    textureValue,
};

struct ParameterDesc
{
    std::string name;
    ParameterType type = ParameterType::floatValue;
    uint32_t columns = 1;  // floats per element: 1 to 4, 16 for matrices
    uint32_t elements = 1; // array length
    uint32_t bytes = 4;
    bool shared = false;
};

// A parameter's floats, with a number that changes whenever they are set.
struct EffectValue
{
    std::vector<float> values;
    uint64_t version = 0;
};

class EffectPool
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();
    // The shared value of the name, made with the size on first use.
    EffectValue& Shared(const std::string& name, size_t floats);

private:
    std::map<std::string, EffectValue> values;
    uint32_t refs = 1;
};

d3d9::HRESULT D3DXCreateEffectPool(EffectPool** pool);

struct EffectData;

class Effect
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();

    // The handle when the effect has a parameter (or technique, annotation) of that name.
    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, const char* name) const;
    D3DXHANDLE GetTechniqueByName(const char* name) const;
    // Top-level parameters by index; null past the last.
    D3DXHANDLE GetParameter(D3DXHANDLE parent, uint32_t index) const;
    D3DXHANDLE GetAnnotationByName(D3DXHANDLE parameter, const char* name) const;
    d3d9::HRESULT GetParameterDesc(D3DXHANDLE parameter, ParameterDesc* desc) const;

    // Values convert between int and float and are cut to the parameter's size.
    d3d9::HRESULT SetFloat(D3DXHANDLE parameter, float value);
    d3d9::HRESULT SetFloatArray(D3DXHANDLE parameter, const float* values, uint32_t count);
    d3d9::HRESULT SetInt(D3DXHANDLE parameter, int32_t value);
    d3d9::HRESULT SetIntArray(D3DXHANDLE parameter, const int32_t* values, uint32_t count);
    d3d9::HRESULT SetVectorArray(D3DXHANDLE parameter, const float* xyzw, uint32_t count);
    d3d9::HRESULT SetMatrix(D3DXHANDLE parameter, const d3d9::Matrix* matrix);
    d3d9::HRESULT SetMatrixArray(D3DXHANDLE parameter, const d3d9::Matrix* matrices, uint32_t count);
    // The texture of a texture parameter (no reference is taken).
    d3d9::HRESULT SetTexture(D3DXHANDLE parameter, d3d9::BaseTexture* texture);
    d3d9::HRESULT GetFloatArray(D3DXHANDLE parameter, float* values, uint32_t count) const;
    d3d9::HRESULT GetVectorArray(D3DXHANDLE parameter, float* xyzw, uint32_t count) const;
    d3d9::HRESULT GetInt(D3DXHANDLE parameter, int32_t* value) const;
    // The string of a string parameter or annotation.
    d3d9::HRESULT GetString(D3DXHANDLE parameter, const char** text) const;

    d3d9::HRESULT SetTechnique(D3DXHANDLE technique);
    D3DXHANDLE GetCurrentTechnique() const;
    d3d9::HRESULT Begin(uint32_t* passes, uint32_t flags);
    // Applies the pass's render states and shaders to the device, and every parameter and
    // sampler its code uses.
    d3d9::HRESULT BeginPass(uint32_t pass);
    // Hands the device the parameters set since the pass began or last committed.
    d3d9::HRESULT CommitChanges();
    d3d9::HRESULT EndPass();
    // Without D3DXFX_DONOTSAVESTATE the states the passes changed, and the shaders, return to
    // their values at Begin.
    d3d9::HRESULT End();
    d3d9::HRESULT OnLostDevice() { return d3d9::D3D_OK; }
    d3d9::HRESULT OnResetDevice() { return d3d9::D3D_OK; }

    // Test hook: how often CommitChanges ran.
    uint32_t Commits() const { return commits; }

    Effect(d3d9::Device* device, EffectPool* pool, std::unique_ptr<EffectData> data);
    ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // A parameter's description, value and annotations (defined with the parser).
    struct Parameter;

private:
    Parameter* Find(D3DXHANDLE parameter) const;
    EffectValue* Storage(D3DXHANDLE parameter, Parameter** found = nullptr) const;
    EffectValue* ValueOf(Parameter& parameter) const;
    // The parameters the active pass uses whose value changed since they were last handed over
    // (all of them with everything set).
    void Upload(bool everything);

    d3d9::Device* device;
    EffectPool* pool;
    std::unique_ptr<EffectData> data;
    int32_t technique = -1;
    int32_t activePass = -1;
    bool begun = false;
    bool restoreStates = false;
    std::vector<std::pair<uint32_t, uint32_t>> savedStates;
    d3d9::VertexShader* savedVertexShader = nullptr;
    d3d9::PixelShader* savedPixelShader = nullptr;
    uint32_t commits = 0;
    uint32_t refs = 1;
};

// Parses the effect text and makes the shaders of its passes on the device (none without a
// device); on a syntax error, or code that does not compile, fails with D3DERR_INVALIDCALL and
// the line or the compiler's log in the error text.
d3d9::HRESULT D3DXCreateEffect(d3d9::Device* device, const void* bytes, uint32_t size, uint32_t flags,
                               EffectPool* pool, Effect** effect, std::string* errors);

} // namespace d3dx
