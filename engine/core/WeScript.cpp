#include "WeScript.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

// Everything here may run inside a call from Lua, where an error unwinds by longjmp: no
// object that needs destruction lives in these frames, and names are built as Lua strings.

namespace
{
const char* const kHandleKey = "____handle____";
const char* const kClassKey = "____class____";
const char* const kParentKey = "____class____parent____";
const char* const kMetatableName = "____class____metatable____";
// In the Lua registry: object table -> its record (weak keys), owner -> its life, and the
// metatable of lives.
const char* const kObjectsKey = "____objects____";
const char* const kLivesKey = "____lives____";
const char* const kLifeMetatable = "____life____";

// A record: the handle, the class table, the life (or nil) and a value it keeps alive (or nil).
enum RecordSlot
{
    RecordHandle = 1,
    RecordClass = 2,
    RecordLife = 3,
    RecordAnchor = 4
};

// A parent chain longer than this is a loop made by a script: lookups stop there with an
// error instead of walking for ever.
const int kMaxClassDepth = 64;

const char* MemberPrefix(WeScriptMember kind)
{
    switch (kind)
    {
    case WeScriptMember::Getter:
        return "__get";
    case WeScriptMember::Setter:
        return "__set";
    case WeScriptMember::Method:
        break;
    }
    return "";
}

int AbsoluteIndex(lua_State* L, int index)
{
    return (index < 0 && index > LUA_REGISTRYINDEX) ? lua_gettop(L) + index + 1 : index;
}

// Pushes table[key] of the table at `index`, raw.
void RawGetField(lua_State* L, int index, const char* key)
{
    index = AbsoluteIndex(L, index);
    lua_pushstring(L, key);
    lua_rawget(L, index);
}

// table[key] = the value on top (popped), raw.
void RawSetField(lua_State* L, int index, const char* key)
{
    index = AbsoluteIndex(L, index);
    lua_pushstring(L, key);
    lua_insert(L, -2);
    lua_rawset(L, index);
}

// Pushes the global class-table name of the class named by the string at `nameIndex`.
void PushClassGlobalName(lua_State* L, int nameIndex)
{
    nameIndex = AbsoluteIndex(L, nameIndex);
    lua_pushliteral(L, "____class__");
    lua_pushvalue(L, nameIndex);
    lua_pushliteral(L, "____");
    lua_concat(L, 3);
}

// Replaces the class table on top by its parent's table; false (and nil on top) when the
// class names no parent or the parent is unknown.
bool StepToParent(lua_State* L)
{
    RawGetField(L, -1, kParentKey);
    if (lua_type(L, -1) != LUA_TSTRING)
    {
        lua_pop(L, 2);
        lua_pushnil(L);
        return false;
    }
    WeScriptPushClassTable(L, -1);
    lua_replace(L, -3);
    lua_pop(L, 1);
    return lua_istable(L, -1);
}

bool IsNameKey(lua_State* L, int index)
{
    const int type = lua_type(L, index);
    return type == LUA_TSTRING || type == LUA_TNUMBER;
}

// Whether the class table on top is `className` or derives from it; pops the table.
bool ClassDerivesFrom(lua_State* L, const char* className)
{
    lua_pushstring(L, className);
    WeScriptPushClassTable(L, -1);
    lua_replace(L, -2);
    const int wanted = lua_gettop(L);
    lua_pushvalue(L, wanted - 1);
    bool found = false;
    for (int depth = 0; !found && depth < kMaxClassDepth && lua_istable(L, -1); ++depth)
    {
        found = lua_rawequal(L, -1, wanted) != 0;
        if (!found)
        {
            StepToParent(L);
        }
    }
    lua_pop(L, 3);
    return found;
}

// Pushes the class table of the class named by the string at `nameIndex`; when the class is
// unknown, a new empty table stored as its global (create) or nil.
void PushClassTableOf(lua_State* L, int nameIndex, bool create)
{
    nameIndex = AbsoluteIndex(L, nameIndex);
    WeScriptPushClassTable(L, nameIndex);
    if (lua_istable(L, -1) || !create)
    {
        return;
    }
    lua_pop(L, 1);
    lua_newtable(L);
    PushClassGlobalName(L, nameIndex);
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_GLOBALSINDEX);
}

