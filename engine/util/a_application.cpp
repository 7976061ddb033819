#include "engine/util/a_application.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_sprite.h"
#include "engine/sound/a_sound_engine.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"
#include "platform/system/crash_handler.h"
#include "platform/input/dinput_keys.h"
#include "platform/system/events.h"
#include "platform/system/message_box.h"
#include "platform/input/mouse.h"
#include "platform/system/system_info.h"
#include "platform/system/window.h"

aApplication* g_application = nullptr;
RECT g_desktopWorkArea;

void (*aApplication::s_flashSetPause)(bool) = nullptr;
void (*aApplication::s_releaseDirectDraw)() = nullptr;

namespace {

const char* const kRuleLine = "-----------------------------------------------------------------";
const char* const kCrashLine = "== !!! == !!! == !!! == !!! == !!! == !!! == !!! == !!! == !!! ==";
constexpr long kLogSizeLimit = 50000;
constexpr float kLoadingFrameTime = 0.033333335f;

// Process priority classes and thread priorities as callers pass them.
constexpr int IDLE_PRIORITY_CLASS = 0x40;
constexpr int BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
constexpr int NORMAL_PRIORITY_CLASS = 0x20;
constexpr int ABOVE_NORMAL_PRIORITY_CLASS = 0x8000;
constexpr int HIGH_PRIORITY_CLASS = 0x80;
constexpr int REALTIME_PRIORITY_CLASS = 0x100;

void crashHook(const platform::CrashReport& report)
{
    std::string message = "Critical error!";
    if (report.fileName && *report.fileName) {
        message += " File \"";
        message += report.fileName;
        message += "\" has been saved to";
        message += "\n";
        message += report.folder ? report.folder : "";
    }
    a_logString(kCrashLine);
    a_logString(message.c_str());
    a_logString(kCrashLine);
    if (g_application) {
        g_application->releaseInput();
        g_application->messageBox(message, true);
    }
}

} // namespace

aApplication::aApplication() : m_timer(aTimer::PerformanceCounter)
{
    m_appPath = getApplicationPath();
    g_application = this;
}

aApplication::~aApplication()
{
    delete m_cursorAnim;
    m_cursorAnim = nullptr;
    m_windowObject.reset();
    if (g_application == this)
        g_application = nullptr;
}

void aApplication::adoptWindow(std::unique_ptr<platform::Window> window)
{
    m_windowObject = std::move(window);
    m_window = m_windowObject.get();
}

int aApplication::init(const std::string& name, void* instance, const char* commandLine,
                       const std::string& company)
{
    m_name = name;
    m_instance = instance;
    m_cmdLine = commandLine;

    const std::string appFolder = company.empty() ? name + "/" : company + "/" + name + "/";
    m_userFolder = "userappdata:" + appFolder;
    m_savedGamesFolder = "userprof:Saved Games/" + appFolder;
    m_allUsersFolder = "allappdata:" + appFolder;
    m_screenshotFolder = m_userFolder + "ScreenShots/";

    if (!takeInstanceLock(appFolder)) {
        std::fprintf(stderr, "%s is already running.\n", name.c_str());
        return 1;
    }
    platform::installCrashHandler(m_fileServer.manglePath(m_userFolder), &crashHook);
    platform::closeOnHangup();

    for (const std::string* folder : {&m_userFolder, &m_allUsersFolder, &m_savedGamesFolder}) {
        if (!file_isDirExist(*folder, false))
            m_fileServer.makeDir(*folder);
    }

    const std::string logPath = m_fileServer.manglePath(m_userFolder) + m_logFileName;
    std::FILE* log = std::fopen(logPath.c_str(), "a+");
    if (log) {
        std::fseek(log, 0, SEEK_END);
        if (std::ftell(log) > kLogSizeLimit) {
            std::fclose(log);
            log = std::fopen(logPath.c_str(), "w+");
        }
    }
    if (!log) {
        // An unusable user folder has been reported with its cause already.
        if (m_userFolderError.empty())
            showError(A2D_E_LOGFILE);
    } else {
        g_logFile = log;
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        m_timer.reset();
        std::fputs("\n\n\n\n\n", g_logFile);
        a_log("a2d Engine %s started", "v1.7");
        a_logString(kRuleLine);
        a_log("Application: %s", name.c_str());
        a_log("Launched on: %.2u.%.2u.%.4u, %.2u:%.2u:%.2u", unsigned(local.tm_mday), unsigned(local.tm_mon + 1),
              unsigned(local.tm_year + 1900), unsigned(local.tm_hour), unsigned(local.tm_min),
              unsigned(local.tm_sec));
        a_logString("");
        writeSystemConfiguration();
    }

    platform::initVideo();
    g_desktopWorkArea = platform::workArea();
    return 0;
}

