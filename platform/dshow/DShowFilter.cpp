#include "dshow/DShowFilter.h"

namespace dshow
{

// Unknown

uint32_t Unknown::AddRef()
{
    return ++refs;
}

uint32_t Unknown::Release()
{
    const uint32_t left = --refs;
    if (left == 0)
        delete this;
    return left;
}

// Pin

uint32_t Pin::AddRef()
{
    return filter.AddRef();
}

uint32_t Pin::Release()
{
    return filter.Release();
}

HRESULT Pin::Connect(Pin* receivePin, const MediaType* proposed)
{
    if (!receivePin)
        return E_POINTER;
    if (direction != PINDIR_OUTPUT || receivePin->direction != PINDIR_INPUT)
        return E_INVALIDARG;
    if (peer)
        return VFW_E_ALREADY_CONNECTED;
    if (filter.GetState() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    MediaType offered;
    if (proposed)
        offered = *proposed;
    else if (const HRESULT result = filter.PinGetMediaType(*this, &offered); Failed(result))
        return result;
    if (const HRESULT result = receivePin->ReceiveConnection(this, offered); Failed(result))
        return result;
    peer = receivePin;
    peer->AddRef();
    type = offered;
    filter.PinSetMediaType(*this, offered);
    return S_OK;
}

HRESULT Pin::ReceiveConnection(Pin* connector, const MediaType& offered)
{
    if (!connector)
        return E_POINTER;
    if (direction != PINDIR_INPUT)
        return E_INVALIDARG;
    if (peer)
        return VFW_E_ALREADY_CONNECTED;
    if (filter.GetState() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (Failed(filter.PinCheckMediaType(*this, offered)))
        return VFW_E_TYPE_NOT_ACCEPTED;
    if (const HRESULT result = filter.PinSetMediaType(*this, offered); Failed(result))
        return result;
    peer = connector;
    peer->AddRef();
    type = offered;
    return S_OK;
}

HRESULT Pin::Disconnect()
{
    if (!peer)
        return S_FALSE;
    if (filter.GetState() != State_Stopped)
        return VFW_E_NOT_STOPPED;
    Pin* const old = peer;
    peer = nullptr;
    type = MediaType{};
    filter.PinBreakConnect(*this);
    old->Release();
    return S_OK;
}

HRESULT Pin::ConnectedTo(Pin** pin) const
{
    if (!pin)
        return E_POINTER;
    *pin = peer;
    if (!peer)
        return VFW_E_NOT_CONNECTED;
    peer->AddRef();
    return S_OK;
}

HRESULT Pin::ConnectionMediaType(MediaType* out) const
{
    if (!out)
        return E_POINTER;
    *out = type;
    return peer ? S_OK : VFW_E_NOT_CONNECTED;
}

HRESULT Pin::QueryDirection(PinDirection* out) const
{
    if (!out)
        return E_POINTER;
    *out = direction;
    return S_OK;
}

HRESULT Pin::Receive(const MediaSample& sample)
{
    return direction == PINDIR_INPUT ? filter.PinReceive(*this, sample) : E_FAIL;
}

HRESULT Pin::EndOfStream()
{
    return direction == PINDIR_INPUT ? filter.PinEndOfStream(*this) : E_FAIL;
}

// EnumPins

EnumPins::EnumPins(BaseFilter& filter) : filter(filter)
{
    filter.AddRef();
}

EnumPins::~EnumPins()
{
    filter.Release();
}

HRESULT EnumPins::Next(uint32_t count, Pin** pins, uint32_t* fetched)
{
    if (!pins && count > 0)
        return E_POINTER;
    uint32_t taken = 0;
    for (; taken < count && next < filter.PinCount(); ++taken)
    {
        pins[taken] = &filter.GetPin(next++);
        pins[taken]->AddRef();
    }
    if (fetched)
        *fetched = taken;
    return taken == count ? S_OK : S_FALSE;
}

HRESULT EnumPins::Reset()
{
    next = 0;
    return S_OK;
}

// BaseFilter

HRESULT BaseFilter::EnumPins(dshow::EnumPins** out)
{
    if (!out)
        return E_POINTER;
    *out = new dshow::EnumPins(*this);
    return S_OK;
}

HRESULT BaseFilter::Run()
{
    state = State_Running;
    return S_OK;
}

HRESULT BaseFilter::Stop()
{
    state = State_Stopped;
    return S_OK;
}

Pin& BaseFilter::AddPin(PinDirection direction)
{
    pins.push_back(std::make_unique<Pin>(*this, direction));
    return *pins.back();
}

void BaseFilter::NotifyEvent(int32_t code, intptr_t param1, intptr_t param2) const
{
    if (graph)
        graph->Notify(code, param1, param2);
}

HRESULT BaseFilter::PinCheckMediaType(const Pin&, const MediaType&)
{
    return VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT BaseFilter::PinSetMediaType(Pin&, const MediaType&)
{
    return S_OK;
}

void BaseFilter::PinBreakConnect(Pin&) {}

HRESULT BaseFilter::PinGetMediaType(const Pin&, MediaType*) const
{
    return VFW_E_NOT_FOUND;
}

HRESULT BaseFilter::PinReceive(Pin&, const MediaSample&)
{
    return E_FAIL;
}

HRESULT BaseFilter::PinEndOfStream(Pin&)
{
    return S_OK;
}

// BaseRenderer

BaseRenderer::BaseRenderer()
{
    AddPin(PINDIR_INPUT);
}

HRESULT BaseRenderer::CheckMediaType(const MediaType& type)
{
    return type.subtype == MediaSubtype::rgb32 && type.width > 0 && type.height > 0 ? S_OK
                                                                                    : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT BaseRenderer::SetMediaType(const MediaType&)
{
    return S_OK;
}

HRESULT BaseRenderer::PinCheckMediaType(const Pin&, const MediaType& type)
{
    return CheckMediaType(type);
}

HRESULT BaseRenderer::PinSetMediaType(Pin&, const MediaType& type)
{
    return SetMediaType(type);
}

void BaseRenderer::PinBreakConnect(Pin&)
{
    BreakConnect();
}

HRESULT BaseRenderer::PinReceive(Pin&, const MediaSample& sample)
{
    return DoRenderSample(sample);
}

HRESULT BaseRenderer::PinEndOfStream(Pin&)
{
    NotifyEvent(EC_COMPLETE, S_OK, 0);
    return S_OK;
}

// The allocator renderer

namespace
{

class AllocatorRenderer : public BaseRenderer
{
public:
    explicit AllocatorRenderer(SurfaceAllocator& allocator) : allocator(allocator) { allocator.AddRef(); }
    ~AllocatorRenderer() override { allocator.Release(); }

private:
    HRESULT SetMediaType(const MediaType& type) override { return allocator.InitializeDevice(type, 3); }
    void BreakConnect() override { allocator.TerminateDevice(); }
    HRESULT DoRenderSample(const MediaSample& sample) override { return allocator.PresentImage(sample); }

    SurfaceAllocator& allocator;
};

} // namespace

HRESULT CreateAllocatorRenderer(SurfaceAllocator* allocator, BaseFilter** filter)
{
    if (!allocator || !filter)
        return E_POINTER;
    *filter = new AllocatorRenderer(*allocator);
    return S_OK;
}

} // namespace dshow
