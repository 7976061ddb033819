#include "engine/gfx/a_graph_server.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_sprite.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_result.h"
#include "platform/system/clock.h"
#include "platform/gfx/font_raster.h"
#include "platform/gfx/image_decode.h"
#include "platform/system/window.h"

namespace {

const char* const kRuleLine = "-----------------------------------------------------------------";

aGraphServer::Direct3DFactory& direct3DFactory()
{
    static aGraphServer::Direct3DFactory factory;
    return factory;
}

aGraphServer::DirectDrawFactory& directDrawFactory()
{
    static aGraphServer::DirectDrawFactory factory;
    return factory;
}

// The process-wide DirectDraw object (only the video-memory figure and the
// cooperative level need it).
platform::GfxDirectDraw* g_directDraw = nullptr;

bool ensureDirectDraw()
{
    if (g_directDraw)
        return true;
    const auto& factory = directDrawFactory();
    const HRESULT hr = factory ? factory(&g_directDraw) : platform::DirectDrawCreateEx(&g_directDraw);
    if (FAILED(hr) || !g_directDraw) {
        if (g_directDraw) {
            g_directDraw->Release();
            g_directDraw = nullptr;
        }
        a_log("aGraphServer. Error create DirectDraw interface (%s)", platform::dxErrorName(hr));
        return false;
    }
    return true;
}

const char* yesNo(std::uint32_t bits, std::uint32_t flag) { return (bits & flag) ? "yes" : "no"; }

std::uint16_t atLeastOne(int v) { return std::uint16_t(std::clamp(v, 1, 0xFFFF)); }

// The window's own back buffer is sized by the device; until then it only
// needs to be valid.
int windowBackBufferSize(int v) { return std::clamp(v, 1, 4096); }

// A draw-colour channel from 0..1: truncated toward zero, held to 0..255.
std::int32_t channel(float v)
{
    const float scaled = v * 255.0f;
    if (!(scaled > 0.0f))
        return 0;
    if (scaled >= 255.0f)
        return 255;
    return std::int32_t(scaled);
}

// Resource id N is the image "icon<N>.png" beside Game.ini; a miss is
// logged and the window goes without.
void loadIcon(platform::Window& window, std::uint16_t iconId)
{
    const std::string path = file_manglePath("home:icon" + std::to_string(iconId) + ".png");
    if (!file_isExistOnDisk(path)) {
        a_log("aGraphServer. Icon not found: %s", path.c_str());
        return;
    }
    aFile file(path);
    platform::DecodedImage icon;
    std::string why;
    if (!file.isLoaded() || !platform::decodeImage(file.data(), file.size(), icon, 256, &why)) {
        a_log("aGraphServer. Icon not loaded: %s %s", path.c_str(), why.c_str());
        return;
    }
    window.setIcon(icon.info.width, icon.info.height, icon.argb.data());
}

} // namespace

void aGraphServer::setDirect3DFactory(Direct3DFactory factory) { direct3DFactory() = std::move(factory); }

void aGraphServer::setDirectDrawFactory(DirectDrawFactory factory) { directDrawFactory() = std::move(factory); }

aGraphServer::aGraphServer(std::uint16_t width, std::uint16_t height, bool fullscreen, bool use32Bit,
                           const char* title, std::uint16_t iconId, bool vsync, bool multithreaded)
    : m_backBufferWidth(width), m_backBufferHeight(height), m_fullscreen(fullscreen), m_use32Bit(use32Bit),
      m_vsync(vsync)
{
    m_viewport = aRect(0, 0, width, height);
    if (!g_application) {
        a_log("aGraphServer. Error, aApplication object not created!");
        throw aResultError(A2D_E_D3DINIT);
    }
    g_application->m_graphServer = this;
    aApplication::s_releaseDirectDraw = &aGraphServer::releaseDirectDraw;
    platform::setGfxLogSink([](const std::string& line) { a_logString(line.c_str()); });
    try {
        construct(title, iconId, multithreaded);
    } catch (...) {
        // Nothing half-made stays behind: no device, no window, no pointer
        // to this object in the application.
        release();
        if (g_application) {
            if (g_application->m_graphServer == this)
                g_application->m_graphServer = nullptr;
            if (m_window && g_application->m_window == m_window)
                g_application->adoptWindow(nullptr);
        }
        m_window = nullptr;
        throw;
    }
}

