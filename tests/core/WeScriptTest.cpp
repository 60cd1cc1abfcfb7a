#include "WeScript.h"

#include "ScriptChunk.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

// Real Lua chunks run against classes registered the way the engine registers its own: a
// counter class with methods, getters and setters, a base class it derives from, and a value
// class whose objects own their data.

namespace
{
struct Counter
{
    int value = 0;
    float speed = 0.0f;
    int slots[4] = {10, 11, 12, 13};
};

struct Vec
{
    float x, y, z;
};

int CounterAdd(lua_State* L)
{
    auto* counter = static_cast<Counter*>(WeScriptCheckObject(L, "TestCounter"));
    counter->value += static_cast<int>(luaL_checknumber(L, 2));
    return 0;
}

int CounterValue(lua_State* L)
{
    lua_pushnumber(L, static_cast<Counter*>(WeScriptCheckObject(L, "TestCounter"))->value);
    return 1;
}

int CounterGetSpeed(lua_State* L)
{
    lua_pushnumber(L, static_cast<Counter*>(WeScriptCheckObject(L, "TestCounter"))->speed);
    return 1;
}

int CounterSetSpeed(lua_State* L)
{
    auto* counter = static_cast<Counter*>(WeScriptCheckObject(L, "TestCounter"));
    counter->speed = static_cast<float>(luaL_checknumber(L, 3));
    return 0;
}

int CounterSlot(lua_State* L)
{
    auto* counter = static_cast<Counter*>(WeScriptCheckObject(L, "TestCounter"));
    lua_pushnumber(L, counter->slots[WeScriptCheckIndex(L, 2, 4)]);
    return 1;
}

// Returns the key the getter was called with, to show what the lookup hands over.
int EchoKey(lua_State* L)
{
    lua_pushvalue(L, 2);
    return 1;
}

int BaseKind(lua_State* L)
{
    WeScriptCheckObject(L, "TestBase");
    lua_pushstring(L, "base");
    return 1;
}

float* VecField(lua_State* L, int field)
{
    return &static_cast<Vec*>(WeScriptCheckObject(L, "TestVec"))->x + field;
}

template <int Field> int VecGet(lua_State* L)
{
    lua_pushnumber(L, *VecField(L, Field));
    return 1;
}

template <int Field> int VecSet(lua_State* L)
{
    *VecField(L, Field) = static_cast<float>(luaL_checknumber(L, 3));
    return 0;
}

Vec* lastNewVec = nullptr;

int NewVec(lua_State* L)
{
    // The arguments are read before the new object goes on the stack above them.
    const Vec value = {static_cast<float>(luaL_optnumber(L, 1, 0)),
                       static_cast<float>(luaL_optnumber(L, 2, 0)),
                       static_cast<float>(luaL_optnumber(L, 3, 0))};
    void* address = nullptr;
    WeScriptPushNewValue(L, "TestVec", sizeof(Vec), &address);
    lastNewVec = static_cast<Vec*>(address);
    *lastNewVec = value;
    return 1;
}

int Twice(lua_State* L)
{
    lua_pushnumber(L, 2 * luaL_checknumber(L, 1));
    return 1;
}

class ScriptTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(registry.State(), nullptr);
        registry.RegisterParent("TestCounter", "TestBase");
        registry.RegisterMember("TestBase", "Kind", WeScriptMember::Method, BaseKind);
        registry.RegisterMember("TestBase", "Echo", WeScriptMember::Getter, EchoKey);
        registry.RegisterMember("TestCounter", "Add", WeScriptMember::Method, CounterAdd);
        registry.RegisterMember("TestCounter", "Slot", WeScriptMember::Method, CounterSlot);
        registry.RegisterMember("TestCounter", "Value", WeScriptMember::Getter, CounterValue);
        registry.RegisterMember("TestCounter", "Speed", WeScriptMember::Getter, CounterGetSpeed);
        registry.RegisterMember("TestCounter", "Speed", WeScriptMember::Setter, CounterSetSpeed);
        registry.RegisterMember("TestCounter", "7", WeScriptMember::Getter, EchoKey);
        registry.RegisterMember("TestVec", "x", WeScriptMember::Getter, VecGet<0>);
        registry.RegisterMember("TestVec", "y", WeScriptMember::Getter, VecGet<1>);
        registry.RegisterMember("TestVec", "z", WeScriptMember::Getter, VecGet<2>);
        registry.RegisterMember("TestVec", "x", WeScriptMember::Setter, VecSet<0>);
        registry.RegisterMember("TestVec", "y", WeScriptMember::Setter, VecSet<1>);
        registry.RegisterMember("TestVec", "z", WeScriptMember::Setter, VecSet<2>);
        registry.RegisterFunction("NewTestVec", NewVec);
        registry.RegisterInstance("counter", "TestCounter", &counter);
        registry.RegisterInstance("other", "TestCounter", &other);
    }

    std::string Run(const std::string& chunk) { return RunChunk(registry.State(), chunk); }
    std::string Eval(const std::string& expression) { return EvalChunk(registry.State(), expression); }

    // Runs a chunk that must fail; returns its message.
    std::string ErrorOf(const std::string& chunk)
    {
        std::string error = Run(chunk);
        EXPECT_FALSE(error.empty()) << chunk;
        return error;
    }

    WeScriptRegistry registry;
    Counter counter;
    Counter other;
};

