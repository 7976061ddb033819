#include "platform/gfx/d3d8_device_base.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

namespace platform {

namespace {

constexpr std::uint32_t kVertexStride = sizeof(TLVertex);
// Vertices per backend draw: the indices are 16-bit.
constexpr std::size_t kMaxBatchVertices = 65532;
// Buffers above this are refused as oversized.
constexpr std::uint32_t kMaxBufferBytes = 64u << 20;
constexpr std::uint32_t kMaxSurfaceSize = 16384;

D3DMATRIX identity()
{
    D3DMATRIX m;
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0f;
    return m;
}

bool isPowerOfTwo(std::uint32_t v) { return v && !(v & (v - 1)); }

bool validBlend(std::uint32_t v) { return v >= D3DBLEND_ZERO && v <= D3DBLEND_INVDESTCOLOR; }

bool validColorOp(std::uint32_t v)
{
    switch (v) {
    case D3DTOP_DISABLE:
    case D3DTOP_SELECTARG1:
    case D3DTOP_SELECTARG2:
    case D3DTOP_MODULATE:
    case D3DTOP_ADD:
    case D3DTOP_SUBTRACT:
        return true;
    default:
        return false;
    }
}

bool validArg(std::uint32_t v) { return v == D3DTA_DIFFUSE || v == D3DTA_CURRENT || v == D3DTA_TEXTURE; }

bool validFilter(std::uint32_t v) { return v == D3DTEXF_POINT || v == D3DTEXF_LINEAR; }

// Vertices a primitive list of `count` primitives uses; 0 for an unknown type.
std::uint32_t vertexCountOf(D3DPRIMITIVETYPE type, std::uint32_t count)
{
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    case D3DPT_TRIANGLESTRIP:
    case D3DPT_TRIANGLEFAN: return count + 2;
    default: return 0;
    }
}

BatchVertex toBatch(const TLVertex& v, float x, float y) { return BatchVertex{x, y, v.diffuse, v.u, v.v}; }

bool intersect(const RECT& a, const RECT& b, RECT& out)
{
    out.left = std::max(a.left, b.left);
    out.top = std::max(a.top, b.top);
    out.right = std::min(a.right, b.right);
    out.bottom = std::min(a.bottom, b.bottom);
    return out.left < out.right && out.top < out.bottom;
}

} // namespace

RECT clippedViewport(const D3DVIEWPORT8& vp, int width, int height, const RECT* clip)
{
    const std::int64_t x0 = vp.X, y0 = vp.Y;
    const std::int64_t x1 = std::min<std::int64_t>(x0 + vp.Width, width);
    const std::int64_t y1 = std::min<std::int64_t>(y0 + vp.Height, height);
    RECT r;
    r.left = std::int32_t(std::min<std::int64_t>(x0, width));
    r.top = std::int32_t(std::min<std::int64_t>(y0, height));
    r.right = std::int32_t(std::max<std::int64_t>(x1, r.left));
    r.bottom = std::int32_t(std::max<std::int64_t>(y1, r.top));
    if (clip) {
        r.left = std::max(r.left, clip->left);
        r.top = std::max(r.top, clip->top);
        r.right = std::max(r.left, std::min(r.right, clip->right));
        r.bottom = std::max(r.top, std::min(r.bottom, clip->bottom));
    }
    return r;
}

DeviceBase::DeviceBase(const D3DPRESENT_PARAMETERS& params, const D3DCAPS8& caps, std::shared_ptr<Recorder> recorder)
    : m_link(std::make_shared<DeviceLink>()), m_recorder(std::move(recorder)), m_params(params), m_caps(caps)
{
    m_link->device = this;
    m_maxTextureSize = std::max<std::uint32_t>(1, std::min(caps.MaxTextureWidth, caps.MaxTextureHeight));
    resetState();
}

DeviceBase::~DeviceBase()
{
    m_link->device = nullptr;
}

void DeviceBase::releaseBindings()
{
    m_texture.reset();
    m_stream.reset();
    m_indices.reset();
}

void DeviceBase::resetState()
{
    m_state = DrawState{};
    m_state.viewport.Width = m_params.BackBufferWidth;
    m_state.viewport.Height = m_params.BackBufferHeight;
    m_texture.reset();
    m_fvf = 0;
    m_stream.reset();
    m_streamStride = 0;
    m_indices.reset();
    m_baseVertex = 0;
    m_view = m_projection = m_world = identity();
}