// Removes every entry of the table at `index`; nothing for another value.
void ClearTable(lua_State* L, int index)
{
    index = AbsoluteIndex(L, index);
    if (!lua_istable(L, index))
    {
        return;
    }
    lua_pushnil(L);
    while (lua_next(L, index) != 0)
    {
        lua_pop(L, 1);
        lua_pushvalue(L, -1);
        lua_pushnil(L);
        lua_rawset(L, index);
    }
}

// Pushes the registry table under the key's address, made (with the weak mode, when given) on
// first use.
void PushRegistryTable(lua_State* L, const char* key, const char* weakMode)
{
    lua_pushlightuserdata(L, const_cast<char*>(key));
    lua_rawget(L, LUA_REGISTRYINDEX);
    if (lua_istable(L, -1))
    {
        return;
    }
    lua_pop(L, 1);
    lua_newtable(L);
    if (weakMode)
    {
        lua_createtable(L, 0, 1);
        lua_pushstring(L, weakMode);
        RawSetField(L, -2, "__mode");
        lua_setmetatable(L, -2);
    }
    lua_pushlightuserdata(L, const_cast<char*>(key));
    lua_pushvalue(L, -2);
    lua_rawset(L, LUA_REGISTRYINDEX);
}

// Pushes the table kept for the table at `index` in the registry table of the key (weak keys),
// made on first use.
void PushTableFor(lua_State* L, const char* key, int index)
{
    index = AbsoluteIndex(L, index);
    PushRegistryTable(L, key, "k");
    lua_pushvalue(L, index);
    lua_rawget(L, -2);
    if (!lua_istable(L, -1))
    {
        lua_pop(L, 1);
        lua_newtable(L);
        lua_pushvalue(L, index);
        lua_pushvalue(L, -2);
        lua_rawset(L, -4);
    }
    lua_replace(L, -2);
}

// Class tests remembered per class table; forgotten whenever a class changes through the
// registry. Member lookups are never remembered: scripts may change class tables at any time.
const char* const kDerivesKey = "____derives____";

// Bumped whenever a class changes: checks remembered under an older generation are done again.
thread_local unsigned checkGeneration = 0;

// ClassDerivesFrom, remembered per class table and class name (by address: the names natives
// pass are constants).
bool DerivesRemembered(lua_State* L, const char* className)
{
    if (!lua_istable(L, -1))
    {
        return ClassDerivesFrom(L, className);
    }
    PushTableFor(L, kDerivesKey, -1);
    lua_pushlightuserdata(L, const_cast<char*>(className));
    lua_rawget(L, -2);
    if (lua_isboolean(L, -1))
    {
        const bool derives = lua_toboolean(L, -1) != 0;
        lua_pop(L, 3);
        return derives;
    }
    lua_pop(L, 1);
    lua_pushvalue(L, -2);
    const bool derives = ClassDerivesFrom(L, className);
    lua_pushlightuserdata(L, const_cast<char*>(className));
    lua_pushboolean(L, derives);
    lua_rawset(L, -3);
    lua_pop(L, 2);
    return derives;
}

void ForgetClassTests(lua_State* L)
{
    ++checkGeneration;
    PushRegistryTable(L, kDerivesKey, "k");
    ClearTable(L, -1);
    lua_pop(L, 1);
}

// Pushes the record of the value at `index`, or nil.
void PushRecord(lua_State* L, int index)
{
    index = AbsoluteIndex(L, index);
    PushRegistryTable(L, kObjectsKey, "k");
    lua_pushvalue(L, index);
    lua_rawget(L, -2);
    lua_replace(L, -2);
}

