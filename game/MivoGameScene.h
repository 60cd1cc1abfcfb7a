// The play's scene, actor and score texts: the scene the background map loads into and every
// block, arrow and effect actor joins, which saves the run-time material sets of its actors as
// set 0; the actor of blocks and effects; and the score text that rises over scored blocks and
// fades out.
#pragma once

#include "WeActor.h"
#include "WeScene.h"

#include <cstdint>
#include <memory>

class MivoArrowSet;
class WeFont;

class MivoGameScene : public WeScene
{
public:
    // Material sets from this one up are the play's run-time sets (numbers 30 to 62, plus 100,
    // minus 104, wall 110).
    static constexpr int32_t kFirstRuntimeSet = 30;

    // A run-time set is saved as 0 and given back after the actor's record.
    void BeforeSaveActor(WeActor* actor) override;
    void AfterSaveActor(WeActor* actor) override;

    int32_t parkedMaterialSet = 0;
};

class MivoActor : public WeActor
{
public:
    bool busy = false;                // an effect moves the actor
    MivoArrowSet* arrowSet = nullptr; // the set an arrow actor belongs to
    int32_t arrowIndex = -1;          // 0..3 for the arrows, -1 for every other actor
    WeActor* slideTrail = nullptr;    // the particle effect of a sliding block
    WeActor* pullEffect = nullptr;    // the particle effect of a pulling magnet
};

class MivoFloatingScore
{
public:
    MivoFloatingScore();

    // The text centred on the position's place on the screen, outlined, at the score's alpha.
    void Draw(const WeMatrix& viewProjection) const;
    // The alpha as a byte: 255 at 1 or more, 0 at 0 or less, else rounded.
    uint32_t AlphaByte() const;

    WeVector position;
    float rise = 0.0f; // screen heights, falling by 1/1024 per step
    float alpha = 1.0f;
    float fadeTime = 0.7f;
    float stepTimer = 0.025f;
    float life = 1.5f;
    WeString text;
    WeFont* font = nullptr;
};
