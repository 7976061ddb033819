#pragma once
// A top-level window with an OpenGL 3.3 core context. Drawing goes into an
// off-screen back buffer of a fixed size; present() shows it scaled to the
// window and keeps it as the last presented frame (readable later).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/system/events.h"
#include "platform/system/win_types.h"

namespace platform {

class PaceClock;

struct WindowDesc {
    std::string title;
    int x = 0;
    int y = 0;
    int width = 640;       // client size
    int height = 480;
    int backBufferWidth = 640;
    int backBufferHeight = 480;
    bool fullscreen = false;  // desktop full screen
    bool hidden = false;      // not shown until show()
};

struct DisplayMode {
    int width = 0;
    int height = 0;
    int refreshRate = 0;  // Hz, 0 when unknown
};

// What stopped a window from opening.
enum class VideoFailure {
    None,
    NoDisplay,  // no display to open a window on (none set, or it cannot be reached)
    NoOpenGL,   // no OpenGL 3.3 core context for the window
    Other,
};

// The window system's side of presenting, which a test may stand in for.
struct PresentHooks {
    std::function<void()> swap;  // shows the whole back buffer
    // Shows drawable pixels (x, y from the bottom left) alone, keeping the
    // back buffer; empty where not offered.
    std::function<void(int x, int y, int width, int height)> copy;
    // The drawable's size as the window system has it now; empty: SDL's.
    std::function<bool(int& width, int& height)> size;
    // Swaps since the back buffer's contents were shown; empty or 0: unknown.
    std::function<int()> bufferAge;
};

// Starts SDL's video subsystem (once); false with a reason when it cannot.
bool initVideo(std::string* error = nullptr, VideoFailure* failure = nullptr);
// Desktop mode of display 0; false when there is no display.
bool desktopMode(DisplayMode& out);
// Usable area of display 0 (without panels); the whole desktop when unknown.
RECT workArea();
// Border sizes a window would get around its client area (0 when unknown).
RECT frameInsets();
// True when a real display is available for message boxes and windows
// (not the offscreen or dummy video driver, and a display is set).
bool hasDisplay();

class Window {
public:
    // Creates the window and its GL context; null with a reason on failure.
    static std::unique_ptr<Window> create(const WindowDesc& desc, std::string* error = nullptr,
                                          VideoFailure* failure = nullptr);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    void setProc(WindowProc proc) { m_proc = std::move(proc); }
    const WindowProc& proc() const { return m_proc; }

    void setTitle(const std::string& title);
    std::string title() const;
    // Window icon from width x height ARGB pixels (top row first).
    void setIcon(int width, int height, const std::uint32_t* argb);
    void setFullscreen(bool fullscreen);
    bool isFullscreen() const { return m_fullscreen; }
    // Windowed placement: client area at (x, y) of size w x h.
    void setBounds(int x, int y, int w, int h);
    void clientSize(int& w, int& h) const;
    // Cursor position relative to the client area; false when unknown.
    bool cursorPos(int& x, int& y) const;
    void setCursorPos(int x, int y);
    bool hasFocus() const;
    // From the window events seen (also those a test pushes): minimised
    // until restored; focus lost until gained again (never before it was lost).
    bool isMinimized() const { return m_minimized; }
    bool isFocusLost() const { return m_focusLost; }
    // Client origin in desktop coordinates.
    void position(int& x, int& y) const;
    // Size of the client area in GL pixels (differs from clientSize on high-DPI displays).
    void drawableSize(int& w, int& h) const;
    void show();
    void minimize();
    void restore();
    void raise();
    // Cursor over the window: a system cursor id (IDC_*); 0 hides it, and
    // the image cursor shows instead while one is set and shown.
    void setCursor(std::uint32_t id);
    std::uint32_t cursor() const { return m_cursorId; }
    // Whether the window system can show images as the pointer (the
    // offscreen and dummy video drivers cannot).
    static bool imageCursorsOffered();
    // The image cursor: ARGB words in rows `pitch` bytes apart, the hot spot
    // inside, scaled as present() scales frames. False when it cannot be made.
    bool setImageCursor(const std::uint32_t* argb, int width, int height, std::size_t pitch, int hotX, int hotY);
    void showImageCursor(bool show);