void aGraphServer::construct(const char* title, std::uint16_t iconId, bool multithreaded)
{
    // The system font's library gets ready while the window is made.
    platform::prepareFontLibrary();
    createWindow(title, iconId);

    const auto& factory = direct3DFactory();
    m_d3d = factory ? factory() : platform::Direct3DCreate8(D3D_SDK_VERSION);
    if (!m_d3d) {
        a_log("aGraphServer. Error create D3D object");
        throw aResultError(A2D_E_D3DINIT);
    }

    D3DADAPTER_IDENTIFIER8 id;
    if (FAILED(m_d3d->GetAdapterIdentifier(D3DADAPTER_DEFAULT, D3DENUM_NO_WHQL_LEVEL, &id))) {
        a_log("aGraphServer. Error get default adapter identifier");
    } else {
        const auto high = std::uint32_t(id.DriverVersion.HighPart);
        const std::uint32_t low = id.DriverVersion.LowPart;
        a_logString(kRuleLine);
        a_log("Adapter: %s %d MB", id.Description, int(getVideoMemoryMB()));
        a_log("Driver:  %s, version %u.%u.%u.%u", id.Driver, high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF);
        a_logString(kRuleLine);
    }

    if (HRESULT hr = m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &m_desktopMode); FAILED(hr))
        a_log("aGraphServer. Get adapter mode failed (%s)", platform::dxErrorName(hr));
    else
        logDisplayMode("Detected  windowed  mode:", m_desktopMode);

    chooseModes();

    D3DDEVTYPE type = D3DDEVTYPE_REF;
    D3DCAPS8 caps;
    bool haveCaps = false;
    for (auto [t, name] : {std::pair{D3DDEVTYPE_HAL, "HAL"}, std::pair{D3DDEVTYPE_REF, "REF"}}) {
        a_log("aGraphServer. Getting %s device capabilities", name);
        if (HRESULT hr = m_d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, t, &caps); FAILED(hr)) {
            a_log("Failed (%s)", platform::dxErrorName(hr));
            continue;
        }
        type = t;
        haveCaps = true;
        logCaps(caps);
        break;
    }
    if (!haveCaps)
        caps = D3DCAPS8{};

    std::uint32_t flags;
    if ((caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) && (caps.DevCaps & D3DDEVCAPS_PUREDEVICE)) {
        flags = D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
        a_log("aGraphServer: HARDWARE_VERTEXPROCESSING, PUREDEVICE");
    } else if (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
        flags = D3DCREATE_HARDWARE_VERTEXPROCESSING;
        a_log("aGraphServer: HARDWARE_VERTEXPROCESSING");
    } else {
        flags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        a_log("aGraphServer: SOFTWARE_VERTEXPROCESSING");
    }
    if (multithreaded)
        flags |= D3DCREATE_MULTITHREADED;

    fillPresentParameters();
    if (HRESULT hr = m_d3d->CreateDevice(D3DADAPTER_DEFAULT, type, m_window, flags, &m_presentParams, &m_device);
        FAILED(hr) || !m_device) {
        a_log("aGraphServer. Error create device object (%s)", platform::dxErrorName(hr));
        throw aResultError(hr == D3DERR_DRIVERINTERNALERROR ? A2D_E_DRIVERINTERNAL : A2D_E_D3DDEVICE);
    }

    m_cursorCaps = caps.CursorCaps;
    m_deviceCursor.clear();
    m_deviceCursorHotX = m_deviceCursorHotY = -1;
    m_deviceCursorShown = false;
    readDesktopRefreshRate();
    createSpriteAndFonts();

    LOGFONTA systemFont;
    systemFont.lfHeight = -15;
    systemFont.lfWeight = 700;
    systemFont.lfCharSet = DEFAULT_CHARSET;
    std::snprintf(systemFont.lfFaceName, sizeof systemFont.lfFaceName, "%s", "Arial");
    createFont("__system__", systemFont, &m_systemFont);

    aImageData::clearImageList();

    if (ensureDirectDraw() && FAILED(g_directDraw->SetCooperativeLevel(
                                  m_window, platform::DDSCL_NORMAL | platform::DDSCL_FPUSETUP)))
        a_log("aGraphServer. directDraw->SetCooperativeLevel");
}

void aGraphServer::createWindow(const char* title, std::uint16_t iconId)
{
    aApplication* app = g_application;
    app->m_windowClass.className = app->m_name;
    app->m_windowClass.iconId = iconId;
    app->m_windowClass.cursorId = IDC_ARROW;

    // Without a window the player sees nothing at all: the reason goes to
    // the terminal as well as to the log, and the message says what failed.
    auto fail = [](const std::string& why, platform::VideoFailure failure) {
        a_log("aGraphServer. Error create D3D object (%s)", why.c_str());
        std::fprintf(stderr, "%s\n", why.c_str());
        std::fflush(stderr);
        throw aResultError(failure == platform::VideoFailure::NoDisplay  ? A2D_E_NODISPLAY
                           : failure == platform::VideoFailure::NoOpenGL ? A2D_E_NOOPENGL
                                                                         : A2D_E_D3DINIT);
    };
    std::string error;
    platform::VideoFailure failure = platform::VideoFailure::None;
    if (!platform::initVideo(&error, &failure))
        fail(error, failure);

    platform::WindowDesc desc;
    desc.title = title ? title : app->m_name;
    desc.backBufferWidth = windowBackBufferSize(m_backBufferWidth);
    desc.backBufferHeight = windowBackBufferSize(m_backBufferHeight);
    desc.fullscreen = m_fullscreen;
    if (m_fullscreen) {
        m_clientWidth = m_backBufferWidth;
        m_clientHeight = m_backBufferHeight;
        desc.width = atLeastOne(m_clientWidth);
        desc.height = atLeastOne(m_clientHeight);
    } else {
        const RECT r = calcWindowRect(m_backBufferWidth, m_backBufferHeight);
        desc.x = r.left;
        desc.y = r.top;
        desc.width = r.right - r.left + 1;
        desc.height = r.bottom - r.top + 1;
    }
    std::unique_ptr<platform::Window> window = platform::Window::create(desc, &error, &failure);
    if (!window)
        fail(error, failure);
    window->setProc([app](HWND w, std::uint32_t m, WPARAM wp, LPARAM lp) { return app->windowProc(w, m, wp, lp); });

    if (iconId != 0)
        loadIcon(*window, iconId);

    window->show();
    m_window = window.get();
    app->adoptWindow(std::move(window));
}

