#include "d3dx/D3dxEffect.h"

#include "d3d9/D3d9Backend.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>
#include <set>
#include <sstream>

namespace d3dx
{

struct HandleName
{
    std::string name;
};

D3DXHANDLE HandleOf(const std::string& name)
{
    static std::mutex lock;
    static std::map<std::string, std::unique_ptr<HandleName>> names;
    if (name.empty())
        return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    auto& slot = names[name];
    if (!slot)
        slot = std::make_unique<HandleName>(HandleName{name});
    return slot.get();
}

struct Effect::Parameter
{
    ParameterDesc desc;
    EffectValue own; // storage of a parameter that is not shared
    std::string text;
    std::map<std::string, std::string> annotations;
    d3d9::BaseTexture* texture = nullptr;
    uint32_t constant = 0;         // the device's shader constant of the name
    uint64_t handedOver = 0;       // version of the value the device got last
    EffectValue* shared = nullptr; // the pool's value of a shared parameter, once looked up
};

struct EffectSampler
{
    std::string uniform;
    uint32_t stage = 0;
    D3DXHANDLE texture = nullptr;                  // a texture parameter, or none
    Effect::Parameter* textureParameter = nullptr; // the same parameter
    uint32_t constant = 0;                         // the device's shader constant of the uniform
};

struct EffectPass
{
    std::string name;
    std::vector<std::pair<uint32_t, uint32_t>> states;
    std::string vertexCode;
    std::string fragmentCode;
    d3d9::VertexShader* vertexShader = nullptr;
    d3d9::PixelShader* pixelShader = nullptr;
    std::vector<Effect::Parameter*> used; // parameters the code names
    std::vector<const EffectSampler*> samplers;
};

struct EffectTechnique
{
    std::string name;
    std::vector<EffectPass> passes;
};

struct EffectData
{
    std::vector<Effect::Parameter*> order;
    std::map<D3DXHANDLE, std::unique_ptr<Effect::Parameter>> parameters;
    std::vector<EffectSampler> samplers;
    std::vector<EffectTechnique> techniques;

