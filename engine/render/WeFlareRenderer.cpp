#include "WeFlareRenderer.h"

#include "WeCamera.h"
#include "WeCanvas.h"
#include "WeLight.h"
#include "WeRenderDevice.h"
#include "WeScene.h"
#include "WeTexture.h"
#include "WeTimer.h"
#include "physics/WePhysics.h"

#include <algorithm>
#include <cmath>

namespace
{

bool rendererAlive = false;

// Static shapes only, of the groups that block the view.
constexpr uint32_t staticShapes = 1, blockingGroups = 0x1000201, allHints = 0xFFFFFFFF;

// How far the fade stands: the time over the fade time, 0 to 1; a fade of no time is complete.
float Progress(float time, float fadeTime)
{
    return fadeTime > 0.0f ? std::clamp(time / fadeTime, 0.0f, 1.0f) : 1.0f;
}

WeTexture* TextureOnFirstUse(WeTexture*& texture, const WeString& name)
{
    if (!texture && !name.IsEmpty())
        texture = textures.Load(name);
    return texture;
}

} // namespace

WeFlareRenderer::WeFlareRenderer()
{
    rendererAlive = true;
}

WeFlareRenderer::~WeFlareRenderer()
{
    rendererAlive = false;
}

bool WeFlareRenderer::Init()
{
    if (!initialised)
    {
        initialised = true;
        records.clear();
    }
    return true;
}

void WeFlareRenderer::Shutdown()
{
    if (!initialised)
        return;
    records.clear();
    initialised = false;
}

WeFlareRecord* WeFlareRenderer::Find(const WeLight* light)
{
    const auto found = std::find_if(records.begin(), records.end(),
                                    [&](const WeFlareRecord& record) { return record.light == light; });
    return found == records.end() ? nullptr : &*found;
}

void WeFlareRenderer::RemoveLight(const WeLight* light)
{
    if (!rendererAlive)
        return;
    std::erase_if(records, [&](const WeFlareRecord& record) { return record.light == light; });
}

void WeFlareRenderer::Project(WeFlareRecord& record, const WeLight& light, const WeCamera& camera)
{
    const WeVector4 clip = d3dx::D3DXVec3Transform(light.GetWorldPosition(), camera.viewProjection);
    const float w = std::fabs(clip.w) > 0.0f ? std::fabs(clip.w) : 1e-6f;
    record.screenX = clip.x / w;
    record.screenY = clip.y / w;
    record.depth = camera.farClip > 0.0f ? clip.z / camera.farClip : 0.0f;
    record.onScreen =
        std::fabs(record.screenX) < 1.0f && std::fabs(record.screenY) < 1.0f &&
        (std::fabs(record.depth - 0.5f) < 0.5f || (record.depth >= 0.9999f && light.AlwaysShowFlares));
}

bool WeFlareRenderer::Blocked(const WeLight& light, const WeCamera& camera)
{
    const WeVector toLight = light.GetWorldPosition() - camera.position;
    const float distance = d3dx::D3DXVec3Length(toLight);
    if (distance <= 0.1f)
        return false;
    const WeVector direction = toLight * (1.0f / distance);
    WeList<WeRaycastHit> hits;
    return physics.Raycast(&camera.position.x, &direction.x, staticShapes, hits, blockingGroups,
                           distance - 0.1f, allHints);
}

void WeFlareRenderer::Fade(WeFlareRecord& record, const WeLight& light, bool hidden, float frameTime)
{
    if (hidden)
    {
        if (!record.hidden)
            record.fadeOut =
                (1.0f - Progress(record.fadeIn, light.FlaresFadeInTime)) * light.FlaresFadeOutTime;
        record.fadeOut += frameTime;
        return;
    }
    if (record.hidden)
        record.fadeIn = (1.0f - Progress(record.fadeOut, light.FlaresFadeOutTime)) * light.FlaresFadeInTime;
    record.fadeIn = std::min(record.fadeIn + frameTime, std::max(light.FlaresFadeInTime, 0.0f));
}

float WeFlareRenderer::CoronaAlpha(const WeFlareRecord& record, const WeLight& light)
{
    const float intensity = light.current.CoronaAlpha;
    if (record.hidden)
        return intensity * (1.0f - Progress(record.fadeOut, light.FlaresFadeOutTime));
    return intensity * Progress(record.fadeIn, light.FlaresFadeInTime);
}

