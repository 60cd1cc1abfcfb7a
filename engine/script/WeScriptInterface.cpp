#include "WeScriptInterface.h"

#include "WeActor.h"
#include "WeCanvas.h"
#include "WeFont.h"
#include "WeLight.h"
#include "WeRenderScriptNatives.h"
#include "WeSceneScriptNatives.h"

#include <array>
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
const WeScriptMemberEntry kColorMembers[] = {
    WeScriptFloatMember<WeColor, &WeColor::r>("r"),
    WeScriptFloatMember<WeColor, &WeColor::g>("g"),
    WeScriptFloatMember<WeColor, &WeColor::b>("b"),
    WeScriptFloatMember<WeColor, &WeColor::a>("a"),
};

const WeScriptMemberEntry kVectorMembers[] = {
    WeScriptFloatMember<WeVector, &WeVector::x>("x"),
    WeScriptFloatMember<WeVector, &WeVector::y>("y"),
    WeScriptFloatMember<WeVector, &WeVector::z>("z"),
};

const WeScriptMemberEntry kVector4Members[] = {
    WeScriptFloatMember<WeVector4, &WeVector4::x>("x"),
    WeScriptFloatMember<WeVector4, &WeVector4::y>("y"),
    WeScriptFloatMember<WeVector4, &WeVector4::z>("z"),
    WeScriptFloatMember<WeVector4, &WeVector4::w>("w"),
};

const WeScriptMemberEntry kQuaternionMembers[] = {
    WeScriptFloatMember<WeQuaternion, &WeQuaternion::x>("x"),
    WeScriptFloatMember<WeQuaternion, &WeQuaternion::y>("y"),
    WeScriptFloatMember<WeQuaternion, &WeQuaternion::z>("z"),
    WeScriptFloatMember<WeQuaternion, &WeQuaternion::w>("w"),
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
        WeScriptFloatMember<WeMatrix, MatrixCell<Cells>>(kMatrixNames[Cells])...};
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
    {"NullColor", "WeColor", &NullColor},    {"NullVector", "WeVector", &NullVector},
    {"VectorX0", "WeVector", &VectorX0},     {"VectorY0", "WeVector", &VectorY0},
    {"VectorZ0", "WeVector", &VectorZ0},     {"IdentityMatrix", "WeMatrix", &IdentityMatrix},
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
