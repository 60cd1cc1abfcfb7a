#include "WePhaseStack.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace
{

std::vector<std::string> calls;

// A phase that records every call and can run an action on Enter or Leave.
class RecordingPhase : public WeAbstractPhase
{
public:
    explicit RecordingPhase(std::string name) : name(std::move(name)) {}

    void Enter() override
    {
        Record("Enter");
        if (onEnter)
            onEnter();
    }
    void Leave() override
    {
        Record("Leave");
        if (onLeave)
            onLeave();
    }
    void Covered(WeAbstractPhase* newTop) override
    {
        Record("Covered(" + static_cast<RecordingPhase*>(newTop)->name + ")");
    }
    void Uncovered(WeAbstractPhase* popped) override
    {
        Record("Uncovered(" + static_cast<RecordingPhase*>(popped)->name + ")");
    }
    bool OnUIEvent(WeUIEvent*) override
    {
        Record("OnUIEvent");
        return handles;
    }
    void HandleInput() override { Record("HandleInput"); }
    void Update() override { Record("Update"); }
    void Render() override { Record("Render"); }

    std::string name;
    std::function<void()> onEnter;
    std::function<void()> onLeave;
    bool handles = false;

private:
    void Record(const std::string& what) { calls.push_back(name + "." + what); }
};

class PhaseStackTest : public ::testing::Test
{
protected:
    void SetUp() override { calls.clear(); }

    // Puts the phases on the stack, then forgets the calls that took.
    void Start(std::initializer_list<RecordingPhase*> bottomFirst)
    {
        for (RecordingPhase* phase : bottomFirst)
            stack.Request(phase, WePhaseCommand::Push);
        stack.Update();
        calls.clear();
    }

    std::vector<WeAbstractPhase*> Phases() const
    {
        std::vector<WeAbstractPhase*> phases;
        for (WeAbstractPhase* phase : stack.GetPhases())
            phases.push_back(phase);
        return phases;
    }

    WePhaseStack stack;
    RecordingPhase p1{"P1"}, p2{"P2"}, p3{"P3"};
};

using Calls = std::vector<std::string>;

} // namespace

TEST_F(PhaseStackTest, RequestsWaitForTheNextUpdate)
{
    stack.Request(&p1, WePhaseCommand::Push);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(stack.GetTop(), nullptr);
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P1.Enter", "P1.HandleInput", "P1.Update"}));
    EXPECT_EQ(stack.GetTop(), &p1);
}

TEST_F(PhaseStackTest, TwoSwitchesInOneFrameRunInOrder)
{
    Start({&p1});
    stack.Request(&p2, WePhaseCommand::Switch);
    stack.Request(&p3, WePhaseCommand::Switch);
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P1.Leave", "P2.Enter", "P2.Leave", "P3.Enter", "P3.HandleInput", "P3.Update"}));
    EXPECT_EQ(Phases(), (std::vector<WeAbstractPhase*>{&p3}));
}

TEST_F(PhaseStackTest, SwitchOnAnEmptyStackOnlyEnters)
{
    stack.Request(&p1, WePhaseCommand::Switch);
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P1.Enter", "P1.HandleInput", "P1.Update"}));
}

TEST_F(PhaseStackTest, PushQueuedInEnterRunsInTheSameUpdate)
{
    p1.onEnter = [this] { stack.Request(&p2, WePhaseCommand::Push); };
    stack.Request(&p1, WePhaseCommand::Push);
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P1.Enter", "P1.Covered(P2)", "P2.Enter", "P2.HandleInput", "P1.HandleInput",
                            "P1.Update", "P2.Update"}));
    EXPECT_EQ(Phases(), (std::vector<WeAbstractPhase*>{&p1, &p2}));
}

TEST_F(PhaseStackTest, NewTopGetsInputFirstAfterAllCommands)
{
    Start({&p1});
    stack.Request(&p2, WePhaseCommand::Push);
    stack.Request(&p3, WePhaseCommand::Push);
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P1.Covered(P2)", "P2.Enter", "P2.Covered(P3)", "P3.Enter", "P3.HandleInput",
                            "P2.HandleInput", "P1.HandleInput", "P1.Update", "P2.Update", "P3.Update"}));
}

TEST_F(PhaseStackTest, PopLeavesTheTopAndUncoversTheOneBelow)
{
    Start({&p1, &p2});
    stack.Request(&p3, WePhaseCommand::Pop); // the phase of a pop is ignored
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P2.Leave", "P1.Uncovered(P2)", "P1.HandleInput", "P1.Update"}));
    EXPECT_EQ(stack.GetTop(), &p1);
}