// Replaces the handle on top by a new object table of the class, recorded with the life and the
// anchor at their stack indices (0: none).
void InitObjectTable(lua_State* L, const char* className, int life, int anchor)
{
    const int handle = lua_gettop(L);
    lua_newtable(L);
    const int object = handle + 1;
    lua_pushvalue(L, handle);
    RawSetField(L, object, kHandleKey);
    lua_pushstring(L, className);
    PushClassTableOf(L, -1, true);
    lua_replace(L, -2);
    lua_pushvalue(L, -1);
    RawSetField(L, object, kClassKey);
    lua_createtable(L, 4, 0);
    lua_insert(L, -2);
    lua_rawseti(L, -2, RecordClass);
    lua_pushvalue(L, handle);
    lua_rawseti(L, -2, RecordHandle);
    for (const auto& [slot, index] : {std::pair{RecordLife, life}, std::pair{RecordAnchor, anchor}})
    {
        if (index != 0)
        {
            lua_pushvalue(L, index);
            lua_rawseti(L, -2, slot);
        }
    }
    PushRegistryTable(L, kObjectsKey, "k");
    lua_pushvalue(L, object);
    lua_pushvalue(L, -3);
    lua_rawset(L, -3);
    lua_pop(L, 2);
    lua_pushstring(L, kMetatableName);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (lua_istable(L, -1))
    {
        lua_setmetatable(L, object);
    }
    else
    {
        lua_pop(L, 1);
    }
    lua_replace(L, handle);
}

WeScriptLife* LifeAt(lua_State* L, int index)
{
    return static_cast<WeScriptLife*>(luaL_checkudata(L, index, kLifeMetatable));
}

// A life collected, or still there when the state closes, destroys what it owns.
int CollectLife(lua_State* L)
{
    WeScriptEndOwnedLife(L, LifeAt(L, 1));
    return 0;
}

// Pushes the life of the owner, or nil.
void PushLife(lua_State* L, void* owner)
{
    PushRegistryTable(L, kLivesKey, nullptr);
    lua_pushlightuserdata(L, owner);
    lua_rawget(L, -2);
    lua_replace(L, -2);
}

[[noreturn]] void ArgError(lua_State* L, int arg, const char* message, const char* className)
{
    luaL_argerror(L, arg, lua_pushfstring(L, message, className));
    std::abort(); // luaL_argerror does not return
}

// Pushes the record of the object at `arg` after checking its class and life; errors otherwise.
void PushCheckedRecord(lua_State* L, int arg, const char* className)
{
    if (!lua_istable(L, arg))
    {
        luaL_argerror(L, arg,
                      lua_pushfstring(L, "%s object expected, got %s", className, luaL_typename(L, arg)));
    }
    PushRecord(L, arg);
    if (!lua_istable(L, -1))
    {
        ArgError(L, arg, "%s object expected, got a plain table", className);
    }
    lua_rawgeti(L, -1, RecordClass);
    if (!DerivesRemembered(L, className))
    {
        ArgError(L, arg, "%s object expected", className);
    }
    lua_rawgeti(L, -1, RecordLife);
    const bool ended = lua_isuserdata(L, -1) && !LifeAt(L, -1)->object;
    lua_pop(L, 1);
    if (ended)
    {
        ArgError(L, arg, "%s object deleted", className);
    }
}

// Objects checked lately, by table and class name: a check that hits one skips the record and
// the class chain. The tables stay referenced from the registry while remembered, so that no
// other table can take their address; a remembered object whose life has ended is checked
// again (and fails).
struct CheckedObject
{
    const lua_State* state = nullptr;
    const void* table = nullptr;
    const char* className = nullptr;
    void* handle = nullptr;
    const WeScriptLife* life = nullptr;
    unsigned generation = 0;
};
const int kCheckedCount = 16;
thread_local CheckedObject checkedObjects[kCheckedCount];
const char* const kCheckedKey = "____checked____";

