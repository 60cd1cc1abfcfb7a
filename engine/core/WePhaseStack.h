// The program's screens are phases kept on one stack. The top phase is the active one; the phases
// below it stay alive, keep updating and keep drawing underneath. Phases never change the stack
// directly: they queue commands that run at the start of the stack's next update.
#pragma once

#include "WeList.h"

#include <cstdint>

class WeUIEvent;

// The base of every game screen. Phases are static objects that live for the whole program.
class WeAbstractPhase
{
public:
    virtual ~WeAbstractPhase() = default;

    virtual void Enter() = 0;
    virtual void Leave() = 0;
    // A phase was pushed on top of this one.
    virtual void Covered(WeAbstractPhase* /*newTop*/) {}
    // The phase above this one was popped.
    virtual void Uncovered(WeAbstractPhase* /*popped*/) {}
    // True when the phase handled the event; the phases below then do not see it.
    virtual bool OnUIEvent(WeUIEvent* /*event*/) { return false; }
    virtual void HandleInput() {}
    virtual void Update() {}
    virtual void Render() {}
};

enum class WePhaseCommand : int32_t
{
    Switch = 0, // replace the top
    Push = 1,
    Pop = 2,
};

class WePhaseStack
{
public:
    // Queues a command for the next Update; a pop ignores the phase.
    void Request(WeAbstractPhase* phase, WePhaseCommand command);
    // Runs the queued commands, those queued while they run included, then HandleInput on every
    // phase from the top down, then Update from the bottom up. Once per frame.
    void Update();
    // Render on every phase from the bottom up.
    void Render();
    // Hands the event to the phases from the top down until one handles it; false when none did.
    bool OnUIEvent(WeUIEvent* event);
    // Leave on every phase from the top down, then an empty stack; queued commands stay queued.
    // The engine's shut-down calls it.
    void LeaveAll();

    // The phases, bottom first.
    const WeList<WeAbstractPhase*>& GetPhases() const { return phases; }
    // The active phase, or null when the stack is empty.
    WeAbstractPhase* GetTop() const { return phases.IsEmpty() ? nullptr : phases.Last(); }
    // Whether commands wait for the next Update.
    bool HasQueuedCommands() const { return !queue.IsEmpty(); }

private:
    struct QueuedCommand
    {
        WePhaseCommand command;
        WeAbstractPhase* phase;
    };

    void Run(const QueuedCommand& queued);
    void DoSwitch(WeAbstractPhase* phase);
    void DoPush(WeAbstractPhase* phase);
    void DoPop();

    WeList<WeAbstractPhase*> phases;
    WeList<QueuedCommand> queue;
};

extern WePhaseStack phaseStack;
