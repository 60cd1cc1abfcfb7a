// The base of the program's application object, as far as the render device drives it.
#pragma once

class WeApplication
{
public:
    virtual ~WeApplication() = default;
    // The application's drawing, between the device's clear and present.
    virtual void Render() {}
    // Before a device reset and at the end of every run-loop pass.
    virtual void OnDeactivate() {}
    // After a device reset and right after Init.
    virtual void OnActivate() {}
};

// The application the run loop drives; null before the run loop starts.
extern WeApplication* application;
