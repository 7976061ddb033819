#pragma once
// The graphics server: the game window, the device and everything per
// device (present parameters, mode choice, the frame, the blend and filter
// cache, the font registry, the frame-rate counter and limit, screenshots).
// One per process; the application keeps a pointer to it and every drawing
// class reaches the device through that pointer. Main thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "engine/util/a_rect.h"
#include "engine/util/a_timer.h"
#include "platform/gfx/d3d8.h"
#include "platform/gfx/d3dx8.h"
#include "platform/system/win_types.h"

class aAnim;
class aImage;

class aGraphServer {
public:
    // Where the server gets its Direct3D and DirectDraw objects; tests
    // install the recording double. Null restores the real ones.
    using Direct3DFactory = std::function<platform::GfxDirect3D*()>;
    using DirectDrawFactory = std::function<HRESULT(platform::GfxDirectDraw**)>;
    static void setDirect3DFactory(Direct3DFactory factory);
    static void setDirectDrawFactory(DirectDrawFactory factory);

    // Creates the window and the device (title null: the application's
    // name; icon 0: none). Throws aResultError: 0x8A760001 when there is no
    // Direct3D, 0x8A760003 (or the driver's internal-error code) when the
    // device cannot be made; everything made is released first and the
    // application's pointer is left null.
    aGraphServer(std::uint16_t width, std::uint16_t height, bool fullscreen, bool use32Bit, const char* title,
                 std::uint16_t iconId, bool vsync, bool multithreaded);
    ~aGraphServer();
    aGraphServer(const aGraphServer&) = delete;
    aGraphServer& operator=(const aGraphServer&) = delete;

    // False when no frame may be drawn now (a scene is open, the device is
    // lost or was just reset). Throws aResultError on an internal driver error.
    bool beginScene();
    // Ends the frame, presents it, counts it and holds the frame-rate limit.
    void endScene();

    // Clips drawing to rect (kept in m_viewport); never remaps coordinates.
    void setViewport(const aRect& rect);
    // Channels 0..1, stored as 0..255 in m_drawColor (clamped).
    void setColor(float r, float g, float b, float a);
    // Low nibble: 0 alpha blending, 1 additive; bits 0xF00: stage-0 colour
    // operation. Cached: the current mode costs no device call.
    void setBlendMode(int mode);
    void setTextureFilter(bool linear);

    // Named D3DX fonts made into the owner's pointer variable *target and
    // made again there after every reset. The target must outlive the record.
    void createFont(const std::string& name, const LOGFONTA& font, platform::GfxFont** target);
    void deleteFont(const std::string& name);
    void releaseFonts();
    void createSpriteAndFonts();

    void setVideoMode(bool fullscreen, bool use32Bit, bool vsync);
    void setFullscreen(bool fullscreen);
    // Writes what the window shows to the first free "<folder>/<prefix>NNN.bmp".
    void saveScreenshot(const std::string& folder, const std::string& prefix);
    // Resets the device after a loss or a mode change.
    void reset();
    // Deletes the background image, releases fonts, sprite, device and Direct3D.
    void release();
    void fillPresentParameters();
    // Windowed placement for a client area of width x height: scaled down
    // to fit the work area (client size kept in m_clientWidth/Height, at
    // least 1 x 1) and centred in it. Right and bottom are inclusive.
    RECT calcWindowRect(std::uint16_t width, std::uint16_t height);

    // Total video memory in MB, 0 when unknown; the process-wide DirectDraw
    // object is made on first use and released at application shutdown.
    static std::uint32_t getVideoMemoryMB();
    static void releaseDirectDraw();

    void logDisplayMode(const char* label, const D3DDISPLAYMODE& mode) const;
    void logCaps(const D3DCAPS8& caps) const;

    // How a client area of clientWidth x clientHeight shows the back buffer:
    // client = offset + back-buffer pixel * scale (stretched when windowed,
    // letterboxed in full screen).
    platform::PresentMapping windowMapping(int clientWidth, int clientHeight) const;

    bool isWindowed() const { return !m_fullscreen; }

    // Public settings.
    std::int16_t m_fpsX = 0;
    std::int16_t m_fpsY = 0;
    std::int16_t m_frameRateLimit = 0;  // 0 or less: none
    bool m_showFps = false;

    bool m_inScene = false;
    HWND m_window = nullptr;
    platform::GfxDirect3D* m_d3d = nullptr;
    platform::GfxDevice* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_presentParams;
    D3DDISPLAYMODE m_desktopMode;
    int m_blendMode = 0;
    platform::GfxSprite* m_sprite = nullptr;
    platform::GfxFont* m_systemFont = nullptr;
    std::uint32_t m_clearColor = 0xFF000000;  // 0: no clear
    std::uint32_t m_desktopRefreshRate = 0;

    struct FontRecord {
        LOGFONTA font;
        platform::GfxFont** target = nullptr;
    };
    std::map<std::string, FontRecord> m_fonts;

    aImage* m_backgroundImage = nullptr;  // owned; drawn at (0, 0) each frame
    aRect m_viewport;
    std::uint16_t m_backBufferWidth = 0;
    std::uint16_t m_backBufferHeight = 0;
    std::uint16_t m_clientWidth = 0;
    std::uint16_t m_clientHeight = 0;
    bool m_fullscreen = false;
    bool m_use32Bit = true;
    bool m_vsync = true;
    bool m_flushEachFrame = false;
    // Frames the same as the one on screen are neither drawn nor presented,
    // changed ones are drawn only where they changed (the pixels are those
    // of a whole redraw); read at the start of every frame. The device draws
    // every frame whole when A2D_WHOLE_FRAMES is set (for comparison).
    bool m_skipUnchangedFrames = true;
    bool m_texturesLost = false;
    bool m_linearFilter = true;
    std::int32_t m_mode16Index = -1;
    std::int32_t m_mode32Index = -1;
    // Alpha, red, green, blue, each 0..255; white at both ends of a frame.
    std::int32_t m_drawColor[4] = {255, 255, 255, 255};
    aTimer m_frameTimer;
    float m_fps = 0.0f;
    float m_fpsSum = 0.0f;
    std::int32_t m_fpsSamples = 0;

    // The frame counter's state.
    bool m_firstFrame = true;
    float m_prevFrameTime = 0.0f;
    float m_periodTime = 0.0f;
    std::int32_t m_periodFrames = 0;
    float m_lastFpsUpdate = 0.0f;

    // Where the device shows images as the pointer, the image cursor is
    // shown that way, so a frame where only the pointer moved draws nothing:
    // the pixels last handed over, and whether the device shows them.
    std::uint32_t m_cursorCaps = 0;
    std::vector<std::uint32_t> m_deviceCursor;
    std::vector<std::uint32_t> m_cursorScratch;
    aRect m_deviceCursorRect;
    int m_deviceCursorHotX = -1;
    int m_deviceCursorHotY = -1;
    bool m_deviceCursorShown = false;

    // The frame-rate limit's busy wait in milliseconds; null: the frame
    // timer's wait. Tests install their own.
    std::function<void(std::uint32_t)> m_limitWait;

private:
    void construct(const char* title, std::uint16_t iconId, bool multithreaded);
    void createWindow(const char* title, std::uint16_t iconId);
    void chooseModes();
    // True when the image cursor was drawn (or shown by the device).
    bool drawCursor();
    // Hands the cursor's current frame to the device to show as the pointer,
    // where it offers that; false when it must be drawn into the frame.
    bool putCursorOnDevice(const aAnim& anim, int hotX, int hotY);
    void showDeviceCursor(bool show);
    void advanceCursor(float seconds);
    void readDesktopRefreshRate();
};