uint32_t WeFlareRenderer::Colour(float alpha)
{
    const float opacity = std::isnan(alpha) ? 0.0f : std::clamp(alpha, 0.0f, 1.0f);
    return (uint32_t(opacity * 255.0f) << 24) | 0x00FFFFFFu;
}

void WeFlareRenderer::Prepare(WeScene* scene, WeCamera* camera)
{
    if (!scene || !camera)
        return;
    const float frameTime = timer.deltaTime;
    scene->lights.ForEach(
        [&](const WeString&, WeActor* actor)
        {
            if (actor->type != WeActorTypeLight)
                return;
            auto& light = static_cast<WeLight&>(*actor);
            if (light.Corona || light.Flares)
                PrepareLight(light, *camera, frameTime);
        });
}

void WeFlareRenderer::PrepareLight(WeLight& light, const WeCamera& camera, float frameTime)
{
    WeFlareRecord now;
    Project(now, light, camera);
    now.hidden = !now.onScreen || Blocked(light, camera);
    WeFlareRecord* record = Find(&light);
    if (record)
        Fade(*record, light, now.hidden, frameTime);
    const bool fadingOut =
        record && light.Corona && record->fadeOut < light.FlaresFadeOutTime && now.depth > 0.0f;
    if (!fadingOut && now.hidden)
    {
        RemoveLight(&light);
        return;
    }
    if (!record)
    {
        record = &records.emplace_back();
        record->light = &light;
    }
    record->screenX = now.screenX;
    record->screenY = now.screenY;
    record->depth = now.depth;
    record->onScreen = now.onScreen;
    record->hidden = now.hidden;
}

void WeFlareRenderer::Render(WeScene*, WeCamera* camera)
{
    if (!camera)
        return;
    const float width = float(renderDevice.BackBufferWidth());
    const float height = float(renderDevice.BackBufferHeight());
    for (const WeFlareRecord& record : records)
    {
        WeLight& light = *record.light;
        if (light.Corona && light.current.CoronaAlpha > 0.0f &&
            (!record.hidden || record.fadeOut < light.FlaresFadeOutTime))
            DrawCorona(record, light, *camera, width, height);
        if (light.Flares && !record.hidden)
            DrawFlares(record, light, width, height);
    }
    if (!records.empty())
        canvas.Flush();
}

void WeFlareRenderer::DrawCorona(const WeFlareRecord& record, WeLight& light, const WeCamera& camera,
                                 float width, float height)
{
    WeTexture* texture = TextureOnFirstUse(light.coronaTexture, light.CoronaTextureName);
    float w = std::trunc(light.CoronaSizeX * width), h = std::trunc(light.CoronaSizeY * height);
    if (!light.CoronaFixedSize)
    {
        const float z = d3dx::D3DXVec3TransformCoord(light.GetWorldPosition(), camera.view).z;
        if (z > 0.001f)
            w *= 100.0f / z, h *= 100.0f / z;
    }
    float angle = 0.0f;
    if (light.CoronaRotation)
    {
        const WeVector raised = camera.position + WeVector{0.0f, 1.0f, 0.0f};
        const WeVector up = d3dx::D3DXVec3TransformCoord(raised, camera.view);
        angle = std::atan2(up.x, up.y);
    }
    const float x = (record.screenX + 1.0f) * width * 0.5f, y = (1.0f - record.screenY) * height * 0.5f;
    canvas.DrawRectangleRotated(x - w / 2, y - h / 2, w, h, angle, Colour(CoronaAlpha(record, light)),
                                texture, BLENDMODE_ADDITIVE);
}

void WeFlareRenderer::DrawFlares(const WeFlareRecord& record, WeLight& light, float width, float height)
{
    for (int32_t i = 0; i < flareCount; ++i)
    {
        const float strength = light.current.FlareAlpha[i];
        if (!(strength > 0.0f))
            continue;
        WeTexture* texture = TextureOnFirstUse(light.flareTextures[i], light.FlareTextureNames[i]);
        const float w = light.FlareSizeX * sizeFactors[i] * width,
                    h = light.FlareSizeY * sizeFactors[i] * height;
        const float x = (1.0f + record.screenX * positionFactors[i]) * width * 0.5f;
        const float y = (1.0f - record.screenY * positionFactors[i]) * height * 0.5f;
        canvas.DrawRectangle(int32_t(x - w / 2), int32_t(y - h / 2), int32_t(w), int32_t(h), Colour(strength),
                             texture, BLENDMODE_ADDITIVE);
    }
}
