#include "engine/gfx/a_graph_server.h"

#include <cstdio>
#include <vector>

#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "platform/bmp.h"
#include "platform/window.h"

aGraphServer::aGraphServer(std::uint16_t width, std::uint16_t height, bool fullscreen, bool use32Bit,
                           const char* title, std::uint16_t iconId, bool vsync, bool /*multithreaded*/)
    : m_backBufferWidth(width), m_backBufferHeight(height), m_fullscreen(fullscreen), m_use32Bit(use32Bit),
      m_vsync(vsync)
{
    if (!g_application) {
        a_log("aGraphServer. Error, aApplication object not created!");
        throw aResultError(A2D_E_D3DINIT);
    }
    g_application->m_graphServer = this;
    g_application->m_windowClass.className = g_application->m_name;
    g_application->m_windowClass.iconId = iconId;

    std::string error;
    if (!platform::initVideo(&error)) {
        a_log("aGraphServer. Error create D3D object (%s)", error.c_str());
        g_application->m_graphServer = nullptr;
        throw aResultError(A2D_E_D3DINIT);
    }

    platform::DisplayMode desktop;
    if (platform::desktopMode(desktop))
        m_desktopRefreshRate = std::uint32_t(desktop.refreshRate);

    platform::WindowDesc desc;
    desc.title = title ? title : g_application->m_name;
    desc.backBufferWidth = width;
    desc.backBufferHeight = height;
    desc.fullscreen = fullscreen;
    if (fullscreen) {
        m_clientWidth = width;
        m_clientHeight = height;
        desc.width = width;
        desc.height = height;
    } else {
        const RECT r = calcWindowRect(width, height);
        desc.x = r.left;
        desc.y = r.top;
        desc.width = m_clientWidth;
        desc.height = m_clientHeight;
    }
    std::unique_ptr<platform::Window> window = platform::Window::create(desc, &error);
    if (!window) {
        a_log("aGraphServer. Error create D3D object (%s)", error.c_str());
        g_application->m_graphServer = nullptr;
        throw aResultError(A2D_E_D3DINIT);
    }
    aApplication* app = g_application;
    window->setProc([app](HWND w, std::uint32_t m, WPARAM wp, LPARAM lp) { return app->windowProc(w, m, wp, lp); });
    window->setSwapInterval(vsync);
    window->show();
    m_window = window.get();
    g_application->adoptWindow(std::move(window));
}

aGraphServer::~aGraphServer()
{
    if (g_application && g_application->m_graphServer == this)
        g_application->m_graphServer = nullptr;
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
    const float scaleW = float(workW - frameW) / float(width ? width : 1);
    const float scaleH = float(workH - frameH) / float(height ? height : 1);
    const float scale = scaleW < scaleH ? scaleW : scaleH;
    if (scale < 1.0f && scale > 0.0f) {
        m_clientWidth = std::uint16_t(float(width) * scale);
        m_clientHeight = std::uint16_t(float(height) * scale);
    } else {
        m_clientWidth = width;
        m_clientHeight = height;
    }
    RECT r;
    r.left = work.left + (workW - (m_clientWidth + frameW)) / 2 + insets.left;
    r.top = work.top + (workH - (m_clientHeight + frameH)) / 2 + insets.top;
    r.right = r.left + m_clientWidth - 1;
    r.bottom = r.top + m_clientHeight - 1;
    return r;
}

bool aGraphServer::beginScene()
{
    if (m_inScene) {
        a_log("aGraphServer::beginScene() - previous scene not finished");
        return false;
    }
    if (!m_window)
        return false;
    m_window->makeCurrent();
    m_window->bindBackBuffer();
    if (m_clearColor != 0)
        m_window->clear(m_clearColor);
    m_inScene = true;
    return true;
}

void aGraphServer::endScene()
{
    if (!m_inScene) {
        a_log("aGraphServer::endScene() - scene not started");
        return;
    }
    m_window->present();
    m_inScene = false;
}

void aGraphServer::setFullscreen(bool fullscreen)
{
    if (fullscreen == m_fullscreen || !m_window)
        return;
    m_fullscreen = fullscreen;
    if (fullscreen) {
        m_clientWidth = m_backBufferWidth;
        m_clientHeight = m_backBufferHeight;
        m_window->setFullscreen(true);
    } else {
        m_window->setFullscreen(false);
        const RECT r = calcWindowRect(m_backBufferWidth, m_backBufferHeight);
        m_window->setBounds(r.left, r.top, m_clientWidth, m_clientHeight);
    }
    m_window->setSwapInterval(m_vsync);
    m_window->show();
}

void aGraphServer::setVideoMode(bool fullscreen, bool use32Bit, bool vsync)
{
    if (fullscreen == m_fullscreen && use32Bit == m_use32Bit && vsync == m_vsync)
        return;
    m_use32Bit = use32Bit;
    m_vsync = vsync;
    m_fullscreen = !fullscreen;
    setFullscreen(fullscreen);
}

void aGraphServer::saveScreenshot(const std::string& folder, const std::string& prefix)
{
    if (!file_isDirExistOnDisk(folder) && g_fileServer)
        g_fileServer->makeDir(folder);
    std::string base = file_manglePath(folder);
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();

    std::string name;
    for (unsigned n = 0;; ++n) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%03u.bmp", n);
        name = base + "/" + prefix + suffix;
        if (!file_isExistOnDisk(name))
            break;
    }

    std::vector<std::uint8_t> pixels;
    int w = 0, h = 0;
    if (m_window && m_window->readPresented(pixels, w, h) && platform::writeBmp24(name, w, h, pixels.data()))
        a_log("Screenshot saved: %s", name.c_str());
    else
        a_log("Screenshot save failed: %s", name.c_str());
}
