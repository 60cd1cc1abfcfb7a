// Scenes under test: a working folder of their own with a "Maps" folder, map files written the
// way the map tool writes them, and the frame time the scene's Tick reads.
#pragma once

#include "WeActor.h"
#include "WeFileStream.h"
#include "WeMaterial.h"
#include "WeMesh.h"
#include "WeScene.h"
#include "WeTimer.h"
#include "core/TempFolder.h"
#include "render/RecordBytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

class SceneTest : public ::testing::Test
{
protected:
    SceneTest() : previous(std::filesystem::current_path())
    {
        std::filesystem::create_directory(folder / "Maps");
        std::filesystem::current_path(folder.path);
        timer.deltaTime = 0.1f;
    }
    // The debug models of the first scene go with the managers that hold them.
    ~SceneTest() override
    {
        std::filesystem::current_path(previous);
        modelManager.FreeAll();
        meshManager.FreeAll(true);
        materialManager.FreeAll(true);
    }

    // The bytes an actor's Save writes.
    static std::vector<uint8_t> Saved(WeActor& actor)
    {
        TempFolder scratch;
        WeFileStream out;
        EXPECT_TRUE(out.Create((scratch / "actor.bin").c_str()));
        EXPECT_TRUE(actor.Save(out));
        out.Close();
        return TempFolder::ReadBytes(scratch / "actor.bin");
    }
    // A map of file version 1: a version-24 config, a flat sky box, then the body.
    static RecordBytes Header(float factorA = 2.0f)
    {
        RecordBytes map;
        map.Int(1).Int(24).Floats({0.1f, 0.2f, 0.3f, 1.0f}).Floats({0.5f, 0.5f, 0.5f, 1.0f});
        map.Floats({0, 0, 0, 1}).Bool(true).Floats({10, 20, 0, 1}).Floats({1, 1, 1, 1});
        map.Float(factorA).Float(2000).Floats({0, 1, 2}).Floats({0.25f, 0.5f}).Floats({500, 1000});
        map.Floats({1.3f, 0.5f, 3, 2})
            .Floats({0, 0, 0, 0, 0, 1, 0, 1, 0})
            .Floats({0, 0})
            .Bool(false)
            .Float(100);
        return map.Int(2).String("").Int(2);
    }
    static RecordBytes& AddActor(RecordBytes& map, WeActor& actor)
    {
        const std::vector<uint8_t> bytes = Saved(actor);
        return map.Int(actor.type).Raw(bytes.data(), bytes.size());
    }
    void WriteMap(const std::string& name, const RecordBytes& map)
    {
        TempFolder::WriteBytes(folder / ("Maps/" + name + ".map"), map.bytes);
    }

    TempFolder folder;
    std::filesystem::path previous;
};