HRESULT DeviceBase::validateParams(D3DPRESENT_PARAMETERS& p, const D3DCAPS8& caps, D3DFORMAT desktopFormat)
{
    const std::uint32_t maxSize = std::min(caps.MaxTextureWidth, caps.MaxTextureHeight);
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0 || p.BackBufferWidth > maxSize ||
        p.BackBufferHeight > maxSize || p.BackBufferCount > 3 || p.MultiSampleType != D3DMULTISAMPLE_NONE)
        return D3DERR_INVALIDCALL;
    if (p.EnableAutoDepthStencil)
        return D3DERR_NOTAVAILABLE;
    if (p.BackBufferFormat == D3DFMT_UNKNOWN && p.Windowed)
        p.BackBufferFormat = desktopFormat == D3DFMT_UNKNOWN ? D3DFMT_X8R8G8B8 : desktopFormat;
    switch (p.BackBufferFormat) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_R5G6B5:
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        break;
    default:
        return D3DERR_INVALIDCALL;
    }
    if (p.BackBufferCount == 0)
        p.BackBufferCount = 1;
    return D3D_OK;
}

void DeviceBase::record(RecordedCall&& call)
{
    if (m_recorder)
        m_recorder->calls.push_back(std::move(call));
}

HRESULT DeviceBase::injected(const char* name) { return m_recorder ? m_recorder->takeFailure(name) : D3D_OK; }

void DeviceBase::note(const char* name, const void* object, std::initializer_list<std::int64_t> args, const char* text)
{
    if (!m_recorder)
        return;
    RecordedCall c;
    c.name = name;
    c.object = object;
    c.args.assign(args.begin(), args.end());
    if (text)
        c.text = text;
    record(std::move(c));
}

HRESULT DeviceBase::resourceCall(const char* name, const void* object, std::initializer_list<std::int64_t> args,
                                 const char* text)
{
    if (!m_recorder)
        return D3D_OK;
    note(name, object, args, text);
    return injected(name);
}

HRESULT DeviceBase::textureLocking(TextureImpl* texture, std::uint32_t level, const RECT* rect, std::uint32_t flags)
{
    if (m_recorder) {
        RECT r = rect ? *rect : RECT{-1, -1, -1, -1};
        HRESULT hr = resourceCall("Texture.LockRect", texture, {level, r.left, r.top, r.right, r.bottom, flags});
        if (FAILED(hr))
            return hr;
    }
    if (!(flags & D3DLOCK_READONLY))
        backendTextureWriting(texture);
    return D3D_OK;
}

void DeviceBase::textureDestroyed(TextureImpl* texture)
{
    if (m_outTexture == texture)
        m_outTexture = nullptr;
}

HRESULT DeviceBase::TestCooperativeLevel()
{
    note("TestCooperativeLevel", nullptr);
    if (HRESULT hr = injected("TestCooperativeLevel"); FAILED(hr))
        return hr;
    return backendTestCooperativeLevel();
}

HRESULT DeviceBase::GetDeviceCaps(D3DCAPS8* caps)
{
    note("GetDeviceCaps", nullptr);
    if (HRESULT hr = injected("GetDeviceCaps"); FAILED(hr))
        return hr;
    if (!caps)
        return D3DERR_INVALIDCALL;
    *caps = m_caps;
    if (m_powerOfTwo)
        caps->TextureCaps |= D3DPTEXTURECAPS_POW2;
    return D3D_OK;
}

HRESULT DeviceBase::GetDisplayMode(D3DDISPLAYMODE* mode)
{
    note("GetDisplayMode", nullptr);
    if (HRESULT hr = injected("GetDisplayMode"); FAILED(hr))
        return hr;
    if (!mode)
        return D3DERR_INVALIDCALL;
    return backendDisplayMode(*mode);
}

HRESULT DeviceBase::Reset(D3DPRESENT_PARAMETERS* params)
{
    if (params)
        note("Reset", nullptr,
             {params->BackBufferWidth, params->BackBufferHeight, params->BackBufferFormat, params->Windowed,
              params->SwapEffect, params->FullScreen_PresentationInterval});
    else
        note("Reset", nullptr);
    if (HRESULT hr = injected("Reset"); FAILED(hr))
        return hr;
    if (!params)
        return D3DERR_INVALIDCALL;
    D3DDISPLAYMODE desktop;
    if (FAILED(backendDisplayMode(desktop)))
        desktop.Format = D3DFMT_X8R8G8B8;
    D3DPRESENT_PARAMETERS p = *params;
    if (HRESULT hr = validateParams(p, m_caps, desktop.Format); FAILED(hr))
        return hr;
    backendStateChanging();
    if (HRESULT hr = backendReset(p); FAILED(hr))
        return hr;
    *params = p;
    m_params = p;
    m_inScene = false;
    resetState();
    return D3D_OK;
}

HRESULT DeviceBase::Present(const RECT*, const RECT*, HWND, const void*)
{
    note("Present", nullptr);
    if (HRESULT hr = injected("Present"); FAILED(hr))
        return hr;
    backendStateChanging();
    return m_drawingSkipped ? D3D_OK : backendPresent();
}

