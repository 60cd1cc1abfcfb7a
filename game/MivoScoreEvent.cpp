// Points for the meetings of numbered blocks: a merge scores by the sum of the two numbers, a
// vanishing pair by the square of its number; each floats over the blocks as a rising text.
#include "MivoGameScene.h"
#include "MivoMapDatabase.h"
#include "MivoPlayGamePhase.h"
#include "MivoUserData.h"

#include <cstdlib>

namespace
{

bool MergePoints(const MivoBlock& a, const MivoBlock& b, int32_t& points)
{
    using K = MivoBlockKind;
    if (a.kind == K::Minus || b.kind == K::Minus)
        points = -1;
    else if (a.kind == K::Plus || b.kind == K::Plus)
        points = 1;
    else if (a.kind != K::Number || b.kind != K::Number)
        return false;
    else if (a.number + b.number < 10)
        points = 12 - (a.number + b.number);
    else
        points = -std::abs(a.number - b.number);
    return true;
}

bool VanishPoints(const MivoBlock& a, const MivoBlock& b, int32_t& points)
{
    using K = MivoBlockKind;
    if (a.kind == K::Joker || b.kind == K::Joker)
    {
        points = a.kind == K::Joker ? b.number : a.number;
        return true;
    }
    if (a.kind != K::Number && b.kind != K::Number)
        return false;
    if (a.number != b.number || a.number < 1 || a.number > 9)
        return false;
    points = 10 * a.number * a.number;
    return true;
}

} // namespace

bool MivoPlayGamePhase::EventPoints(const MivoBoardEvent& event, int32_t& points)
{
    if (!event.blockA || !event.blockB)
        return false;
    if (event.kind == MivoEventKind::Combine)
        return MergePoints(*event.blockA, *event.blockB, points);
    if (event.kind == MivoEventKind::Vanish)
        return VanishPoints(*event.blockA, *event.blockB, points);
    return false;
}

void MivoPlayGamePhase::ScoreEvent(const MivoBoardEvent& event)
{
    int32_t points = 0;
    if (userData.gameMode == MivoModePractice || !EventPoints(event, points))
        return;
    const bool overBoth = event.kind == MivoEventKind::Vanish;
    AddScore(overBoth ? event.blockA : nullptr, points, event.blockB);
}

void MivoPlayGamePhase::AddScore(const MivoBlock* first, int32_t points, const MivoBlock* second)
{
    userData.levelScore = MivoScoreSum({userData.levelScore, points});
    const WeActor* over = MivoActorOf(second);
    if (!over)
        return;
    auto score = std::make_unique<MivoFloatingScore>();
    score->position = over->GetWorldPosition();
    if (const WeActor* other = MivoActorOf(first))
        score->position = (score->position + other->GetWorldPosition()) * 0.5f;
    score->text = points >= 0 ? "+" : "";
    score->text.AppendInt(points);
    level.floatingScores.push_back(std::move(score));
}