TEST_F(ScriptTest, MethodsChangeTheNativeObject)
{
    EXPECT_EQ(Run("counter:Add(5) counter:Add(2)"), "");
    EXPECT_EQ(counter.value, 7);
    EXPECT_EQ(other.value, 0);
    EXPECT_EQ(Eval("counter:Slot(2)"), "12");
}

TEST_F(ScriptTest, GetterIsCalledWithTheObjectAndTheKey)
{
    counter.value = 41;
    EXPECT_EQ(Eval("counter.Value"), "41");
    EXPECT_EQ(Eval("counter.Echo"), "Echo");
}

TEST_F(ScriptTest, SetterWritesTheNativeFieldAndStoresNothingInTheTable)
{
    EXPECT_EQ(Run("counter.Speed = 2.5"), "");
    EXPECT_FLOAT_EQ(counter.speed, 2.5f);
    EXPECT_EQ(Eval("rawget(counter, 'Speed')"), "nil");
    EXPECT_EQ(Eval("counter.Speed"), "2.5");
}

TEST_F(ScriptTest, AssigningAGetterOnlyPropertyShadowsItOnThatObjectOnly)
{
    counter.value = 3;
    other.value = 4;
    EXPECT_EQ(Run("counter.Value = 99"), "");
    EXPECT_EQ(counter.value, 3);
    EXPECT_EQ(Eval("counter.Value"), "99");
    EXPECT_EQ(Eval("other.Value"), "4");
}

TEST_F(ScriptTest, MembersOfTheParentClassAreFoundFromTheChild)
{
    EXPECT_EQ(Eval("counter:Kind()"), "base");
    EXPECT_EQ(Eval("counter.Echo"), "Echo");
}

TEST_F(ScriptTest, EachClassIsSearchedForMethodAndGetterBeforeItsParent)
{
    registry.RegisterMember("TestCounter", "Kind", WeScriptMember::Getter, EchoKey);
    registry.RegisterMember("TestBase", "Value", WeScriptMember::Method, BaseKind);
    counter.value = 8;
    EXPECT_EQ(Eval("counter.Kind"), "Kind") << "the child's getter hides the parent's method";
    EXPECT_EQ(Eval("counter.Value"), "8");
    EXPECT_EQ(Eval("type(counter.Add)"), "function");
}

TEST_F(ScriptTest, UnknownNamesAreNilAndBecomePlainFieldsOfOneObject)
{
    EXPECT_EQ(Eval("counter.Missing"), "nil");
    EXPECT_EQ(Run("counter.note = 'hello'"), "");
    EXPECT_EQ(Eval("rawget(counter, 'note')"), "hello");
    EXPECT_EQ(Eval("other.note"), "nil");
}