HRESULT DeviceBase::GetBackBuffer(std::uint32_t index, D3DBACKBUFFER_TYPE type, GfxSurface** surface)
{
    note("GetBackBuffer", nullptr, {index, type});
    if (HRESULT hr = injected("GetBackBuffer"); FAILED(hr))
        return hr;
    if (index != 0 || type != D3DBACKBUFFER_TYPE_MONO || !surface)
        return D3DERR_INVALIDCALL;
    backendStateChanging();
    return backendGetBackBuffer(surface);
}

HRESULT DeviceBase::GetFrontBuffer(GfxSurface* dest)
{
    note("GetFrontBuffer", dest);
    if (HRESULT hr = injected("GetFrontBuffer"); FAILED(hr))
        return hr;
    auto* image = dynamic_cast<ImageSurface*>(dest);
    if (!image || image->pixels().format() != D3DFMT_A8R8G8B8 || image->pixels().isLocked())
        return D3DERR_INVALIDCALL;
    backendStateChanging();
    return backendGetFrontBuffer(*image);
}

HRESULT DeviceBase::CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                  std::uint32_t usage, D3DFORMAT format, D3DPOOL pool, GfxTexture** texture)
{
    note("CreateTexture", nullptr, {width, height, levels, usage, format, pool});
    if (texture)
        *texture = nullptr;
    if (HRESULT hr = injected("CreateTexture"); FAILED(hr))
        return hr;
    const D3DFORMAT stored = storageFormat(format);
    if (!texture || width == 0 || height == 0 || width > m_maxTextureSize || height > m_maxTextureSize ||
        stored == D3DFMT_UNKNOWN || (usage & D3DUSAGE_RENDERTARGET) ||
        (m_powerOfTwo && (!isPowerOfTwo(width) || !isPowerOfTwo(height))))
        return D3DERR_INVALIDCALL;
    TextureImpl* made = nullptr;
    try {
        made = new TextureImpl(m_link, stored, int(width), int(height), usage, pool);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (HRESULT hr = backendTextureCreated(made); FAILED(hr)) {
        made->Release();
        return hr;
    }
    *texture = made;
    return D3D_OK;
}

HRESULT DeviceBase::CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, D3DPOOL pool,
                                       GfxVertexBuffer** buffer)
{
    note("CreateVertexBuffer", nullptr, {length, usage, fvf, pool});
    if (buffer)
        *buffer = nullptr;
    if (HRESULT hr = injected("CreateVertexBuffer"); FAILED(hr))
        return hr;
    if (!buffer || length == 0 || length > kMaxBufferBytes || (fvf != 0 && fvf != kFvfTLVertex))
        return D3DERR_INVALIDCALL;
    *buffer = new VertexBufferImpl(m_link, length, usage, fvf, pool);
    return D3D_OK;
}

HRESULT DeviceBase::CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, D3DFORMAT format, D3DPOOL pool,
                                      GfxIndexBuffer** buffer)
{
    note("CreateIndexBuffer", nullptr, {length, usage, format, pool});
    if (buffer)
        *buffer = nullptr;
    if (HRESULT hr = injected("CreateIndexBuffer"); FAILED(hr))
        return hr;
    if (!buffer || length == 0 || length > kMaxBufferBytes ||
        (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32))
        return D3DERR_INVALIDCALL;
    *buffer = new IndexBufferImpl(m_link, length, usage, format, pool);
    return D3D_OK;
}