CheckedObject& CheckedSlot(const void* table, const char* className, int* slot)
{
    *slot = int(((uintptr_t(table) >> 6) ^ (uintptr_t(className) >> 3)) % kCheckedCount);
    return checkedObjects[*slot];
}

void* RememberedHandle(lua_State* L, int arg, const char* className)
{
    if (lua_type(L, arg) != LUA_TTABLE)
    {
        return nullptr;
    }
    const void* table = lua_topointer(L, arg);
    int slot = 0;
    const CheckedObject& entry = CheckedSlot(table, className, &slot);
    const bool hit = entry.table == table && entry.className == className && entry.state == L &&
                     entry.generation == checkGeneration && (!entry.life || entry.life->object);
    return hit ? entry.handle : nullptr;
}

void RememberCheck(lua_State* L, int arg, const char* className, void* handle, const WeScriptLife* life)
{
    arg = AbsoluteIndex(L, arg);
    const void* table = lua_topointer(L, arg);
    int slot = 0;
    CheckedSlot(table, className, &slot) = CheckedObject{L, table, className, handle, life, checkGeneration};
    PushRegistryTable(L, kCheckedKey, nullptr);
    lua_pushvalue(L, arg);
    lua_rawseti(L, -2, slot + 1);
    lua_pop(L, 1);
}

// The shared metatable's entries look a member up at every access, along the class chain as it
// is then: scripts may change class tables at any time. What they remember depends on strings
// alone, never on what the classes hold: the global names of the classes named as parents, and
// the member names made from the keys that named a member, in tables that are their upvalues.
enum MetatableUpvalue
{
    UpvalueClassKey = 1,
    UpvalueParentKey,
    UpvalueClassNames,
    UpvalueMemberNames // one table per prefix, in the prefixes' order
};

// Pushes the string made of the three parts (the middle one at `index`), taken from the table of
// names at `names` when it is there; true when it was made now.
bool PushComposedName(lua_State* L, int names, const char* prefix, int index, const char* suffix)
{
    index = AbsoluteIndex(L, index);
    lua_pushvalue(L, index);
    lua_rawget(L, names);
    if (lua_type(L, -1) == LUA_TSTRING)
    {
        return false;
    }
    lua_pop(L, 1);
    lua_pushstring(L, prefix);
    lua_pushvalue(L, index);
    lua_pushstring(L, suffix);
    lua_concat(L, 3);
    return true;
}

// names[the value at `keyIndex`] = the value at `nameIndex`.
void RememberName(lua_State* L, int names, int keyIndex, int nameIndex)
{
    keyIndex = AbsoluteIndex(L, keyIndex);
    nameIndex = AbsoluteIndex(L, nameIndex);
    lua_pushvalue(L, keyIndex);
    lua_pushvalue(L, nameIndex);
    lua_rawset(L, names);
}

// Replaces the class table on top by its parent's table, or by nil when it names none.
void StepToParentClass(lua_State* L)
{
    lua_pushvalue(L, lua_upvalueindex(UpvalueParentKey));
    lua_rawget(L, -2);
    if (lua_type(L, -1) != LUA_TSTRING)
    {
        lua_pop(L, 2);
        lua_pushnil(L);
        return;
    }
    const int names = lua_upvalueindex(UpvalueClassNames);
    const bool made = PushComposedName(L, names, "____class__", -1, "____");
    lua_pushvalue(L, -1);
    lua_rawget(L, LUA_GLOBALSINDEX);
    if (made && lua_istable(L, -1))
    {
        RememberName(L, names, -3, -2); // the parent names a class
    }
    lua_replace(L, -4);
    lua_pop(L, 2);
}

