// The OpenGL device: draws into the window's back-buffer framebuffer,
// presents through the window, reads pixels back through it.
#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/gfx/d3d8_device_base.h"
#include "platform/gfx/frame_skip.h"
#include "platform/gfx/gl_renderer.h"
#include "platform/system/window.h"

namespace platform {

namespace {

constexpr std::size_t kMaxBatchVertices = 65532;
// Blending this many pixels costs about what a draw call more does.
constexpr std::int64_t kUnblendPixels = 1024;

// Pixels of the vertices' box inside the scissor (pixel centres lie on
// whole coordinates).
std::int64_t reach(const BatchVertex* v, std::size_t count, const RECT& scissor)
{
    if (count == 0)
        return 0;
    float x0 = v[0].x, x1 = x0, y0 = v[0].y, y1 = y0;
    for (std::size_t i = 1; i < count; ++i) {
        x0 = std::min(x0, v[i].x);
        x1 = std::max(x1, v[i].x);
        y0 = std::min(y0, v[i].y);
        y1 = std::max(y1, v[i].y);
    }
    const double w = std::min<double>(std::floor(x1 - 0.5) + 1.0, scissor.right) -
                     std::max<double>(std::ceil(x0), scissor.left);
    const double h = std::min<double>(std::floor(y1 - 0.5) + 1.0, scissor.bottom) -
                     std::max<double>(std::ceil(y0), scissor.top);
    return w > 0.0 && h > 0.0 ? std::int64_t(w * h) : 0;
}

// The windows that have a device, each named by its window and SDL id (a
// window made later at the same address has another id). A second device on
// a window would draw into the targets the first one's frame skip keeps
// track of, and share its context's state behind its back: it is refused.
std::mutex g_deviceWindowsLock;
std::vector<std::pair<const Window*, std::uint32_t>> g_deviceWindows;

bool claimWindow(const Window* window)
{
    const std::lock_guard<std::mutex> lock(g_deviceWindowsLock);
    const std::pair<const Window*, std::uint32_t> key{window, window->sdlId()};
    if (std::find(g_deviceWindows.begin(), g_deviceWindows.end(), key) != g_deviceWindows.end())
        return false;
    g_deviceWindows.push_back(key);
    return true;
}

void releaseWindow(const Window* window, std::uint32_t sdlId)
{
    const std::lock_guard<std::mutex> lock(g_deviceWindowsLock);
    const auto found = std::find(g_deviceWindows.begin(), g_deviceWindows.end(), std::make_pair(window, sdlId));
    if (found != g_deviceWindows.end())
        g_deviceWindows.erase(found);
}

struct GlInfo {
    bool ok = false;
    std::string vendor;
    std::string renderer;
    std::string version;
    int maxTextureSize = 0;
    bool software = false;
    std::uint32_t videoMemoryBytes = 0;  // 0 when the driver does not say
};

GlInfo queryCurrentContext()
{
    GlInfo info;
    auto str = [](GLenum e) {
        const auto* s = reinterpret_cast<const char*>(glGetString(e));
        return std::string(s ? s : "");
    };
    info.vendor = str(GL_VENDOR);
    info.renderer = str(GL_RENDERER);
    info.version = str(GL_VERSION);
    GLint tex = 0, rb = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &tex);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &rb);
    info.maxTextureSize = std::min(tex, rb);
    for (const char* soft : {"llvmpipe", "softpipe", "SWR", "Software"})
        if (info.renderer.find(soft) != std::string::npos)
            info.software = true;
    if (epoxy_has_gl_extension("GL_NVX_gpu_memory_info")) {
        GLint kb = 0;
        glGetIntegerv(0x9048 /* GPU_MEMORY_INFO_TOTAL_AVAILABLE_MEMORY_NVX */, &kb);
        info.videoMemoryBytes = std::uint32_t(std::min<std::int64_t>(std::int64_t(kb) * 1024, 0xFFFFFFFFll));
    }
    while (glGetError() != GL_NO_ERROR) {
    }
    info.ok = info.maxTextureSize > 0;
    return info;
}

// The GL driver's strings and limits, read once from any of our contexts
// (a hidden window's when none exists yet).
const GlInfo& glInfo()
{
    static GlInfo info;
    if (info.ok)
        return info;
    if (!windows().empty()) {
        windows().front()->makeCurrent();
        info = queryCurrentContext();
        return info;
    }
    WindowDesc desc;
    desc.width = desc.height = desc.backBufferWidth = desc.backBufferHeight = 1;
    desc.hidden = true;
    if (auto probe = Window::create(desc))
        info = queryCurrentContext();
    return info;
}

D3DFORMAT formatOfSdl(Uint32 sdlFormat)
{
    switch (SDL_BITSPERPIXEL(sdlFormat)) {
    case 24:
    case 32: return D3DFMT_X8R8G8B8;
    case 16: return D3DFMT_R5G6B5;
    case 15: return D3DFMT_X1R5G5B5;
    default: return D3DFMT_UNKNOWN;
    }
}