HRESULT DeviceBase::CreateImageSurface(std::uint32_t width, std::uint32_t height, D3DFORMAT format,
                                       GfxSurface** surface)
{
    note("CreateImageSurface", nullptr, {width, height, format});
    if (surface)
        *surface = nullptr;
    if (HRESULT hr = injected("CreateImageSurface"); FAILED(hr))
        return hr;
    if (!surface || width == 0 || height == 0 || width > kMaxSurfaceSize || height > kMaxSurfaceSize ||
        !isTextureFormat(format))
        return D3DERR_INVALIDCALL;
    try {
        *surface = new ImageSurface(m_link, format, int(width), int(height));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return D3D_OK;
}

HRESULT DeviceBase::BeginScene()
{
    note("BeginScene", nullptr);
    if (HRESULT hr = injected("BeginScene"); FAILED(hr))
        return hr;
    if (m_inScene)
        return D3DERR_INVALIDCALL;
    m_inScene = true;
    return D3D_OK;
}

HRESULT DeviceBase::EndScene()
{
    note("EndScene", nullptr);
    if (HRESULT hr = injected("EndScene"); FAILED(hr))
        return hr;
    if (!m_inScene)
        return D3DERR_INVALIDCALL;
    backendEndScene();
    m_inScene = false;
    return D3D_OK;
}

HRESULT DeviceBase::Clear(std::uint32_t count, const D3DRECT* rects, std::uint32_t flags, D3DCOLOR color, float z,
                          std::uint32_t stencil)
{
    if (m_recorder) {
        note("Clear", nullptr, {count, flags, color, stencil});
        m_recorder->calls.back().floats.push_back(z);
    }
    if (HRESULT hr = injected("Clear"); FAILED(hr))
        return hr;
    if (flags != D3DCLEAR_TARGET || (count && !rects))
        return D3DERR_INVALIDCALL;
    const RECT vp = clippedViewport(m_state.viewport, backBufferWidth(), backBufferHeight());
    // Kept between calls: every frame starts with a clear.
    std::vector<RECT>& parts = m_clearParts;
    parts.clear();
    if (count == 0) {
        if (vp.left < vp.right && vp.top < vp.bottom)
            parts.push_back(vp);
    } else {
        for (std::uint32_t i = 0; i < count; ++i) {
            RECT r{rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2}, clipped;
            if (intersect(r, vp, clipped))
                parts.push_back(clipped);
        }
    }
    backendStateChanging();
    if (!parts.empty() && !m_drawingSkipped)
        backendClear(parts, color);
    return D3D_OK;
}

HRESULT DeviceBase::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (m_recorder) {
        note("SetTransform", nullptr, {state});
        if (matrix)
            for (const auto& row : matrix->m)
                m_recorder->calls.back().floats.insert(m_recorder->calls.back().floats.end(), row, row + 4);
    }
    if (HRESULT hr = injected("SetTransform"); FAILED(hr))
        return hr;
    if (!matrix)
        return D3DERR_INVALIDCALL;
    // Pre-transformed vertices skip every transform; the matrices are only kept.
    switch (state) {
    case D3DTS_VIEW: m_view = *matrix; return D3D_OK;
    case D3DTS_PROJECTION: m_projection = *matrix; return D3D_OK;
    case D3DTS_WORLD: m_world = *matrix; return D3D_OK;
    default: return D3DERR_INVALIDCALL;
    }
}

HRESULT DeviceBase::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix)
{
    if (!matrix)
        return D3DERR_INVALIDCALL;
    switch (state) {
    case D3DTS_VIEW: *matrix = m_view; return D3D_OK;
    case D3DTS_PROJECTION: *matrix = m_projection; return D3D_OK;
    case D3DTS_WORLD: *matrix = m_world; return D3D_OK;
    default: return D3DERR_INVALIDCALL;
    }
}

HRESULT DeviceBase::SetViewport(const D3DVIEWPORT8* vp)
{
    if (m_recorder) {
        if (vp) {
            note("SetViewport", nullptr, {vp->X, vp->Y, vp->Width, vp->Height});
            m_recorder->calls.back().floats = {vp->MinZ, vp->MaxZ};
        } else {
            note("SetViewport", nullptr);
        }
    }
    if (HRESULT hr = injected("SetViewport"); FAILED(hr))
        return hr;
    if (!vp || vp->Width == 0 || vp->Height == 0 || !(vp->MinZ >= 0.0f && vp->MinZ <= vp->MaxZ && vp->MaxZ <= 1.0f))
        return D3DERR_INVALIDCALL;
    const D3DVIEWPORT8& cur = m_state.viewport;
    if (cur.X == vp->X && cur.Y == vp->Y && cur.Width == vp->Width && cur.Height == vp->Height &&
        cur.MinZ == vp->MinZ && cur.MaxZ == vp->MaxZ)
        return D3D_OK;
    backendStateChanging();
    m_state.viewport = *vp;
    return D3D_OK;
}

HRESULT DeviceBase::GetViewport(D3DVIEWPORT8* vp)
{
    if (!vp)
        return D3DERR_INVALIDCALL;
    *vp = m_state.viewport;
    return D3D_OK;
}

HRESULT DeviceBase::stateChange(std::uint32_t& slot, std::uint32_t value)
{
    if (slot != value) {
        backendStateChanging();
        slot = value;
    }
    return D3D_OK;
}

