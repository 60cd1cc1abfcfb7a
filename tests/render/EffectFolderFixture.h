// A started render device on the recording back end whose shaders load from a folder of their
// own, into which tests write effects as text.
#pragma once

#include "RenderDeviceFixture.h"
#include "WeFileSystem.h"
#include "WeSceneRenderer.h"
#include "core/TempFolder.h"

#include <memory>
#include <string>

class EffectFolderDevice : public RecordingRenderDevice
{
protected:
    void SetUp() override
    {
        RecordingRenderDevice::SetUp();
        ASSERT_TRUE(Start());
        files = std::make_unique<WeFileSystem>(folder.path.c_str());
        shaders.fileSystem = files.get();
        frameStats.Reset();
    }
    void TearDown() override
    {
        for (WeRenderList& list : sceneRenderer.lists)
            list.Clear();
        shaders.fileSystem = nullptr;
        RecordingRenderDevice::TearDown();
    }
    // The effect of the text under the asset name, loaded; null when it does not load.
    WeShader* LoadEffect(const char* assetName, const std::string& text)
    {
        const bool written = files->OpenWrite(assetName, WeAssetType::Effect, true) &&
                             files->GetStream().Write(text.data(), int64_t(text.size()));
        return files->CloseWrite() && written ? shaders.Load(assetName) : nullptr;
    }

    TempFolder folder;
    std::unique_ptr<WeFileSystem> files;
};