    EffectData() = default;
    EffectData(const EffectData&) = delete;
    EffectData& operator=(const EffectData&) = delete;
    ~EffectData()
    {
        for (EffectTechnique& technique : techniques)
            for (EffectPass& pass : technique.passes)
            {
                if (pass.vertexShader)
                    pass.vertexShader->Release();
                if (pass.pixelShader)
                    pass.pixelShader->Release();
            }
    }
};

namespace
{

bool ParseType(const std::string& word, ParameterDesc& desc)
{
    std::string base = word;
    desc.elements = 1;
    const size_t open = word.find('[');
    if (open != std::string::npos)
    {
        const size_t close = word.find(']', open);
        if (close == std::string::npos)
            return false;
        const std::string count = word.substr(open + 1, close - open - 1);
        if (count.empty() || count.size() > 4 || count.find_first_not_of("0123456789") != std::string::npos)
            return false;
        desc.elements = uint32_t(std::stoul(count));
        base = word.substr(0, open);
        if (desc.elements == 0)
            return false;
    }
    static const std::map<std::string, std::pair<ParameterType, uint32_t>> types{
        {"float", {ParameterType::floatValue, 1}},    {"float2", {ParameterType::floatValue, 2}},
        {"float3", {ParameterType::floatValue, 3}},   {"float4", {ParameterType::floatValue, 4}},
        {"int", {ParameterType::intValue, 1}},        {"bool", {ParameterType::boolValue, 1}},
        {"string", {ParameterType::stringValue, 0}},  {"matrix", {ParameterType::matrixValue, 16}},
        {"texture", {ParameterType::textureValue, 0}}};
    const auto found = types.find(base);
    if (found == types.end())
        return false;
    desc.type = found->second.first;
    desc.columns = found->second.second;
    desc.bytes = desc.columns * desc.elements * 4;
    return true;
}

// The text between the first pair of double quotes of the rest of the line.
bool Quoted(std::istringstream& line, std::string& text)
{
    std::string rest;
    std::getline(line, rest);
    const size_t open = rest.find('"');
    const size_t close = open == std::string::npos ? open : rest.find('"', open + 1);
    if (close == std::string::npos)
        return false;
    text = rest.substr(open + 1, close - open - 1);
    return true;
}

bool ParseNumber(const std::string& word, float& value)
{
    std::istringstream in(word);
    in.imbue(std::locale::classic());
    in >> value;
    return !in.fail() && in.eof();
}

// Whole numbers that an int32 holds exactly as a float (GetInt turns them back without loss).
bool IsIntegral(float value)
{
    return std::fabs(value) <= 16777216.0f && std::trunc(value) == value;
}

class Parser
{
public:
    explicit Parser(EffectData& data) : data(data) {}
    bool Parse(const std::string& source, std::string& error)
    {
        std::istringstream lines(source);
        std::string line;
        int number = 0;
        while (std::getline(lines, line))
        {
            ++number;
            if (code)
            {
                if (line.find_first_not_of(" \t\r") != std::string::npos &&
                    line.substr(line.find_first_not_of(" \t\r"), 3) == "end")
                    code = nullptr;
                else
                    *code += line + "\n";
                continue;
            }
            if (!Statement(line))
            {
                error = "line " + std::to_string(number) + ": " + line;
                return false;
            }
        }
        if (code)
            error = "code block without end";
        return code == nullptr;
    }

private:
    bool Statement(const std::string& text)
    {
        std::istringstream line(text.substr(0, text.find('#')));
        line.imbue(std::locale::classic());
        std::string word;
        if (!(line >> word))
            return true;
        if (word == "parameter")
            return ParameterStatement(line);
        if (word == "annotation")
        {
            std::string parameter, name, value;
            if (!(line >> parameter >> name) || !Quoted(line, value))
                return false;
            const auto found = data.parameters.find(HandleOf(parameter));
            if (found == data.parameters.end())
                return false;
            found->second->annotations[name] = value;
            return true;
        }
        if (word == "sampler")
        {
            EffectSampler sampler;
            std::string texture;
            if (!(line >> sampler.uniform >> sampler.stage) || sampler.stage >= d3d9::maxSamplers)
                return false;
            if (line >> texture)
            {
                const auto found = data.parameters.find(HandleOf(texture));
                if (found == data.parameters.end() || found->second->desc.type != ParameterType::textureValue)
                    return false;
                sampler.texture = found->first;
                sampler.textureParameter = found->second.get();
            }
            sampler.constant = d3d9::ShaderConstantId(sampler.uniform);
            data.samplers.push_back(sampler);
            return true;
        }
        if (word == "code")
        {
            std::string name;
            if (!(line >> name) || blocks.count(name))
                return false;
            code = &blocks[name];
            return true;
        }
        if (word == "technique")
        {
            data.techniques.push_back({});
            return bool(line >> data.techniques.back().name);
        }
        if (data.techniques.empty())
            return false;
        EffectTechnique& technique = data.techniques.back();
        if (word == "pass")
        {
            technique.passes.push_back({});
            return bool(line >> technique.passes.back().name);
        }
        if (technique.passes.empty())
            return false;
        EffectPass& pass = technique.passes.back();
        if (word == "state")
        {
            uint32_t state = 0, value = 0;
            if (!(line >> state >> value) || state >= d3d9::D3DRS_COUNT)
                return false;
            pass.states.emplace_back(state, value);
            return true;
        }
        if (word == "vertex" || word == "fragment")
        {
            std::string& target = word == "vertex" ? pass.vertexCode : pass.fragmentCode;
            std::string block;
            if (!(line >> block))
            {
                code = &target;
                return true;
            }
            return TakeBlock(line, block, target);
        }
        return false;
    }

    // The named code block, after a #define line for each further word.
    bool TakeBlock(std::istringstream& line, const std::string& name, std::string& target) const
    {
        const auto found = blocks.find(name);
        if (found == blocks.end())
            return false;
        target.clear();
        for (std::string define; line >> define;)
            target += "#define " + define + "\n";
        target += found->second;
        return true;
    }

