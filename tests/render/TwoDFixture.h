// A recording render device with the texture, font and canvas managers emptied around each test.
#pragma once

#include "RenderDeviceFixture.h"
#include "WeCanvas.h"
#include "WeFont.h"
#include "WeTexture.h"

#include <string>
#include <vector>

class TwoDTest : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        engine.settings.width = 800;
        engine.settings.height = 600;
        ASSERT_TRUE(Start());
        textures.FreeAll(true); // without the defaults the device's start loaded
        canvas.BeginFrame();
    }
    void TearDown() override
    {
        canvas.texts.Clear();
        fonts.FreeAll();
        textures.FreeAll(true);
        RecordingRenderDevice::TearDown();
    }
    // The draw calls and texture bindings of the canvas, in order, since the log was cleared.
    std::vector<std::string> Draws() const
    {
        std::vector<std::string> draws;
        for (const std::string& call : Calls())
            if (call.rfind("DrawIndexedPrimitiveUP", 0) == 0 || call.rfind("SetTexture 7 ", 0) == 0)
                draws.push_back(call);
        return draws;
    }
    std::string Bind(const WeTexture* texture) const
    {
        return "SetTexture 7 #" + std::to_string(texture->texture->Id());
    }
    // The draw of a run of quads: a triangle list of two triangles a quad.
    static std::string Run(int32_t quads)
    {
        return "DrawIndexedPrimitiveUP 4 0 " + std::to_string(4 * quads) + " " + std::to_string(2 * quads) +
               " 28";
    }
};
