#include "WePhaseStack.h"

void WePhaseStack::Request(WeAbstractPhase* phase, WePhaseCommand command)
{
    queue.PushBack() = QueuedCommand{command, phase};
}

void WePhaseStack::Update()
{
    while (!queue.IsEmpty())
    {
        // A copy: running the command may queue more behind it.
        const QueuedCommand queued = queue.First();
        Run(queued);
        queue.Reset();
        queue.RemoveCurrent();
    }
    for (auto phase = phases.rbegin(); phase != phases.rend(); ++phase)
        (*phase)->HandleInput();
    for (WeAbstractPhase* phase : phases)
        phase->Update();
}

void WePhaseStack::Run(const QueuedCommand& queued)
{
    switch (queued.command)
    {
    case WePhaseCommand::Switch:
        DoSwitch(queued.phase);
        break;
    case WePhaseCommand::Push:
        DoPush(queued.phase);
        break;
    case WePhaseCommand::Pop:
        DoPop();
        break;
    default:
        break; // an unknown command is skipped
    }
}

void WePhaseStack::DoSwitch(WeAbstractPhase* phase)
{
    if (!phases.IsEmpty())
    {
        phases.Last()->Leave();
        phases.PopBack();
    }
    phases.PushBack() = phase;
    phase->Enter();
}

void WePhaseStack::DoPush(WeAbstractPhase* phase)
{
    if (!phases.IsEmpty())
        phases.Last()->Covered(phase);
    phases.PushBack() = phase;
    phase->Enter();
}

void WePhaseStack::DoPop()
{
    if (phases.IsEmpty())
        return;
    WeAbstractPhase* popped = phases.Last();
    popped->Leave();
    phases.PopBack();
    if (!phases.IsEmpty())
        phases.Last()->Uncovered(popped);
}

void WePhaseStack::Render()
{
    for (WeAbstractPhase* phase : phases)
        phase->Render();
}

bool WePhaseStack::OnUIEvent(WeUIEvent* event)
{
    for (auto phase = phases.rbegin(); phase != phases.rend(); ++phase)
        if ((*phase)->OnUIEvent(event))
            return true;
    return false;
}

void WePhaseStack::LeaveAll()
{
    for (auto phase = phases.rbegin(); phase != phases.rend(); ++phase)
        (*phase)->Leave();
    phases.Clear();
}