// Looks along the class chain of the object at 1 for the member named by the key at 2, trying
// the prefixes in their order at each class before its parent. Pushes the function found and
// returns the index of its prefix, or pushes nil and returns -1.
int PushMember(lua_State* L, std::initializer_list<const char*> prefixes)
{
    if (!lua_istable(L, 1) || !IsNameKey(L, 2))
    {
        lua_pushnil(L);
        return -1;
    }
    const int firstName = lua_gettop(L) + 1;
    int slot = UpvalueMemberNames;
    bool made = false;
    for (const char* prefix : prefixes)
        made = PushComposedName(L, lua_upvalueindex(slot++), prefix, 2, "__") || made;
    lua_pushvalue(L, lua_upvalueindex(UpvalueClassKey));
    lua_rawget(L, 1);
    for (int depth = 0; lua_istable(L, -1); ++depth)
    {
        if (depth == kMaxClassDepth)
        {
            luaL_error(L, "class chain deeper than %d levels (a parent loop?)", kMaxClassDepth);
        }
        for (int found = 0; found < int(prefixes.size()); ++found)
        {
            lua_pushvalue(L, firstName + found);
            lua_rawget(L, -2);
            if (lua_isfunction(L, -1))
            {
                // The key names a member: its names are kept.
                for (int name = 0; made && name < int(prefixes.size()); ++name)
                    RememberName(L, lua_upvalueindex(UpvalueMemberNames + name), 2, firstName + name);
                lua_replace(L, firstName);
                lua_settop(L, firstName);
                return found;
            }
            lua_pop(L, 1);
        }
        StepToParentClass(L);
    }
    lua_pushnil(L);
    lua_replace(L, firstName);
    lua_settop(L, firstName);
    return -1;
}

// Calls the getter or setter on top with the first `args` values of the frame and returns the
// number of its results. A plain C function (one without upvalues) runs in this frame: a call
// through Lua would cost a frame of its own at every access.
int CallMember(lua_State* L, int args)
{
    const lua_CFunction plain = lua_tocfunction(L, -1);
    const bool closure = plain && lua_getupvalue(L, -1, 1);
    if (closure)
    {
        lua_pop(L, 1); // the upvalue
    }
    if (plain && !closure)
    {
        lua_settop(L, args);
        return plain(L);
    }
    for (int arg = 1; arg <= args; ++arg)
    {
        lua_pushvalue(L, arg);
    }
    lua_call(L, args, 1);
    return 1;
}

// The shared metatable's entries: a method found by the key is returned, a getter's value is.
int IndexObject(lua_State* L)
{
    lua_settop(L, 2);
    if (PushMember(L, {"__", "__get__"}) != 1)
    {
        return 1;
    }
    return CallMember(L, 2);
}

int NewIndexObject(lua_State* L)
{
    lua_settop(L, 3);
    if (PushMember(L, {"__set__"}) == 0)
    {
        CallMember(L, 3);
        return 0;
    }
    lua_settop(L, 3);
    luaL_checktype(L, 1, LUA_TTABLE);
    lua_rawset(L, 1);
    return 0;
}

// Pushes one of the shared metatable's entries with its upvalues: the class names' table is the
// one given (shared by both entries), and a new table of member names for each prefix.
void PushMetatableEntry(lua_State* L, lua_CFunction entry, int classNames, int prefixCount)
{
    classNames = AbsoluteIndex(L, classNames);
    lua_pushstring(L, kClassKey);
    lua_pushstring(L, kParentKey);
    lua_pushvalue(L, classNames);
    for (int prefix = 0; prefix < prefixCount; ++prefix)
        lua_newtable(L);
    lua_pushcclosure(L, entry, UpvalueMemberNames - 1 + prefixCount);
}
} // namespace

void WeScriptPushClassTable(lua_State* L, int nameIndex)
{
    PushClassGlobalName(L, nameIndex);
    lua_rawget(L, LUA_GLOBALSINDEX);
}