HRESULT DeviceBase::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value)
{
    note("SetRenderState", nullptr, {state, value});
    if (HRESULT hr = injected("SetRenderState"); FAILED(hr))
        return hr;
    switch (state) {
    case D3DRS_ALPHABLENDENABLE:
        return value <= 1 ? stateChange(m_state.alphaBlend, value) : D3DERR_INVALIDCALL;
    case D3DRS_LIGHTING:
        // Pre-transformed vertices are never lit: kept, nothing to flush.
        if (value > 1)
            return D3DERR_INVALIDCALL;
        m_state.lighting = value;
        return D3D_OK;
    case D3DRS_SRCBLEND:
        return validBlend(value) ? stateChange(m_state.srcBlend, value) : D3DERR_INVALIDCALL;
    case D3DRS_DESTBLEND:
        return validBlend(value) ? stateChange(m_state.destBlend, value) : D3DERR_INVALIDCALL;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT DeviceBase::GetRenderState(D3DRENDERSTATETYPE state, std::uint32_t* value)
{
    if (!value)
        return D3DERR_INVALIDCALL;
    switch (state) {
    case D3DRS_ALPHABLENDENABLE: *value = m_state.alphaBlend; return D3D_OK;
    case D3DRS_LIGHTING: *value = m_state.lighting; return D3D_OK;
    case D3DRS_SRCBLEND: *value = m_state.srcBlend; return D3D_OK;
    case D3DRS_DESTBLEND: *value = m_state.destBlend; return D3D_OK;
    default: return D3DERR_INVALIDCALL;
    }
}

HRESULT DeviceBase::SetTexture(std::uint32_t stage, GfxTexture* texture)
{
    note("SetTexture", texture, {stage});
    if (HRESULT hr = injected("SetTexture"); FAILED(hr))
        return hr;
    auto* impl = dynamic_cast<TextureImpl*>(texture);
    if (stage != 0 || (texture && !impl))
        return D3DERR_INVALIDCALL;
    // The texture is part of each draw, so binding alone flushes nothing.
    if (impl != m_texture.get()) {
        if (impl)
            impl->AddRef();
        m_texture.reset(impl);
    }
    return D3D_OK;
}

HRESULT DeviceBase::GetTexture(std::uint32_t stage, GfxTexture** texture)
{
    if (stage != 0 || !texture)
        return D3DERR_INVALIDCALL;
    *texture = m_texture.get();
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT DeviceBase::SetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t value)
{
    note("SetTextureStageState", nullptr, {stage, type, value});
    if (HRESULT hr = injected("SetTextureStageState"); FAILED(hr))
        return hr;
    if (stage != 0)
        return D3DERR_INVALIDCALL;
    switch (type) {
    case D3DTSS_COLOROP:
        return validColorOp(value) ? stateChange(m_state.colorOp, value) : D3DERR_INVALIDCALL;
    case D3DTSS_COLORARG1:
        return validArg(value) ? stateChange(m_state.colorArg1, value) : D3DERR_INVALIDCALL;
    case D3DTSS_COLORARG2:
        return validArg(value) ? stateChange(m_state.colorArg2, value) : D3DERR_INVALIDCALL;
    case D3DTSS_MINFILTER:
        return validFilter(value) ? stateChange(m_state.minFilter, value) : D3DERR_INVALIDCALL;
    case D3DTSS_MAGFILTER:
        return validFilter(value) ? stateChange(m_state.magFilter, value) : D3DERR_INVALIDCALL;
    default:
        return D3DERR_INVALIDCALL;
    }
}

HRESULT DeviceBase::GetTextureStageState(std::uint32_t stage, D3DTEXTURESTAGESTATETYPE type, std::uint32_t* value)
{
    if (stage != 0 || !value)
        return D3DERR_INVALIDCALL;
    switch (type) {
    case D3DTSS_COLOROP: *value = m_state.colorOp; return D3D_OK;
    case D3DTSS_COLORARG1: *value = m_state.colorArg1; return D3D_OK;
    case D3DTSS_COLORARG2: *value = m_state.colorArg2; return D3D_OK;
    case D3DTSS_MINFILTER: *value = m_state.minFilter; return D3D_OK;
    case D3DTSS_MAGFILTER: *value = m_state.magFilter; return D3D_OK;
    default: return D3DERR_INVALIDCALL;
    }
}

HRESULT DeviceBase::SetVertexShader(std::uint32_t fvf)
{
    note("SetVertexShader", nullptr, {fvf});
    if (HRESULT hr = injected("SetVertexShader"); FAILED(hr))
        return hr;
    if (fvf != kFvfTLVertex)
        return D3DERR_INVALIDCALL;
    m_fvf = fvf;
    return D3D_OK;
}

HRESULT DeviceBase::GetVertexShader(std::uint32_t* fvf)
{
    if (!fvf)
        return D3DERR_INVALIDCALL;
    *fvf = m_fvf;
    return D3D_OK;
}

HRESULT DeviceBase::SetStreamSource(std::uint32_t stream, GfxVertexBuffer* buffer, std::uint32_t stride)
{
    note("SetStreamSource", buffer, {stream, stride});
    if (HRESULT hr = injected("SetStreamSource"); FAILED(hr))
        return hr;
    auto* impl = dynamic_cast<VertexBufferImpl*>(buffer);
    if (stream != 0 || (buffer && (!impl || stride != kVertexStride)))
        return D3DERR_INVALIDCALL;
    if (impl)
        impl->AddRef();
    m_stream.reset(impl);
    m_streamStride = stride;
    return D3D_OK;
}

HRESULT DeviceBase::SetIndices(GfxIndexBuffer* buffer, std::uint32_t baseVertexIndex)
{
    note("SetIndices", buffer, {baseVertexIndex});
    if (HRESULT hr = injected("SetIndices"); FAILED(hr))
        return hr;
    auto* impl = dynamic_cast<IndexBufferImpl*>(buffer);
    if (buffer && !impl)
        return D3DERR_INVALIDCALL;
    if (impl)
        impl->AddRef();
    m_indices.reset(impl);
    m_baseVertex = baseVertexIndex;
    return D3D_OK;
}

HRESULT DeviceBase::checkDraw(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, std::uint32_t& vertexCount) const
{
    vertexCount = vertexCountOf(type, primitiveCount);
    if (!m_inScene || m_fvf != kFvfTLVertex || (primitiveCount && vertexCount == 0) ||
        (type < D3DPT_POINTLIST || type > D3DPT_TRIANGLEFAN) || primitiveCount > m_caps.MaxPrimitiveCount)
        return D3DERR_INVALIDCALL;
    return D3D_OK;
}

void DeviceBase::recordDraw(const char* name, std::initializer_list<std::int64_t> args,
                            const TLVertex* const* vertices, std::uint32_t count)
{
    if (!m_recorder)
        return;
    RecordedCall c;
    c.name = name;
    c.object = m_texture.get();
    c.args.assign(args.begin(), args.end());
    if (vertices) {
        c.vertices.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i)
            c.vertices.push_back(*vertices[i]);
    }
    record(std::move(c));
}

HRESULT DeviceBase::DrawPrimitiveUP(D3DPRIMITIVETYPE type, std::uint32_t primitiveCount, const void* vertices,
                                    std::uint32_t stride)
{
    std::uint32_t count = primitiveCount <= m_caps.MaxPrimitiveCount ? vertexCountOf(type, primitiveCount) : 0;
    const bool readable = vertices && stride == kVertexStride;
    if (readable) {
        m_gather.resize(count);
        for (std::uint32_t i = 0; i < count; ++i)
            m_gather[i] = reinterpret_cast<const TLVertex*>(static_cast<const std::uint8_t*>(vertices) +
                                                            std::size_t(i) * stride);
    }
    recordDraw("DrawPrimitiveUP", {type, primitiveCount, stride}, readable ? m_gather.data() : nullptr,
               readable ? count : 0);
    if (HRESULT hr = injected("DrawPrimitiveUP"); FAILED(hr))
        return hr;
    if (!readable || FAILED(checkDraw(type, primitiveCount, count)))
        return D3DERR_INVALIDCALL;
    if (primitiveCount)
        expand(type, primitiveCount, m_gather.data());
    return D3D_OK;
}

HRESULT DeviceBase::SetCursorProperties(std::uint32_t hotX, std::uint32_t hotY, GfxSurface* image)
{
    note("SetCursorProperties", image, {hotX, hotY});
    if (HRESULT hr = injected("SetCursorProperties"); FAILED(hr))
        return hr;
    auto* surface = dynamic_cast<ImageSurface*>(image);
    if (!(m_caps.CursorCaps & D3DCURSORCAPS_COLOR) || !surface)
        return D3DERR_INVALIDCALL;
    const PixelBuffer& px = surface->pixels();
    if (px.format() != D3DFMT_A8R8G8B8 || px.isLocked() || hotX >= std::uint32_t(px.width()) ||
        hotY >= std::uint32_t(px.height()))
        return D3DERR_INVALIDCALL;
    return backendSetCursor(px, hotX, hotY);
}

bool DeviceBase::ShowCursor(bool show)
{
    note("ShowCursor", nullptr, {show});
    const bool was = m_cursorShown;
    m_cursorShown = show;
    if (was != show)
        backendShowCursor(show);
    return was;
}

HRESULT DeviceBase::DrawPrimitive(D3DPRIMITIVETYPE type, std::uint32_t startVertex, std::uint32_t primitiveCount)
{
    std::uint32_t count = primitiveCount <= m_caps.MaxPrimitiveCount ? vertexCountOf(type, primitiveCount) : 0;
    const std::uint32_t available = m_stream ? m_stream->storage().size() / kVertexStride : 0;
    const bool inRange = m_stream && std::uint64_t(startVertex) + count <= available;
    if (inRange) {
        m_gather.resize(count);
        const auto* base = reinterpret_cast<const TLVertex*>(m_stream->storage().data());
        for (std::uint32_t i = 0; i < count; ++i)
            m_gather[i] = base + startVertex + i;
    }
    recordDraw("DrawPrimitive", {type, startVertex, primitiveCount}, inRange ? m_gather.data() : nullptr,
               inRange ? count : 0);
    if (HRESULT hr = injected("DrawPrimitive"); FAILED(hr))
        return hr;
    if (!inRange || FAILED(checkDraw(type, primitiveCount, count)))
        return D3DERR_INVALIDCALL;
    if (primitiveCount)
        expand(type, primitiveCount, m_gather.data());
    return D3D_OK;
}

HRESULT DeviceBase::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, std::uint32_t minIndex, std::uint32_t numVertices,
                                         std::uint32_t startIndex, std::uint32_t primitiveCount)
{
    std::uint32_t count = primitiveCount <= m_caps.MaxPrimitiveCount ? vertexCountOf(type, primitiveCount) : 0;
    bool inRange = m_stream && m_indices;
    if (inRange) {
        const bool wide = m_indices->format() == D3DFMT_INDEX32;
        const std::uint32_t indexSize = wide ? 4 : 2;
        const std::uint32_t indexCount = m_indices->storage().size() / indexSize;
        const std::uint32_t available = m_stream->storage().size() / kVertexStride;
        inRange = std::uint64_t(startIndex) + count <= indexCount;
        if (inRange) {
            m_gather.resize(count);
            const std::uint8_t* idx = m_indices->storage().data() + std::size_t(startIndex) * indexSize;
            const auto* base = reinterpret_cast<const TLVertex*>(m_stream->storage().data());
            for (std::uint32_t i = 0; i < count && inRange; ++i) {
                std::uint32_t index = 0;
                if (wide)
                    index = std::uint32_t(idx[4 * i]) | std::uint32_t(idx[4 * i + 1]) << 8 |
                            std::uint32_t(idx[4 * i + 2]) << 16 | std::uint32_t(idx[4 * i + 3]) << 24;
                else
                    index = std::uint32_t(idx[2 * i]) | std::uint32_t(idx[2 * i + 1]) << 8;
                const std::uint64_t vertex = std::uint64_t(index) + m_baseVertex;
                inRange = vertex < available;
                if (inRange)
                    m_gather[i] = base + vertex;
            }
        }
    }
    recordDraw("DrawIndexedPrimitive", {type, minIndex, numVertices, startIndex, primitiveCount},
               inRange ? m_gather.data() : nullptr, inRange ? count : 0);
    if (HRESULT hr = injected("DrawIndexedPrimitive"); FAILED(hr))
        return hr;
    if (!inRange || FAILED(checkDraw(type, primitiveCount, count)))
        return D3DERR_INVALIDCALL;
    if (primitiveCount)
        expand(type, primitiveCount, m_gather.data());
    return D3D_OK;
}