void aGraphServer::chooseModes()
{
    m_mode16Index = m_mode32Index = -1;
    std::uint32_t best16 = 0, best32 = 0;
    D3DDISPLAYMODE mode16, mode32;
    const std::uint32_t count = m_d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT);
    for (std::uint32_t i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(m_d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode)))
            continue;
        if (mode.Width != m_backBufferWidth || mode.Height != m_backBufferHeight)
            continue;
        logDisplayMode("Detected fullscreen mode:", mode);
        if (mode.Format == D3DFMT_R5G6B5 && mode.RefreshRate >= best16) {
            m_mode16Index = std::int32_t(i);
            best16 = mode.RefreshRate;
            mode16 = mode;
        } else if (mode.Format == D3DFMT_X8R8G8B8 && mode.RefreshRate >= best32) {
            m_mode32Index = std::int32_t(i);
            best32 = mode.RefreshRate;
            mode32 = mode;
        }
    }
    if (m_mode16Index >= 0)
        logDisplayMode("Selected fullscreen 16 bit mode:", mode16);
    else
        a_log("aGraphServer. 16 bit fullscreen mode not found");
    if (m_mode32Index >= 0)
        logDisplayMode("Selected fullscreen 32 bit mode:", mode32);
    else
        a_log("aGraphServer. 32 bit fullscreen mode not found");
    if (m_mode16Index < 0 && m_mode32Index < 0)
        a_log("aGraphServer. Fullscreen uses %ix%i in the desktop format %i", int(m_backBufferWidth),
              int(m_backBufferHeight), int(m_desktopMode.Format));
    else if ((m_use32Bit ? m_mode32Index : m_mode16Index) < 0)
        a_log("aGraphServer. Fullscreen uses the %i bit mode", m_use32Bit ? 16 : 32);
}

aGraphServer::~aGraphServer()
{
    deleteFont("__system__");
    const platform::GfxDeviceStats stats = m_device ? m_device->stats() : platform::GfxDeviceStats{};
    release();
    if (g_application && g_application->m_graphServer == this)
        g_application->m_graphServer = nullptr;
    a_log("aGraphServer. Average fps %4.1f", double(m_fpsSum / float(m_fpsSamples > 0 ? m_fpsSamples : 1)));
    a_log("aGraphServer. Frames drawn whole %llu, in part %llu, not at all %llu",
          static_cast<unsigned long long>(stats.framesWhole), static_cast<unsigned long long>(stats.framesPartial),
          static_cast<unsigned long long>(stats.framesSkipped));
    if (stats.framesShownInPart > 0)
        a_log("aGraphServer. Frames shown on screen in part %llu",
              static_cast<unsigned long long>(stats.framesShownInPart));
    if (stats.areasKept > 0)
        a_log("aGraphServer. Areas drawn over what lay under them, kept %llu times: %llu",
              static_cast<unsigned long long>(stats.areasKept), static_cast<unsigned long long>(stats.areasRestored));
    a_log("aGraphServer. Texture storage held %llu KB, of which live textures need %llu KB",
          static_cast<unsigned long long>(stats.textureBytesHeld / 1024),
          static_cast<unsigned long long>(stats.textureBytesNeeded / 1024));
    if (stats.framesChecked > 0 || stats.framesForcedWhole > 0)
        a_log("aGraphServer. Frames compared with a whole redraw %llu (differing %llu), drawn whole for "
              "comparison %llu",
              static_cast<unsigned long long>(stats.framesChecked),
              static_cast<unsigned long long>(stats.framesMismatched),
              static_cast<unsigned long long>(stats.framesForcedWhole));
    m_fonts.clear();
}

void aGraphServer::release()
{
    delete m_backgroundImage;
    m_backgroundImage = nullptr;
    releaseFonts();
    if (m_sprite) {
        m_sprite->Release();
        m_sprite = nullptr;
    }
    if (m_device) {
        showDeviceCursor(false);
        m_device->Release();
        m_device = nullptr;
    }
    if (m_d3d) {
        m_d3d->Release();
        m_d3d = nullptr;
    }
}

std::uint32_t aGraphServer::getVideoMemoryMB()
{
    if (!ensureDirectDraw())
        return 0;
    platform::DDCAPS caps;
    if (FAILED(g_directDraw->GetCaps(&caps, nullptr)))
        return 0;
    return caps.dwVidMemTotal >> 20;
}

void aGraphServer::releaseDirectDraw()
{
    if (g_directDraw) {
        g_directDraw->Release();
        g_directDraw = nullptr;
    }
}

void aGraphServer::logDisplayMode(const char* label, const D3DDISPLAYMODE& mode) const
{
    a_log("aGraphServer. %s %4ix%4i %3iHz %i", label, int(mode.Width), int(mode.Height), int(mode.RefreshRate),
          int(mode.Format));
}