bool desktop(D3DDISPLAYMODE& out)
{
    if (!initVideo())
        return false;
    SDL_DisplayMode m{};
    if (SDL_GetDesktopDisplayMode(0, &m) != 0 || m.w <= 0 || m.h <= 0)
        return false;
    out.Width = std::uint32_t(m.w);
    out.Height = std::uint32_t(m.h);
    out.RefreshRate = std::uint32_t(std::max(0, m.refresh_rate));
    out.Format = formatOfSdl(m.format) == D3DFMT_R5G6B5 ? D3DFMT_R5G6B5 : D3DFMT_X8R8G8B8;
    return true;
}

// Display modes of display 0 without empty or unknown entries, the desktop
// mode always among them, in a fixed order.
std::vector<D3DDISPLAYMODE> displayModes()
{
    std::vector<D3DDISPLAYMODE> modes;
    if (!initVideo())
        return modes;
    const int n = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < n; ++i) {
        SDL_DisplayMode m{};
        if (SDL_GetDisplayMode(0, i, &m) != 0 || m.w <= 0 || m.h <= 0)
            continue;
        const D3DFORMAT f = formatOfSdl(m.format);
        if (f == D3DFMT_UNKNOWN)
            continue;
        modes.push_back(D3DDISPLAYMODE{std::uint32_t(m.w), std::uint32_t(m.h), std::uint32_t(std::max(0, m.refresh_rate)), f});
    }
    D3DDISPLAYMODE d;
    if (desktop(d))
        modes.push_back(d);
    auto key = [](const D3DDISPLAYMODE& m) { return std::make_tuple(m.Width, m.Height, std::uint32_t(m.Format), m.RefreshRate); };
    std::sort(modes.begin(), modes.end(), [&](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) { return key(a) < key(b); });
    modes.erase(std::unique(modes.begin(), modes.end(),
                            [&](const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b) { return key(a) == key(b); }),
                modes.end());
    return modes;
}

D3DCAPS8 capsOf(const GlInfo& gi, D3DDEVTYPE type)
{
    D3DCAPS8 c;
    c.DeviceType = type;
    c.Caps2 = D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_CANMANAGERESOURCE | D3DCAPS2_DYNAMICTEXTURES;
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    c.CursorCaps = Window::imageCursorsOffered() ? D3DCURSORCAPS_COLOR : 0;
    c.DevCaps = D3DDEVCAPS_DRAWPRIMTLVERTEX |
                (gi.software ? D3DDEVCAPS_TEXTURESYSTEMMEMORY
                             : D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_HWRASTERIZATION |
                                   D3DDEVCAPS_HWTRANSFORMANDLIGHT);
    const std::uint32_t blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                                 D3DPBLENDCAPS_INVSRCCOLOR | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA |
                                 D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR |
                                 D3DPBLENDCAPS_INVDESTCOLOR;
    c.SrcBlendCaps = c.DestBlendCaps = blends;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MAGFPOINT |
                          D3DPTFILTERCAPS_MAGFLINEAR;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_CLAMP;
    c.MaxTextureWidth = c.MaxTextureHeight = c.MaxTextureAspectRatio = std::uint32_t(gi.maxTextureSize);
    c.MaxTextureBlendStages = 1;
    c.MaxSimultaneousTextures = 1;
    c.MaxPrimitiveCount = 0xFFFFF;
    c.MaxVertexIndex = 0xFFFFFF;
    c.MaxStreams = 1;
    c.MaxStreamStride = sizeof(TLVertex);
    return c;
}

// "4.5 (Core Profile) Mesa 22.3.6" gives "Mesa" and 22.3.6.0; without a
// driver part, the vendor and the GL version.
void driverOf(const GlInfo& gi, std::string& name, D3DLARGE_VERSION& version)
{
    std::istringstream in(gi.version);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;)
        tokens.push_back(t);
    name = gi.vendor;
    std::string number = tokens.empty() ? "" : tokens[0];
    for (std::size_t i = tokens.size(); i-- > 1;) {
        const std::string& t = tokens[i];
        if (!t.empty() && std::isdigit(static_cast<unsigned char>(t[0])) && t.find('.') != std::string::npos) {
            number = t;
            const std::string& prev = tokens[i - 1];
            if (prev.find_first_of("()") == std::string::npos && prev != "Context" && prev != "Profile")
                name = prev;
            break;
        }
    }
    unsigned parts[4] = {};
    std::sscanf(number.c_str(), "%u.%u.%u.%u", &parts[0], &parts[1], &parts[2], &parts[3]);
    for (unsigned& p : parts)
        p = std::min(p, 0xFFFFu);
    version.HighPart = std::int32_t(parts[0] << 16 | parts[1]);
    version.LowPart = parts[2] << 16 | parts[3];
}

bool isLive(const Window* w)
{
    const auto& all = windows();
    return w && std::find(all.begin(), all.end(), w) != all.end();
}

bool vsyncOf(const D3DPRESENT_PARAMETERS& p)
{
    if (p.Windowed)
        return p.SwapEffect == D3DSWAPEFFECT_COPY_VSYNC;
    return p.FullScreen_PresentationInterval != D3DPRESENT_INTERVAL_IMMEDIATE;
}

class GlDevice;

// The back buffer as a surface: a lock reads the rectangle back (read only).
class BackBufferSurface final : public GfxSurface {
public:
    BackBufferSurface(std::shared_ptr<DeviceLink> link, std::shared_ptr<GlContextToken> token, D3DFORMAT format,
                      int width, int height)
        : m_link(std::move(link)), m_token(std::move(token)), m_format(format), m_width(width), m_height(height)
    {
    }

