#include "WeUIScene.h"

#include "WeConfig.h"
#include "WePostProcess.h"
#include "WeRenderDevice.h"
#include "WeUIMain.h"

#include <algorithm>
#include <tuple>

namespace
{

// The device's fog as the scene renderer switches it, and the values a map's settings replace.
auto FogFields(WeRenderDevice& d)
{
    return std::tie(d.fogSwitch, d.fogActive, d.fogConfigured, d.fogColor, d.fogStart, d.fogEnd, d.fogMin,
                    d.fogMax);
}

auto SceneValues(WeRenderDevice& d)
{
    return std::tie(d.ambientColor, d.outlineColor, d.brightness, d.contrast, d.hdrFactor,
                    d.reflectionQuality);
}

// What drawing the widget's map changes on the device, kept from construction and put back by
// the destructor, so the UI after the widget is drawn as if the map had not been.
class WeSceneDeviceState
{
public:
    WeSceneDeviceState()
    {
        renderDevice.device->GetViewport(&viewport);
        uiMain.painter->GetScissor(&scissorOn, &scissor);
        for (size_t i = 0; i < std::size(depthStates); ++i)
            renderDevice.device->GetRenderState(depthStates[i], &depthValues[i]);
        // The reflection cube is shared with the game's scene and its pass binds a target of its
        // own, which resets the viewport: the widget's map is drawn without refreshing it.
        renderDevice.reflectionQuality = std::min(renderDevice.reflectionQuality, 1);
    }
    ~WeSceneDeviceState()
    {
        renderDevice.device->SetViewport(&viewport);
        uiMain.painter->SetScissor(scissorOn, scissor);
        for (size_t i = 0; i < std::size(depthStates); ++i)
            renderDevice.device->SetRenderState(depthStates[i], depthValues[i]);
        FogFields(renderDevice) = fog;
        renderDevice.ApplyFog();
        SceneValues(renderDevice) = values;
        renderDevice.SetAmbientColor(renderDevice.ambientColor);
        renderDevice.SetOutlineColor(renderDevice.outlineColor);
    }
    WeSceneDeviceState(const WeSceneDeviceState&) = delete;
    WeSceneDeviceState& operator=(const WeSceneDeviceState&) = delete;

private:
    static constexpr d3d9::RenderState depthStates[] = {d3d9::D3DRS_ZENABLE, d3d9::D3DRS_ZWRITEENABLE,
                                                        d3d9::D3DRS_ZFUNC};
    uint32_t depthValues[std::size(depthStates)] = {};
    d3d9::Viewport viewport;
    bool scissorOn = false;
    WeUIRect scissor;
    std::tuple<bool, bool, bool, WeColor, float, float, float, float> fog = FogFields(renderDevice);
    std::tuple<WeColor, WeColor, float, float, float, int32_t> values = SceneValues(renderDevice);
};

WeUIRect Intersection(const WeUIRect& a, const WeUIRect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const WeUIRect& rect)
{
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

// The part of the rectangle inside the back buffer, all a viewport can cover.
WeUIRect OnScreen(const WeUIRect& rect)
{
    const d3d9::PresentParameters& screen = renderDevice.presentParameters;
    return Intersection(rect, {0, 0, int32_t(screen.backBufferWidth), int32_t(screen.backBufferHeight)});
}

// The part of the rectangle on the screen and, while a scissor is on, inside it too.
WeUIRect VisiblePart(const WeUIRect& rect)
{
    bool scissorOn = false;
    WeUIRect scissor;
    uiMain.painter->GetScissor(&scissorOn, &scissor);
    return scissorOn ? Intersection(OnScreen(rect), scissor) : OnScreen(rect);
}

void SetViewport(const WeUIRect& rect)
{
    d3d9::Viewport viewport;
    renderDevice.device->GetViewport(&viewport);
    viewport.x = uint32_t(rect.left);
    viewport.y = uint32_t(rect.top);
    viewport.width = uint32_t(rect.right - rect.left);
    viewport.height = uint32_t(rect.bottom - rect.top);
    renderDevice.device->SetViewport(&viewport);
}

// The projection takes the rectangle's shape, and when only part of the rectangle can be a
// viewport (the rest lies off the screen), it is moved and scaled so that the part shows what it
// would show of the whole.
void FitCamera(WeCamera& camera, const WeUIRect& whole, const WeUIRect& part)
{
    const float w = float(whole.right - whole.left), h = float(whole.bottom - whole.top);
    if (camera.orthogonal)
        camera.orthoWidth = camera.orthoHeight * w / h;
    else
        camera.aspect = w / h;
    camera.Update();
    const float pw = float(part.right - part.left), ph = float(part.bottom - part.top);
    WeMatrix crop = d3dx::D3DXMatrixIdentity();
    crop.m[0][0] = w / pw;
    crop.m[1][1] = h / ph;
    crop.m[3][0] = (2.0f * float(whole.left - part.left) + w) / pw - 1.0f;
    crop.m[3][1] = 1.0f - (2.0f * float(whole.top - part.top) + h) / ph;
    camera.projection = d3dx::D3DXMatrixMultiply(camera.projection, crop);
    camera.viewProjection = d3dx::D3DXMatrixMultiply(camera.view, camera.projection);
}

} // namespace

std::unique_ptr<WeCamera> WeUISceneCamera(const WeSceneConfig& config)
{
    auto camera = std::make_unique<WeCamera>();
    camera->position = config.vectorA;
    camera->direction = config.vectorB;
    camera->up = config.vectorZ;
    camera->SetOrthogonal(config.flagF);
    camera->orthoHeight = config.valueG;
    camera->orthoWidth = config.valueG * renderDevice.Aspect();
    if (config.flagF)
    {
        camera->SetNearClip(1.0f);
        camera->SetFarClip(50000.0f);
    }
    return camera;
}

WeUIScene::WeUIScene(WeUIComponent* parent_, const WeString& name_) : WeUIComponent(parent_, name_)
{
    const WeString map = WeConfig::GetString("UI.Components." + name + "$Scene", "");
    if (map.IsEmpty())
        return;
    scene = std::make_unique<WeScene>();
    if (!scene->Load(map))
    {
        scene.reset();
        return;
    }
    // Drawn over what the UI drew behind it: only the depth is cleared.
    scene->config.clearBackground = false;
    scene->config.clearDepth = true;
    camera = WeUISceneCamera(scene->config);
}

void WeUIScene::Update()
{
    WeUIComponent::Update();
    if (scene)
        scene->Tick();
}

void WeUIDefaultSceneStyle::Draw(WeUIComponent* component)
{
    auto* widget = dynamic_cast<WeUIScene*>(component);
    if (!widget || !widget->scene || !widget->camera || !renderDevice.device)
        return;
    uiMain.painter->Flush();
    const WeUIRect whole{component->x, component->y, component->x + component->w,
                         component->y + component->h};
    const WeUIRect visible = VisiblePart(whole);
    if (IsEmpty(visible))
        return;
    const WeSceneDeviceState saved;
    const int32_t screenRect[4] = {whole.left, whole.top, whole.right, whole.bottom};
    postProcess.SetScreenRect(true, screenRect);
    widget->scene->config.SetupRenderDevice();
    // Without post-processing the viewport and scissor keep the map inside the widget.
    const WeUIRect onScreen = OnScreen(whole);
    FitCamera(*widget->camera, whole, onScreen);
    SetViewport(onScreen);
    uiMain.painter->SetScissor(true, visible);
    widget->scene->Render(widget->camera.get());
    postProcess.SetScreenRect(false, nullptr);
}