void aGraphServer::logCaps(const D3DCAPS8& caps) const
{
    std::string intervals;
    if (caps.PresentationIntervals & D3DPRESENT_INTERVAL_IMMEDIATE)
        intervals += "imm ";
    if (caps.PresentationIntervals & D3DPRESENT_INTERVAL_ONE)
        intervals += "1 ";
    if (caps.PresentationIntervals & D3DPRESENT_INTERVAL_TWO)
        intervals += "2 ";
    if (caps.PresentationIntervals & D3DPRESENT_INTERVAL_THREE)
        intervals += "3 ";
    if (caps.PresentationIntervals & D3DPRESENT_INTERVAL_FOUR)
        intervals += "4";
    a_logString("");
    a_logString("----------------- Adapter capabilities --------------------------");
    a_log("        Can render windowed: %s", yesNo(caps.Caps2, D3DCAPS2_CANRENDERWINDOWED));
    a_log("        Can manage resource: %s", yesNo(caps.Caps2, D3DCAPS2_CANMANAGERESOURCE));
    a_log("           Dynamic textures: %s", yesNo(caps.Caps2, D3DCAPS2_DYNAMICTEXTURES));
    a_log("      No 2D During 3D Scene: %s", yesNo(caps.Caps2, D3DCAPS2_NO2DDURING3DSCENE));
    a_log("     Presentation intervals: %s", intervals.c_str());
    a_log("  Separate texture memories: %s", yesNo(caps.DevCaps, D3DDEVCAPS_SEPARATETEXTUREMEMORIES));
    a_log("  Texture non local vid mem: %s", yesNo(caps.DevCaps, D3DDEVCAPS_TEXTURENONLOCALVIDMEM));
    a_log("      Texture system memory: %s", yesNo(caps.DevCaps, D3DDEVCAPS_TEXTURESYSTEMMEMORY));
    a_log("       Texture video memory: %s", yesNo(caps.DevCaps, D3DDEVCAPS_TEXTUREVIDEOMEMORY));
    a_log("      Source blend SRCALPHA: %s", yesNo(caps.SrcBlendCaps, D3DPBLENDCAPS_SRCALPHA));
    a_log("     Dest blend INVSRCALPHA: %s", yesNo(caps.DestBlendCaps, D3DPBLENDCAPS_INVSRCALPHA));
    a_log("             Dest blend ONE: %s", yesNo(caps.DestBlendCaps, D3DPBLENDCAPS_ONE));
    a_log("           Max texture size: %ix%i", int(caps.MaxTextureWidth), int(caps.MaxTextureHeight));
    a_log("   Max texture aspect ratio: %i", int(caps.MaxTextureAspectRatio));
    a_log("                 Power of 2: %s", yesNo(caps.TextureCaps, D3DPTEXTURECAPS_POW2));
    a_log("                Square only: %s", yesNo(caps.TextureCaps, D3DPTEXTURECAPS_SQUAREONLY));
    a_log("               Alpha pixels: %s", yesNo(caps.TextureCaps, D3DPTEXTURECAPS_ALPHA));
    a_log("        Max primitive count: %i", int(caps.MaxPrimitiveCount));
    a_logString(kRuleLine);
    a_logString("");
}

RECT aGraphServer::calcWindowRect(std::uint16_t width, std::uint16_t height)
{
    const RECT insets = platform::frameInsets();
    const int frameW = insets.left + insets.right;
    const int frameH = insets.top + insets.bottom;
    RECT work = g_desktopWorkArea;
    if (work.right <= work.left || work.bottom <= work.top)
        work = platform::workArea();
    const int workW = work.right - work.left;
    const int workH = work.bottom - work.top;
    const float scaleW = float(workW - frameW) / float(std::max<int>(width, 1));
    const float scaleH = float(workH - frameH) / float(std::max<int>(height, 1));
    const float scale = std::min(scaleW, scaleH);
    int clientW = width, clientH = height;
    if (scale < 1.0f) {
        clientW = scale > 0.0f ? int(float(width) * scale) : 0;
        clientH = scale > 0.0f ? int(float(height) * scale) : 0;
    }
    // However small the room, the window keeps a client area.
    m_clientWidth = atLeastOne(clientW);
    m_clientHeight = atLeastOne(clientH);
    RECT r;
    r.left = work.left + (workW - (m_clientWidth + frameW)) / 2 + insets.left;
    r.top = work.top + (workH - (m_clientHeight + frameH)) / 2 + insets.top;
    r.right = r.left + m_clientWidth - 1;
    r.bottom = r.top + m_clientHeight - 1;
    return r;
}

platform::PresentMapping aGraphServer::windowMapping(int clientWidth, int clientHeight) const
{
    platform::PresentMapping m;
    if (clientWidth <= 0 || clientHeight <= 0 || m_backBufferWidth == 0 || m_backBufferHeight == 0)
        return m;
    const double bw = m_backBufferWidth, bh = m_backBufferHeight;
    if (!m_fullscreen) {
        m.scaleX = float(clientWidth / bw);
        m.scaleY = float(clientHeight / bh);
        return m;
    }
    // Letterboxed as the window presents it: the frame keeps its aspect
    // ratio, centred, with whole-pixel bars.
    const double s = std::min(clientWidth / bw, clientHeight / bh);
    const int pw = std::max(1, int(std::lround(bw * s))), ph = std::max(1, int(std::lround(bh * s)));
    m.scaleX = float(pw / bw);
    m.scaleY = float(ph / bh);
    m.offsetX = float((clientWidth - pw) / 2);
    m.offsetY = float((clientHeight - ph) / 2);
    return m;
}