int WeScriptPushObject(lua_State* L, const char* className, void* pointer)
{
    lua_pushlightuserdata(L, pointer);
    InitObjectTable(L, className, 0, 0);
    return 1;
}

int WeScriptPushNewValue(lua_State* L, const char* className, std::size_t size, void** address)
{
    void* block = lua_newuserdata(L, size);
    std::memset(block, 0, size);
    if (address)
    {
        *address = block;
    }
    InitObjectTable(L, className, 0, 0);
    return 1;
}

void* WeScriptCheckObjectAt(lua_State* L, int arg, const char* className)
{
    if (void* handle = RememberedHandle(L, arg, className))
    {
        return handle;
    }
    PushCheckedRecord(L, arg, className);
    lua_rawgeti(L, -1, RecordHandle);
    void* handle = lua_touserdata(L, -1);
    lua_rawgeti(L, -2, RecordLife);
    const auto* life = static_cast<const WeScriptLife*>(lua_touserdata(L, -1));
    lua_pop(L, 3);
    if (!handle)
    {
        ArgError(L, arg, "%s object without a native object", className);
    }
    RememberCheck(L, arg, className, handle, life);
    return handle;
}

void* WeScriptCheckObject(lua_State* L, const char* className)
{
    return WeScriptCheckObjectAt(L, 1, className);
}

void* WeScriptOptObjectAt(lua_State* L, int arg, const char* className)
{
    return lua_isnoneornil(L, arg) ? nullptr : WeScriptCheckObjectAt(L, arg, className);
}

int32_t WeScriptCheckInt(lua_State* L, int arg)
{
    const lua_Number number = luaL_checknumber(L, arg);
    if (!(number > INT32_MIN - 1.0 && number < INT32_MAX + 1.0))
    {
        luaL_argerror(L, arg, "number outside the int32 range");
    }
    return static_cast<int32_t>(number);
}

float WeScriptCheckFloat(lua_State* L, int arg)
{
    const lua_Number number = luaL_checknumber(L, arg);
    if (!(number >= -FLT_MAX && number <= FLT_MAX))
    {
        luaL_argerror(L, arg, "number outside the float range");
    }
    return static_cast<float>(number);
}

bool WeScriptCheckBool(lua_State* L, int arg)
{
    luaL_checktype(L, arg, LUA_TBOOLEAN);
    return lua_toboolean(L, arg) != 0;
}

WeScriptLife* WeScriptFindLife(lua_State* L, void* owner)
{
    PushLife(L, owner);
    WeScriptLife* life = static_cast<WeScriptLife*>(lua_touserdata(L, -1));
    lua_pop(L, 1);
    return life;
}

WeScriptLife* WeScriptBeginLife(lua_State* L, void* owner, WeScriptDestroy destroy)
{
    WeScriptEndLife(L, owner);
    PushRegistryTable(L, kLivesKey, nullptr);
    lua_pushlightuserdata(L, owner);
    auto* life = static_cast<WeScriptLife*>(lua_newuserdata(L, sizeof(WeScriptLife)));
    *life = WeScriptLife{owner, destroy, nullptr, nullptr};
    if (luaL_newmetatable(L, kLifeMetatable))
    {
        lua_pushcfunction(L, CollectLife);
        RawSetField(L, -2, "__gc");
    }
    lua_setmetatable(L, -2);
    lua_rawset(L, -3);
    lua_pop(L, 1);
    return life;
}

void WeScriptEndLife(lua_State* L, void* owner)
{
    if (WeScriptLife* life = WeScriptFindLife(L, owner))
    {
        *life = WeScriptLife{};
    }
    PushRegistryTable(L, kLivesKey, nullptr);
    lua_pushlightuserdata(L, owner);
    lua_pushnil(L);
    lua_rawset(L, -3);
    lua_pop(L, 1);
}

