// The base of every renderer. Each renderer is one global object that joins the renderer list
// when it is built; the render device starts, stops and carries every listed renderer across
// device loss in list order.
#pragma once

#include "WeList.h"

class WeBaseRenderer
{
public:
    WeBaseRenderer();
    // Leaves the list, so that a renderer destroyed at exit is never called again.
    virtual ~WeBaseRenderer();
    virtual bool Init() { return true; }
    virtual void Shutdown() {}
    // Gives up the device objects before a reset, and makes them again after it.
    virtual void OnLostDevice() {}
    virtual void OnResetDevice() {}

    // Every renderer built so far, in construction order (made on first use, so renderers may
    // be built before the render device).
    static WeList<WeBaseRenderer*>& List();

    WeBaseRenderer(const WeBaseRenderer&) = delete;
    WeBaseRenderer& operator=(const WeBaseRenderer&) = delete;
};