TEST_F(PhaseStackTest, PopOfTheLastPhaseAndOfAnEmptyStack)
{
    Start({&p1});
    stack.Request(nullptr, WePhaseCommand::Pop);
    stack.Request(nullptr, WePhaseCommand::Pop);
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P1.Leave"}));
    EXPECT_TRUE(stack.GetPhases().IsEmpty());
}

TEST_F(PhaseStackTest, PopThenSwitchReplacesThePhaseBelow)
{
    Start({&p1, &p2});
    stack.Request(nullptr, WePhaseCommand::Pop);
    stack.Request(&p3, WePhaseCommand::Switch);
    stack.Update();
    EXPECT_EQ(calls,
              (Calls{"P2.Leave", "P1.Uncovered(P2)", "P1.Leave", "P3.Enter", "P3.HandleInput", "P3.Update"}));
    EXPECT_EQ(Phases(), (std::vector<WeAbstractPhase*>{&p3}));
}

TEST_F(PhaseStackTest, UnknownCommandIsSkipped)
{
    Start({&p1});
    stack.Request(&p2, static_cast<WePhaseCommand>(7));
    stack.Request(&p3, WePhaseCommand::Push);
    stack.Update();
    EXPECT_EQ(Phases(), (std::vector<WeAbstractPhase*>{&p1, &p3}));
}

TEST_F(PhaseStackTest, RenderRunsFromTheBottomUp)
{
    Start({&p1, &p2, &p3});
    stack.Render();
    EXPECT_EQ(calls, (Calls{"P1.Render", "P2.Render", "P3.Render"}));
}

TEST_F(PhaseStackTest, UIEventGoesDownUntilHandled)
{
    Start({&p1, &p2, &p3});
    p2.handles = true;
    EXPECT_TRUE(stack.OnUIEvent(nullptr));
    EXPECT_EQ(calls, (Calls{"P3.OnUIEvent", "P2.OnUIEvent"}));
    p2.handles = false;
    calls.clear();
    EXPECT_FALSE(stack.OnUIEvent(nullptr));
    EXPECT_EQ(calls, (Calls{"P3.OnUIEvent", "P2.OnUIEvent", "P1.OnUIEvent"}));
}

TEST_F(PhaseStackTest, UIEventOnAnEmptyStackIsNotHandled)
{
    EXPECT_FALSE(stack.OnUIEvent(nullptr));
}

TEST_F(PhaseStackTest, LeaveAllGoesTopDownAndKeepsTheQueue)
{
    Start({&p1, &p2});
    stack.Request(&p3, WePhaseCommand::Push);
    stack.LeaveAll();
    EXPECT_EQ(calls, (Calls{"P2.Leave", "P1.Leave"}));
    EXPECT_TRUE(stack.GetPhases().IsEmpty());
    calls.clear();
    stack.Update(); // the first update after the next start runs what was queued
    EXPECT_EQ(calls, (Calls{"P3.Enter", "P3.HandleInput", "P3.Update"}));
}

TEST_F(PhaseStackTest, CommandsQueuedDuringLeaveAllRunAtTheNextUpdate)
{
    Start({&p1});
    p1.onLeave = [this] { stack.Request(&p2, WePhaseCommand::Switch); };
    stack.LeaveAll();
    p1.onLeave = nullptr;
    calls.clear();
    stack.Update();
    EXPECT_EQ(calls, (Calls{"P2.Enter", "P2.HandleInput", "P2.Update"}));
}

TEST_F(PhaseStackTest, ManyFramesOfTrafficKeepTheStackConsistent)
{
    Start({&p1});
    for (int frame = 0; frame < 1000; ++frame)
    {
        stack.Request(&p2, WePhaseCommand::Push);
        stack.Request(&p3, WePhaseCommand::Switch);
        stack.Request(nullptr, WePhaseCommand::Pop);
        stack.Update();
    }
    EXPECT_EQ(Phases(), (std::vector<WeAbstractPhase*>{&p1}));
}

TEST(ListReverseWalk, VisitsLastToFirst)
{
    WeList<int> list;
    EXPECT_TRUE(list.rbegin() == list.rend());
    for (int i = 1; i <= 3; ++i)
        list.PushBack(i);
    std::vector<int> seen;
    for (auto it = list.rbegin(); it != list.rend(); ++it)
        seen.push_back(*it);
    EXPECT_EQ(seen, (std::vector<int>{3, 2, 1}));
}