    bool ParameterStatement(std::istringstream& line)
    {
        auto parameter = std::make_unique<Effect::Parameter>();
        std::string word;
        if (!(line >> word))
            return false;
        if (word == "shared")
        {
            parameter->desc.shared = true;
            if (!(line >> word))
                return false;
        }
        if (!ParseType(word, parameter->desc) || !(line >> parameter->desc.name))
            return false;
        D3DXHANDLE handle = HandleOf(parameter->desc.name);
        if (data.parameters.count(handle) ||
            (parameter->desc.shared && parameter->desc.type == ParameterType::textureValue))
            return false;
        parameter->own.values.assign(parameter->desc.columns * parameter->desc.elements, 0.0f);
        parameter->constant = d3d9::ShaderConstantId(parameter->desc.name);
        if (line >> word)
        {
            if (word != "=")
                return false;
            if (parameter->desc.type == ParameterType::stringValue)
            {
                if (!Quoted(line, parameter->text))
                    return false;
            }
            else
            {
                const bool integral = parameter->desc.type == ParameterType::intValue ||
                                      parameter->desc.type == ParameterType::boolValue;
                size_t i = 0;
                while (line >> word)
                {
                    float value = 0.0f;
                    if (i >= parameter->own.values.size() || !ParseNumber(word, value) ||
                        (integral && !IsIntegral(value)))
                        return false;
                    parameter->own.values[i++] = value;
                }
            }
        }
        data.order.push_back(parameter.get());
        data.parameters[handle] = std::move(parameter);
        return true;
    }

    EffectData& data;
    std::string* code = nullptr;
    std::map<std::string, std::string> blocks; // named code blocks that passes take
};

// Whether the code names the identifier as a whole word.
bool Names(const std::string& code, const std::string& name)
{
    const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (size_t at = code.find(name); at != std::string::npos; at = code.find(name, at + 1))
    {
        const size_t end = at + name.size();
        if ((at == 0 || !word(code[at - 1])) && (end == code.size() || !word(code[end])))
            return true;
    }
    return false;
}

// Makes each pass's shaders and lists the parameters and samplers its code uses.
bool PreparePasses(d3d9::Device* device, EffectData& data, std::string& error)
{
    for (EffectTechnique& technique : data.techniques)
        for (EffectPass& pass : technique.passes)
        {
            const std::string code = pass.vertexCode + "\n" + pass.fragmentCode;
            for (Effect::Parameter* parameter : data.order)
                if (parameter->desc.type != ParameterType::stringValue && Names(code, parameter->desc.name))
                    pass.used.push_back(parameter);
            for (const EffectSampler& sampler : data.samplers)
                if (Names(code, sampler.uniform))
                    pass.samplers.push_back(&sampler);
            if (!device)
                continue;
            const std::string where = "technique " + technique.name + " pass " + pass.name + ": ";
            if (!pass.vertexCode.empty() &&
                d3d9::Failed(device->CreateVertexShader(pass.vertexCode.c_str(), &pass.vertexShader)))
            {
                error = where + device->GetBackend().LastProblem();
                return false;
            }
            if (!pass.fragmentCode.empty() &&
                d3d9::Failed(device->CreatePixelShader(pass.fragmentCode.c_str(), &pass.pixelShader)))
            {
                error = where + device->GetBackend().LastProblem();
                return false;
            }
        }
    return true;
}

} // namespace

uint32_t EffectPool::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
        delete this;
    return left;
}

EffectValue& EffectPool::Shared(const std::string& name, size_t floats)
{
    EffectValue& value = values[name];
    if (value.values.size() < floats)
        value.values.resize(floats, 0.0f);
    return value;
}

d3d9::HRESULT D3DXCreateEffectPool(EffectPool** pool)
{
    if (!pool)
        return d3d9::D3DERR_INVALIDCALL;
    *pool = new EffectPool;
    return d3d9::D3D_OK;
}