TEST_F(ScriptTest, KeysThatAreNotNamesFindNothingAndCanBeStored)
{
    EXPECT_EQ(Eval("counter[{}]"), "nil");
    EXPECT_EQ(Eval("counter[true]"), "nil");
    EXPECT_EQ(Eval("counter[print]"), "nil");
    EXPECT_EQ(Run("local k = {} counter[k] = 5 assert(rawget(counter, k) == 5)"), "");
    EXPECT_EQ(Run("counter[false] = 1 assert(rawget(counter, false) == 1)"), "");
}

TEST_F(ScriptTest, NumberKeysAreLookedUpByTheirTextWithoutChangingTheKey)
{
    EXPECT_EQ(Run("local k = 7 local v = counter[k] assert(v == 7 and type(v) == 'number', type(v))"), "");
    EXPECT_EQ(Eval("counter[8]"), "nil");
}

TEST_F(ScriptTest, ConstantsAndFunctionsAreGlobals)
{
    registry.RegisterConstant("TEST_CENTER", 1);
    registry.RegisterConstant("TEST_VCENTER", 4);
    registry.RegisterFunction("Twice", Twice);
    EXPECT_EQ(Eval("TEST_CENTER + TEST_VCENTER"), "5");
    EXPECT_EQ(Eval("Twice(21)"), "42");
}

TEST_F(ScriptTest, InstancesHoldTheNativePointerAndTheirClassTable)
{
    lua_State* L = registry.State();
    lua_getglobal(L, "counter");
    lua_getfield(L, -1, "____handle____");
    EXPECT_EQ(lua_type(L, -1), LUA_TLIGHTUSERDATA);
    EXPECT_EQ(lua_touserdata(L, -1), &counter);
    lua_pop(L, 1);
    lua_getmetatable(L, -1);
    lua_getglobal(L, "____class____metatable____");
    EXPECT_TRUE(lua_rawequal(L, -1, -2));
    lua_pop(L, 2);
    lua_pop(L, 1);
    EXPECT_EQ(Run("assert(rawget(counter, '____class____') == ____class__TestCounter____)"), "");
    EXPECT_EQ(Run("assert(____class__TestCounter____.____class____parent____ == 'TestBase')"), "");
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTest, NewValuesOwnZeroFilledBlocksReturnedToTheCaller)
{
    void* address = nullptr;
    ASSERT_EQ(registry.PushNewValue("TestVec", sizeof(Vec), &address), 1);
    ASSERT_NE(address, nullptr);
    const Vec* vec = static_cast<Vec*>(address);
    EXPECT_EQ(vec->x, 0.0f);
    EXPECT_EQ(vec->y, 0.0f);
    EXPECT_EQ(vec->z, 0.0f);
    lua_State* L = registry.State();
    lua_getfield(L, -1, "____handle____");
    EXPECT_EQ(lua_type(L, -1), LUA_TUSERDATA);
    EXPECT_EQ(lua_touserdata(L, -1), address);
    lua_pop(L, 1);
    lua_setglobal(L, "v");
    EXPECT_EQ(Run("v.y = 0.1"), "");
    EXPECT_EQ(vec->y, 0.1f);
    EXPECT_EQ(Eval("v.y == 0.1"), "false"); // stored as a 32-bit float
}

TEST_F(ScriptTest, ValuesMadeByScriptsAreIndependent)
{
    EXPECT_EQ(Run("a = NewTestVec(1, 2, 3) b = NewTestVec() b.x = a.z a.x = 9"), "");
    EXPECT_EQ(lastNewVec->x, 3.0f);
    EXPECT_EQ(Eval("a.x .. ',' .. a.y .. ',' .. b.x .. ',' .. b.y"), "9,2,3,0");
}

