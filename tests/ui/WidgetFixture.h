// A UI manager on an 800 x 600 screen with an 800 x 600 design, so that design pixels are screen
// pixels, driven through its input queue the way the window and the input poll drive it.
#pragma once

#include "WeConfig.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeUIMain.h"

#include "UIInputDriver.h"

class WidgetFixture : public UIInputDriver
{
protected:
    void SetUp() override
    {
        renderDevice.SetBackBufferSize(800, 600);
        WeConfig::GetInt("UI.Size.SrcW", 800) = 800;
        WeConfig::GetInt("UI.Size.SrcH", 600) = 600;
        uiMain.Init();
    }
    void TearDown() override { uiMain.Shutdown(); }
};
