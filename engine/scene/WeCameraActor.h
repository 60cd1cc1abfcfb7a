// A camera placed in a level: its projection settings are stored in the map, its position and
// orientation follow the actor every frame.
#pragma once

#include "WeActor.h"

#include <memory>

class WeCamera;

class WeCameraActor : public WeActor
{
public:
    WeCameraActor();
    ~WeCameraActor() override;

    // The actor's Tick, then the camera takes the world position, the Z row as its direction and
    // the Y row as its up vector; its matrices are rebuilt by whoever updates it.
    void Tick() override;
    bool Save(WeFileStream& stream) override;
    bool Load(WeRecordReader& reader) override;
    void CopyFrom(const WeActor& source) override;

    std::unique_ptr<WeCamera> camera;

private:
    // Field of view, aspect, clip distances and the orthogonal settings, through the setters.
    void TakeSettings(float fov, float aspect, float nearClip, float farClip, bool orthogonal, float width,
                      float height);
};
