#include "platform/gfx/d3d8_recording.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gfx/d3d8_device_base.h"

namespace platform {

namespace {

D3DCAPS8 defaultCaps(D3DDEVTYPE type)
{
    D3DCAPS8 c;
    c.DeviceType = type;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_DYNAMICTEXTURES;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    c.DevCaps = D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_HWRASTERIZATION;
    c.SrcBlendCaps = c.DestBlendCaps = D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_CLAMP;
    c.MaxTextureWidth = c.MaxTextureHeight = c.MaxTextureAspectRatio = 4096;
    c.MaxTextureBlendStages = 1;
    c.MaxSimultaneousTextures = 1;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 1;
    c.MaxStreamStride = sizeof(TLVertex);
    return c;
}

class RecordingDevice final : public DeviceBase {
public:
    RecordingDevice(const D3DPRESENT_PARAMETERS& params, const D3DCAPS8& caps, std::shared_ptr<Recorder> recorder)
        : DeviceBase(params, caps, std::move(recorder))
    {
        makeBackBuffer();
    }

    ~RecordingDevice() override { releaseBindings(); }

protected:
    HRESULT backendTestCooperativeLevel() override
    {
        if (m_recorder->cooperativeLevels.empty())
            return D3D_OK;
        const HRESULT hr = m_recorder->cooperativeLevels.front();
        m_recorder->cooperativeLevels.pop_front();
        return hr;
    }

    HRESULT backendReset(const D3DPRESENT_PARAMETERS& p) override
    {
        m_params = p;
        makeBackBuffer();
        return D3D_OK;
    }

    HRESULT backendPresent() override { return D3D_OK; }

    HRESULT backendSetCursor(const PixelBuffer& image, std::uint32_t, std::uint32_t) override
    {
        Recorder& r = *m_recorder;
        r.cursorWidth = image.width();
        r.cursorHeight = image.height();
        r.cursorImage.resize(std::size_t(r.cursorWidth) * std::size_t(r.cursorHeight));
        for (int y = 0; y < r.cursorHeight; ++y)
            std::memcpy(&r.cursorImage[std::size_t(y) * std::size_t(r.cursorWidth)], image.pixel(0, y),
                        std::size_t(r.cursorWidth) * 4);
        return D3D_OK;
    }
    void backendShowCursor(bool show) override { m_recorder->cursorShown = show; }

    HRESULT backendGetBackBuffer(GfxSurface** surface) override
    {
        m_backBuffer->AddRef();
        *surface = m_backBuffer.get();
        return D3D_OK;
    }

    HRESULT backendGetFrontBuffer(ImageSurface& dest) override
    {
        PixelBuffer& src = m_backBuffer->pixels();
        PixelBuffer& dst = dest.pixels();
        const int w = std::min(src.width(), dst.width()), h = std::min(src.height(), dst.height());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                encodePixel(D3DFMT_A8R8G8B8, 0xFF000000u | decodePixel(src.format(), src.pixel(x, y)),
                            dst.pixel(x, y));
        return D3D_OK;
    }

    HRESULT backendDisplayMode(D3DDISPLAYMODE& mode) override
    {
        mode = m_recorder->desktopMode;
        return D3D_OK;
    }

    void backendClear(const std::vector<RECT>& rects, D3DCOLOR color) override
    {
        // Encode the colour once and copy rows: the tests clear a whole
        // back buffer every frame, and they run unoptimised.
        PixelBuffer& px = m_backBuffer->pixels();
        const std::size_t bpp = std::size_t(px.bytesPerPixel());
        for (const RECT& r : rects) {
            if (r.right <= r.left || r.bottom <= r.top)
                continue;
            std::uint8_t* first = px.pixel(r.left, r.top);
            encodePixel(px.format(), color, first);
            const std::size_t rowBytes = std::size_t(r.right - r.left) * bpp;
            for (std::size_t done = bpp; done < rowBytes; done *= 2)
                std::memcpy(first + done, first, std::min(done, rowBytes - done));
            for (int y = r.top + 1; y < r.bottom; ++y)
                std::memcpy(px.pixel(r.left, y), first, rowBytes);
        }
    }