d3d9::HRESULT D3DXCreateEffect(d3d9::Device* device, const void* bytes, uint32_t size, uint32_t,
                               EffectPool* pool, Effect** effect, std::string* errors)
{
    if (!bytes || !effect)
        return d3d9::D3DERR_INVALIDCALL;
    auto data = std::make_unique<EffectData>();
    std::string error;
    Parser parser(*data);
    if (!parser.Parse(std::string(static_cast<const char*>(bytes), size), error) ||
        !PreparePasses(device, *data, error))
    {
        if (errors)
            *errors = error;
        return d3d9::D3DERR_INVALIDCALL;
    }
    *effect = new Effect(device, pool, std::move(data));
    return d3d9::D3D_OK;
}

Effect::Effect(d3d9::Device* device, EffectPool* pool, std::unique_ptr<EffectData> effectData)
    : device(device), pool(pool), data(std::move(effectData))
{
    if (pool)
        pool->AddRef();
    // A shared parameter's initial value seeds the pool only when the pool holds none yet.
    for (Parameter* parameter : data->order)
        if (parameter->desc.shared && pool)
        {
            const size_t floats = parameter->own.values.size();
            std::vector<float>& shared = pool->Shared(parameter->desc.name, 0).values;
            if (shared.empty())
                shared = parameter->own.values;
            else if (shared.size() < floats)
                shared.resize(floats, 0.0f);
        }
    if (!data->techniques.empty())
        technique = 0;
}

Effect::~Effect()
{
    if (pool)
        pool->Release();
}

uint32_t Effect::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
        delete this;
    return left;
}

Effect::Parameter* Effect::Find(D3DXHANDLE parameter) const
{
    const auto found = data->parameters.find(parameter);
    return found == data->parameters.end() ? nullptr : found->second.get();
}

EffectValue* Effect::Storage(D3DXHANDLE parameter, Parameter** found) const
{
    Parameter* p = Find(parameter);
    if (found)
        *found = p;
    return p ? ValueOf(*p) : nullptr;
}

EffectValue* Effect::ValueOf(Parameter& parameter) const
{
    if (!parameter.desc.shared || !pool)
        return &parameter.own;
    // The pool's values stay where they are, and never shrink.
    if (!parameter.shared)
        parameter.shared = &pool->Shared(parameter.desc.name, parameter.own.values.size());
    return parameter.shared;
}

namespace
{

uint64_t NextVersion()
{
    static uint64_t version = 0;
    return ++version;
}

} // namespace

D3DXHANDLE Effect::GetParameterByName(D3DXHANDLE, const char* name) const
{
    const D3DXHANDLE handle = name ? HandleOf(name) : nullptr;
    return Find(handle) ? handle : nullptr;
}

D3DXHANDLE Effect::GetTechniqueByName(const char* name) const
{
    for (const EffectTechnique& t : data->techniques)
        if (name && t.name == name)
            return HandleOf(t.name);
    return nullptr;
}

D3DXHANDLE Effect::GetParameter(D3DXHANDLE, uint32_t index) const
{
    return index < data->order.size() ? HandleOf(data->order[index]->desc.name) : nullptr;
}

D3DXHANDLE Effect::GetAnnotationByName(D3DXHANDLE parameter, const char* name) const
{
    const Parameter* p = Find(parameter);
    if (!p || !name || !p->annotations.count(name))
        return nullptr;
    return HandleOf(p->desc.name + "@" + name);
}