bool aApplication::takeInstanceLock(const std::string& appFolder)
{
    // The lock lives in the user folder, so that one is made first.
    const std::string userPath = m_fileServer.manglePath(m_userFolder);
    int error = 0;
    if (!file_isDirExistOnDisk(m_userFolder) && !m_fileServer.makeDir(m_userFolder))
        error = errno != 0 ? errno : EIO;
    if (error == 0) {
        m_lockPath = userPath + m_name + ".lock";
        if (m_instanceLock.acquire(m_lockPath))
            return true;
        if (m_instanceLock.error() == EWOULDBLOCK)
            return false;
        error = m_instanceLock.error();
    }

    // A user folder that cannot be made or written still must not let two
    // copies run: the lock goes to the runtime (or temporary) folder.
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime == '/' && file_isDirExistOnDisk(runtime))
        folder = std::string(runtime) + "/";
    else
        folder = getTempPath();
    std::string lockName = appFolder;
    for (char& c : lockName)
        c = c == '/' ? '-' : c;
    m_lockPath = folder + lockName + std::to_string(::geteuid()) + ".lock";

    m_userFolderError = "The user folder " + userPath + " cannot be used (" + std::strerror(error) + ").";
    if (!m_instanceLock.acquire(m_lockPath) && m_instanceLock.error() == EWOULDBLOCK)
        return false;
    std::fprintf(stderr, "%s\n", m_userFolderError.c_str());
    std::fflush(stderr);
    if (platform::hasDisplay())
        messageBox(m_userFolderError, true);
    return true;
}

void aApplication::writeSystemConfiguration()
{
    a_logString("----------------- System configuration --------------------------");
    a_log("    Operating System: %s", platform::operatingSystemText().c_str());
    a_log("       Computer Name: %s", platform::computerName().c_str());
    a_log("           User Name: %s", platform::userName().c_str());
    a_logString("");
    const platform::MemoryStatus mem = platform::memoryStatus();
    a_log("         Memory Load: %u%%", unsigned(mem.loadPercent));
    a_log("Free Physical Memory: %" PRIu64 " of %" PRIu64 " KB", mem.availPhys >> 10, mem.totalPhys >> 10);
    a_log(" Free Virtual Memory: %" PRIu64 " of %" PRIu64 " KB", mem.availVirtual >> 10, mem.totalVirtual >> 10);
    a_log("       Pagefile Used: %" PRIu64 " of %" PRIu64 " KB", mem.availPage >> 10, mem.totalPage >> 10);
    a_logString("");
    a_log("    Application Path: %s", m_appPath.c_str());
    const std::vector<std::string> folders = {m_appPath, m_fileServer.manglePath(m_userFolder),
                                              m_fileServer.manglePath(m_savedGamesFolder)};
    for (const platform::MountInfo& m : platform::mounts(folders)) {
        if (m.kind == "fixed") {
            a_log("             Drive %s: fixed <%s>, %s, %" PRIu64 " of %" PRIu64 " MB free", m.mountPoint.c_str(),
                  m.fsType.c_str(), m.device.c_str(), m.freeBytes >> 20, m.totalBytes >> 20);
        } else {
            a_log("             Drive %s: %s", m.mountPoint.c_str(), m.kind.c_str());
        }
    }
    a_logString(kRuleLine);
}

int aApplication::shutdown()
{
    if (s_releaseDirectDraw)
        s_releaseDirectDraw();
    if (m_windowObject) {
        m_windowObject.reset();
        m_window = nullptr;
    }
    aSound::shutdownAudio();
    a_logString(kRuleLine);
    a_logString("a2d Engine stopped");
    a_logString("");
    a_closeLog();
    m_instanceLock.release();
    return 0;
}