bool WeScriptEndOwnedLife(lua_State* L, WeScriptLife* life)
{
    void* object = life->object;
    const WeScriptDestroy destroy = life->destroy;
    if (object)
    {
        WeScriptEndLife(L, object);
    }
    if (!object || !destroy)
    {
        return false;
    }
    destroy(L, object);
    return true;
}

void WeScriptForEachLife(lua_State* L, bool (*keep)(WeScriptLife* life, void* context), void* context)
{
    PushRegistryTable(L, kLivesKey, nullptr);
    const int lives = lua_gettop(L);
    lua_pushnil(L);
    while (lua_next(L, lives) != 0)
    {
        WeScriptLife* life = static_cast<WeScriptLife*>(lua_touserdata(L, -1));
        lua_pop(L, 1);
        if (!keep(life, context))
        {
            *life = WeScriptLife{};
            lua_pushvalue(L, -1);
            lua_pushnil(L);
            lua_rawset(L, lives);
        }
    }
    lua_pop(L, 1);
}

int WeScriptPushLiving(lua_State* L, const char* className, void* pointer, void* owner)
{
    if (!WeScriptFindLife(L, owner))
    {
        WeScriptBeginLife(L, owner, nullptr);
    }
    PushLife(L, owner);
    lua_pushlightuserdata(L, pointer);
    InitObjectTable(L, className, lua_gettop(L) - 1, 0);
    lua_replace(L, -2);
    return 1;
}

int WeScriptPushField(lua_State* L, const char* className, void* pointer)
{
    PushRecord(L, 1);
    const int record = lua_gettop(L);
    if (!lua_istable(L, record))
    {
        lua_pop(L, 1);
        lua_newtable(L);
    }
    lua_rawgeti(L, record, RecordLife);
    lua_rawgeti(L, record, RecordAnchor);
    if (lua_isnil(L, -1))
    {
        // A value owned by the script keeps its block alive through its fields.
        lua_pop(L, 1);
        lua_rawgeti(L, record, RecordHandle);
        if (lua_type(L, -1) != LUA_TUSERDATA)
        {
            lua_pop(L, 1);
            lua_pushnil(L);
        }
    }
    lua_pushlightuserdata(L, pointer);
    InitObjectTable(L, className, lua_isnil(L, record + 1) ? 0 : record + 1,
                    lua_isnil(L, record + 2) ? 0 : record + 2);
    lua_replace(L, record);
    lua_settop(L, record);
    return 1;
}

void WeScriptDeleteObject(lua_State* L, const char* className, WeScriptDestroy destroy)
{
    void* object = WeScriptCheckObject(L, className);
    WeScriptLife* life = WeScriptFindLife(L, object);
    if (!life)
    {
        ArgError(L, 1, "%s object cannot be deleted", className);
    }
    lua_pushnil(L);
    RawSetField(L, 1, kHandleKey);
    WeScriptEndLife(L, object);
    destroy(L, object);
}

int WeScriptCheckIndex(lua_State* L, int arg, int count)
{
    const lua_Number number = luaL_checknumber(L, arg);
    if (!(number >= 0 && number < count) || std::floor(number) != number)
    {
        luaL_argerror(L, arg, lua_pushfstring(L, "index %f outside 0 to %d", number, count - 1));
    }
    return static_cast<int>(number);
}

namespace
{
// Constant-initialised: valid while static objects are built and destroyed.
WeScriptRegistry* liveRegistries = nullptr;
} // namespace

WeScriptRegistry::~WeScriptRegistry()
{
    // Out of the list first: what closing the state destroys ends no life in it.
    for (WeScriptRegistry** link = &liveRegistries; *link; link = &(*link)->nextLive)
    {
        if (*link == this)
        {
            *link = nextLive;
            break;
        }
    }
    if (state)
    {
        lua_close(state);
        ++checkGeneration;
    }
}

