// Effects in our own text format (asset type "fxo"): typed parameters with initial values, a
// shared flag and string annotations; techniques of passes with render states and GLSL code.
// Parameters marked shared hold one value for every effect of the same pool.
//
// Format, one statement a line ('#' starts a comment):
//   parameter [shared] <type>[<count>] <name> [= <values...>]    type: float float2 float3 float4
//                                                                 int bool string matrix
//   annotation <parameter> <name> "<text>"
//   technique <name>
//   pass <name>
//   state <render state number> <value>
//   vertex / fragment, then GLSL lines up to a line "end"
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

class EffectPool
{
public:
    uint32_t AddRef() { return ++refs; }
    uint32_t Release();
    // The shared value of the name, made with the size on first use.
    std::vector<float>& Shared(const std::string& name, size_t floats);

private:
    std::map<std::string, std::vector<float>> values;
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
    d3d9::HRESULT GetFloatArray(D3DXHANDLE parameter, float* values, uint32_t count) const;
    d3d9::HRESULT GetVectorArray(D3DXHANDLE parameter, float* xyzw, uint32_t count) const;
    d3d9::HRESULT GetInt(D3DXHANDLE parameter, int32_t* value) const;
    // The string of a string parameter or annotation.
    d3d9::HRESULT GetString(D3DXHANDLE parameter, const char** text) const;

    d3d9::HRESULT SetTechnique(D3DXHANDLE technique);
    D3DXHANDLE GetCurrentTechnique() const;
    d3d9::HRESULT Begin(uint32_t* passes, uint32_t flags);
    // Applies the pass's render states to the device.
    d3d9::HRESULT BeginPass(uint32_t pass);
    d3d9::HRESULT CommitChanges();
    d3d9::HRESULT EndPass();
    // Without D3DXFX_DONOTSAVESTATE the states the passes changed return to their values at Begin.
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
    std::vector<float>* Storage(D3DXHANDLE parameter, Parameter** found = nullptr) const;

    d3d9::Device* device;
    EffectPool* pool;
    std::unique_ptr<EffectData> data;
    int32_t technique = -1;
    int32_t activePass = -1;
    bool begun = false;
    bool restoreStates = false;
    std::vector<std::pair<uint32_t, uint32_t>> savedStates;
    uint32_t commits = 0;
    uint32_t refs = 1;
};

// Parses the effect text; on a syntax error fails with D3DERR_INVALIDCALL and the line in the
// error text.
d3d9::HRESULT D3DXCreateEffect(d3d9::Device* device, const void* bytes, uint32_t size, uint32_t flags,
                               EffectPool* pool, Effect** effect, std::string* errors);

} // namespace d3dx
