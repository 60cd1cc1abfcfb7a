#include "WeMovieTextureRenderer.h"

#include "WeEngine.h"
#include "WeRenderDevice.h"
#include "WeTexture.h"

#include <cstring>

namespace
{

void CopyRows(uint8_t* target, int32_t targetPitch, const uint8_t* source, int32_t sourcePitch,
              int32_t rowBytes, int32_t rows)
{
    for (int32_t y = 0; y < rows; ++y)
        std::memcpy(target + size_t(y) * size_t(targetPitch), source + size_t(y) * size_t(sourcePitch),
                    size_t(rowBytes));
}

template <typename T> void ReleaseAndClear(T*& pointer)
{
    if (T* held = pointer)
    {
        pointer = nullptr;
        held->Release();
    }
}

const char* OpenProblem(dshow::HRESULT result)
{
    switch (result)
    {
    case dshow::VFW_E_NOT_FOUND:
        return "the file is missing";
    case dshow::VFW_E_UNKNOWN_FILE_TYPE:
        return "it holds no video that can be read";
    case dshow::VFW_E_INVALID_FILE_FORMAT:
        return "no frame of it can be decoded";
    default:
        return "its video cannot be played";
    }
}

} // namespace

// WeMovieFrames

void WeMovieFrames::SetSize(int32_t w, int32_t h)
{
    std::lock_guard lock(mutex);
    width = w;
    height = h;
    for (int32_t i = 0; i < count; ++i)
    {
        bits[i].assign(size_t(w) * size_t(h) * 4, 0);
        taken[i] = true;
    }
    newest = -1;
}

void WeMovieFrames::Store(const dshow::MediaSample& sample)
{
    std::lock_guard lock(mutex);
    if (width <= 0 || !sample.bits || sample.pitch < width * 4)
        return;
    const int32_t next = (newest + 1) % count;
    CopyRows(bits[next].data(), width * 4, sample.bits, sample.pitch, width * 4, height);
    taken[next] = false;
    newest = next;
}

template <typename Upload> int32_t WeMovieFrames::TakeNewest(Upload upload)
{
    std::lock_guard lock(mutex);
    if (newest >= 0 && !taken[newest])
        taken[newest] = upload(newest, bits[newest].data(), width * 4);
    return newest;
}

void WeMovieFrames::Invalidate(int32_t index)
{
    std::lock_guard lock(mutex);
    taken[index] = false;
}

// WeMovieFrameSink

WeMovieFrameSink::~WeMovieFrameSink() = default;

dshow::HRESULT WeMovieFrameSink::SetMediaType(const dshow::MediaType& type)
{
    for (auto& texture : textures)
        texture.reset();
    frames.SetSize(type.width, type.height);
    CreateTextures();
    return dshow::S_OK;
}

dshow::HRESULT WeMovieFrameSink::DoRenderSample(const dshow::MediaSample& sample)
{
    frames.Store(sample);
    return dshow::S_OK;
}

void WeMovieFrameSink::OnLostDevice()
{
    if (!dynamicTextures)
        return;
    for (auto& texture : textures)
        texture.reset();
}

bool WeMovieFrameSink::CreateTexture(int32_t index, bool dynamic)
{
    WeTexture* made =
        textures[index]
            ? nullptr
            : ::textures.CreateTexture(frames.Width(), frames.Height(), d3d9::D3DFMT_X8R8G8B8,
                                       dynamic ? d3d9::D3DUSAGE_DYNAMIC : 0u,
                                       dynamic ? d3d9::D3DPOOL_DEFAULT : d3d9::D3DPOOL_MANAGED, 1, false);
    if (!made)
        return textures[index] != nullptr;
    textures[index].reset(made);
    void* bits = nullptr;
    int32_t size = 0, pitch = 0;
    if (made->Lock(&bits, &size, &pitch))
    {
        std::memset(bits, 0, size_t(size));
        made->Unlock();
    }
    frames.Invalidate(index);
    return true;
}

void WeMovieFrameSink::CreateTextures()
{
    if (frames.Width() <= 0)
        return;
    if (dynamicTextures)
    {
        bool all = true;
        for (int32_t i = 0; i < WeMovieFrames::count && all; ++i)
            all = CreateTexture(i, true);
        if (all)
            return;
        for (auto& texture : textures)
            texture.reset();
        dynamicTextures = false;
    }
    for (int32_t i = 0; i < WeMovieFrames::count; ++i)
        CreateTexture(i, false);
}