HRESULT DeviceBase::addSprite(GfxTexture* texture, TextureImpl* impl, const SpriteDrawArgs& a, const TLVertex quad[4])
{
    if (m_recorder) {
        RecordedCall c;
        c.name = "Sprite.Draw";
        c.object = texture;
        const RECT r = a.source ? *a.source : RECT{-1, -1, -1, -1};
        c.args = {r.left, r.top, r.right, r.bottom, a.color};
        c.floats = {a.scaleX, a.scaleY, a.centerX, a.centerY, a.angle, a.translateX, a.translateY};
        c.vertices.assign(quad, quad + 4);
        record(std::move(c));
        if (HRESULT hr = injected("Sprite.Draw"); FAILED(hr))
            return hr;
    }
    const BatchVertex batch[4] = {toBatch(quad[0], quad[0].x, quad[0].y), toBatch(quad[1], quad[1].x, quad[1].y),
                                  toBatch(quad[2], quad[2].x, quad[2].y), toBatch(quad[3], quad[3].x, quad[3].y)};
    return addSpriteQuad(impl, batch);
}

BatchVertex* DeviceBase::nextSpriteQuad(TextureImpl* sampled)
{
    if (!m_outIndices.empty() && (sampled != m_outTexture || m_outVertices.size() + 4 > kMaxBatchVertices))
        flushExpanded();
    m_outTexture = sampled;
    const auto base = std::uint16_t(m_outVertices.size());
    std::uint16_t* index = m_outIndices.extend(6);
    for (std::uint16_t i : {0, 1, 2, 2, 1, 3})
        *index++ = std::uint16_t(base + i);
    return m_outVertices.extend(4);
}