    // GL back buffer. Its GL rows run bottom-up: back-buffer row y is GL row
    // height - 1 - y.
    void makeCurrent();
    bool resizeBackBuffer(int width, int height);
    int backBufferWidth() const { return m_bbWidth; }
    int backBufferHeight() const { return m_bbHeight; }
    // The back buffer's framebuffer, to draw into next. Where a present kept
    // the back buffer, its contents are put back first unless the caller
    // overwrites every pixel.
    std::uint32_t backBufferFramebuffer(bool overwritesAll = false);
    // Binds the back buffer as the draw target.
    void bindBackBuffer();
    void clear(std::uint32_t argb);
    // Presents are held to the display's refresh rate (60 Hz when it
    // reports none) with vsync or without, even where the driver's swap does
    // not wait: a frame the display cannot show is work wasted. With vsync,
    // presents swap until the swaps show that they do not wait for the
    // display, and keep swapping where they do. The rate is read again when
    // the window goes to another display.
    void setSwapInterval(bool vsync);
    // The real time that pacing reads and sleeps on (null: the steady clock).
    void setPaceClock(PaceClock* clock);
    // Shows the back buffer scaled to the client area (in full screen keeping
    // its aspect ratio, with black bars) with one copy, and keeps it as the
    // presented frame. Afterwards the back buffer holds the same frame when
    // keepBackBuffer, else the frame presented before. changed: the
    // back-buffer areas where the frame may differ from the one presented
    // last (null: anywhere); where the platform can show areas alone and
    // its swap does not wait for the display, only those go to the screen,
    // unless the window was exposed, resized or switched since the last
    // whole present. The client area is taken at the size the window
    // system has for it, which SDL may learn later; after a change, whole
    // frames are shown until the driver has taken the size.
    void present(bool keepBackBuffer = true, const std::vector<RECT>* changed = nullptr);
    // Whether present() can show changed areas alone here.
    bool presentsInPart() const;
    // Presents that showed changed areas alone.
    std::uint64_t partialPresents() const { return m_partialPresents; }
    // A frame with nothing new to show: nothing is presented, and the call
    // waits for the next vertical blank.
    void presentNothing();
    // True when the back buffer stands for the presented frame (a present
    // kept it and nothing drew since): the next present swaps nothing, and
    // the back target itself still holds the frame presented before.
    bool backHoldsPresented() const;
    // Where the frame is shown pixel for pixel, areas alone can be shown and
    // presents keep the back buffer, the window's own buffer becomes the back
    // buffer, which then always holds the presented frame: frames are drawn
    // over it, and presents copy from it without a copy between buffers.
    // Left as a change of the window's size, mode or display starts (before
    // anything draws at the new size), or at a present when that no longer
    // holds; the window then counts as exposed.
    bool drawsInPlace() const;
    // Counts what makes the window's picture need drawing whole again:
    // shown, exposed, resized, restored, put to or from full screen, the
    // back buffer resized.
    std::uint32_t exposures() const { return m_exposures; }
    // How the frame shown last was placed (before any: how present() would
    // place it): client = offset + back-buffer pixel * scale.
    void presentMapping(float& scaleX, float& scaleY, float& offsetX, float& offsetY) const;
    // Last presented frame, top row first, 4 bytes per pixel B, G, R, A.
    bool readPresented(std::vector<std::uint8_t>& bgra, int& width, int& height);
    // The last presented frame scaled to width x height as present() scales it.
    bool readPresentedScaled(int width, int height, std::vector<std::uint8_t>& bgra);
    // Current back buffer, same layout.
    bool readBackBuffer(std::vector<std::uint8_t>& bgra, int& width, int& height);
    // A rectangle of the back buffer (top-left origin), same layout; false
    // when it is not inside the back buffer.
    bool readBackBuffer(const RECT& rect, std::vector<std::uint8_t>& bgra);
    // True once the driver reports that the GL context was reset (only
    // where the context could be made with reset notification).
    bool contextWasReset();

    std::uint32_t sdlId() const { return m_sdlId; }

    // Presents through stand-ins for the window system (for tests); the
    // window then counts as shown on a screen.
    void setPresentHooks(PresentHooks hooks);

private:
    Window() = default;
    void applyCursor();
    // The window's size, mode or display starts to change.
    void changing();
    void leaveInPlace();
    // Leaves the window's buffer now where a change on another thread could not.
    void leaveIfPending();
    // Moved: maybe to another display.
    void moved();
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    WindowProc m_proc;
    bool m_fullscreen = false;
    std::uint32_t m_cursorId = IDC_ARROW;
    std::uint32_t m_sdlId = 0;
    bool m_minimized = false;
    bool m_focusLost = false;
    int m_bbWidth = 0;
    int m_bbHeight = 0;
    std::uint32_t m_exposures = 0;
    std::uint64_t m_partialPresents = 0;
    friend struct WindowAccess;
};

// Every live window, oldest first (the first is the main window).
const std::vector<Window*>& windows();

// Queues a window-system event for the window as if the user had caused it
// (for tests that drive the real event path). False when SDL refuses it.
// SizeChanged: the window system resized the window (to the size SDL has).
enum class WindowStateEvent { Minimized, Restored, FocusLost, FocusGained, SizeChanged };
bool injectWindowEvent(Window* window, WindowStateEvent event);

} // namespace platform