void aGraphServer::fillPresentParameters()
{
    D3DPRESENT_PARAMETERS p;
    p.BackBufferFormat = D3DFMT_UNKNOWN;
    p.BackBufferCount = 0;
    p.SwapEffect = D3DSWAPEFFECT(0);
    p.hDeviceWindow = nullptr;
    if (m_fullscreen) {
        // The depth asked for, else the other one, else the back-buffer
        // size in the desktop's format (desktop full screen needs no mode).
        std::int32_t index = m_use32Bit ? m_mode32Index : m_mode16Index;
        if (index < 0)
            index = m_use32Bit ? m_mode16Index : m_mode32Index;
        D3DDISPLAYMODE mode{m_backBufferWidth, m_backBufferHeight, 0, m_desktopMode.Format};
        if (index >= 0 && m_d3d && FAILED(m_d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, std::uint32_t(index), &mode)))
            mode = D3DDISPLAYMODE{m_backBufferWidth, m_backBufferHeight, 0, m_desktopMode.Format};
        p.BackBufferWidth = mode.Width;
        p.BackBufferHeight = mode.Height;
        p.BackBufferFormat = mode.Format;
        p.BackBufferCount = 1;
        p.FullScreen_RefreshRateInHz = 0;
        p.FullScreen_PresentationInterval = m_vsync ? D3DPRESENT_INTERVAL_ONE : D3DPRESENT_INTERVAL_IMMEDIATE;
        p.hDeviceWindow = m_window;
        p.SwapEffect = D3DSWAPEFFECT_FLIP;
    } else {
        p.BackBufferWidth = m_backBufferWidth;
        p.BackBufferHeight = m_backBufferHeight;
        p.BackBufferFormat = m_desktopMode.Format;
        p.SwapEffect = m_vsync ? D3DSWAPEFFECT_COPY_VSYNC : D3DSWAPEFFECT_COPY;
    }
    p.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    p.Windowed = m_fullscreen ? 0 : 1;
    p.EnableAutoDepthStencil = 0;
    m_presentParams = p;
}

void aGraphServer::readDesktopRefreshRate()
{
    D3DDISPLAYMODE mode;
    if (m_d3d && SUCCEEDED(m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        m_desktopRefreshRate = mode.RefreshRate;
}

// ---------------------------------------------------------------------------
// The frame

namespace {

D3DVIEWPORT8 deviceViewport(const aRect& r, int bbWidth, int bbHeight)
{
    // The device takes no negative corner and no empty size: clip to the
    // back buffer, and park an empty result just outside it.
    const int x0 = std::max<int>(r.x, 0), y0 = std::max<int>(r.y, 0);
    const int x1 = std::min<int>(r.right(), bbWidth), y1 = std::min<int>(r.bottom(), bbHeight);
    D3DVIEWPORT8 vp;
    if (x1 <= x0 || y1 <= y0) {
        vp.X = std::uint32_t(std::max(bbWidth, 0));
        vp.Y = std::uint32_t(std::max(bbHeight, 0));
        vp.Width = vp.Height = 1;
    } else {
        vp.X = std::uint32_t(x0);
        vp.Y = std::uint32_t(y0);
        vp.Width = std::uint32_t(x1 - x0);
        vp.Height = std::uint32_t(y1 - y0);
    }
    vp.MinZ = 0.0f;
    vp.MaxZ = 1.0f;
    return vp;
}

} // namespace

void aGraphServer::setViewport(const aRect& rect)
{
    m_viewport = rect;
    if (!m_device)
        return;
    const D3DVIEWPORT8 vp = deviceViewport(rect, m_backBufferWidth, m_backBufferHeight);
    if (HRESULT hr = m_device->SetViewport(&vp); FAILED(hr))
        a_log("aGraphServer. SetViewport failed (%s)", platform::dxErrorName(hr));
}

bool aGraphServer::beginScene()
{
    if (m_inScene) {
        a_log("aGraphServer::beginScene() - previous scene not finished");
        return false;
    }
    if (!m_device)
        return false;

    switch (m_device->TestCooperativeLevel()) {
    case D3DERR_DRIVERINTERNALERROR:
        a_log("aGraphServer::beginScene() - D3DERR_DRIVERINTERNALERROR");
        throw aResultError(A2D_E_DRIVERINTERNAL);
    case D3DERR_DEVICELOST:
        a_log("aGraphServer::beginScene() - D3DERR_DEVICELOST");
        return false;
    case D3DERR_DEVICENOTRESET:
        a_log("aGraphServer::beginScene() - D3DERR_DEVICENOTRESET");
        if (m_d3d)
            m_d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &m_desktopMode);
        fillPresentParameters();
        reset();
        return false;
    default:
        break;
    }

    m_device->setSkipUnchangedFrames(m_skipUnchangedFrames);
    const aRect kept = m_viewport;
    const D3DVIEWPORT8 whole = deviceViewport(aRect(0, 0, m_backBufferWidth, m_backBufferHeight),
                                              m_backBufferWidth, m_backBufferHeight);
    m_device->SetViewport(&whole);
    if (m_clearColor != 0) {
        if (HRESULT hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET, m_clearColor, 1.0f, 0); FAILED(hr))
            a_log("aGraphServer. Clear failed (%s)", platform::dxErrorName(hr));
    }
    if (HRESULT hr = m_device->BeginScene(); FAILED(hr))
        a_log("aGraphServer. BeginScene failed (%s)", platform::dxErrorName(hr));
    if (m_sprite) {
        if (HRESULT hr = m_sprite->Begin(); FAILED(hr))
            a_log("aGraphServer. BeginSprite failed (%s)", platform::dxErrorName(hr));
    }

    if (m_backgroundImage)
        m_backgroundImage->draw(0.0f, 0.0f, 0xFFFFFFFF);

    setViewport(kept);
    m_device->SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    m_device->SetRenderState(D3DRS_LIGHTING, 0);
    D3DXMATRIX projection;
    platform::D3DXMatrixOrthoOffCenterLH(&projection, 0.0f, float(m_backBufferWidth), float(m_backBufferHeight),
                                         0.0f, 0.0f, 1.0f);
    m_device->SetTransform(D3DTS_PROJECTION, &projection);

    setColor(1.0f, 1.0f, 1.0f, 1.0f);
    // A cached word that differs from 0 in both the operation bits and the
    // blend nibble, so both are written whatever the last frame left.
    m_blendMode = 0x101;
    setBlendMode(0);
    m_linearFilter = false;
    setTextureFilter(true);

    m_inScene = true;
    return true;
}