d3d9::Texture* WeMovieFrameSink::GetTexture()
{
    handedOut = frames.TakeNewest(
        [this](int32_t index, const uint8_t* bits, int32_t pitch)
        {
            WeTexture* texture = textures[index].get();
            void* target = nullptr;
            int32_t size = 0, targetPitch = 0;
            if (!texture || !texture->Lock(&target, &size, &targetPitch))
                return false;
            CopyRows(static_cast<uint8_t*>(target), targetPitch, bits, pitch, pitch, texture->height);
            texture->Unlock();
            return true;
        });
    return handedOut >= 0 && textures[handedOut] ? textures[handedOut]->GetTexture2D() : nullptr;
}

// WeMovieAllocator

WeMovieAllocator::~WeMovieAllocator()
{
    ReleaseSurfaces();
}

dshow::HRESULT WeMovieAllocator::InitializeDevice(const dshow::MediaType& type, uint32_t)
{
    if (!surfaces.empty())
        return dshow::S_OK;
    if (type.width != frames.Width() || type.height != frames.Height())
        frames.SetSize(type.width, type.height);
    for (int32_t i = 0; i < WeMovieFrames::count; ++i)
    {
        d3d9::Surface* surface = nullptr;
        if (!renderDevice.device ||
            d3d9::Failed(renderDevice.device->CreateTexture(uint32_t(type.width), uint32_t(type.height), 1, 0,
                                                            d3d9::D3DFMT_X8R8G8B8, d3d9::D3DPOOL_MANAGED,
                                                            &textures[i], nullptr)) ||
            d3d9::Failed(textures[i]->GetSurfaceLevel(0, &surface)))
        {
            ReleaseSurfaces();
            return dshow::E_OUTOFMEMORY;
        }
        surfaces.push_back(surface);
        frames.Invalidate(i);
    }
    return dshow::S_OK;
}

dshow::HRESULT WeMovieAllocator::TerminateDevice()
{
    ReleaseSurfaces();
    return dshow::S_OK;
}

dshow::HRESULT WeMovieAllocator::PresentImage(const dshow::MediaSample& sample)
{
    frames.Store(sample);
    return dshow::S_OK;
}

void WeMovieAllocator::ReleaseSurfaces()
{
    for (d3d9::Surface* surface : surfaces)
        surface->Release();
    surfaces.clear();
    for (d3d9::Texture*& texture : textures)
        ReleaseAndClear(texture);
}

d3d9::Texture* WeMovieAllocator::GetTexture()
{
    handedOut = frames.TakeNewest(
        [this](int32_t index, const uint8_t* bits, int32_t pitch)
        {
            d3d9::LockedRect locked;
            if (size_t(index) >= surfaces.size() ||
                d3d9::Failed(surfaces[index]->LockRect(&locked, nullptr, 0)))
                return false;
            CopyRows(static_cast<uint8_t*>(locked.bits), locked.pitch, bits, pitch, pitch, frames.Height());
            surfaces[index]->UnlockRect();
            return true;
        });
    return handedOut >= 0 ? textures[handedOut] : nullptr;
}

// WeMovieTextureRenderer

WeMovieTextureRenderer::WeMovieTextureRenderer()
{
    std::lock_guard lock(renderDevice.movieLock);
    if (!renderDevice.movieTextures)
        renderDevice.movieTextures = std::make_unique<WeList<WeMovieTextureRenderer*>>();
    renderDevice.movieTextures->PushBack(this);
}

WeMovieTextureRenderer::~WeMovieTextureRenderer()
{
    Close();
    std::lock_guard lock(renderDevice.movieLock);
    if (renderDevice.movieTextures)
        renderDevice.movieTextures->Remove(this);
}

bool WeMovieTextureRenderer::Fail(const WeString& name, dshow::HRESULT result)
{
    engine.lastError = "Cannot play movie " + name + ": " + OpenProblem(result);
    Close();
    return false;
}

