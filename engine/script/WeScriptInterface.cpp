#include "WeScriptInterface.h"

#include "WeActor.h"
#include "WeCanvas.h"
#include "WeFont.h"
#include "WeLight.h"
#include "WeRenderScriptNatives.h"
#include "WeSceneScriptNatives.h"

#include <utility>

WeColor NullColor{0.0f, 0.0f, 0.0f, 0.0f};
WeVector NullVector{0.0f, 0.0f, 0.0f};
WeVector VectorX0{1.0f, 0.0f, 0.0f};
WeVector VectorY0{0.0f, 1.0f, 0.0f};
WeVector VectorZ0{0.0f, 0.0f, 1.0f};
WeMatrix IdentityMatrix;
WeQuaternion NullQuat{0.0f, 0.0f, 0.0f, 1.0f};

namespace
{
// Getter and setter of one float of a value type.
template <typename T, auto Field> constexpr WeScriptMemberEntry FloatMember(const char* name)
{
    return {name, WeScriptGetNumber<T, Field>, WeScriptSetFloat<T, Field>};
}

const WeScriptMemberEntry kColorMembers[] = {
    FloatMember<WeColor, &WeColor::r>("r"),
    FloatMember<WeColor, &WeColor::g>("g"),
    FloatMember<WeColor, &WeColor::b>("b"),
    FloatMember<WeColor, &WeColor::a>("a"),
};

const WeScriptMemberEntry kVectorMembers[] = {
    FloatMember<WeVector, &WeVector::x>("x"),
    FloatMember<WeVector, &WeVector::y>("y"),
    FloatMember<WeVector, &WeVector::z>("z"),
};

const WeScriptMemberEntry kVector4Members[] = {
    FloatMember<WeVector4, &WeVector4::x>("x"),
    FloatMember<WeVector4, &WeVector4::y>("y"),
    FloatMember<WeVector4, &WeVector4::z>("z"),
    FloatMember<WeVector4, &WeVector4::w>("w"),
};

const WeScriptMemberEntry kQuaternionMembers[] = {
    FloatMember<WeQuaternion, &WeQuaternion::x>("x"),
    FloatMember<WeQuaternion, &WeQuaternion::y>("y"),
    FloatMember<WeQuaternion, &WeQuaternion::z>("z"),
    FloatMember<WeQuaternion, &WeQuaternion::w>("w"),
};

template <int Cell> float& MatrixCell(WeMatrix& matrix)
{
    return matrix.m[Cell / 4][Cell % 4];
}

constexpr const char* kMatrixNames[16] = {"_11", "_12", "_13", "_14", "_21", "_22", "_23", "_24",
                                          "_31", "_32", "_33", "_34", "_41", "_42", "_43", "_44"};

template <int... Cells> constexpr auto MatrixMembers(std::integer_sequence<int, Cells...>)
{
    return std::array<WeScriptMemberEntry, sizeof...(Cells)>{
        FloatMember<WeMatrix, MatrixCell<Cells>>(kMatrixNames[Cells])...};
}

const auto kMatrixMembers = MatrixMembers(std::make_integer_sequence<int, 16>());

struct Constant
{
    const char* name;
    int32_t value;
};

const Constant kConstants[] = {
    {"ACTOR_MESH", WeActorTypeMesh},
    {"ACTOR_LIGHT", WeActorTypeLight},
    {"ACTOR_PS", WeActorTypeParticleSystem},
    {"BLENDMODE_NORMAL", BLENDMODE_NORMAL},
    {"BLENDMODE_ADDITIVE", BLENDMODE_ADDITIVE},
    {"LIGHT_POINT", LIGHT_POINT},
    {"LIGHT_POINT_VERTEXONLY", LIGHT_POINT_VERTEXONLY},
    {"LIGHT_PROJECTOR", LIGHT_PROJECTOR},
    {"LIGHT_FLARE", LIGHT_FLARE},
    {"TEXT_TOP", TEXT_TOP},
    {"TEXT_VCENTER", TEXT_VCENTER},
    {"TEXT_BOTTOM", TEXT_BOTTOM},
    {"TEXT_LEFT", TEXT_LEFT},
    {"TEXT_CENTER", TEXT_CENTER},
    {"TEXT_RIGHT", TEXT_RIGHT},
    {"TEXT_WORDBREAK", TEXT_WORDBREAK},
};

struct ConstantObject
{
    const char* name;
    const char* className;
    void* object;
};

const ConstantObject kConstantObjects[] = {
    {"NullColor", "WeColor", &NullColor},
    {"NullVector", "WeVector", &NullVector},
    {"VectorX0", "WeVector", &VectorX0},
    {"VectorY0", "WeVector", &VectorY0},
    {"VectorZ0", "WeVector", &VectorZ0},
    {"IdentityMatrix", "WeMatrix", &IdentityMatrix},
    {"NullQuat", "WeQuaternion", &NullQuat},
};
} // namespace

void WeRegisterScriptInterface(WeScriptRegistry& registry)
{
    WeScriptRegisterMembers(registry, "WeColor", kColorMembers);
    WeScriptRegisterMembers(registry, "WeVector", kVectorMembers);
    WeScriptRegisterMembers(registry, "WeVector4", kVector4Members);
    WeScriptRegisterMembers(registry, "WeQuaternion", kQuaternionMembers);
    for (const WeScriptMemberEntry& member : kMatrixMembers)
    {
        registry.RegisterMember("WeMatrix", member.name, WeScriptMember::Getter, member.getter);
        registry.RegisterMember("WeMatrix", member.name, WeScriptMember::Setter, member.setter);
    }
    for (const Constant& constant : kConstants)
    {
        registry.RegisterConstant(constant.name, constant.value);
    }
    for (const ConstantObject& global : kConstantObjects)
    {
        registry.RegisterInstance(global.name, global.className, global.object);
    }
    registry.RegisterFunction("NewQuat", WeScriptNewFloats<WeQuaternion, 4>);
    WeRegisterRenderScript(registry);
    WeRegisterSceneScript(registry);
}