void aGraphServer::endScene()
{
    if (!m_inScene) {
        a_log("aGraphServer::endScene() - scene not started");
        return;
    }
    const D3DVIEWPORT8 whole = deviceViewport(aRect(0, 0, m_backBufferWidth, m_backBufferHeight),
                                              m_backBufferWidth, m_backBufferHeight);
    m_device->SetViewport(&whole);
    for (std::int32_t& c : m_drawColor)
        c = 255;

    const bool cursorShown = drawCursor();

    if (m_systemFont && m_showFps) {
        char text[32];
        std::snprintf(text, sizeof text, "fps: %4.1f", double(m_fps));
        RECT r{m_fpsX, m_fpsY, m_fpsX + 120, m_fpsY + 20};
        m_systemFont->Begin();
        m_systemFont->DrawTextA(text, -1, &r, 0, 0xFFFFFFFF);
        m_systemFont->End();
    }

    if (m_flushEachFrame) {
        platform::GfxSurface* surface = nullptr;
        if (SUCCEEDED(m_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface)) && surface) {
            const RECT pixel{0, 0, 1, 1};
            D3DLOCKED_RECT locked;
            if (SUCCEEDED(surface->LockRect(&locked, &pixel, D3DLOCK_READONLY)))
                surface->UnlockRect();
            surface->Release();
        }
    }

    if (m_sprite) {
        if (HRESULT hr = m_sprite->End(); FAILED(hr))
            a_log("aGraphServer. EndSprite failed (%s)", platform::dxErrorName(hr));
    }
    if (HRESULT hr = m_device->EndScene(); FAILED(hr))
        a_log("aGraphServer. EndScene failed (%s)", platform::dxErrorName(hr));
    if (HRESULT hr = m_device->Present(nullptr, nullptr, nullptr, nullptr); FAILED(hr))
        a_log("aGraphServer. Present failed (%s)", platform::dxErrorName(hr));

    float now = 0.0f;
    if (m_firstFrame) {
        m_firstFrame = false;
        m_frameTimer.reset();
        // Its time stamp is the start-up time (the log clock starts with the program).
        a_logString("aGraphServer. First frame presented");
    } else {
        now = m_frameTimer.getTime();
        ++m_periodFrames;
        m_periodTime += now - m_prevFrameTime;
    }
    if (now - m_lastFpsUpdate > 0.3f) {
        m_fps = m_periodTime > 0.0f ? float(m_periodFrames) / m_periodTime : 0.0f;
        m_fpsSum += m_fps;
        ++m_fpsSamples;
        m_lastFpsUpdate = now;
        m_periodFrames = 0;
        m_periodTime = 0.0f;
    }

    if (m_frameRateLimit > 0) {
        const float target = 1.0f / float(m_frameRateLimit);
        const float elapsed = now - m_prevFrameTime;
        if (target > elapsed) {
            const auto ms = std::uint32_t((target - elapsed) * 1000.0f);
            if (m_limitWait)
                m_limitWait(ms);
            else
                m_frameTimer.wait(ms);
            now += float(ms) / 1000.0f;
        }
    }

    if (cursorShown)
        advanceCursor(now - m_prevFrameTime);

    m_prevFrameTime = now;
    m_inScene = false;
}

bool aGraphServer::drawCursor()
{
    // The image cursor shows whenever the application holds one (the
    // system cursor is hidden then), at the input server's position.
    aApplication* app = g_application;
    if (!app || !app->m_cursorAnim || !app->m_inputServer) {
        showDeviceCursor(false);
        return false;
    }
    const aInputServer& input = *app->m_inputServer;
    if (putCursorOnDevice(*app->m_cursorAnim, input.m_cursorHotX, input.m_cursorHotY))
        return true;
    showDeviceCursor(false);
    std::int32_t x = 0, y = 0;
    app->m_inputServer->getMousePos(x, y);
    const auto cx = std::int16_t(x - std::int32_t(input.m_cursorHotX));
    const auto cy = std::int16_t(y - std::int32_t(input.m_cursorHotY));
    app->m_cursorAnim->draw(cx, cy, 0xFFFFFFFF, nullptr, 0.0f);
    return true;
}

bool aGraphServer::putCursorOnDevice(const aAnim& anim, int hotX, int hotY)
{
    // Only what a plain draw in the usual blend shows looks the same there.
    if (!m_device || !(m_cursorCaps & D3DCURSORCAPS_COLOR) || m_blendMode != 0)
        return false;
    const aFrame* frame = anim.getCurrentFrame();
    if (!frame || frame->hidden || !frame->image) {
        // Nothing to draw either way.
        showDeviceCursor(false);
        return true;
    }
    const aRect& rect = frame->rect;
    if (hotX >= rect.width || hotY >= rect.height || !frame->image->readDrawnPixels(rect, m_cursorScratch))
        return false;
    const bool same = m_cursorScratch == m_deviceCursor && rect.width == m_deviceCursorRect.width &&
                      rect.height == m_deviceCursorRect.height && hotX == m_deviceCursorHotX &&
                      hotY == m_deviceCursorHotY;
    if (!same) {
        platform::GfxSurface* surface = nullptr;
        if (FAILED(m_device->CreateImageSurface(rect.width, rect.height, D3DFMT_A8R8G8B8, &surface)) || !surface)
            return false;
        D3DLOCKED_RECT locked;
        HRESULT hr = surface->LockRect(&locked, nullptr, 0);
        if (SUCCEEDED(hr)) {
            for (std::uint16_t y = 0; y < rect.height; ++y)
                std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::size_t(locked.Pitch) * y,
                            &m_cursorScratch[std::size_t(y) * rect.width], std::size_t(rect.width) * 4);
            surface->UnlockRect();
            hr = m_device->SetCursorProperties(std::uint32_t(hotX), std::uint32_t(hotY), surface);
        }
        surface->Release();
        if (FAILED(hr)) {
            m_deviceCursor.clear();
            return false;
        }
        m_deviceCursor.swap(m_cursorScratch);
        m_deviceCursorRect = rect;
        m_deviceCursorHotX = hotX;
        m_deviceCursorHotY = hotY;
    }
    showDeviceCursor(true);
    return true;
}

