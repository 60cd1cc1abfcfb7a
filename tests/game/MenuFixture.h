// The menus over the UI manager with a recording painter and the shipped layouts, an empty phase
// stack, and helpers that click a widget and press a key the way a player would.
#pragma once

#include "../ui/UIFixture.h"
#include "WeInput.h"
#include "WeLocalization.h"
#include "WePhaseStack.h"

#include <string>
#include <vector>

// A screen beneath the menus that writes what reaches it.
class RecordingPhase : public WeAbstractPhase
{
public:
    void Enter() override { log.push_back("Enter"); }
    void Leave() override { log.push_back("Leave"); }
    void Uncovered(WeAbstractPhase*) override { log.push_back("Uncovered"); }
    bool OnUIEvent(WeUIEvent* event) override
    {
        events.push_back(event->id);
        return false;
    }
    void HandleInput() override
    {
        if (input.UseKeyClicked(28))
            log.push_back("Return");
        if (input.UseKeyClicked(1))
            log.push_back("Escape");
        if (input.UseMouseClicked(0))
            log.push_back("MouseClick");
    }

    std::vector<std::string> log;
    std::vector<int32_t> events;
};

class MenuFixture : public UIFixture
{
protected:
    void SetUp() override
    {
        UIFixture::SetUp();
        // The run loop loads the languages before the game starts.
        if (localization.GetLanguageName().IsEmpty())
            localization.LoadAll();
        ClearInput();
    }
    void TearDown() override
    {
        // Whatever a test left queued is run, then every screen leaves: the next test starts on
        // an empty stack.
        phaseStack.Update();
        phaseStack.LeaveAll();
        ClearInput();
        UIFixture::TearDown();
    }
    static void ClearInput()
    {
        input.BeginFrame();
        input.BeginFrame();
    }
    // One frame as the engine runs it: the UI's events, the phases, the UI's update.
    static void Step()
    {
        uiMain.ProcessEvents();
        phaseStack.Update();
        uiMain.Update();
        input.BeginFrame();
    }
    static void Steps(int32_t count)
    {
        for (int32_t i = 0; i < count; ++i)
            Step();
    }
    // A key clicked in this frame, as the input poll reports it.
    static void PressKey(int32_t key)
    {
        input.keysClicked[key] = 1;
        ++input.clickedCount;
    }
    // The mouse moved to the widget's centre, pressed and released there.
    static void Click(const char* name)
    {
        WeUIComponent* c = uiMain.GetComponent(name);
        ASSERT_NE(c, nullptr) << name;
        uiMain.PostMouseMove(c->x + c->w / 2, c->y + c->h / 2, 0);
        uiMain.PostMouseDown(0);
        uiMain.PostMouseUp(0);
    }
    static WeAbstractPhase* Top() { return phaseStack.GetTop(); }
    static int32_t Depth() { return phaseStack.GetPhases().GetCount(); }
};
