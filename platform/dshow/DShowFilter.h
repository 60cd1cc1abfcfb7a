// Filters and pins as DirectShow shapes them: reference-counted filters with input and output pins
// that connect in pairs over a media type, an enumerator over a filter's pins, the renderer-filter
// base from which a program derives the filter that receives decoded frames, and a renderer that
// hands its frames to a surface allocator of the program's own.
//
// Connecting, disconnecting and state changes happen on the program's thread; samples and the end
// of the stream arrive on the graph's streaming thread.
#pragma once

#include "dshow/DShowTypes.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace dshow
{

class BaseFilter;

// A reference-counted object: born with one reference, destroyed when the last one is released.
class Unknown
{
public:
    virtual uint32_t AddRef();
    // Returns the count left.
    virtual uint32_t Release();

    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;

protected:
    Unknown() = default;
    virtual ~Unknown() = default;

private:
    std::atomic<uint32_t> refs{1};
};

// What a filter tells the graph it belongs to (the end of the stream).
class FilterGraphSink
{
public:
    virtual void Notify(int32_t code, intptr_t param1, intptr_t param2) = 0;

protected:
    ~FilterGraphSink() = default;
};

// A pin shares its filter's reference count. A connected pin holds a reference to its peer.
class Pin
{
public:
    uint32_t AddRef();
    uint32_t Release();
    // Called on an output pin: connects it to the input pin with the type, or the type the
    // output proposes when null. VFW_E_ALREADY_CONNECTED, VFW_E_TYPE_NOT_ACCEPTED, or
    // VFW_E_NOT_STOPPED while either filter runs.
    HRESULT Connect(Pin* receivePin, const MediaType* type);
    // Called on an input pin by the output pin that connects to it.
    HRESULT ReceiveConnection(Pin* connector, const MediaType& type);
    // Breaks this side of the connection only; S_FALSE when not connected.
    HRESULT Disconnect();
    // The peer with a new reference; VFW_E_NOT_CONNECTED (and null) when there is none.
    HRESULT ConnectedTo(Pin** pin) const;
    HRESULT ConnectionMediaType(MediaType* type) const;
    HRESULT QueryDirection(PinDirection* direction) const;
    BaseFilter& Filter() const { return filter; }
    Pin* Peer() const { return peer; }

    // Streaming thread, on input pins: a frame, and the end of the stream.
    HRESULT Receive(const MediaSample& sample);
    HRESULT EndOfStream();

    Pin(BaseFilter& filter, PinDirection direction) : filter(filter), direction(direction) {}
    Pin(const Pin&) = delete;
    Pin& operator=(const Pin&) = delete;

private:
    BaseFilter& filter;
    PinDirection direction;
    Pin* peer = nullptr;
    MediaType type;
};

// A snapshot of a filter's pins, handed out one by one.
class EnumPins : public Unknown
{
public:
    // Up to count pins with a new reference each; S_FALSE when fewer were left.
    HRESULT Next(uint32_t count, Pin** pins, uint32_t* fetched);
    HRESULT Reset();

    explicit EnumPins(BaseFilter& filter);
    ~EnumPins() override;

private:
    BaseFilter& filter;
    size_t next = 0;
};

class BaseFilter : public Unknown
{
public:
    HRESULT EnumPins(dshow::EnumPins** pins);
    virtual HRESULT Run();
    virtual HRESULT Stop();
    FilterState GetState() const { return state; }
    // Set by the graph when the filter is added, cleared when it is removed.
    void JoinFilterGraph(FilterGraphSink* graph) { this->graph = graph; }

    size_t PinCount() const { return pins.size(); }
    Pin& GetPin(size_t index) const { return *pins[index]; }

protected:
    BaseFilter() = default;
    Pin& AddPin(PinDirection direction);
    void NotifyEvent(int32_t code, intptr_t param1, intptr_t param2) const;

    // Pin hooks, on the program's thread: the base takes nothing and proposes nothing.
    friend class Pin;
    virtual HRESULT PinCheckMediaType(const Pin& pin, const MediaType& type);
    virtual HRESULT PinSetMediaType(Pin& pin, const MediaType& type);
    virtual void PinBreakConnect(Pin& pin);
    // The type an output pin proposes.
    virtual HRESULT PinGetMediaType(const Pin& pin, MediaType* type) const;
    // On the streaming thread.
    virtual HRESULT PinReceive(Pin& pin, const MediaSample& sample);
    virtual HRESULT PinEndOfStream(Pin& pin);

private:
    std::vector<std::unique_ptr<Pin>> pins;
    FilterGraphSink* graph = nullptr;
    std::atomic<FilterState> state{State_Stopped};
};

// The base of a filter that renders video frames: one input pin that takes uncompressed
// X8R8G8B8 video; each sample goes to DoRenderSample; the end of the stream is reported to the
// graph as EC_COMPLETE.
class BaseRenderer : public BaseFilter
{
public:
    Pin& InputPin() const { return GetPin(0); }

protected:
    BaseRenderer();
    // The type the renderer takes; the base accepts X8R8G8B8 video of any positive size.
    virtual HRESULT CheckMediaType(const MediaType& type);
    // The connection's type, before any sample arrives (program's thread).
    virtual HRESULT SetMediaType(const MediaType& type);
    // The connection is gone (program's thread).
    virtual void BreakConnect() {}
    // Streaming thread.
    virtual HRESULT DoRenderSample(const MediaSample& sample) = 0;

private:
    HRESULT PinCheckMediaType(const Pin& pin, const MediaType& type) final;
    HRESULT PinSetMediaType(Pin& pin, const MediaType& type) final;
    void PinBreakConnect(Pin& pin) final;
    HRESULT PinReceive(Pin& pin, const MediaSample& sample) final;
    HRESULT PinEndOfStream(Pin& pin) final;
};

// A program's owner of video surfaces for the allocator renderer.
class SurfaceAllocator : public Unknown
{
public:
    // The renderer's input was connected: make room for bufferCount frames of the type
    // (program's thread).
    virtual HRESULT InitializeDevice(const MediaType& type, uint32_t bufferCount) = 0;
    // The input was disconnected (program's thread).
    virtual HRESULT TerminateDevice() = 0;
    // A frame to show (streaming thread).
    virtual HRESULT PresentImage(const MediaSample& sample) = 0;
};

// A renderer filter that hands every frame to the allocator, which it keeps a reference to.
HRESULT CreateAllocatorRenderer(SurfaceAllocator* allocator, BaseFilter** filter);

} // namespace dshow