int aApplication::run()
{
    if (!m_graphServer) {
        a_log("aApplication: Error, aGraphServer object not created!");
        return 1;
    }
    platform::MessageQueue& queue = platform::messageQueue();
    int result = 0;
    m_timer.reset();
    m_running = true;

    platform::Message msg;
    // The first frame shows as soon as it can: there is no earlier frame to
    // pace it against.
    bool firstFrame = true;
    for (;;) {
        const bool got = m_active ? queue.peek(msg) : (queue.get(msg), true);
        if (got) {
            if (msg.message == WM_QUIT)
                break;
            platform::dispatchMessage(msg);
            continue;
        }

        float frameTime = m_timer.getTime();
        std::uint32_t limit = m_graphServer->m_desktopRefreshRate & 0xFFFF;
        if (limit == 0 || limit > 1000)
            limit = 100;
        const float limitTime = 1.0f / float(limit);
        if (!firstFrame && m_graphServer->isWindowed() && m_graphServer->m_vsync && frameTime < limitTime) {
            platform::sleepMs(std::uint32_t((limitTime - frameTime) * 1000.0f));
            frameTime = m_timer.getTime();
        }
        if (m_loadingThread && !checkLoadingThread() && !firstFrame && frameTime < kLoadingFrameTime)
            platform::sleepMs(std::uint32_t((kLoadingFrameTime - frameTime) * 1000.0f));
        firstFrame = false;
        m_timer.reset();

        if (m_inputServer)
            m_inputServer->update();
        aSound::globalEngine().Update();

        // Alt as Enter went down, not as the frame ends: a quick Alt+Enter
        // often lets Alt go before the frame is read. Two in one frame
        // cancel out.
        const int switches = m_inputServer ? m_inputServer->timesPressedWith(platform::DIK_RETURN,
                                                                             aInputServer::KeyPress::kAlt)
                                           : 0;
        try {
            if (switches > 0 && canSwitchFullscreen()) {
                if (switches % 2 != 0) {
                    m_graphServer->setFullscreen(!m_graphServer->m_fullscreen);
                    onDisplayModeChanged();
                }
            } else if (!m_paused) {
                result = update();
            }
            if (result == 0) {
                if (m_beforeRender)
                    m_beforeRender();
                result = render();
            }
        } catch (const aResultError& e) {
            // A fatal display error inside the frame: tell the player and
            // close; shutdown runs as usual.
            showError(e.code());
            result = -1;
        }
        if (result < 0) {
            if (m_window)
                platform::sendMessage(m_window, WM_CLOSE, 0, 0);
            else
                windowProc(nullptr, WM_CLOSE, 0, 0);
        } else if (canTakeScreenshot() && m_inputServer &&
                   m_inputServer->keyState(platform::DIK_SYSRQ) == KEY_PRESSED) {
            m_graphServer->saveScreenshot(m_fileServer.manglePath(m_screenshotFolder), "ScreenShot");
        }
    }

    m_running = false;
    return int(msg.wParam);
}

LRESULT aApplication::windowProc(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
        platform::postQuitMessage(0);
        return 0;

    case WM_SIZE:
        if (wParam != SIZE_MAXIMIZED)
            return 0;
        if (window)
            window->raise();
        if (m_graphServer && m_graphServer->isWindowed()) {
            m_graphServer->setFullscreen(true);
            onDisplayModeChanged();
        }
        return 0;

    case WM_PAINT:
        if (m_running && m_graphServer && m_graphServer->isWindowed())
            render();
        return 0;

    case WM_ACTIVATEAPP: {
        const bool active = wParam == 1;
        if (active != m_active) {
            m_active = active;
            if (active) {
                if (window)
                    window->raise();
                onActivate();
            } else {
                onDeactivate();
                if (m_graphServer)
                    render();
            }
        }
        return 0;
    }

    case WM_SETCURSOR: {
        if (!window)
            return 0;
        if (m_inputServer && !m_inputServer->m_useSystemCursor) {
            window->setCursor(0);
            return 1;
        }
        // Without a graphics server there is no game area: the cursor is
        // outside. Otherwise the window position maps back to the game area
        // the way the picture is presented (scaled, or letterboxed).
        bool inside = false;
        int x = 0, y = 0, cw = 0, ch = 0;
        platform::MouseSource& mouse = platform::mouse();
        if (m_graphServer && mouse.cursorPos(window, x, y)) {
            mouse.clientSize(window, cw, ch);
            if (cw > 0 && ch > 0) {
                const platform::PresentMapping pm = m_graphServer->windowMapping(cw, ch);
                const float lx = (float(x) - pm.offsetX) / pm.scaleX;
                const float ly = (float(y) - pm.offsetY) / pm.scaleY;
                inside = lx >= 0.0f && lx < float(m_graphServer->m_backBufferWidth) && ly >= 0.0f &&
                         ly < float(m_graphServer->m_backBufferHeight);
            }
        }
        if (m_active && inside) {
            window->setCursor(m_cursorAnim ? 0 : m_systemCursor);
            return 1;
        }
        window->setCursor(IDC_ARROW);
        return 0;
    }

    case WM_SYSCOMMAND:
        if (wParam == SC_KEYMENU)
            return 0;
        if ((wParam == SC_SCREENSAVE || wParam == SC_MONITORPOWER) && m_active)
            return 0;
        return 0;

    case WM_MOUSEMOVE:
        return 0;

    case WM_ENTERMENULOOP:
    case WM_ENTERSIZEMOVE:
        onDeactivate();
        if (m_graphServer)
            render();
        return 0;

    case WM_EXITMENULOOP:
    case WM_EXITSIZEMOVE:
        onActivate();
        return 0;

    default:
        return 0;
    }
}