    void backendDraw(TextureImpl*, const BatchVertex*, std::size_t, const std::uint16_t*, std::size_t) override
    {
        ++m_stats.drawCalls;
        ++m_stats.flushes;
    }

private:
    void makeBackBuffer()
    {
        const D3DFORMAT f = isTextureFormat(m_params.BackBufferFormat) ? m_params.BackBufferFormat : D3DFMT_X8R8G8B8;
        m_backBuffer.reset(new ImageSurface(m_link, f, backBufferWidth(), backBufferHeight()));
    }

    GfxRef<ImageSurface> m_backBuffer;
};

class RecordingDirect3D final : public GfxDirect3D {
public:
    explicit RecordingDirect3D(std::shared_ptr<Recorder> recorder) : m_rec(std::move(recorder)) {}

    std::uint32_t GetAdapterCount() override
    {
        note("GetAdapterCount", {});
        return 1;
    }

    HRESULT GetAdapterIdentifier(std::uint32_t adapter, std::uint32_t flags, D3DADAPTER_IDENTIFIER8* id) override
    {
        if (HRESULT hr = call("GetAdapterIdentifier", {adapter, flags}); FAILED(hr))
            return hr;
        if (adapter != 0 || !id)
            return D3DERR_INVALIDCALL;
        *id = m_rec->identifier;
        return D3D_OK;
    }

    std::uint32_t GetAdapterModeCount(std::uint32_t adapter) override
    {
        note("GetAdapterModeCount", {adapter});
        return adapter == 0 ? std::uint32_t(m_rec->modes.size()) : 0;
    }

    HRESULT EnumAdapterModes(std::uint32_t adapter, std::uint32_t index, D3DDISPLAYMODE* mode) override
    {
        if (HRESULT hr = call("EnumAdapterModes", {adapter, index}); FAILED(hr))
            return hr;
        if (adapter != 0 || !mode || index >= m_rec->modes.size())
            return D3DERR_INVALIDCALL;
        *mode = m_rec->modes[index];
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) override
    {
        if (HRESULT hr = call("GetAdapterDisplayMode", {adapter}); FAILED(hr))
            return hr;
        if (adapter != 0 || !mode)
            return D3DERR_INVALIDCALL;
        *mode = m_rec->desktopMode;
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS8* caps) override
    {
        if (HRESULT hr = call("GetDeviceCaps", {adapter, type}); FAILED(hr))
            return hr;
        if (adapter != 0 || !caps || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        *caps = type == D3DDEVTYPE_HAL ? m_rec->halCaps : m_rec->refCaps;
        return D3D_OK;
    }

    HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t flags,
                         D3DPRESENT_PARAMETERS* params, GfxDevice** device) override
    {
        if (params)
            note("CreateDevice", {adapter, type, flags, params->BackBufferWidth, params->BackBufferHeight,
                                  params->BackBufferFormat, params->Windowed, params->SwapEffect,
                                  params->FullScreen_PresentationInterval, params->Flags},
                 focusWindow);
        else
            note("CreateDevice", {adapter, type, flags}, focusWindow);
        if (device)
            *device = nullptr;
        if (HRESULT hr = m_rec->takeFailure("CreateDevice"); FAILED(hr))
            return hr;
        if (adapter != 0 || !params || !device || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        const D3DCAPS8& caps = type == D3DDEVTYPE_HAL ? m_rec->halCaps : m_rec->refCaps;
        D3DPRESENT_PARAMETERS p = *params;
        if (HRESULT hr = DeviceBase::validateParams(p, caps, m_rec->desktopMode.Format); FAILED(hr))
            return hr;
        *params = p;
        *device = new RecordingDevice(p, caps, m_rec);
        return D3D_OK;
    }

private:
    void note(const char* name, std::initializer_list<std::int64_t> args, const void* object = nullptr)
    {
        RecordedCall c;
        c.name = name;
        c.object = object;
        c.args.assign(args.begin(), args.end());
        m_rec->calls.push_back(std::move(c));
    }

    HRESULT call(const char* name, std::initializer_list<std::int64_t> args)
    {
        note(name, args);
        return m_rec->takeFailure(name);
    }

    std::shared_ptr<Recorder> m_rec;
};

class RecordingDirectDraw final : public GfxDirectDraw {
public:
    explicit RecordingDirectDraw(std::shared_ptr<Recorder> recorder) : m_rec(std::move(recorder)) {}

    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override
    {
        m_rec->calls.push_back(RecordedCall{"DirectDraw.GetCaps", nullptr, {}, {}, {}, {}});
        if (HRESULT hr = m_rec->takeFailure("DirectDraw.GetCaps"); FAILED(hr))
            return hr;
        if (!driverCaps && !emulationCaps)
            return D3DERR_INVALIDCALL;
        if (driverCaps) {
            *driverCaps = DDCAPS{};
            driverCaps->dwVidMemTotal = m_rec->videoMemoryBytes;
        }
        if (emulationCaps)
            *emulationCaps = DDCAPS{};
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, std::uint32_t flags) override
    {
        m_rec->calls.push_back(RecordedCall{"DirectDraw.SetCooperativeLevel", window, {flags}, {}, {}, {}});
        return m_rec->takeFailure("DirectDraw.SetCooperativeLevel");
    }

private:
    std::shared_ptr<Recorder> m_rec;
};

} // namespace

std::string RecordedCall::str() const
{
    std::string s = name + "(";
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i)
            s += ", ";
        s += std::to_string(args[i]);
    }
    return s + ")";
}