    HRESULT GetDesc(D3DSURFACE_DESC* desc) override
    {
        if (!desc)
            return D3DERR_INVALIDCALL;
        *desc = D3DSURFACE_DESC{};
        desc->Format = m_format;
        desc->Type = D3DRTYPE_SURFACE;
        desc->Usage = D3DUSAGE_RENDERTARGET;
        desc->Size = std::uint32_t(m_width * m_height * bytesPerPixel(m_format));
        desc->Width = std::uint32_t(m_width);
        desc->Height = std::uint32_t(m_height);
        return D3D_OK;
    }

    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, std::uint32_t flags) override
    {
        RECT r = rect ? *rect : RECT{0, 0, m_width, m_height};
        if (!locked || m_locked || !(flags & D3DLOCK_READONLY) || r.left < 0 || r.top < 0 || r.left >= r.right ||
            r.top >= r.bottom || r.right > m_width || r.bottom > m_height)
            return D3DERR_INVALIDCALL;
        DeviceBase* device = m_link->device;
        if (!device || !m_token->alive() || device->backBufferWidth() != m_width ||
            device->backBufferHeight() != m_height)
            return D3DERR_INVALIDCALL;
        device->flush();
        std::vector<std::uint8_t> bgra;
        if (!m_token->window->readBackBuffer(r, bgra))
            return D3DERR_DRIVERINTERNALERROR;
        const int w = r.right - r.left, h = r.bottom - r.top;
        const int bpp = bytesPerPixel(m_format);
        m_bits.assign(std::size_t(w) * h * bpp, 0);
        // The back buffer keeps no alpha of its own.
        std::vector<std::uint32_t> argb(std::size_t(w) * h);
        for (std::size_t i = 0; i < argb.size(); ++i)
            argb[i] = 0xFF000000u | std::uint32_t(bgra[4 * i]) | std::uint32_t(bgra[4 * i + 1]) << 8 |
                      std::uint32_t(bgra[4 * i + 2]) << 16;
        convertFromArgb(m_format, argb.data(), w, h, std::size_t(w) * 4, m_bits.data(), std::size_t(w) * bpp);
        locked->pBits = m_bits.data();
        locked->Pitch = w * bpp;
        m_locked = true;
        return D3D_OK;
    }

    HRESULT UnlockRect() override
    {
        if (!m_locked)
            return D3DERR_INVALIDCALL;
        m_locked = false;
        return D3D_OK;
    }

private:
    std::shared_ptr<DeviceLink> m_link;
    std::shared_ptr<GlContextToken> m_token;
    D3DFORMAT m_format;
    int m_width;
    int m_height;
    bool m_locked = false;
    std::vector<std::uint8_t> m_bits;
};

bool covers(const RECT& r, int width, int height)
{
    return r.left <= 0 && r.top <= 0 && r.right >= width && r.bottom >= height;
}

