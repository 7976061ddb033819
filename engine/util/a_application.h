#pragma once
// The application shell: one object per process with the window, the
// single-instance lock, the user folders, the log, the crash handler, the
// message loop with frame pacing, the pause state, the optional loading
// thread and the fatal-error messages. The game derives from it and
// overrides the per-frame and activation operations.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_result.h"
#include "engine/util/a_timer.h"
#include "platform/system/instance_lock.h"
#include "platform/system/loading_thread.h"
#include "platform/system/win_types.h"

class aGraphServer;
class aInputServer;
class aAnim;
namespace platform {
class Window;
}

// What the graphics server registers for its window.
struct aWindowClass {
    std::string className;
    std::uint16_t iconId = 0;
    std::uint32_t cursorId = IDC_ARROW;
};

class aApplication {
public:
    aApplication();
    virtual ~aApplication();
    aApplication(const aApplication&) = delete;
    aApplication& operator=(const aApplication&) = delete;

    // 0 started, 1 another instance runs (nothing else is set up then).
    virtual int init(const std::string& name, void* instance, const char* commandLine,
                     const std::string& company);
    virtual int shutdown();
    // The WM_QUIT exit code, or 1 when no graphics server exists.
    virtual int run();
    virtual void setPause(bool paused);
    virtual LRESULT windowProc(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
    virtual bool setPriority(int priorityClass, int threadPriority);
    virtual int messageBox(const std::string& text, bool isError);
    virtual void showError(std::int32_t code);
    virtual void releaseInput();
    virtual void startLoadingThread(platform::ThreadRoutine routine, void* argument);
    // True when no loading thread runs.
    virtual bool checkLoadingThread();
    virtual bool canSwitchFullscreen() { return true; }
    virtual bool canTakeScreenshot() { return true; }
    // Negative ends the program, 0 has render called, positive skips it.
    virtual int update() { return 0; }
    virtual int render() { return 0; }
    virtual void onDeactivate() { setPause(true); }
    virtual void onActivate() { setPause(false); }
    virtual void onDisplayModeChanged() {}

    // The text showError shows for a result code.
    static const char* errorText(std::int32_t code);

    // Gives the application its window (the graphics server makes it); the
    // application owns it and destroys it at shutdown.
    void adoptWindow(std::unique_ptr<platform::Window> window);

    HWND m_window = nullptr;
    void* m_instance = nullptr;
    aWindowClass m_windowClass;
    platform::InstanceLock m_instanceLock;
    std::string m_name = "Unnamed";
    const char* m_cmdLine = nullptr;
    bool m_active = true;
    // Read by the music worker thread as well.
    std::atomic<bool> m_paused{false};
    bool m_running = false;
    aFileServer m_fileServer;
    aTimer m_timer;
    aGraphServer* m_graphServer = nullptr;
    aInputServer* m_inputServer = nullptr;
    aAnim* m_cursorAnim = nullptr;
    std::uint32_t m_systemCursor = IDC_ARROW;
    std::unique_ptr<platform::LoadingThread> m_loadingThread;
    std::string m_appPath;
    std::string m_logFileName = "a2d.log";
    std::string m_userFolder;
    std::string m_savedGamesFolder;
    std::string m_allUsersFolder;
    std::string m_screenshotFolder;

    // Hooks for subsystems that join the loop later; null until set.
    static void (*s_flashSetPause)(bool paused);
    static void (*s_releaseDirectDraw)();
    // Runs in each frame of the loop once input is read and the frame is
    // updated, just before it is drawn (a replay chooses there which frames
    // reach the screen).
    std::function<void()> m_beforeRender;

    // Why the user folder could not be used ("" when it could).
    std::string m_userFolderError;

protected:
    void writeSystemConfiguration();

private:
    // False only when another copy holds the lock.
    bool takeInstanceLock(const std::string& appFolder);

    std::unique_ptr<platform::Window> m_windowObject;
    std::string m_lockPath;
};

// The application object, set by its constructor.
extern aApplication* g_application;
// The desktop work area, read once by init.
extern RECT g_desktopWorkArea;