TEST_F(ScriptTest, DeletedClassTableLeavesItsObjectsWithoutMembers)
{
    EXPECT_EQ(registry.GetClassTable("TestCounter", WeClassTableMode::Delete), 0);
    EXPECT_EQ(Eval("counter.Value"), "nil");
    EXPECT_EQ(Eval("counter.Kind"), "nil");
    EXPECT_EQ(Eval("____class__TestCounter____"), "nil");
    lua_State* L = registry.State();
    EXPECT_EQ(registry.GetClassTable("TestCounter", WeClassTableMode::Find), 1);
    EXPECT_TRUE(lua_isnil(L, -1));
    lua_pop(L, 1);
    EXPECT_EQ(registry.GetClassTable("TestCounter", WeClassTableMode::Create), 1);
    EXPECT_TRUE(lua_istable(L, -1));
    lua_pop(L, 1);
    EXPECT_EQ(lua_gettop(L), 0);
}

TEST_F(ScriptTest, WrongObjectsAreScriptErrors)
{
    EXPECT_NE(ErrorOf("counter.Add(nil, 1)").find("TestCounter object expected"), std::string::npos);
    EXPECT_NE(ErrorOf("counter.Add({}, 1)").find("TestCounter object expected"), std::string::npos);
    EXPECT_NE(ErrorOf("counter.Add(NewTestVec(), 1)").find("TestCounter object expected"), std::string::npos);
    // A table a script dresses up as an object is still a plain table.
    EXPECT_NE(ErrorOf("local f = counter.Add f(setmetatable({____class____ = ____class__TestCounter____, "
                      "____handle____ = rawget(counter, '____handle____')}, getmetatable(counter)), 1)")
                  .find("got a plain table"),
              std::string::npos);
    EXPECT_EQ(counter.value, 0);
}

TEST_F(ScriptTest, ParentNativesRejectObjectsOfUnrelatedClasses)
{
    EXPECT_NE(ErrorOf("local v = NewTestVec() counter.Kind(v)").find("TestBase object expected"),
              std::string::npos);
}

TEST_F(ScriptTest, BadArgumentsAndIndicesAreScriptErrors)
{
    EXPECT_FALSE(ErrorOf("counter:Add('many')").empty());
    for (const char* index : {"4", "-1", "1.5", "1e300", "0/0", "'x'", "nil"})
    {
        const std::string error = ErrorOf(std::string("counter:Slot(") + index + ")");
        EXPECT_NE(error.find("bad argument #1 to 'Slot'"), std::string::npos) << error;
    }
    EXPECT_NE(ErrorOf("counter.Speed = 'fast'").find("bad argument #3"), std::string::npos);
    EXPECT_EQ(counter.speed, 0.0f);
}

TEST_F(ScriptTest, StateStaysUsableAfterErrors)
{
    ErrorOf("counter:Slot(100)");
    ErrorOf("counter.Add(nil)");
    ErrorOf("error('plain')");
    EXPECT_EQ(lua_gettop(registry.State()), 0);
    EXPECT_EQ(Run("counter:Add(1)"), "");
    EXPECT_EQ(Eval("counter:Slot(3)"), "13");
    EXPECT_EQ(counter.value, 1);
}

TEST_F(ScriptTest, ParentLoopMadeByAScriptEndsInAnError)
{
    EXPECT_EQ(Run("____class__TestBase____.____class____parent____ = 'TestCounter'"), "");
    EXPECT_EQ(Eval("counter:Kind()"), "base");
    EXPECT_NE(ErrorOf("local x = counter.Missing").find("parent loop"), std::string::npos);
    EXPECT_NE(ErrorOf("counter.Missing = 1").find("parent loop"), std::string::npos);
}

TEST_F(ScriptTest, RememberedChecksEndWithTheLifeAndWithAClassChange)
{
    lua_State* L = registry.State();
    other.value = 4;
    WeScriptPushLiving(L, "TestCounter", &other, &other);
    lua_setglobal(L, "living");
    EXPECT_EQ(Eval("living.Value .. living:Kind()"), "4base");
    WeScriptEndLife(L, &other);
    EXPECT_NE(ErrorOf("local x = living.Value").find("deleted"), std::string::npos);
    EXPECT_EQ(Run("kind = counter.Kind assert(kind(counter) == 'base')"), "");
    registry.RegisterParent("TestCounter", "TestVec");
    EXPECT_NE(ErrorOf("kind(counter)").find("TestBase object expected"), std::string::npos);
}