HRESULT DeviceBase::addSpriteQuad(TextureImpl* impl, const BatchVertex quad[4])
{
    if (!impl || !m_inScene)
        return D3DERR_INVALIDCALL;
    std::memcpy(nextSpriteQuad(m_state.colorOp == D3DTOP_DISABLE ? nullptr : impl), quad, 4 * sizeof(BatchVertex));
    return D3D_OK;
}

HRESULT DeviceBase::addSpriteQuads(TextureImpl* impl, const KeptRun::Corner* corners, std::size_t quads,
                                   std::uint32_t color)
{
    if (quads == 0)
        return D3D_OK;
    if (!impl || !m_inScene)
        return D3DERR_INVALIDCALL;
    TextureImpl* sampled = m_state.colorOp == D3DTOP_DISABLE ? nullptr : impl;
    for (std::size_t q = 0; q < quads; ++q, corners += 4) {
        BatchVertex* v = nextSpriteQuad(sampled);
        for (int i = 0; i < 4; ++i)
            v[i] = BatchVertex{corners[i].x, corners[i].y, color, corners[i].u, corners[i].v};
    }
    return D3D_OK;
}

TextureImpl* DeviceBase::drawTexture() const
{
    return m_state.colorOp == D3DTOP_DISABLE ? nullptr : m_texture.get();
}