void aGraphServer::showDeviceCursor(bool show)
{
    if (show == m_deviceCursorShown || !m_device)
        return;
    m_device->ShowCursor(show);
    m_deviceCursorShown = show;
}

void aGraphServer::advanceCursor(float seconds)
{
    if (g_application && g_application->m_cursorAnim)
        g_application->m_cursorAnim->update(seconds);
}

// ---------------------------------------------------------------------------
// State cache

void aGraphServer::setColor(float r, float g, float b, float a)
{
    m_drawColor[0] = channel(a);
    m_drawColor[1] = channel(r);
    m_drawColor[2] = channel(g);
    m_drawColor[3] = channel(b);
}

void aGraphServer::setBlendMode(int mode)
{
    if (mode == m_blendMode)
        return;
    if (m_device) {
        if ((mode & 0xF00) != (m_blendMode & 0xF00)) {
            std::uint32_t arg1 = 0, arg2 = 0, op = 0;
            switch (mode & 0xF00) {
            case 0x000: arg1 = D3DTA_DIFFUSE, arg2 = D3DTA_TEXTURE, op = D3DTOP_MODULATE; break;
            case 0x100: arg1 = D3DTA_TEXTURE, arg2 = D3DTA_DIFFUSE, op = D3DTOP_ADD; break;
            case 0x200: arg1 = D3DTA_TEXTURE, arg2 = D3DTA_DIFFUSE, op = D3DTOP_SUBTRACT; break;
            case 0x300: arg1 = D3DTA_DIFFUSE, arg2 = D3DTA_TEXTURE, op = D3DTOP_SUBTRACT; break;
            case 0x400: arg1 = D3DTA_DIFFUSE, arg2 = D3DTA_TEXTURE, op = D3DTOP_SELECTARG1; break;
            default: break;
            }
            if (op != 0) {
                m_device->SetTextureStageState(0, D3DTSS_COLORARG1, arg1);
                m_device->SetTextureStageState(0, D3DTSS_COLORARG2, arg2);
                m_device->SetTextureStageState(0, D3DTSS_COLOROP, op);
            }
        }
        if ((mode & 0xF) != (m_blendMode & 0xF)) {
            if ((mode & 0xF) == 0) {
                m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
            } else if ((mode & 0xF) == 1) {
                m_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                m_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
            }
        }
    }
    m_blendMode = mode;
}

void aGraphServer::setTextureFilter(bool linear)
{
    if (linear == m_linearFilter)
        return;
    m_linearFilter = linear;
    if (!m_device)
        return;
    const std::uint32_t f = linear ? D3DTEXF_LINEAR : D3DTEXF_POINT;
    m_device->SetTextureStageState(0, D3DTSS_MINFILTER, f);
    m_device->SetTextureStageState(0, D3DTSS_MAGFILTER, f);
}

// ---------------------------------------------------------------------------
// Fonts

void aGraphServer::createFont(const std::string& name, const LOGFONTA& font, platform::GfxFont** target)
{
    if (m_fonts.count(name)) {
        a_log("aGraphServer. Font with name '%s' already exists", name.c_str());
        return;
    }
    m_fonts[name] = FontRecord{font, target};
    if (!target)
        return;
    if (HRESULT hr = platform::D3DXCreateFontIndirect(m_device, &font, target); FAILED(hr))
        a_log("aGraphServer. Font '%s' creation failed (%s)", name.c_str(), platform::dxErrorName(hr));
}

void aGraphServer::deleteFont(const std::string& name)
{
    auto it = m_fonts.find(name);
    if (it == m_fonts.end()) {
        a_log("aGraphServer::deleteFont. Font '%s' not exists", name.c_str());
        return;
    }
    if (platform::GfxFont** target = it->second.target; target && *target) {
        (*target)->Release();
        *target = nullptr;
    }
    m_fonts.erase(it);
}

void aGraphServer::releaseFonts()
{
    for (auto& [name, record] : m_fonts) {
        if (record.target && *record.target) {
            (*record.target)->Release();
            *record.target = nullptr;
        }
    }
}

void aGraphServer::createSpriteAndFonts()
{
    if (m_sprite) {
        m_sprite->Release();
        m_sprite = nullptr;
    }
    if (HRESULT hr = platform::D3DXCreateSprite(m_device, &m_sprite); FAILED(hr))
        a_log("aGraphServer. Sprite creation failed (%s)", platform::dxErrorName(hr));
    for (auto& [name, record] : m_fonts) {
        if (!record.target)
            continue;
        if (*record.target) {
            (*record.target)->Release();
            *record.target = nullptr;
        }
        if (HRESULT hr = platform::D3DXCreateFontIndirect(m_device, &record.font, record.target); FAILED(hr))
            a_log("aGraphServer. Font '%s' creation failed (%s)", name.c_str(), platform::dxErrorName(hr));
    }
}