d3d9::HRESULT Effect::GetParameterDesc(D3DXHANDLE parameter, ParameterDesc* desc) const
{
    const Parameter* p = Find(parameter);
    if (!p || !desc)
        return d3d9::D3DERR_INVALIDCALL;
    *desc = p->desc;
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::SetFloatArray(D3DXHANDLE parameter, const float* values, uint32_t count)
{
    EffectValue* storage = Storage(parameter);
    if (!storage || (!values && count > 0))
        return d3d9::D3DERR_INVALIDCALL;
    std::copy_n(values, std::min<size_t>(count, storage->values.size()), storage->values.begin());
    storage->version = NextVersion();
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::SetFloat(D3DXHANDLE parameter, float value)
{
    return SetFloatArray(parameter, &value, 1);
}

d3d9::HRESULT Effect::SetIntArray(D3DXHANDLE parameter, const int32_t* values, uint32_t count)
{
    std::vector<float> floats(values, values + count);
    return SetFloatArray(parameter, floats.data(), count);
}

d3d9::HRESULT Effect::SetInt(D3DXHANDLE parameter, int32_t value)
{
    return SetIntArray(parameter, &value, 1);
}

d3d9::HRESULT Effect::SetVectorArray(D3DXHANDLE parameter, const float* xyzw, uint32_t count)
{
    Parameter* p = nullptr;
    EffectValue* storage = Storage(parameter, &p);
    if (!storage || !xyzw)
        return d3d9::D3DERR_INVALIDCALL;
    // Each vector is cut to the parameter's width.
    const uint32_t columns = std::max(1u, std::min(4u, p->desc.columns));
    const uint32_t n = std::min(count, uint32_t(storage->values.size() / columns));
    for (uint32_t i = 0; i < n; ++i)
        std::copy_n(xyzw + 4 * i, columns, storage->values.begin() + i * columns);
    storage->version = NextVersion();
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::SetMatrix(D3DXHANDLE parameter, const d3d9::Matrix* matrix)
{
    return SetMatrixArray(parameter, matrix, 1);
}

d3d9::HRESULT Effect::SetMatrixArray(D3DXHANDLE parameter, const d3d9::Matrix* matrices, uint32_t count)
{
    return matrices ? SetFloatArray(parameter, &matrices[0].m[0][0], 16 * count) : d3d9::D3DERR_INVALIDCALL;
}

d3d9::HRESULT Effect::SetTexture(D3DXHANDLE parameter, d3d9::BaseTexture* texture)
{
    Parameter* p = Find(parameter);
    if (!p || p->desc.type != ParameterType::textureValue)
        return d3d9::D3DERR_INVALIDCALL;
    p->texture = texture;
    p->own.version = NextVersion();
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::GetFloatArray(D3DXHANDLE parameter, float* values, uint32_t count) const
{
    const EffectValue* valueOf = Storage(parameter);
    if (!valueOf || !values)
        return d3d9::D3DERR_INVALIDCALL;
    const std::vector<float>* storage = &valueOf->values;
    std::fill_n(values, count, 0.0f);
    std::copy_n(storage->begin(), std::min<size_t>(count, storage->size()), values);
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::GetVectorArray(D3DXHANDLE parameter, float* xyzw, uint32_t count) const
{
    Parameter* p = nullptr;
    const EffectValue* valueOf = Storage(parameter, &p);
    if (!valueOf || !xyzw)
        return d3d9::D3DERR_INVALIDCALL;
    const std::vector<float>* storage = &valueOf->values;
    const uint32_t columns = std::max(1u, std::min(4u, p->desc.columns));
    std::fill_n(xyzw, 4 * count, 0.0f);
    const uint32_t n = std::min(count, uint32_t(storage->size() / columns));
    for (uint32_t i = 0; i < n; ++i)
        std::copy_n(storage->begin() + i * columns, columns, xyzw + 4 * i);
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::GetInt(D3DXHANDLE parameter, int32_t* value) const
{
    float f = 0.0f;
    // A float set at run time may lie outside what an int holds.
    if (!value || d3d9::Failed(GetFloatArray(parameter, &f, 1)) || !(std::fabs(f) < 2147483648.0f))
        return d3d9::D3DERR_INVALIDCALL;
    *value = int32_t(f);
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::GetString(D3DXHANDLE parameter, const char** text) const
{
    if (!parameter || !text)
        return d3d9::D3DERR_INVALIDCALL;
    const std::string& name = parameter->name;
    const size_t at = name.find('@');
    const Parameter* p = Find(at == std::string::npos ? parameter : HandleOf(name.substr(0, at)));
    if (!p)
        return d3d9::D3DERR_INVALIDCALL;
    if (at != std::string::npos)
    {
        const auto found = p->annotations.find(name.substr(at + 1));
        if (found == p->annotations.end())
            return d3d9::D3DERR_INVALIDCALL;
        *text = found->second.c_str();
        return d3d9::D3D_OK;
    }
    if (p->desc.type != ParameterType::stringValue)
        return d3d9::D3DERR_INVALIDCALL;
    *text = p->text.c_str();
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::SetTechnique(D3DXHANDLE handle)
{
    for (size_t i = 0; i < data->techniques.size(); ++i)
        if (handle && data->techniques[i].name == handle->name)
        {
            technique = int32_t(i);
            return d3d9::D3D_OK;
        }
    return d3d9::D3DERR_INVALIDCALL;
}

D3DXHANDLE Effect::GetCurrentTechnique() const
{
    return technique >= 0 ? HandleOf(data->techniques[size_t(technique)].name) : nullptr;
}

d3d9::HRESULT Effect::Begin(uint32_t* passes, uint32_t flags)
{
    if (technique < 0 || begun)
        return d3d9::D3DERR_INVALIDCALL;
    begun = true;
    restoreStates = (flags & D3DXFX_DONOTSAVESTATE) == 0;
    savedStates.clear();
    if (restoreStates && device)
    {
        std::set<uint32_t> touched;
        for (const EffectPass& pass : data->techniques[size_t(technique)].passes)
            for (const auto& state : pass.states)
                touched.insert(state.first);
        for (uint32_t state : touched)
        {
            uint32_t value = 0;
            device->GetRenderState(d3d9::RenderState(state), &value);
            savedStates.emplace_back(state, value);
        }
    }
    if (restoreStates && device)
    {
        savedVertexShader = device->GetVertexShader();
        savedPixelShader = device->GetPixelShader();
    }
    if (passes)
        *passes = uint32_t(data->techniques[size_t(technique)].passes.size());
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::BeginPass(uint32_t pass)
{
    if (!begun || activePass >= 0 || pass >= data->techniques[size_t(technique)].passes.size())
        return d3d9::D3DERR_INVALIDCALL;
    activePass = int32_t(pass);
    if (!device)
        return d3d9::D3D_OK;
    const EffectPass& active = data->techniques[size_t(technique)].passes[pass];
    for (const auto& state : active.states)
        device->SetRenderState(d3d9::RenderState(state.first), state.second);
    device->SetVertexShader(active.vertexShader);
    device->SetPixelShader(active.pixelShader);
    for (const EffectSampler* sampler : active.samplers)
    {
        const float stage = float(sampler->stage);
        device->SetShaderConstantF(sampler->constant, &stage, 1);
    }
    Upload(true);
    return d3d9::D3D_OK;
}

void Effect::Upload(bool everything)
{
    if (!device || activePass < 0)
        return;
    const EffectPass& active = data->techniques[size_t(technique)].passes[size_t(activePass)];
    for (Parameter* parameter : active.used)
    {
        if (parameter->desc.type == ParameterType::textureValue)
            continue;
        const EffectValue* value = ValueOf(*parameter);
        if (!everything && value->version == parameter->handedOver)
            continue;
        device->SetShaderConstantF(parameter->constant, value->values.data(), uint32_t(value->values.size()));
        parameter->handedOver = value->version;
    }
    for (const EffectSampler* sampler : active.samplers)
    {
        Parameter* texture = sampler->textureParameter;
        if (texture && texture->texture && (everything || texture->own.version != texture->handedOver))
        {
            device->SetTexture(sampler->stage, texture->texture);
            texture->handedOver = texture->own.version;
        }
    }
}

d3d9::HRESULT Effect::CommitChanges()
{
    if (activePass < 0)
        return d3d9::D3DERR_INVALIDCALL;
    ++commits;
    Upload(false);
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::EndPass()
{
    if (activePass < 0)
        return d3d9::D3DERR_INVALIDCALL;
    activePass = -1;
    return d3d9::D3D_OK;
}

d3d9::HRESULT Effect::End()
{
    if (!begun)
        return d3d9::D3DERR_INVALIDCALL;
    if (device && restoreStates)
    {
        for (const auto& state : savedStates)
            device->SetRenderState(d3d9::RenderState(state.first), state.second);
        device->SetVertexShader(savedVertexShader);
        device->SetPixelShader(savedPixelShader);
    }
    begun = false;
    activePass = -1;
    return d3d9::D3D_OK;
}

} // namespace d3dx
