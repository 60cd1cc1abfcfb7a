#include "dshow/DShowGraph.h"

#include "dshow/DShowFileSource.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

namespace dshow
{

namespace
{

struct Event
{
    int32_t code;
    intptr_t param1;
    intptr_t param2;
};

class FilterGraph final : public Unknown,
                          public GraphBuilder,
                          public MediaControl,
                          public MediaPosition,
                          public MediaEventEx,
                          public FilterGraphSink
{
public:
    uint32_t AddRef() override { return Unknown::AddRef(); }
    uint32_t Release() override { return Unknown::Release(); }

    HRESULT AddFilter(BaseFilter* filter, const char* name) override;
    HRESULT RemoveFilter(BaseFilter* filter) override;
    HRESULT RenderFile(const char* fileName) override;
    HRESULT QueryInterface(MediaControl** control) override
    {
        return Hand(static_cast<MediaControl*>(this), control);
    }
    HRESULT QueryInterface(MediaPosition** position) override
    {
        return Hand(static_cast<MediaPosition*>(this), position);
    }
    HRESULT QueryInterface(MediaEventEx** events) override
    {
        return Hand(static_cast<MediaEventEx*>(this), events);
    }

    HRESULT Run() override;
    HRESULT Stop() override;
    HRESULT GetState(int32_t timeoutMilliseconds, FilterState* state) override;

    HRESULT get_Duration(double* duration) override;
    HRESULT put_CurrentPosition(double position) override;
    HRESULT get_CurrentPosition(double* position) override;
    HRESULT put_Rate(double rate) override;
    HRESULT get_Rate(double* rate) override;

    HRESULT GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMilliseconds) override;
    HRESULT FreeEventParams(int32_t, intptr_t, intptr_t) override { return S_OK; }

    void Notify(int32_t code, intptr_t param1, intptr_t param2) override;

    FilterGraph() = default;
    ~FilterGraph() override;

private:
    template <typename Interface> HRESULT Hand(Interface* facet, Interface** out)
    {
        if (!out)
            return E_POINTER;
        AddRef();
        *out = facet;
        return S_OK;
    }
    static void Detach(BaseFilter& filter);
    static double Seconds(ReferenceTime time) { return double(time) / double(unitsPerSecond); }

    std::vector<BaseFilter*> filters; // in the order they were added; each holds a reference
    FileSource* source = nullptr;     // one of the filters, once a file is rendered
    FilterState state = State_Stopped;
    std::mutex eventMutex;
    std::condition_variable eventCame;
    std::deque<Event> events;
};

FilterGraph::~FilterGraph()
{
    Stop();
    for (BaseFilter* filter : filters)
        Detach(*filter);
}

void FilterGraph::Detach(BaseFilter& filter)
{
    for (size_t i = 0; i < filter.PinCount(); ++i)
        filter.GetPin(i).Disconnect();
    filter.JoinFilterGraph(nullptr);
    filter.Release();
}

HRESULT FilterGraph::AddFilter(BaseFilter* filter, const char*)
{
    if (!filter)
        return E_POINTER;
    if (std::find(filters.begin(), filters.end(), filter) != filters.end())
        return E_INVALIDARG;
    if (state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    filter->AddRef();
    filter->JoinFilterGraph(this);
    filters.push_back(filter);
    return S_OK;
}

HRESULT FilterGraph::RemoveFilter(BaseFilter* filter)
{
    auto found = std::find(filters.begin(), filters.end(), filter);
    if (found == filters.end())
        return VFW_E_NOT_FOUND;
    if (state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    filters.erase(found);
    if (filter == source)
        source = nullptr;
    Detach(*filter);
    return S_OK;
}

HRESULT FilterGraph::RenderFile(const char* fileName)
{
    if (!fileName)
        return E_POINTER;
    if (state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    FileSource* opened = nullptr;
    if (const HRESULT result = FileSource::Create(fileName, &opened); Failed(result))
        return result;
    for (BaseFilter* filter : filters)
    {
        for (size_t i = 0; i < filter->PinCount(); ++i)
        {
            Pin& input = filter->GetPin(i);
            PinDirection direction = PINDIR_OUTPUT;
            input.QueryDirection(&direction);
            if (direction != PINDIR_INPUT || input.Peer() ||
                Failed(opened->OutputPin().Connect(&input, nullptr)))
                continue;
            AddFilter(opened, fileName);
            opened->Release();
            source = opened;
            return S_OK;
        }
    }
    opened->Release();
    return VFW_E_CANNOT_RENDER;
}

HRESULT FilterGraph::Run()
{
    if (state == State_Running)
        return S_OK;
    state = State_Running;
    for (BaseFilter* filter : filters)
        filter->Run();
    return S_OK;
}

HRESULT FilterGraph::Stop()
{
    // The source, added last, stops first: no sample reaches a stopped renderer.
    for (auto filter = filters.rbegin(); filter != filters.rend(); ++filter)
        (*filter)->Stop();
    state = State_Stopped;
    return S_OK;
}

HRESULT FilterGraph::GetState(int32_t, FilterState* out)
{
    if (!out)
        return E_POINTER;
    *out = state;
    return S_OK;
}

HRESULT FilterGraph::get_Duration(double* duration)
{
    if (!duration)
        return E_POINTER;
    if (!source)
        return VFW_E_NOT_CONNECTED;
    *duration = Seconds(source->Duration());
    return S_OK;
}

HRESULT FilterGraph::put_CurrentPosition(double position)
{
    if (!source)
        return VFW_E_NOT_CONNECTED;
    if (!(position >= 0.0))
        position = 0.0;
    return source->SetPosition(ReferenceTime(std::min(position, 1e9) * double(unitsPerSecond)));
}

HRESULT FilterGraph::get_CurrentPosition(double* position)
{
    if (!position)
        return E_POINTER;
    if (!source)
        return VFW_E_NOT_CONNECTED;
    *position = Seconds(source->CurrentPosition());
    return S_OK;
}

HRESULT FilterGraph::put_Rate(double rate)
{
    return source ? source->SetRate(rate) : VFW_E_NOT_CONNECTED;
}

HRESULT FilterGraph::get_Rate(double* rate)
{
    if (!rate)
        return E_POINTER;
    if (!source)
        return VFW_E_NOT_CONNECTED;
    *rate = source->Rate();
    return S_OK;
}

HRESULT FilterGraph::GetEvent(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t timeoutMilliseconds)
{
    if (!code || !param1 || !param2)
        return E_POINTER;
    std::unique_lock lock(eventMutex);
    if (!eventCame.wait_for(lock, std::chrono::milliseconds(std::max(timeoutMilliseconds, 0)),
                            [this] { return !events.empty(); }))
        return E_ABORT;
    const Event event = events.front();
    events.pop_front();
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
}

void FilterGraph::Notify(int32_t code, intptr_t param1, intptr_t param2)
{
    {
        std::lock_guard lock(eventMutex);
        events.push_back({code, param1, param2});
    }
    eventCame.notify_all();
}

} // namespace

HRESULT CreateFilterGraph(GraphBuilder** graph)
{
    if (!graph)
        return E_POINTER;
    *graph = new FilterGraph;
    return S_OK;
}

} // namespace dshow
