// The filter graph as a program drives it: it renders a movie file into the renderer filter the
// program added, runs and stops it, seeks and sets the playback rate, and queues the events its
// filters send (EC_COMPLETE at the end of the stream). Its interfaces share the graph's
// reference count; the graph stops, disconnects and releases its filters when the last one goes.
#pragma once

#include "dshow/DShowFilter.h"

namespace dshow
{

class MediaControl
{
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // Starts every filter; the file source streams from its current position. Already running:
    // nothing.
    virtual HRESULT Run() = 0;
    // Stops every filter; the streaming thread has ended when it returns. The position stays.
    virtual HRESULT Stop() = 0;
    // The graph's state; state changes complete within Run and Stop, so this never waits.
    virtual HRESULT GetState(int32_t timeoutMilliseconds, FilterState* state) = 0;

protected:
    ~MediaControl() = default;
};

// Positions and durations in seconds.
class MediaPosition
{
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    virtual HRESULT get_Duration(double* duration) = 0;
    // Within 0 and the duration; a running graph goes on streaming from there.
    virtual HRESULT put_CurrentPosition(double position) = 0;
    virtual HRESULT get_CurrentPosition(double* position) = 0;
    // 1 is real time; only positive rates.
    virtual HRESULT put_Rate(double rate) = 0;
    virtual HRESULT get_Rate(double* rate) = 0;

protected:
    ~MediaPosition() = default;
};

class MediaEventEx
{
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // The oldest event, waiting up to the time-out for one; E_ABORT when none came.
    virtual HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2,
                             int32_t timeoutMilliseconds) = 0;
    virtual HRESULT FreeEventParams(int32_t code, intptr_t param1, intptr_t param2) = 0;

protected:
    ~MediaEventEx() = default;
};

class GraphBuilder
{
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;
    // The graph keeps a reference to the filter until it is removed or the graph goes.
    virtual HRESULT AddFilter(BaseFilter* filter, const char* name) = 0;
    virtual HRESULT RemoveFilter(BaseFilter* filter) = 0;
    // Opens the file (backslashes count as slashes) with a file source whose first frame decodes,
    // and connects its output to the first free input pin of the graph's filters that takes it.
    // VFW_E_NOT_FOUND for a missing file, VFW_E_UNKNOWN_FILE_TYPE when it holds no video the
    // source can read, VFW_E_INVALID_FILE_FORMAT when no frame decodes, VFW_E_CANNOT_RENDER
    // when no filter takes the video.
    virtual HRESULT RenderFile(const char* fileName) = 0;
    // The graph's other interfaces, each with a new reference.
    virtual HRESULT QueryInterface(MediaControl** control) = 0;
    virtual HRESULT QueryInterface(MediaPosition** position) = 0;
    virtual HRESULT QueryInterface(MediaEventEx** events) = 0;

protected:
    ~GraphBuilder() = default;
};

HRESULT CreateFilterGraph(GraphBuilder** graph);

} // namespace dshow