void WeScriptRegistry::EndLifeEverywhere(void* owner)
{
    for (WeScriptRegistry* registry = liveRegistries; registry; registry = registry->nextLive)
    {
        if (WeScriptFindLife(registry->state, owner))
        {
            WeScriptEndLife(registry->state, owner);
        }
    }
}

bool WeScriptRegistry::Init()
{
    if (initialised)
    {
        return true;
    }
    state = luaL_newstate();
    if (!state)
    {
        return false;
    }
    luaL_openlibs(state);
    ++checkGeneration;
    nextLive = liveRegistries;
    liveRegistries = this;
    lua_newtable(state);
    lua_newtable(state); // the class names both entries remember
    PushMetatableEntry(state, IndexObject, -1, 2);
    RawSetField(state, -3, "__index");
    PushMetatableEntry(state, NewIndexObject, -1, 1);
    RawSetField(state, -3, "__newindex");
    lua_pop(state, 1);
    RawSetField(state, LUA_GLOBALSINDEX, kMetatableName);
    initialised = true;
    return true;
}

lua_State* WeScriptRegistry::State()
{
    Init();
    return state;
}

void WeScriptRegistry::RegisterConstant(const char* name, double number)
{
    if (!Init())
    {
        return;
    }
    lua_pushnumber(state, number);
    RawSetField(state, LUA_GLOBALSINDEX, name);
}

void WeScriptRegistry::RegisterFunction(const char* name, lua_CFunction function)
{
    if (!Init())
    {
        return;
    }
    lua_pushcfunction(state, function);
    RawSetField(state, LUA_GLOBALSINDEX, name);
}

int WeScriptRegistry::GetClassTable(const char* className, WeClassTableMode mode)
{
    if (!Init())
    {
        return 0;
    }
    lua_pushstring(state, className);
    if (mode == WeClassTableMode::Delete)
    {
        ForgetClassTests(state);
        // Objects hold the class table itself, not its name: it is emptied as well, so that
        // their lookups find nothing from now on.
        WeScriptPushClassTable(state, -1);
        ClearTable(state, -1);
        lua_pop(state, 1);
        PushClassGlobalName(state, -1);
        lua_pushnil(state);
        lua_rawset(state, LUA_GLOBALSINDEX);
        lua_pop(state, 1);
        return 0;
    }
    PushClassTableOf(state, -1, mode == WeClassTableMode::Create);
    lua_replace(state, -2);
    return 1;
}

void WeScriptRegistry::RegisterParent(const char* className, const char* parentName)
{
    if (GetClassTable(className, WeClassTableMode::Create) == 0)
    {
        return;
    }
    lua_pushstring(state, parentName);
    RawSetField(state, -2, kParentKey);
    lua_pop(state, 1);
    ForgetClassTests(state);
}

void WeScriptRegistry::RegisterMember(const char* className, const char* member, WeScriptMember kind,
                                      lua_CFunction function)
{
    if (GetClassTable(className, WeClassTableMode::Create) == 0)
    {
        return;
    }
    lua_pushfstring(state, "%s__%s__", MemberPrefix(kind), member);
    lua_pushcfunction(state, function);
    lua_rawset(state, -3);
    lua_pop(state, 1);
    ForgetClassTests(state);
}

int WeScriptRegistry::PushObject(const char* className, void* pointer)
{
    if (!Init())
    {
        return 0;
    }
    return WeScriptPushObject(state, className, pointer);
}

int WeScriptRegistry::PushNewValue(const char* className, std::size_t size, void** address)
{
    if (!Init())
    {
        return 0;
    }
    return WeScriptPushNewValue(state, className, size, address);
}

void WeScriptRegistry::RegisterInstance(const char* name, const char* className, void* pointer)
{
    if (PushObject(className, pointer) == 0)
    {
        return;
    }
    RawSetField(state, LUA_GLOBALSINDEX, name);
}

WeScriptRegistry& scriptRegistry()
{
    static WeScriptRegistry registry;
    return registry;
}
