// A UI manager over a painter that records what it is asked to draw, on an 800 x 600 back
// buffer with an 800 x 600 design, and a frame time of 0.1 s.
#pragma once

#include "UIInputDriver.h"
#include "WeConfig.h"
#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeTimer.h"
#include "WeUIMain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct RecordedDraw
{
    std::string kind; // "rect", "part", "turned", "raw", "text", "flush"
    int32_t x = 0, y = 0, w = 0, h = 0;
    float angle = 0;
    float top = 0, bottom = 0;
    uint32_t argb = 0;
    WeTexture* texture = nullptr;
    int32_t blend = 0;
    std::string text;
    WeFont* font = nullptr;
    bool scissorOn = false; // the scissor when it was drawn
    WeUIRect scissor;
};

class RecordingPainter : public WeUIPainter
{
public:
    WeFont* GetFont(const WeString& key) override
    {
        fontKeys.emplace_back(key.GetData(), static_cast<size_t>(key.GetLength()));
        return fakeFont;
    }
    // Every byte is 10 pixels wide; the height is 20.
    void MeasureText(WeFont* font, const WeString& text, int32_t* width, int32_t* height) override
    {
        *width = font ? text.GetLength() * 10 : 0;
        *height = font ? 20 : 0;
    }
    int32_t GetFontPixelSize(WeFont* font) override { return font ? fontPixelSize : 0; }
    WeTexture* LoadTexture(const WeString& name) override
    {
        for (const std::string& known : textureNames)
            if (WeString(known.c_str()) == name)
                return fakeTexture;
        return nullptr;
    }
    void GetTextureSize(WeTexture* texture, int32_t* width, int32_t* height) override
    {
        *width = texture ? 64 : 0;
        *height = texture ? 128 : 0;
    }
    bool IsOpaque(WeTexture* texture) override { return texture && texturesOpaque; }
    void DrawRectangle(int32_t x, int32_t y, int32_t w, int32_t h, uint32_t argb, WeTexture* texture,
                       int32_t blend) override
    {
        RecordedDraw d;
        d.kind = "rect";
        d.x = x, d.y = y, d.w = w, d.h = h, d.argb = argb, d.texture = texture, d.blend = blend;
        Record(d);
    }
    void DrawRectanglePart(int32_t x, int32_t y, int32_t w, int32_t h, float, float top, float, float bottom,
                           uint32_t argb, WeTexture* texture, int32_t blend) override
    {
        RecordedDraw d;
        d.kind = "part";
        d.x = x, d.y = y, d.w = w, d.h = h, d.top = top, d.bottom = bottom, d.argb = argb,
        d.texture = texture, d.blend = blend;
        Record(d);
    }
    void DrawRectangleRotated(float x, float y, float w, float h, float angle, uint32_t argb,
                              WeTexture* texture, int32_t) override
    {
        RecordedDraw d;
        d.kind = "turned";
        d.x = static_cast<int32_t>(x), d.y = static_cast<int32_t>(y), d.w = static_cast<int32_t>(w),
        d.h = static_cast<int32_t>(h), d.angle = angle, d.argb = argb, d.texture = texture;
        Record(d);
    }
    void DrawRectanglePartD3D(int32_t x, int32_t y, int32_t w, int32_t h, float, float top, float,
                              float bottom, uint32_t argb, d3d9::BaseTexture*, int32_t) override
    {
        RecordedDraw d;
        d.kind = "raw";
        d.x = x, d.y = y, d.w = w, d.h = h, d.top = top, d.bottom = bottom, d.argb = argb;
        Record(d);
    }
    void DrawText(WeFont* font, const WeString& text, int32_t x, int32_t y, int32_t w, int32_t h,
                  uint32_t argb, uint32_t, int32_t, int32_t) override
    {
        RecordedDraw d;
        d.kind = "text";
        d.x = x, d.y = y, d.w = w, d.h = h, d.argb = argb, d.font = font;
        d.text.assign(text.GetData(), static_cast<size_t>(text.GetLength()));
        Record(d);
    }
    void Flush() override
    {
        RecordedDraw d;
        d.kind = "flush";
        draws.push_back(d);
    }
    void GetScissor(bool* enabled, WeUIRect* rect) override
    {
        *enabled = scissorOn;
        *rect = scissor;
    }
    void SetScissor(bool enabled, const WeUIRect& rect) override
    {
        scissorOn = enabled;
        scissor = rect;
    }

    // Keeps the draw with the scissor it was made under.
    void Record(RecordedDraw& d)
    {
        d.scissorOn = scissorOn;
        d.scissor = scissor;
        draws.push_back(d);
    }
    std::vector<RecordedDraw> Kinds(const std::string& kind) const
    {
        std::vector<RecordedDraw> out;
        for (const RecordedDraw& d : draws)
            if (d.kind == kind)
                out.push_back(d);
        return out;
    }

    WeFont* fakeFont = reinterpret_cast<WeFont*>(0x1000);
    WeTexture* fakeTexture = reinterpret_cast<WeTexture*>(0x2000);
    bool texturesOpaque = false; // what IsOpaque says of the fake texture
    int32_t fontPixelSize = 20;
    std::vector<std::string> textureNames;
    std::vector<std::string> fontKeys;
    std::vector<RecordedDraw> draws;
    bool scissorOn = false;
    WeUIRect scissor;
};

class UIFixture : public UIInputDriver
{
protected:
    void SetUp() override
    {
        renderDevice.SetBackBufferSize(800, 600);
        timer.deltaTime = 0.1f;
        uiMain.SetPainter(&painter);
        uiMain.Init();
    }
    void TearDown() override
    {
        uiMain.Shutdown();
        uiMain.SetPainter(nullptr);
    }
    static void LoadUI(const std::string& text) { WeConfig::LoadText("UI", text.data(), text.size()); }

    RecordingPainter painter;
};