bool overlap(const RECT& a, const RECT& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Draws through GL. With unchanged frames skipped (FrameSkip decides), a
// held frame is drawn again only in the areas that changed, each draw that
// touches them in order, clipped to them. Whatever cannot wait for Present
// (a read of the back buffer, a write to or the end of a texture the frame
// draws) draws the held part whole at once.
class GlDevice final : public DeviceBase {
public:
    GlDevice(Window* window, const D3DPRESENT_PARAMETERS& params, const D3DCAPS8& caps)
        : DeviceBase(params, caps, nullptr), m_window(window),
          m_token(std::make_shared<GlContextToken>(GlContextToken{window, window->sdlId()})), m_gl(m_token),
          m_scratch(m_token), m_keptPixels(m_token)
    {
        m_seenExposures = window->exposures();
    }

    ~GlDevice() override
    {
        m_batchVertices.clear();
        m_batchIndices.clear();
        m_batchTextures.clear();
        releaseBindings();
        releaseWindow(m_token->window, m_token->sdlId);
    }

    bool init(std::string* error) { return m_gl.init(error); }

    PresentMapping presentMapping() const override
    {
        PresentMapping m;
        if (m_token->alive())
            m_window->presentMapping(m.scaleX, m.scaleY, m.offsetX, m.offsetY);
        return m;
    }

    void setSkipUnchangedFrames(bool on) override
    {
        if (on == m_skip.enabled())
            return;
        // Off, a frame held now is drawn now.
        if (!on) {
            drawHeldFrame();
            forgetKept();
        }
        m_skip.setEnabled(on, m_stats);
    }

    void textureDestroyed(TextureImpl* texture) override
    {
        if (m_skip.holds(texture))
            drawHeldFrame();
        // Giving its layer back may move the layers of an array the batch samples.
        const auto& arrays = m_batchArrays;
        const bool moves = m_gl.releaseMoves(*texture) &&
                           std::find(arrays.begin(), arrays.end(), m_gl.arrayOf(*texture)) != arrays.end();
        if (inBatch(texture) || moves)
            flushBatch();
        DeviceBase::textureDestroyed(texture);
        m_gl.release(*texture);
    }

    GfxDeviceStats stats() const override
    {
        GfxDeviceStats s = DeviceBase::stats();
        s.textureBytesHeld = m_gl.storageBytes();
        s.textureBytesNeeded = m_gl.neededBytes();
        return s;
    }

    void failTextureStorage(int count) override { m_gl.failAllocations(count); }

protected:
    bool lostNow(const D3DPRESENT_PARAMETERS& p) const
    {
        return !p.Windowed && (m_window->isMinimized() || m_window->isFocusLost());
    }

    HRESULT backendTestCooperativeLevel() override
    {
        if (!m_token->alive())
            return D3DERR_DEVICELOST;
        if (m_window->contextWasReset())
            return D3DERR_DRIVERINTERNALERROR;
        if (lostNow(m_params)) {
            m_lost = true;
            return D3DERR_DEVICELOST;
        }
        return m_lost ? D3DERR_DEVICENOTRESET : D3D_OK;
    }

    HRESULT backendReset(const D3DPRESENT_PARAMETERS& p) override
    {
        if (!m_token->alive())
            return D3DERR_DEVICELOST;
        if (m_window->contextWasReset())
            return D3DERR_DRIVERINTERNALERROR;
        if (lostNow(p))
            return D3DERR_DEVICELOST;
        drawHeldFrame();
        flushBatch();
        if (HRESULT hr = configureWindow(m_window, p); FAILED(hr))
            return hr;
        m_lost = false;
        m_gl.invalidate();
        m_skip.forget();
        forgetKept();
        return D3D_OK;
    }

    HRESULT backendPresent() override
    {
        if (!m_token->alive() || m_lost || lostNow(m_params)) {
            // Drawn but not shown; the next frame starts afresh.
            drawHeldFrame();
            flushBatch();
            m_skip.notShown();
            if (m_token->alive())
                m_lost = true;
            return D3DERR_DEVICELOST;
        }
        const std::uint32_t exposures = m_window->exposures();
        // A copy swap effect keeps the back buffer; a flip (or discard) leaves
        // the frame presented before in it.
        const D3DSWAPEFFECT effect = m_params.SwapEffect;
        const bool keep = effect == D3DSWAPEFFECT_COPY || effect == D3DSWAPEFFECT_COPY_VSYNC;

        FrameSkip::Plan plan;
        FrameSkip::Drawn& drawn = plan.drawn;
        if (m_skip.holding()) {
            plan = m_skip.plan(exposures != m_seenExposures, keep, backBufferWidth(), backBufferHeight(), m_stats);
            if (drawn == FrameSkip::Drawn::Whole) {
                replay(m_skip.frame(), nullptr);
            } else {
                if (drawn == FrameSkip::Drawn::Partly)
                    drawAreas(plan.areas);
                checkFrame(drawn == FrameSkip::Drawn::Not);
            }
        } else {
            flushBatch();
        }
        if (drawn == FrameSkip::Drawn::Not) {
            m_skip.skipped(m_stats);
            m_window->presentNothing();
            return D3D_OK;
        }
        ++(drawn == FrameSkip::Drawn::Partly ? m_stats.framesPartial : m_stats.framesWhole);
        m_seenExposures = exposures;

        // The targets trade places unless nothing drew since the last present.
        const bool trades = !m_window->backHoldsPresented();
        // The window may have left its buffer since (as a resize began).
        const bool wasInPlace = m_presentedInPlace;
        const std::uint64_t inPart = m_window->partialPresents();
        m_window->present(keep, plan.shownKnown ? &plan.shownChanged : nullptr);
        m_stats.framesShownInPart += m_window->partialPresents() - inPart;
        m_gl.invalidate();
        m_gl.checkErrors("Present");
        m_skip.presented(trades, m_window->drawsInPlace(), m_stats);
        // Out of place again, the targets hold what the window's buffer had.
        m_presentedInPlace = m_window->drawsInPlace();
        if (wasInPlace && !m_presentedInPlace)
            m_skip.forget();
        return D3D_OK;
    }

    HRESULT backendGetBackBuffer(GfxSurface** surface) override
    {
        *surface = new BackBufferSurface(m_link, m_token, m_params.BackBufferFormat, backBufferWidth(),
                                         backBufferHeight());
        return D3D_OK;
    }

    HRESULT backendGetFrontBuffer(ImageSurface& dest) override
    {
        if (!m_token->alive())
            return D3DERR_DEVICELOST;
        // A screenshot is taken of this frame; the next one is drawn whole.
        m_skip.drawNextWhole();
        int x = 0, y = 0, w = backBufferWidth(), h = backBufferHeight();
        if (m_params.Windowed) {
            m_window->position(x, y);
            m_window->clientSize(w, h);
        }
        std::vector<std::uint8_t> bgra;
        if (w <= 0 || h <= 0 || !m_window->readPresentedScaled(w, h, bgra))
            return D3DERR_DRIVERINTERNALERROR;
        m_gl.invalidate();
        PixelBuffer& px = dest.pixels();
        std::fill(px.data(), px.data() + px.pitch() * std::size_t(px.height()), std::uint8_t(0));
        for (int row = 0; row < px.height(); ++row) {
            for (int col = 0; col < px.width(); ++col) {
                std::uint8_t* out = px.pixel(col, row);
                const int sx = col - x, sy = row - y;
                if (sx >= 0 && sy >= 0 && sx < w && sy < h)
                    std::memcpy(out, &bgra[(std::size_t(sy) * w + sx) * 4], 3);
                out[3] = 0xFF;
            }
        }
        return D3D_OK;
    }

    HRESULT backendDisplayMode(D3DDISPLAYMODE& mode) override
    {
        return desktop(mode) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    void backendClear(const std::vector<RECT>& rects, D3DCOLOR color) override
    {
        if (!m_token->alive())
            return;
        const int w = backBufferWidth(), h = backBufferHeight();
        m_skip.startFrame(std::any_of(rects.begin(), rects.end(), [&](const RECT& r) { return covers(r, w, h); }),
                          w, h);
        if (m_skip.tracking() && !m_skip.addClear(rects, color))
            stopRecording();
        if (!m_skip.holding())
            clearNow(rects, color, nullptr);
    }

    void backendStateChanging() override
    {
        if (!m_skip.holding())
            flushBatch();
    }
    void backendEndScene() override
    {
        if (!m_skip.holding())
            flushBatch();
    }
    void backendReadingBack() override
    {
        drawHeldFrame();
        flushBatch();
    }
    HRESULT backendTextureCreated(TextureImpl* texture) override
    {
        // Storage is made now, so that a texture there is no room for fails
        // here rather than drawing wrong later.
        if (!m_token->alive())
            return D3D_OK;
        m_window->makeCurrent();
        return m_gl.place(*texture) ? D3D_OK : D3DERR_OUTOFVIDEOMEMORY;
    }
    void backendTextureWriting(TextureImpl* texture) override
    {
        if (m_skip.holds(texture))
            drawHeldFrame();
        if (inBatch(texture))
            flushBatch();
    }
    HRESULT backendSetCursor(const PixelBuffer& image, std::uint32_t hotX, std::uint32_t hotY) override
    {
        if (!m_token->alive())
            return D3DERR_INVALIDCALL;
        return m_window->setImageCursor(reinterpret_cast<const std::uint32_t*>(image.data()), image.width(),
                                        image.height(), image.pitch(), int(hotX), int(hotY))
                   ? D3D_OK
                   : D3DERR_INVALIDCALL;
    }
    void backendShowCursor(bool show) override
    {
        if (m_token->alive())
            m_window->showImageCursor(show);
    }

    void backendDraw(TextureImpl* texture, const BatchVertex* vertices, std::size_t vertexCount,
                     const std::uint16_t* indices, std::size_t indexCount) override
    {
        m_skip.startFrame(false, backBufferWidth(), backBufferHeight());
        DrawState st = drawState();
        // Texels one to one on pixels: nearest sampling gives what linear
        // gives, for less.
        if (texture && (st.minFilter != D3DTEXF_POINT || st.magFilter != D3DTEXF_POINT) &&
            texelsMatchPixels(vertices, indices, indexCount, texture->pixels().width(), texture->pixels().height())) {
            st.minFilter = st.magFilter = D3DTEXF_POINT;
            ++m_stats.drawsSampledNearest;
        }
        if (m_skip.tracking() && !m_skip.addDraw(st, texture, vertices, vertexCount, indices, indexCount))
            stopRecording();
        if (!m_skip.holding())
            submit(st, texture, vertices, vertexCount, indices, indexCount, nullptr);
    }

public:
    // Applies the window side of present parameters.
    static HRESULT configureWindow(Window* window, const D3DPRESENT_PARAMETERS& p)
    {
        if (window->isFullscreen() != !p.Windowed)
            window->setFullscreen(!p.Windowed);
        if ((window->backBufferWidth() != int(p.BackBufferWidth) ||
             window->backBufferHeight() != int(p.BackBufferHeight)) &&
            !window->resizeBackBuffer(int(p.BackBufferWidth), int(p.BackBufferHeight)))
            return D3DERR_OUTOFVIDEOMEMORY;
        window->setSwapInterval(vsyncOf(p));
        return D3D_OK;
    }

private:
    // The frame in hand is drawn as it comes and not compared: too large
    // to record.
    void stopRecording()
    {
        drawHeldFrame();
        m_skip.stopTracking();
    }

    // Draws what the held frame recorded so far, whole; later calls draw at once.
    void drawHeldFrame()
    {
        if (m_skip.release())
            replay(m_skip.frame(), nullptr);
    }

    // Pixel for pixel, whatever the two formats (colours copy unchanged).
    static void copyPixels(std::uint32_t from, std::uint32_t to, int w, int h)
    {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }

    void drawAreas(const std::vector<RECT>& areas)
    {
        if (!m_token->alive())
            return;
        m_window->makeCurrent();
        // The back target holds the frame compared against: draw over it.
        m_window->backBufferFramebuffer(true);
        const FrameRecord& f = m_skip.frame();
        const int w = backBufferWidth(), h = backBufferHeight();
        // Kept pixels stand where the back buffer's did.
        if (m_keptPixels.made() && !m_keptPixels.holds(w, h)) {
            m_keptPixels.release();
            m_keptUnder.forget();
        }
        for (const RECT& r : areas) {
            const KeptUnder::Step step = m_keptUnder.plan(f, r);
            const std::size_t end = f.ops().size(), upTo = step.save ? step.at : end;
            if (step.restore && m_keptPixels.holds(w, h)) {
                copyArea(m_keptPixels.framebuffer(), m_window->backBufferFramebuffer(true), r, h);
                replay(f, &r, step.from, upTo);
                ++m_stats.areasRestored;
            } else {
                visiblePieces(f, r, m_pieces, upTo);
                for (const VisiblePiece& piece : m_pieces)
                    replay(f, &piece.rect, piece.first, piece.end);
            }
            if (!step.save)
                continue;
            if (m_keptPixels.ensure(w, h)) {
                copyArea(m_window->backBufferFramebuffer(true), m_keptPixels.framebuffer(), r, h);
                m_keptUnder.kept(r);
                ++m_stats.areasKept;
            }
            replay(f, &r, step.at, end);
        }
    }

    // One area's pixels from one framebuffer to another of the same size
    // (r with the top row first, as the device's rects are).
    void copyArea(std::uint32_t from, std::uint32_t to, const RECT& r, int height)
    {
        flushBatch();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, from);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, to);
        glDisable(GL_SCISSOR_TEST);
        glBlitFramebuffer(r.left, height - r.bottom, r.right, height - r.top, r.left, height - r.bottom, r.right,
                          height - r.top, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        m_gl.invalidate();
    }

    // Nothing kept from earlier frames, and its storage given back.
    void forgetKept()
    {
        m_keptUnder.forget();
        m_keptPixels.release();
    }

    // A2D_CHECK_FRAMES: the frame drawn whole into a target of its own must
    // equal, byte for byte, the back buffer drawn in part (or the presented
    // frame, when nothing was drawn). Where the window draws in place, the
    // whole redraw goes into the window's own buffer, whose format rounds
    // blends as the frame in part was drawn, and the colours are compared
    // (that buffer keeps no alpha); the frame in part waits in the target
    // meanwhile. A frame that cannot be compared fails the check: a check
    // that passes without comparing is no check.
    void checkFrame(bool skipped)
    {
        if (!m_skip.checksFrames() || !m_token->alive())
            return;
        ++m_stats.framesChecked;
        const char* how = skipped ? "left as it was" : "drawn in part";
        m_window->makeCurrent();
        std::vector<std::uint8_t> want, got;
        const bool inPlace = m_window->drawsInPlace();
        const int bw = backBufferWidth(), bh = backBufferHeight();
        int w = 0, h = 0;
        bool read = m_scratch.ensure(bw, bh);
        if (read && inPlace) {
            const std::uint32_t window = m_window->backBufferFramebuffer(true);
            copyPixels(window, m_scratch.framebuffer(), bw, bh);
            read = m_scratch.read(got);
            replay(m_skip.frame(), nullptr);
            read = read && m_window->readBackBuffer(want, w, h) && got.size() == want.size();
            copyPixels(m_scratch.framebuffer(), window, bw, bh);
        } else if (read) {
            m_target = m_scratch.framebuffer();
            replay(m_skip.frame(), nullptr);
            m_target = 0;
            read = m_scratch.read(want) &&
                   (skipped ? m_window->readPresented(got, w, h) : m_window->readBackBuffer(got, w, h)) &&
                   got.size() == want.size();
        }
        m_gl.invalidate();
        char problem[128] = "";
        if (!read) {
            std::snprintf(problem, sizeof problem, "a frame %s could not be compared with a whole redraw", how);
        } else if (inPlace || want != got) {
            const std::size_t compared = inPlace ? 3 : 4;
            std::size_t differ = 0;
            for (std::size_t i = 0; i < want.size(); i += 4)
                differ += std::memcmp(&want[i], &got[i], compared) != 0;
            if (differ > 0)
                std::snprintf(problem, sizeof problem, "%zu pixels of a frame %s differ from a whole redraw", differ,
                              how);
        }
        countFrameChecked(*problem != 0);
        if (!*problem)
            return;
        ++m_stats.framesMismatched;
        gfxLog("Frame check: %s", problem);
        if (m_skip.checkAborts()) {
            std::fprintf(stderr, "Frame check: %s\n", problem);
            std::abort();
        }
    }

    // Draws the frame's calls (those touching clip, clipped to it, when
    // given), from the last that hides everything before it there.
    void replay(const FrameRecord& f, const RECT* clip)
    {
        replay(f, clip, firstVisibleOp(f, clip ? *clip : RECT{0, 0, backBufferWidth(), backBufferHeight()}),
               f.ops().size());
    }

    // The same for ops [first, end) only: what ops before `first` leave in
    // clip must be there already, or hidden by ops[first].
    void replay(const FrameRecord& f, const RECT* clip, std::size_t first, std::size_t end)
    {
        const std::vector<FrameOp>& ops = f.ops();
        // Drawn over whole, the back buffer need not get its frame back first.
        if (first > 0 && !clip && !m_target && m_token->alive())
            m_window->backBufferFramebuffer(true);
        for (std::size_t i = first; i < end; ++i) {
            const FrameOp& op = ops[i];
            if (clip && !overlap(op.bounds, *clip))
                continue;
            if (op.kind == FrameOp::Kind::Clear) {
                flushBatch();
                clearNow(std::vector<RECT>(f.rects(op), f.rects(op) + op.count), op.color, clip);
            } else {
                submit(op.state, op.texture, f.vertices(op), op.count, f.indices(op), op.indexCount, clip);
            }
        }
        flushBatch();
    }

    void clearNow(std::vector<RECT> rects, D3DCOLOR color, const RECT* clip)
    {
        if (!m_token->alive())
            return;
        if (clip) {
            for (RECT& r : rects) {
                r.left = std::max(r.left, clip->left);
                r.top = std::max(r.top, clip->top);
                r.right = std::max(r.left, std::min(r.right, clip->right));
                r.bottom = std::max(r.top, std::min(r.bottom, clip->bottom));
            }
        }
        m_window->makeCurrent();
        const int w = backBufferWidth(), h = backBufferHeight();
        const bool all = std::any_of(rects.begin(), rects.end(), [&](const RECT& r) { return covers(r, w, h); });
        m_gl.clear(m_target ? m_target : m_window->backBufferFramebuffer(all), w, h, rects, color);
    }

    // Adds triangles to the pending batch. A batch has one state and one
    // clip (a change draws it first); the texture may differ, each array of
    // textures getting a unit of its own while units last (one texture per
    // batch without merging).
    void submit(DrawState st, TextureImpl* texture, const BatchVertex* vertices, std::size_t vertexCount,
                const std::uint16_t* indices, std::size_t indexCount, const RECT* clip)
    {
        // The viewport only clips: states that differ in it alone draw alike
        // where their pixels may go.
        const RECT scissor = clippedViewport(st.viewport, backBufferWidth(), backBufferHeight(), clip);
        // Opaque wherever it can draw: blending would give the source, for
        // more work. A small draw keeps it, and with it the batch it joins.
        if (st.alphaBlend && blendKeepsOpaqueSource(st) &&
            reach(vertices, vertexCount, scissor) >= kUnblendPixels &&
            drawsOpaqueIn(texture, vertices, indices, indexCount, scissor)) {
            st.alphaBlend = 0;
            st.srcBlend = D3DBLEND_ONE;
            st.destBlend = D3DBLEND_ZERO;
            ++m_stats.drawsUnblended;
        }
        if (!m_batchIndices.empty()) {
            // Vertices that triangles share may be copied: at most one per index.
            if (std::memcmp(&scissor, &m_batchScissor, sizeof(RECT)) != 0 ||
                !sameDrawStateInViewport(st, m_batchState) ||
                m_batchVertices.size() + vertexCount + indexCount > kMaxBatchVertices)
                flushBatch();
        }
        GlTextureArray* array = nullptr;
        if (texture && !(array = m_gl.arrayOf(*texture))) {
            // Made while the window was gone: placed now, or not drawn at all.
            if (!m_token->alive())
                return;
            m_window->makeCurrent();
            if (!(array = m_gl.place(*texture)))
                return;
        }
        int unit = unitOf(texture, array);
        if (unit < 0) {
            flushBatch();
            unit = unitOf(texture, array);
        }
        if (m_batchIndices.empty()) {
            m_batchState = st;
            m_batchScissor = scissor;
        }
        const std::size_t done = GlRenderer::appendDraw(st, texture, std::uint32_t(unit), vertices, vertexCount,
                                                        indices, indexCount, m_batchVertices, m_batchIndices);
        // The rest would take indices past 16 bits: it goes on in the next batch.
        if (done < indexCount) {
            flushBatch();
            submit(st, texture, vertices, vertexCount, indices + done, indexCount - done, clip);
        }
    }

    bool inBatch(const TextureImpl* texture) const
    {
        return std::find(m_batchTextures.begin(), m_batchTextures.end(), texture) != m_batchTextures.end();
    }

    // The unit the pending batch gives the texture's array (null: white),
    // taking a free one if needed; -1 when none is free.
    int unitOf(TextureImpl* texture, GlTextureArray* array)
    {
        if (!textureMerging() && !m_batchTextures.empty() && m_batchTextures[0] != texture)
            return -1;
        const auto found = std::find(m_batchArrays.begin(), m_batchArrays.end(), array);
        int unit = int(found - m_batchArrays.begin());
        if (found == m_batchArrays.end()) {
            if (int(m_batchArrays.size()) >= (textureMerging() ? m_gl.maxUnits() : 1))
                return -1;
            m_batchArrays.push_back(array);
        }
        if (!inBatch(texture))
            m_batchTextures.push_back(texture);
        return unit;
    }

    void flushBatch()
    {
        if (!m_batchIndices.empty() && m_token->alive()) {
            m_window->makeCurrent();
            m_gl.draw(m_batchState, m_batchArrays.data(), int(m_batchArrays.size()), m_batchTextures.data(),
                      int(m_batchTextures.size()), m_target ? m_target : m_window->backBufferFramebuffer(),
                      backBufferWidth(), backBufferHeight(), m_batchVertices.data(), m_batchVertices.size(),
                      m_batchIndices.data(), m_batchIndices.size(), m_stats, &m_batchScissor);
        }
        m_batchVertices.clear();
        m_batchIndices.clear();
        m_batchTextures.clear();
        m_batchArrays.clear();
    }

    Window* m_window;
    std::shared_ptr<GlContextToken> m_token;
    GlRenderer m_gl;
    bool m_lost = false;
    std::vector<GlVertex> m_batchVertices;
    std::vector<std::uint16_t> m_batchIndices;
    std::vector<TextureImpl*> m_batchTextures;   // every texture the batch samples
    std::vector<GlTextureArray*> m_batchArrays;  // unit i's array
    DrawState m_batchState;
    RECT m_batchScissor{0, 0, 0, 0};  // where the batch may draw: its viewport and clip

    FrameSkip m_skip;
    std::uint32_t m_seenExposures = 0;
    GlScratchTarget m_scratch;
    // Pixels under the changing tops of areas drawn again (see KeptUnder).
    KeptUnder m_keptUnder;
    GlScratchTarget m_keptPixels;
    std::uint32_t m_target = 0;  // draws go here instead of the back buffer when set
    bool m_presentedInPlace = false;
    std::vector<VisiblePiece> m_pieces;
};

class GlDirect3D final : public GfxDirect3D {
public:
    std::uint32_t GetAdapterCount() override { return 1; }

    HRESULT GetAdapterIdentifier(std::uint32_t adapter, std::uint32_t, D3DADAPTER_IDENTIFIER8* id) override
    {
        const GlInfo& gi = glInfo();
        if (adapter != 0 || !id)
            return D3DERR_INVALIDCALL;
        if (!gi.ok)
            return D3DERR_NOTAVAILABLE;
        *id = D3DADAPTER_IDENTIFIER8{};
        std::string driver;
        driverOf(gi, driver, id->DriverVersion);
        std::snprintf(id->Driver, sizeof id->Driver, "%s", driver.c_str());
        std::snprintf(id->Description, sizeof id->Description, "%s", gi.renderer.c_str());
        return D3D_OK;
    }

    std::uint32_t GetAdapterModeCount(std::uint32_t adapter) override
    {
        return adapter == 0 ? std::uint32_t(modes().size()) : 0;
    }

    HRESULT EnumAdapterModes(std::uint32_t adapter, std::uint32_t index, D3DDISPLAYMODE* mode) override
    {
        if (adapter != 0 || !mode || index >= modes().size())
            return D3DERR_INVALIDCALL;
        *mode = modes()[index];
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(std::uint32_t adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter != 0 || !mode)
            return D3DERR_INVALIDCALL;
        return desktop(*mode) ? D3D_OK : D3DERR_NOTAVAILABLE;
    }

    HRESULT GetDeviceCaps(std::uint32_t adapter, D3DDEVTYPE type, D3DCAPS8* caps) override
    {
        if (adapter != 0 || !caps || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        const GlInfo& gi = glInfo();
        if (!gi.ok)
            return D3DERR_NOTAVAILABLE;
        *caps = capsOf(gi, type);
        return D3D_OK;
    }

    HRESULT CreateDevice(std::uint32_t adapter, D3DDEVTYPE type, HWND focusWindow, std::uint32_t,
                         D3DPRESENT_PARAMETERS* params, GfxDevice** device) override
    {
        if (device)
            *device = nullptr;
        if (adapter != 0 || !params || !device || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        Window* window = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
        if (!isLive(window))
            return D3DERR_INVALIDCALL;
        window->makeCurrent();
        const GlInfo& gi = glInfo();
        if (!gi.ok)
            return D3DERR_NOTAVAILABLE;
        const D3DCAPS8 caps = capsOf(gi, type);
        D3DDISPLAYMODE mode;
        if (!desktop(mode))
            mode.Format = D3DFMT_X8R8G8B8;
        D3DPRESENT_PARAMETERS p = *params;
        if (HRESULT hr = DeviceBase::validateParams(p, caps, mode.Format); FAILED(hr))
            return hr;
        if (!claimWindow(window)) {
            gfxLog("GL device: refused, the window already has a device (release it before making another)");
            return D3DERR_NOTAVAILABLE;
        }
        if (HRESULT hr = GlDevice::configureWindow(window, p); FAILED(hr)) {
            releaseWindow(window, window->sdlId());
            return hr;
        }
        window->makeCurrent();
        // From here the device gives the window back when it goes.
        auto* d = new GlDevice(window, p, caps);
        std::string error;
        if (!d->init(&error)) {
            gfxLog("GL device: %s", error.c_str());
            d->Release();
            return D3DERR_NOTAVAILABLE;
        }
        *params = p;
        *device = d;
        return D3D_OK;
    }

private:
    const std::vector<D3DDISPLAYMODE>& modes()
    {
        if (!m_modesRead) {
            m_modes = displayModes();
            m_modesRead = true;
        }
        return m_modes;
    }

    std::vector<D3DDISPLAYMODE> m_modes;
    bool m_modesRead = false;
};

class GlDirectDraw final : public GfxDirectDraw {
public:
    HRESULT GetCaps(DDCAPS* driverCaps, DDCAPS* emulationCaps) override
    {
        if (!driverCaps && !emulationCaps)
            return D3DERR_INVALIDCALL;
        if (driverCaps) {
            *driverCaps = DDCAPS{};
            driverCaps->dwVidMemTotal = glInfo().videoMemoryBytes;
        }
        if (emulationCaps)
            *emulationCaps = DDCAPS{};
        return DD_OK;
    }

    HRESULT SetCooperativeLevel(HWND, std::uint32_t) override { return DD_OK; }
};

} // namespace

GfxDirect3D* Direct3DCreate8(std::uint32_t sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION || !initVideo())
        return nullptr;
    return new GlDirect3D();
}

HRESULT DirectDrawCreateEx(GfxDirectDraw** out)
{
    if (!out)
        return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (!initVideo())
        return D3DERR_NOTAVAILABLE;
    *out = new GlDirectDraw();
    return DD_OK;
}

} // namespace platform