bool WeMovieTextureRenderer::Open(const WeString& name, Road road)
{
    Close();
    fileName = name;
    if (dshow::Failed(dshow::CreateFilterGraph(&graph)))
        return Fail(name, dshow::E_OUTOFMEMORY);
    graph->QueryInterface(&mediaControl);
    graph->QueryInterface(&mediaPosition);
    graph->QueryInterface(&mediaEvent);
    dshow::BaseFilter* renderer = nullptr;
    if (road == Road::frameSink)
        renderer = frameSink = new WeMovieFrameSink;
    else if (allocator = new WeMovieAllocator;
             !dshow::Failed(dshow::CreateAllocatorRenderer(allocator, &sinkFilter)))
        renderer = sinkFilter;
    if (!renderer)
        return Fail(name, dshow::E_OUTOFMEMORY);
    graph->AddFilter(renderer, "Movie texture");
    const WeString path = "Movies\\" + name;
    if (const dshow::HRESULT result = graph->RenderFile(path.GetData()); dshow::Failed(result))
        return Fail(name, result);
    return true;
}

void WeMovieTextureRenderer::Update()
{
    if (renderDevice.lost)
    {
        Stop();
    }
    else if (!running && !ended && mediaControl)
    {
        mediaControl->Run();
        running = true;
    }
    if (!mediaEvent)
        return;
    int32_t code = 0;
    intptr_t first = 0, second = 0;
    if (dshow::Failed(mediaEvent->GetEvent(&code, &first, &second, 0)))
        return;
    if (code == dshow::EC_COMPLETE)
    {
        if (loop && mediaPosition && mediaControl)
        {
            mediaPosition->put_CurrentPosition(0.0);
            mediaControl->Run();
        }
        else
        {
            Stop();
            ended = true;
        }
    }
    mediaEvent->FreeEventParams(code, first, second);
}

d3d9::Texture* WeMovieTextureRenderer::GetTexture()
{
    if (frameSink)
        return frameSink->GetTexture();
    if (allocator)
        return allocator->GetTexture();
    return nullptr;
}

void WeMovieTextureRenderer::Stop()
{
    if (!mediaControl)
        return;
    mediaControl->Stop();
    WaitForState(dshow::State_Stopped);
    running = false;
}

bool WeMovieTextureRenderer::WaitForState(dshow::FilterState wanted)
{
    if (!mediaControl)
        return false;
    for (int32_t attempt = 0; attempt < stateAttempts; ++attempt)
    {
        dshow::FilterState state = dshow::State_Stopped;
        if (dshow::Failed(mediaControl->GetState(1, &state)))
            return false;
        if (state == wanted)
            return true;
    }
    return false;
}

void WeMovieTextureRenderer::Close()
{
    // Stopping ends the streaming thread, and the graph, released last of its interfaces, stops
    // it too before it lets go of its filters: nothing the thread writes to goes while it runs.
    Stop();
    ReleaseAndClear(mediaControl);
    ReleaseAndClear(mediaEvent);
    ReleaseAndClear(mediaPosition);
    ReleaseAndClear(graph);
    ReleaseAndClear(frameSink);
    for (auto& [pin, connected] : pinPairs)
    {
        pin->Release();
        connected->Release();
    }
    pinPairs.clear();
    ReleaseAndClear(allocator);
    ReleaseAndClear(sinkFilter);
    running = false;
    ended = false;
}

void WeMovieTextureRenderer::OnLostDevice()
{
    Stop();
    if (frameSink)
        frameSink->OnLostDevice();
    if (!allocator)
        return;
    // Pairs remembered by an earlier loss that no reset followed stay: their pins are no longer
    // connected, so this walk cannot find them again.
    dshow::EnumPins* pins = nullptr;
    if (sinkFilter && !dshow::Failed(sinkFilter->EnumPins(&pins)))
    {
        dshow::Pin* pin = nullptr;
        while (pins->Next(1, &pin, nullptr) == dshow::S_OK)
        {
            dshow::Pin* connected = nullptr;
            if (pin->ConnectedTo(&connected) != dshow::S_OK)
            {
                pin->Release();
                continue;
            }
            pinPairs.emplace_back(pin, connected);
            pin->Disconnect();
            connected->Disconnect();
        }
        pins->Release();
    }
    allocator->ReleaseSurfaces();
}

void WeMovieTextureRenderer::OnResetDevice()
{
    if (frameSink)
        frameSink->CreateTextures();
    for (auto& [pin, connected] : pinPairs)
    {
        connected->Connect(pin, nullptr);
        connected->Release();
        pin->Release();
    }
    pinPairs.clear();
}