TEST_F(ScriptTest, MembersAScriptPutsInAClassAreCalledThroughLua)
{
    const std::pair<const char*, const char*> getters[] = {
        {"function(self, key) return key .. '!' end", "Made!"},
        {"coroutine.wrap(function() while true do coroutine.yield('wrapped') end end)", "wrapped"},
        {"tostring", "table"}, // a plain C function of Lua's own, given the object
    };
    for (const auto& [getter, expected] : getters)
    {
        ASSERT_EQ(Run(std::string("____class__TestCounter____.__get__Made__ = ") + getter), "");
        EXPECT_EQ(Eval("counter.Made").substr(0, std::string(expected).size()), expected) << getter;
    }
}

// A change a script makes to the class tables, after the member was looked up already.
struct ClassChange
{
    const char* name;
    const char* access; // run before the change and after it
    const char* change;
    const char* after; // the access's value after the change
};

void PrintTo(const ClassChange& change, std::ostream* out)
{
    *out << change.name;
}

class ScriptClassChangeTest : public ScriptTest, public ::testing::WithParamInterface<ClassChange>
{
};

// Every access looks the member up again along the class chain as it is.
TEST_P(ScriptClassChangeTest, TheNextAccessSeesIt)
{
    const ClassChange& change = GetParam();
    counter.value = 3;
    Eval(change.access);
    Eval(change.access);
    ASSERT_EQ(Run(change.change), "");
    EXPECT_EQ(Eval(change.access), change.after);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ScriptClassChangeTest,
    ::testing::Values(
        ClassChange{"GetterReplaced", "counter.Value",
                    "____class__TestCounter____.__get__Value__ = function() return 'new' end", "new"},
        ClassChange{"GetterRemoved", "counter.Value", "____class__TestCounter____.__get__Value__ = nil",
                    "nil"},
        ClassChange{"ParentsGetterRemoved", "counter.Echo", "____class__TestBase____.__get__Echo__ = nil",
                    "nil"},
        ClassChange{"ParentsMethodReplaced", "counter:Kind()",
                    "____class__TestBase____.__Kind__ = function() return 'changed' end", "changed"},
        ClassChange{"ParentTableRemoved", "counter.Echo", "____class__TestBase____ = nil", "nil"},
        ClassChange{"ParentNoLongerNamed", "counter.Echo",
                    "____class__TestCounter____.____class____parent____ = nil", "nil"},
        ClassChange{"MethodShadowsTheGetterBelow", "type(counter.Echo)",
                    "____class__TestCounter____.__Echo__ = function() return 'method' end", "function"},
        ClassChange{"MemberAddedToTheParent", "counter.Later",
                    "____class__TestBase____.__get__Later__ = function() return 'later' end", "later"},
        ClassChange{"SetterRemovedStoresAPlainField",
                    "(function() counter.Speed = 5 return rawget(counter, 'Speed') end)()",
                    "____class__TestCounter____.__set__Speed__ = nil", "5"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ScriptTest, StandardLibrariesAreOpen)
{
    EXPECT_EQ(Eval("string.format('%d-%s', 3, 'x') .. math.floor(2.5) .. #table.concat({'a', 'b'})"),
              "3-x22");
}

TEST(ScriptRegistry, ProgramRegistryIsReadyOnFirstUseAndAlwaysTheSame)
{
    WeScriptRegistry& first = scriptRegistry();
    EXPECT_NE(first.State(), nullptr);
    EXPECT_TRUE(first.IsInitialised());
    EXPECT_EQ(&scriptRegistry(), &first);
}

TEST(ScriptRegistry, FirstRegistrationCreatesTheState)
{
    WeScriptRegistry registry;
    EXPECT_FALSE(registry.IsInitialised());
    registry.RegisterConstant("ANSWER", 42);
    EXPECT_TRUE(registry.IsInitialised());
    lua_State* L = registry.State();
    lua_getglobal(L, "ANSWER");
    EXPECT_EQ(lua_tonumber(L, -1), 42);
    lua_pop(L, 1);
}
} // namespace