Recorder::Recorder() : halCaps(defaultCaps(D3DDEVTYPE_HAL)), refCaps(defaultCaps(D3DDEVTYPE_REF))
{
    std::snprintf(identifier.Driver, sizeof identifier.Driver, "%s", "recording");
    std::snprintf(identifier.Description, sizeof identifier.Description, "%s", "Recording adapter");
    identifier.DriverVersion.HighPart = 1 << 16;
    desktopMode = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
    modes = {desktopMode};
}

std::size_t Recorder::count(const std::string& name) const
{
    return std::size_t(std::count_if(calls.begin(), calls.end(), [&](const RecordedCall& c) { return c.name == name; }));
}

std::vector<const RecordedCall*> Recorder::named(const std::string& name) const
{
    std::vector<const RecordedCall*> out;
    for (const RecordedCall& c : calls)
        if (c.name == name)
            out.push_back(&c);
    return out;
}

std::vector<std::string> Recorder::strings() const
{
    std::vector<std::string> out;
    out.reserve(calls.size());
    for (const RecordedCall& c : calls)
        out.push_back(c.str());
    return out;
}

void Recorder::fail(const std::string& name, HRESULT hr, int times) { m_failures[name] = Failure{hr, times}; }

HRESULT Recorder::takeFailure(const std::string& name)
{
    auto it = m_failures.find(name);
    if (it == m_failures.end())
        return D3D_OK;
    const HRESULT hr = it->second.hr;
    if (it->second.times > 0 && --it->second.times == 0)
        m_failures.erase(it);
    return hr;
}

GfxDirect3D* createRecordingDirect3D(std::shared_ptr<Recorder> recorder)
{
    return new RecordingDirect3D(recorder ? std::move(recorder) : std::make_shared<Recorder>());
}

GfxDirectDraw* createRecordingDirectDraw(std::shared_ptr<Recorder> recorder)
{
    return new RecordingDirectDraw(recorder ? std::move(recorder) : std::make_shared<Recorder>());
}

} // namespace platform
