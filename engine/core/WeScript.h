#pragma once

#include <cstddef>
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

private:
    lua_State* state = nullptr;
    bool initialised = false;
};

// The program's registry. Built on first use, so registrations made while the static objects
// are constructed always find the state ready, and closed after every static object built
// after it (the registrations' own clean-up) is gone.
WeScriptRegistry& scriptRegistry();

// The shared metatable's two entries.
int WeScriptIndex(lua_State* L);
int WeScriptNewIndex(lua_State* L);

// The same operations on a state in use, for natives (constructors of value types).
int WeScriptPushObject(lua_State* L, const char* className, void* pointer);
int WeScriptPushNewValue(lua_State* L, const char* className, std::size_t size, void** address);
// Pushes the class table of the class named by the string at `nameIndex`, or nil.
void WeScriptPushClassTable(lua_State* L, int nameIndex);

// Argument checks for natives. Each raises a script error naming the argument when it fails,
// so a native never works on a wrong object or reads outside a table. They must be called
// before the native owns anything that needs destruction.

// Argument 1's native object: argument 1 must be a script object of `className` or of a
// class derived from it, with a handle that is a userdata.
void* WeScriptCheckObject(lua_State* L, const char* className);
// Argument `arg` as an index into a table of `count` entries (0 to count - 1).
int WeScriptCheckIndex(lua_State* L, int arg, int count);