// ---------------------------------------------------------------------------
// Reset and display modes

void aGraphServer::reset()
{
    if (m_texturesLost)
        aImageData::releaseAll(false);
    releaseFonts();
    if (m_sprite) {
        m_sprite->Release();
        m_sprite = nullptr;
    }
    if (m_device) {
        if (HRESULT hr = m_device->Reset(&m_presentParams); FAILED(hr))
            a_log("aGraphServer. Device reset failed (%s)", platform::dxErrorName(hr));
        setViewport(aRect(0, 0, m_backBufferWidth, m_backBufferHeight));
        if (HRESULT hr = m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0); FAILED(hr))
            a_log("aGraphServer. Clear failed (%s)", platform::dxErrorName(hr));
    }
    createSpriteAndFonts();

    if (m_texturesLost) {
        const std::uint32_t start = platform::getTickCount();
        bool loadingShown = false;
        // A copy: a reload must not disturb the walk.
        const std::vector<aImageData*> images(aImageData::imageList().begin(), aImageData::imageList().end());
        for (aImageData* data : images) {
            if (!loadingShown && m_systemFont && m_device && platform::getTickCount() - start > 1000) {
                loadingShown = true;
                RECT r{0, m_backBufferHeight / 2, m_backBufferWidth - 1, m_backBufferHeight / 2 + 20};
                m_device->BeginScene();
                m_systemFont->DrawTextA("LOADING", -1, &r, DT_CENTER, 0xFFFFFFFF);
                m_device->EndScene();
                m_device->Present(nullptr, nullptr, nullptr, nullptr);
            }
            data->reload();
        }
    }
    m_texturesLost = false;
    readDesktopRefreshRate();
}

void aGraphServer::setVideoMode(bool fullscreen, bool use32Bit, bool vsync)
{
    if (fullscreen == m_fullscreen && use32Bit == m_use32Bit && vsync == m_vsync)
        return;
    m_texturesLost = use32Bit != m_use32Bit;
    m_use32Bit = use32Bit;
    m_vsync = vsync;
    m_fullscreen = !fullscreen;
    setFullscreen(fullscreen);
}

void aGraphServer::setFullscreen(bool fullscreen)
{
    if (fullscreen == m_fullscreen)
        return;
    m_fullscreen = fullscreen;
    if (fullscreen) {
        m_clientWidth = m_backBufferWidth;
        m_clientHeight = m_backBufferHeight;
        if (m_window)
            m_window->setFullscreen(true);
    } else {
        const RECT r = calcWindowRect(m_backBufferWidth, m_backBufferHeight);
        if (m_window) {
            m_window->setFullscreen(false);
            m_window->setBounds(r.left, r.top, r.right - r.left + 1, r.bottom - r.top + 1);
        }
    }
    fillPresentParameters();
    reset();
    if (m_window)
        m_window->show();
}

// ---------------------------------------------------------------------------
// Screenshots

void aGraphServer::saveScreenshot(const std::string& folder, const std::string& prefix)
{
    if (!file_isDirExistOnDisk(folder)) {
        if (g_fileServer)
            g_fileServer->makeDir(folder);
        else
            aFileServer().makeDir(folder);
    }
    std::string base = file_manglePath(folder);
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();

    std::string name;
    for (int n = 0;; ++n) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%03d.bmp", n);
        name = base + "/" + prefix + buffer;
        if (!file_isExistOnDisk(name))
            break;
    }

    bool saved = false;
    if (m_device) {
        int surfaceW = m_backBufferWidth, surfaceH = m_backBufferHeight;
        RECT source{0, 0, m_clientWidth, m_clientHeight};
        if (!m_fullscreen) {
            surfaceW = int(m_desktopMode.Width);
            surfaceH = int(m_desktopMode.Height);
            int x = 0, y = 0;
            if (m_window)
                m_window->position(x, y);
            source = RECT{x, y, x + m_clientWidth, y + m_clientHeight};
        }
        // What lies off the desktop is not on screen: keep the part inside.
        source.left = std::clamp(source.left, 0, std::max(surfaceW, 0));
        source.top = std::clamp(source.top, 0, std::max(surfaceH, 0));
        source.right = std::clamp(source.right, source.left, std::max(surfaceW, 0));
        source.bottom = std::clamp(source.bottom, source.top, std::max(surfaceH, 0));

        platform::GfxSurface* surface = nullptr;
        if (surfaceW > 0 && surfaceH > 0 && source.right > source.left && source.bottom > source.top &&
            SUCCEEDED(m_device->CreateImageSurface(std::uint32_t(surfaceW), std::uint32_t(surfaceH),
                                                   D3DFMT_A8R8G8B8, &surface)) &&
            surface) {
            // Written beside its final name and renamed, so a failed write
            // leaves no partial bitmap.
            const std::string partial = name + ".part";
            if (SUCCEEDED(m_device->GetFrontBuffer(surface)) &&
                SUCCEEDED(platform::D3DXSaveSurfaceToFileA(partial.c_str(), D3DXIFF_BMP, surface, nullptr, &source)))
                saved = std::rename(partial.c_str(), name.c_str()) == 0;
            if (!saved)
                std::remove(partial.c_str());
            surface->Release();
        }
    }
    if (saved)
        a_log("Screenshot saved: %s", name.c_str());
    else
        a_log("Screenshot save failed: %s", name.c_str());
}
