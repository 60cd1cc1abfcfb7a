#pragma once

#include "WeScript.h"
#include "WeString.h"

#include <cstring>
#include <type_traits>

// Natives of one member each, bound to a field of the native object: `Field` is a pointer to a
// data member of T, or a function taking T& and returning a reference to the field. Every one
// checks argument 1 (and the value of a setter, its last argument, 3) before it touches anything.
// A class's script name comes from WeScriptName<T>::value, specialised beside the class's natives.

template <typename T> struct WeScriptName;

// Gives a class its script name, the class's own name.
#define WE_SCRIPT_NAME(Type)                                                                                 \
    template <> struct WeScriptName<Type>                                                                    \
    {                                                                                                        \
        static constexpr const char* value = #Type;                                                          \
    };

template <typename T> T* WeScriptSelf(lua_State* L)
{
    return static_cast<T*>(WeScriptCheckObject(L, WeScriptName<T>::value));
}

template <typename T> T* WeScriptArg(lua_State* L, int arg)
{
    return static_cast<T*>(WeScriptCheckObjectAt(L, arg, WeScriptName<T>::value));
}

template <auto Field, typename T> decltype(auto) WeScriptFieldOf(T& object)
{
    if constexpr (std::is_member_object_pointer_v<decltype(Field)>)
        return (object.*Field);
    else
        return Field(object);
}

template <typename T, auto Field> int WeScriptGetNumber(lua_State* L)
{
    lua_pushnumber(L, lua_Number(WeScriptFieldOf<Field>(*WeScriptSelf<T>(L))));
    return 1;
}

// A setter storing its value argument as the check turns it.
template <typename T, auto Field, auto Check> int WeScriptSetWith(lua_State* L)
{
    T* self = WeScriptSelf<T>(L);
    WeScriptFieldOf<Field>(*self) = Check(L, 3);
    return 0;
}

template <typename T, auto Field>
constexpr lua_CFunction WeScriptSetFloat = WeScriptSetWith<T, Field, WeScriptCheckFloat>;

template <typename T, auto Field>
constexpr lua_CFunction WeScriptSetInt = WeScriptSetWith<T, Field, WeScriptCheckInt>;

template <typename T, auto Field> int WeScriptGetBool(lua_State* L)
{
    lua_pushboolean(L, WeScriptFieldOf<Field>(*WeScriptSelf<T>(L)));
    return 1;
}

template <typename T, auto Field>
constexpr lua_CFunction WeScriptSetBool = WeScriptSetWith<T, Field, WeScriptCheckBool>;

// A string argument as an engine string; numbers are turned into text as Lua does.
inline WeString WeScriptCheckString(lua_State* L, int arg)
{
    size_t length = 0;
    const char* text = luaL_checklstring(L, arg, &length);
    if (length > size_t(INT32_MAX))
    {
        luaL_argerror(L, arg, "string too long");
    }
    return WeString(text, int32_t(length));
}

template <typename T, auto Field> int WeScriptGetString(lua_State* L)
{
    const WeString& text = WeScriptFieldOf<Field>(*WeScriptSelf<T>(L));
    lua_pushlstring(L, text.GetData(), size_t(text.GetLength()));
    return 1;
}

template <typename T, auto Field>
constexpr lua_CFunction WeScriptSetString = WeScriptSetWith<T, Field, WeScriptCheckString>;

// A value-type field (vector, colour, quaternion) as an object that refers to the field itself.
template <typename T, auto Field> int WeScriptGetPart(lua_State* L)
{
    auto& part = WeScriptFieldOf<Field>(*WeScriptSelf<T>(L));
    using Part = std::remove_cvref_t<decltype(part)>;
    return WeScriptPushField(L, WeScriptName<Part>::value, const_cast<Part*>(&part));
}

// Copies the value of an object of the field's class into the field.
template <typename T, auto Field> int WeScriptSetPart(lua_State* L)
{
    T* self = WeScriptSelf<T>(L);
    auto& part = WeScriptFieldOf<Field>(*self);
    part = *WeScriptArg<std::remove_cvref_t<decltype(part)>>(L, 3);
    return 0;
}

// A float argument that reads 0 when it is missing or nil.
inline float WeScriptOptFloat(lua_State* L, int arg)
{
    return lua_isnoneornil(L, arg) ? 0.0f : WeScriptCheckFloat(L, arg);
}

// Constructor of a script-owned value of floats, from its first `Count` arguments (each 0 when
// missing); the rest of the value is zero.
template <typename T, int Count> int WeScriptNewFloats(lua_State* L)
{
    static_assert(sizeof(T) >= Count * sizeof(float));
    float values[Count > 0 ? Count : 1] = {};
    for (int i = 0; i < Count; ++i)
    {
        values[i] = WeScriptOptFloat(L, i + 1);
    }
    void* address = nullptr;
    WeScriptPushNewValue(L, WeScriptName<T>::value, sizeof(T), &address);
    std::memcpy(address, values, Count * sizeof(float));
    return 1;
}

// Delete's destruction of an object made by `new`.
template <typename T> void WeScriptDestroyNew(lua_State*, void* object)
{
    delete static_cast<T*>(object);
}

// A setter through the class's own operation taking a float, such as one that rebuilds.
template <typename T, auto Operation> int WeScriptSetFloatBy(lua_State* L)
{
    T* self = WeScriptSelf<T>(L);
    (self->*Operation)(WeScriptCheckFloat(L, 3));
    return 0;
}

// A method without arguments or results.
template <typename T, auto Operation> int WeScriptCall(lua_State* L)
{
    (WeScriptSelf<T>(L)->*Operation)();
    return 0;
}

// Table entries of the common properties.
template <typename T, auto Field> constexpr WeScriptMemberEntry WeScriptFloatMember(const char* name)
{
    return {name, WeScriptGetNumber<T, Field>, WeScriptSetFloat<T, Field>};
}

template <typename T, auto Field> constexpr WeScriptMemberEntry WeScriptBoolMember(const char* name)
{
    return {name, WeScriptGetBool<T, Field>, WeScriptSetBool<T, Field>};
}

template <typename T, auto Field> constexpr WeScriptMemberEntry WeScriptStringMember(const char* name)
{
    return {name, WeScriptGetString<T, Field>, WeScriptSetString<T, Field>};
}

template <typename T, auto Field> constexpr WeScriptMemberEntry WeScriptPartMember(const char* name)
{
    return {name, WeScriptGetPart<T, Field>, WeScriptSetPart<T, Field>};
}