void aApplication::setPause(bool paused)
{
    m_paused = paused;
    if (s_flashSetPause)
        s_flashSetPause(paused);
    aSound::globalEngine().SetGlobalPause(paused);
}

bool aApplication::setPriority(int priorityClass, int threadPriority)
{
    int nice = 0;
    switch (priorityClass) {
    case IDLE_PRIORITY_CLASS: nice = 19; break;
    case BELOW_NORMAL_PRIORITY_CLASS: nice = 10; break;
    case NORMAL_PRIORITY_CLASS: nice = 0; break;
    case ABOVE_NORMAL_PRIORITY_CLASS: nice = -5; break;
    case HIGH_PRIORITY_CLASS: nice = -10; break;
    case REALTIME_PRIORITY_CLASS: nice = -20; break;
    default:
        a_log("error in SetClassPriority()");
        return false;
    }
    if (setpriority(PRIO_PROCESS, id_t(getpid()), nice) != 0) {
        a_log("error in SetClassPriority()");
        return false;
    }
    int threadNice = nice - threadPriority;
    threadNice = threadNice < -20 ? -20 : (threadNice > 19 ? 19 : threadNice);
    if (setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), threadNice) != 0) {
        a_log("error in SetThreadPriority()");
        return false;
    }
    return true;
}

int aApplication::messageBox(const std::string& text, bool isError)
{
    const char* caption = isError ? "Error!" : "Warning!";
    bool minimised = false;
    if (m_graphServer && m_graphServer->m_fullscreen && m_window) {
        m_window->minimize();
        minimised = true;
    }
    bool shown = false;
    const int result = platform::showMessageBox(m_window, text, caption, isError, &shown);
    if (!shown)
        a_log("%s %s", caption, text.c_str());
    if (minimised)
        m_window->restore();
    return result;
}

const char* aApplication::errorText(std::int32_t code)
{
    switch (code) {
    case A2D_E_NODISPLAY:
        return "The game found no display to open its window on.\nRun it from a desktop session, or start it "
               "with scripts/play,\nwhich opens a virtual display of its own.";
    case A2D_E_NOOPENGL:
        return "The game could not get OpenGL 3.3 graphics for its window.\nInstall or update the graphics "
               "drivers\n(Mesa, or those of your graphics card).";
    case A2D_E_D3DINIT:
    case A2D_E_D3DDEVICE:
        return "The game could not start its graphics.\nCheck that the graphics drivers are installed and "
               "up to date.";
    case A2D_E_LOGFILE:
        return "Game error. Please reinstall.";
    case A2D_E_LOADMEDIA:
    case A2D_E_FILENOTFOUND:
        return "Could not load required media.";
    case A2D_E_DRIVERINTERNAL:
        return "A serious problem occurred with the display driver.\nPlease install latest drivers.";
    default:
        return "Unknown error. Please reinstall or contact user support.";
    }
}

void aApplication::showError(std::int32_t code) { messageBox(errorText(code), true); }

void aApplication::releaseInput()
{
    delete m_inputServer;  // its destructor clears the pointer
    m_inputServer = nullptr;
}

void aApplication::startLoadingThread(platform::ThreadRoutine routine, void* argument)
{
    if (m_loadingThread) {
        a_log("Error: thread for loading already created!");
        return;
    }
    m_loadingThread = std::make_unique<platform::LoadingThread>(routine, argument);
}

bool aApplication::checkLoadingThread()
{
    if (m_loadingThread && m_loadingThread->finished()) {
        const std::uint32_t exitCode = m_loadingThread->exitCode();
        m_loadingThread.reset();
        if (exitCode != 0) {
            showError(A2D_E_LOADMEDIA);
            if (m_window)
                platform::sendMessage(m_window, WM_CLOSE, 0, 0);
            else
                windowProc(nullptr, WM_CLOSE, 0, 0);
        }
    }
    return !m_loadingThread;
}
