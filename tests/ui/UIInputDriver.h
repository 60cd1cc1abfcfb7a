// Drives the UI manager through its input queue the way the window and the input poll do, one
// frame (input, events, update and layout) per step.
#pragma once

#include "WeUIMain.h"

#include <gtest/gtest.h>

class UIInputDriver : public ::testing::Test
{
protected:
    static void Frame()
    {
        uiMain.ProcessEvents();
        uiMain.Update();
    }
    static void MoveTo(int32_t x, int32_t y, int32_t z = 0)
    {
        uiMain.PostMouseMove(x, y, z);
        Frame();
    }
    static void Press(int32_t x, int32_t y)
    {
        MoveTo(x, y);
        uiMain.PostMouseDown(0);
        Frame();
    }
    static void Release()
    {
        uiMain.PostMouseUp(0);
        Frame();
    }
    static void Click(int32_t x, int32_t y)
    {
        Press(x, y);
        Release();
    }
    // Down, up, the double-click message and up again, as the system reports a double click.
    static void DoubleClick(int32_t x, int32_t y)
    {
        Click(x, y);
        uiMain.PostMouseDown(0);
        uiMain.PostMouseUp(0);
        uiMain.PostDoubleClick();
        uiMain.PostMouseUp(0);
        Frame();
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
