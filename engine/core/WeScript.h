#pragma once

#include <cstddef>
#include <cstdint>
#include <lua.hpp>

// The engine's classes and objects as Lua sees them. A script object is a table holding the
// native object under "____handle____" and its class table under "____class____"; one shared
// metatable resolves methods, getters and setters by walking class tables up their parents.
// Class tables are the globals "____class__" + name + "____", holding "__" + name + "__"
// (method), "__get__" + name + "__" (getter), "__set__" + name + "__" (setter) and
// "____class____parent____" (the parent class's name).

// What RegisterMember binds: it decides the prefix of the class-table key.
enum class WeScriptMember
{
    Method,
    Getter,
    Setter
};

// What GetClassTable does when asked for a class.
enum class WeClassTableMode
{
    Find = 0,   // push the class table, or nil when the class is unknown
    Create = 1, // push the class table, making an empty one when the class is unknown
    Delete = 2  // forget the class table; nothing is pushed
};

class WeScriptRegistry
{
public:
    // Every operation creates the state first when it does not exist yet.
    WeScriptRegistry() = default;
    ~WeScriptRegistry();
    WeScriptRegistry(const WeScriptRegistry&) = delete;
    WeScriptRegistry& operator=(const WeScriptRegistry&) = delete;

    // Creates the state with the standard libraries and the shared metatable; false when
    // Lua cannot allocate a state. Nothing when already initialised.
    bool Init();
    bool IsInitialised() const { return initialised; }
    // The state, created when missing (null only when it cannot be created).
    lua_State* State();

    void RegisterConstant(const char* name, double number);
    void RegisterFunction(const char* name, lua_CFunction function);
    // Pushes the class table as the mode says; returns the number of values pushed.
    int GetClassTable(const char* className, WeClassTableMode mode);
    void RegisterParent(const char* className, const char* parentName);
    void RegisterMember(const char* className, const char* member, WeScriptMember kind,
                        lua_CFunction function);
    // Pushes a script object whose handle is the given native object; returns 1.
    int PushObject(const char* className, void* pointer);
    // Pushes a script object owning a new zero-filled value of `size` bytes, whose address
    // goes to `address`; returns 1.
    int PushNewValue(const char* className, std::size_t size, void** address);
    // Makes the native object reachable from scripts as the global `name`.
    void RegisterInstance(const char* name, const char* className, void* pointer);

    // Ends the owner's life in the state of every registry alive: the engine destroys an object
    // scripts may hold (a texture, a font) by its own road.
    static void EndLifeEverywhere(void* owner);

private:
    lua_State* state = nullptr;
    bool initialised = false;
    WeScriptRegistry* nextLive = nullptr; // the registries with a state, newest first
};

// The program's registry. Built on first use, so registrations made while the static objects
// are constructed always find the state ready, and closed after every static object built
// after it (the registrations' own clean-up) is gone.
WeScriptRegistry& scriptRegistry();

// The same operations on a state in use, for natives (constructors of value types).
int WeScriptPushObject(lua_State* L, const char* className, void* pointer);
int WeScriptPushNewValue(lua_State* L, const char* className, std::size_t size, void** address);
// Pushes the class table of the class named by the string at `nameIndex`, or nil.
void WeScriptPushClassTable(lua_State* L, int nameIndex);

// Argument checks for natives. Each raises a script error naming the argument when it fails,
// so a native never works on a wrong object or reads outside a table. They must be called
// before the native owns anything that needs destruction.
//
// Every script object made by the functions above is recorded, out of the scripts' reach, with
// its handle, its class and the life it depends on; the checks go by that record, so a table
// made or altered by a script never passes for an object, and an object whose native object is
// gone fails instead of reaching freed memory.

// Argument 1's native object: argument 1 must be a script object of `className` or of a
// class derived from it, whose native object is alive.
void* WeScriptCheckObject(lua_State* L, const char* className);
void* WeScriptCheckObjectAt(lua_State* L, int arg, const char* className);
// The same, or null when the argument is nil or missing.
void* WeScriptOptObjectAt(lua_State* L, int arg, const char* className);
// Argument `arg` as an index into a table of `count` entries (0 to count - 1).
int WeScriptCheckIndex(lua_State* L, int arg, int count);
// A number within the int32 range (a fraction is dropped); NaN or beyond the range is an error.
int32_t WeScriptCheckInt(lua_State* L, int arg);
// A finite number within the float range.
float WeScriptCheckFloat(lua_State* L, int arg);
// A boolean (nil and numbers are errors).
bool WeScriptCheckBool(lua_State* L, int arg);

// The life of a native object that scripts reach by pointer (a heap object or one owned by
// another object, such as an actor of a scene). Objects pushed for the owner, and field objects
// made from them, are valid while the life lasts. A life with `destroy` set owns its object:
// Delete or the closing of the state destroys it.
using WeScriptDestroy = void (*)(lua_State* L, void* object);
struct WeScriptLife
{
    void* object = nullptr; // null once the life has ended
    WeScriptDestroy destroy = nullptr;
    const void* holder = nullptr; // what keeps the object alive when scripts do not (a scene...)
    const void* kind = nullptr;   // a tag of the natives that made it
};

// The life of the owner, or null when there is none.
WeScriptLife* WeScriptFindLife(lua_State* L, void* owner);
// A new life for the owner; an earlier one ends (its objects fail from now on).
WeScriptLife* WeScriptBeginLife(lua_State* L, void* owner, WeScriptDestroy destroy);
// Objects of the owner fail from now on; nothing is destroyed.
void WeScriptEndLife(lua_State* L, void* owner);
// Calls `keep` with every life; a life for which it answers false ends. `keep` must not call
// into Lua.
void WeScriptForEachLife(lua_State* L, bool (*keep)(WeScriptLife* life, void* context), void* context);
// Pushes an object of the owner's life (begun, owning nothing, when there is none).
int WeScriptPushLiving(lua_State* L, const char* className, void* pointer, void* owner);
// Pushes an object for a part of argument 1's object, valid as long as argument 1's object.
int WeScriptPushField(lua_State* L, const char* className, void* pointer);
// Delete: argument 1 must be an object of the class that owns its life; the life ends, the
// table's handle is cleared and `destroy` runs.
void WeScriptDeleteObject(lua_State* L, const char* className, WeScriptDestroy destroy);
// The life ends; when it owned its object, `destroy` runs and true is returned.
bool WeScriptEndOwnedLife(lua_State* L, WeScriptLife* life);

// A class's members for RegisterMembers: a property with its getter and setter (either null) or
// a method.
struct WeScriptMemberEntry
{
    const char* name;
    lua_CFunction getter;
    lua_CFunction setter = nullptr;
    lua_CFunction method = nullptr;
};
template <std::size_t N>
void WeScriptRegisterMembers(WeScriptRegistry& registry, const char* className,
                             const WeScriptMemberEntry (&members)[N])
{
    for (const WeScriptMemberEntry& member : members)
    {
        if (member.getter)
            registry.RegisterMember(className, member.name, WeScriptMember::Getter, member.getter);
        if (member.setter)
            registry.RegisterMember(className, member.name, WeScriptMember::Setter, member.setter);
        if (member.method)
            registry.RegisterMember(className, member.name, WeScriptMember::Method, member.method);
    }
}