void DeviceBase::flushExpanded()
{
    if (!m_outIndices.empty() && !m_drawingSkipped)
        backendDraw(m_outTexture, m_outVertices.data(), m_outVertices.size(), m_outIndices.data(),
                    m_outIndices.size());
    m_outVertices.clear();
    m_outIndices.clear();
}

// A quad around the segment a-b: `h` is half the thickness across it.
void DeviceBase::emitQuad(const TLVertex& a, const TLVertex& b, float ax, float ay, float bx, float by, float hx,
                          float hy)
{
    if (m_outVertices.size() + 4 > kMaxBatchVertices)
        flushExpanded();
    const auto base = std::uint16_t(m_outVertices.size());
    m_outVertices.push_back(toBatch(a, ax - hx, ay - hy));
    m_outVertices.push_back(toBatch(b, bx - hx, by - hy));
    m_outVertices.push_back(toBatch(a, ax + hx, ay + hy));
    m_outVertices.push_back(toBatch(b, bx + hx, by + hy));
    for (std::uint16_t i : {0, 1, 2, 2, 1, 3})
        m_outIndices.push_back(std::uint16_t(base + i));
}

// A line lights one pixel per step of its major axis, both end pixels
// included: the segment grows by half a pixel at each end along that axis
// and is one pixel thick across it.
void DeviceBase::emitLine(const TLVertex& a, const TLVertex& b)
{
    const float dx = b.x - a.x, dy = b.y - a.y;
    if (std::fabs(dx) >= std::fabs(dy)) {
        const bool flip = dx < 0;
        const TLVertex& p = flip ? b : a;
        const TLVertex& q = flip ? a : b;
        const float slope = dx != 0.0f ? dy / dx : 0.0f;
        emitQuad(p, q, p.x - 0.5f, p.y - 0.5f * slope, q.x + 0.5f, q.y + 0.5f * slope, 0.0f, 0.5f);
    } else {
        const bool flip = dy < 0;
        const TLVertex& p = flip ? b : a;
        const TLVertex& q = flip ? a : b;
        const float slope = dx / dy;
        emitQuad(p, q, p.x - 0.5f * slope, p.y - 0.5f, q.x + 0.5f * slope, q.y + 0.5f, 0.5f, 0.0f);
    }
}

void DeviceBase::expand(D3DPRIMITIVETYPE type, std::uint32_t count, const TLVertex* const* v)
{
    m_outTexture = drawTexture();
    auto triangle = [this](const TLVertex& a, const TLVertex& b, const TLVertex& c) {
        if (m_outVertices.size() + 3 > kMaxBatchVertices)
            flushExpanded();
        const auto base = std::uint16_t(m_outVertices.size());
        for (const TLVertex* p : {&a, &b, &c})
            m_outVertices.push_back(toBatch(*p, p->x, p->y));
        for (std::uint16_t i = 0; i < 3; ++i)
            m_outIndices.push_back(std::uint16_t(base + i));
    };
    switch (type) {
    case D3DPT_POINTLIST:
        for (std::uint32_t i = 0; i < count; ++i)
            emitQuad(*v[i], *v[i], v[i]->x - 0.5f, v[i]->y, v[i]->x + 0.5f, v[i]->y, 0.0f, 0.5f);
        break;
    case D3DPT_LINELIST:
        for (std::uint32_t i = 0; i < count; ++i)
            emitLine(*v[2 * i], *v[2 * i + 1]);
        break;
    case D3DPT_LINESTRIP:
        for (std::uint32_t i = 0; i < count; ++i)
            emitLine(*v[i], *v[i + 1]);
        break;
    case D3DPT_TRIANGLELIST:
        for (std::uint32_t i = 0; i < count; ++i)
            triangle(*v[3 * i], *v[3 * i + 1], *v[3 * i + 2]);
        break;
    case D3DPT_TRIANGLESTRIP:
        for (std::uint32_t i = 0; i < count; ++i)
            triangle(*v[i], *v[i + 1], *v[i + 2]);
        break;
    case D3DPT_TRIANGLEFAN:
        for (std::uint32_t i = 0; i < count; ++i)
            triangle(*v[0], *v[i + 1], *v[i + 2]);
        break;
    }
    flushExpanded();
}

} // namespace platform
