// A UI manager on an 800 x 600 screen with an 800 x 600 design, so that design pixels are screen
// pixels, driven through its input queue the way the window and the input poll drive it.
#pragma once

#include "WeConfig.h"
#include "WeEngine.h"
#include "WeUIMain.h"

#include <gtest/gtest.h>

class WidgetFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        engine.settings.width = 800;
        engine.settings.height = 600;
        WeConfig::GetInt("UI.Size.SrcW", 800) = 800;
        WeConfig::GetInt("UI.Size.SrcH", 600) = 600;
        uiMain.Init();
    }
    void TearDown() override { uiMain.Shutdown(); }

    // One frame: input, events, then update and layout.
    void Frame()
    {
        uiMain.ProcessEvents();
        uiMain.Update();
    }
    void MoveTo(int32_t x, int32_t y, int32_t z = 0)
    {
        uiMain.PostMouseMove(x, y, z);
        Frame();
    }
    void Press(int32_t x, int32_t y)
    {
        MoveTo(x, y);
        uiMain.PostMouseDown(0);
        Frame();
    }
    void Release()
    {
        uiMain.PostMouseUp(0);
        Frame();
    }
    void Click(int32_t x, int32_t y)
    {
        Press(x, y);
        Release();
    }
    // Reports of that id left over for the phases after the last frame.
    static int32_t CountEvents(int32_t id)
    {
        int32_t count = 0;
        for (const WeUIEvent& event : uiMain.events)
            count += event.id == id ? 1 : 0;
        return count;
    }
};
