#include "platform/system/window.h"

#include <SDL.h>
#include <epoxy/gl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <strings.h>

#include "platform/system/clock.h"
#include "platform/system/frame_pacer.h"
#include "platform/system/sub_copy.h"

namespace platform {

namespace {

std::vector<Window*>& registry()
{
    static std::vector<Window*> all;
    return all;
}

constexpr const char* kNoDisplay = "no display: set DISPLAY, or run scripts/play, which starts a virtual one";

void setError(std::string* error, const std::string& why)
{
    if (error)
        *error = why;
}

void setFailure(VideoFailure* failure, VideoFailure kind)
{
    if (failure)
        *failure = kind;
}

// Only the first entry counts: SDL takes the first driver of a list that works.
bool isHeadlessDriver(const char* name)
{
    if (!name)
        return false;
    std::string first(name, std::strcspn(name, ","));
    return strcasecmp(first.c_str(), "offscreen") == 0 || strcasecmp(first.c_str(), "dummy") == 0;
}

bool envSet(const char* name)
{
    const char* v = std::getenv(name);
    return v && *v;
}

SDL_SystemCursor systemCursorFor(std::uint32_t id)
{
    switch (id) {
    case IDC_IBEAM: return SDL_SYSTEM_CURSOR_IBEAM;
    case IDC_WAIT: return SDL_SYSTEM_CURSOR_WAIT;
    case IDC_CROSS: return SDL_SYSTEM_CURSOR_CROSSHAIR;
    case IDC_SIZENWSE: return SDL_SYSTEM_CURSOR_SIZENWSE;
    case IDC_SIZENESW: return SDL_SYSTEM_CURSOR_SIZENESW;
    case IDC_SIZEWE: return SDL_SYSTEM_CURSOR_SIZEWE;
    case IDC_SIZENS: return SDL_SYSTEM_CURSOR_SIZENS;
    case IDC_SIZEALL: return SDL_SYSTEM_CURSOR_SIZEALL;
    case IDC_NO: return SDL_SYSTEM_CURSOR_NO;
    case IDC_HAND: return SDL_SYSTEM_CURSOR_HAND;
    case IDC_APPSTARTING: return SDL_SYSTEM_CURSOR_WAITARROW;
    default: return SDL_SYSTEM_CURSOR_ARROW;
    }
}

// System cursors live for the whole process; a driver without cursors yields null once.
SDL_Cursor* cachedCursor(SDL_SystemCursor which)
{
    static std::array<SDL_Cursor*, SDL_NUM_SYSTEM_CURSORS> cursors{};
    static std::array<bool, SDL_NUM_SYSTEM_CURSORS> tried{};
    if (!tried[which]) {
        tried[which] = true;
        cursors[which] = SDL_CreateSystemCursor(which);
    }
    return cursors[which];
}

// Saves and restores the GL state that the window's own copies and clears
// touch, so the graphics device above never sees it change.
class StateGuard {
public:
    StateGuard()
    {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &m_draw);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &m_read);
        m_scissor = glIsEnabled(GL_SCISSOR_TEST);
        glGetIntegerv(GL_SCISSOR_BOX, m_box);
        glGetBooleanv(GL_COLOR_WRITEMASK, m_mask);
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &m_pack);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    }
    ~StateGuard()
    {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(m_draw));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(m_read));
        if (m_scissor)
            glEnable(GL_SCISSOR_TEST);
        else
            glDisable(GL_SCISSOR_TEST);
        glScissor(m_box[0], m_box[1], m_box[2], m_box[3]);
        glColorMask(m_mask[0], m_mask[1], m_mask[2], m_mask[3]);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(m_pack));
    }
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;

private:
    GLint m_draw = 0;
    GLint m_read = 0;
    GLint m_pack = 0;
    GLboolean m_scissor = GL_FALSE;
    GLint m_box[4] = {0, 0, 0, 0};
    GLboolean m_mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
};

struct Target {
    GLuint fbo = 0;
    GLuint rb = 0;

    bool allocate(int w, int h)
    {
        if (!rb)
            glGenRenderbuffers(1, &rb);
        if (!fbo)
            glGenFramebuffers(1, &fbo);
        while (glGetError() != GL_NO_ERROR) {
        }
        glBindRenderbuffer(GL_RENDERBUFFER, rb);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glBindRenderbuffer(GL_RENDERBUFFER, 0);
        if (glGetError() != GL_NO_ERROR)
            return false;
        glBindFramebuffer(GL_FRAMEBUFFER, fbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, rb);
        return glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }

    void release()
    {
        if (fbo)
            glDeleteFramebuffers(1, &fbo);
        if (rb)
            glDeleteRenderbuffers(1, &rb);
        fbo = rb = 0;
    }
};

void clearTarget(GLuint fbo, float r, float g, float b, float a)
{
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, fbo);
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
}

// Where the back buffer lands in a target of w x h (GL pixels, bottom-up rows).
struct Placement {
    int x0, y0, x1, y1;
};

Placement placeFrame(int bbw, int bbh, int w, int h, bool keepAspect)
{
    if (!keepAspect)
        return Placement{0, 0, w, h};
    const double s = std::min(double(w) / bbw, double(h) / bbh);
    const int pw = int(std::lround(bbw * s)), ph = int(std::lround(bbh * s));
    const int x0 = (w - pw) / 2, y0 = (h - ph) / 2;
    return Placement{x0, y0, x0 + pw, y0 + ph};
}

// Drawable pixels (GL rows, bottom-up) that show back-buffer rectangle r
// (top-left origin) of a w x h back buffer placed at p, with a margin for
// linear filtering when scaled; empty when none.
CopyBox screenBox(const RECT& r, const Placement& p, int w, int h)
{
    const double sx = double(p.x1 - p.x0) / w, sy = double(p.y1 - p.y0) / h;
    const bool exact = p.x1 - p.x0 == w && p.y1 - p.y0 == h;
    // A scaled pixel blends the texels within a scaled texel of it.
    const int margin = exact ? 0 : int(std::ceil(std::max(sx, sy))) + 1;
    CopyBox b{p.x0 + int(std::floor(r.left * sx)) - margin, p.y0 + int(std::floor((h - r.bottom) * sy)) - margin,
          p.x0 + int(std::ceil(r.right * sx)) + margin, p.y0 + int(std::ceil((h - r.top) * sy)) + margin};
    b.x0 = std::max(b.x0, p.x0);
    b.y0 = std::max(b.y0, p.y0);
    b.x1 = std::min(b.x1, p.x1);
    b.y1 = std::min(b.y1, p.y1);
    if (b.x1 <= b.x0 || b.y1 <= b.y0)
        b = CopyBox{};
    return b;
}

GLint resetStrategyQuery()
{
    if (epoxy_gl_version() < 45 && !epoxy_has_gl_extension("GL_KHR_robustness") &&
        !epoxy_has_gl_extension("GL_ARB_robustness"))
        return 0;
    GLint strategy = 0;
    glGetIntegerv(GL_RESET_NOTIFICATION_STRATEGY, &strategy);
    while (glGetError() != GL_NO_ERROR) {
    }
    return strategy;
}

} // namespace

// Keeps each window's minimised and focus state from its events. A watch
// sees events as they are queued, pushed ones included.
struct WindowAccess {
    static int watch(void*, SDL_Event* e)
    {
        if (e->type != SDL_WINDOWEVENT)
            return 0;
        for (Window* w : windows()) {
            if (w->m_sdlId != e->window.windowID)
                continue;
            switch (e->window.event) {
            case SDL_WINDOWEVENT_MINIMIZED: w->m_minimized = true; break;
            case SDL_WINDOWEVENT_RESTORED:
            case SDL_WINDOWEVENT_MAXIMIZED: w->m_minimized = false; break;
            case SDL_WINDOWEVENT_FOCUS_LOST: w->m_focusLost = true; break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: w->m_focusLost = false; break;
            default: break;
            }
            switch (e->window.event) {
            case SDL_WINDOWEVENT_SHOWN:
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_RESIZED:
            case SDL_WINDOWEVENT_SIZE_CHANGED:
            case SDL_WINDOWEVENT_MAXIMIZED:
            case SDL_WINDOWEVENT_RESTORED: ++w->m_exposures; break;
            default: break;
            }
            switch (e->window.event) {
            case SDL_WINDOWEVENT_SIZE_CHANGED:
            case SDL_WINDOWEVENT_RESIZED: w->changing(); break;
            case SDL_WINDOWEVENT_DISPLAY_CHANGED:
                w->changing();
                w->moved();
                break;
            case SDL_WINDOWEVENT_MOVED: w->moved(); break;
            default: break;
            }
        }
        return 0;
    }
};

struct Window::Impl {
    SDL_Window* window = nullptr;
    SDL_GLContext context = nullptr;
    // present() trades the two targets instead of copying one into the other.
    Target back;       // what the device draws into
    Target presented;  // the last frame present() showed
    // The back buffer's contents are the presented frame's, not yet copied
    // back: reads take the presented frame, the next draw copies it first.
    bool backIsPresented = false;
    bool resetNotification = false;
    bool wasReset = false;
    // No more frames than the display refreshes, whatever the swap interval
    // and whether the swap waits or not (it never does without a screen).
    FramePacer pacer;
    // A window of a driver without a screen: nobody sees its framebuffer
    // (every read takes the presented target), so present() leaves it be.
    bool unseen = false;
    // Presenting: how, and what the screen shows. A swap leaves the
    // window's back buffer undefined (or, where its age is known, as it was
    // some swaps ago); a copy in part leaves it whole.
    PresentHooks sys;
    bool windowBackWhole = false;
    bool vsync = false;
    // What each of the last presents by swap showed anew, newest first.
    struct Swapped {
        bool whole = true;
        std::vector<CopyBox> areas;
    };
    std::deque<Swapped> swapped;
    static constexpr std::size_t kSwapsKept = 4;
    // The drawable's size as the window system gave it at the last
    // present, and whether the driver has taken that size: it reads the
    // size only after a swap, so a swap must come after a change, and the
    // size hold through it.
    int sysWidth = 0;
    int sysHeight = 0;
    bool sizeTaken = false;
    // A change began while another thread had the context: the window's
    // buffer is left before anything draws into it.
    bool leavePending = false;
    // The display the refresh rate was read for; the window moved since.
    int display = -1;
    bool displayMoved = false;
    // Where the frame shown last was placed: the client size then (as the
    // window system had it) and whether it was letterboxed.
    bool placed = false;
    int placedWidth = 0;
    int placedHeight = 0;
    bool placedFullscreen = false;
    // The window's own back buffer is the back buffer: drawn into and read
    // straight, shown by copies from it (never a swap, which would lose it),
    // so a frame that changed a few areas costs no copy between buffers.
    // Only where it is shown pixel for pixel and presents keep the back
    // buffer.
    bool inPlace = false;
    // The window as it was when last presented whole: exposures and
    // drawable size; a change means the screen needs the whole frame.
    std::uint32_t wholeExposures = 0;
    int wholeWidth = 0;
    int wholeHeight = 0;
    bool shownWhole = false;

    // The image cursor as given, and the SDL cursors made from it and from
    // images shown before (an animated cursor's frames are made once each),
    // at the scale frames were shown at.
    struct MadeCursor {
        std::vector<std::uint32_t> pixels;
        int width = 0, height = 0, hotX = 0, hotY = 0;
        float scaleX = 1.0f, scaleY = 1.0f;
        SDL_Cursor* cursor = nullptr;
    };
    std::vector<MadeCursor> cursors;  // the image cursor last
    bool imageCursorSet = false;
    bool imageCursorShown = false;

    ~Impl()
    {
        for (MadeCursor& c : cursors)
            SDL_FreeCursor(c.cursor);
    }

    // Makes (or finds) the SDL cursor for the image at the scale and puts it last.
    bool makeCursor(std::vector<std::uint32_t> pixels, int w, int h, int hotX, int hotY, float sx, float sy)
    {
        for (std::size_t i = 0; i < cursors.size(); ++i) {
            MadeCursor& c = cursors[i];
            if (c.width == w && c.height == h && c.hotX == hotX && c.hotY == hotY && c.scaleX == sx &&
                c.scaleY == sy && c.pixels == pixels) {
                std::rotate(cursors.begin() + std::ptrdiff_t(i), cursors.begin() + std::ptrdiff_t(i) + 1,
                            cursors.end());
                return true;
            }
        }
        MadeCursor made;
        made.width = w, made.height = h, made.hotX = hotX, made.hotY = hotY, made.scaleX = sx, made.scaleY = sy;
        const int shownWidth = std::max(1, int(std::lround(float(w) * sx)));
        const int shownHeight = std::max(1, int(std::lround(float(h) * sy)));
        const int shownHotX = std::min(shownWidth - 1, int(float(hotX) * sx));
        const int shownHotY = std::min(shownHeight - 1, int(float(hotY) * sy));
        SDL_Surface* image =
            SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), w, h, 32, w * 4, SDL_PIXELFORMAT_ARGB8888);
        if (!image)
            return false;
        SDL_Surface* shown = image;
        if (shownWidth != w || shownHeight != h) {
            shown = SDL_CreateRGBSurfaceWithFormat(0, shownWidth, shownHeight, 32, SDL_PIXELFORMAT_ARGB8888);
            if (shown && SDL_SoftStretchLinear(image, nullptr, shown, nullptr) != 0) {
                SDL_FreeSurface(shown);
                shown = nullptr;
            }
        }
        if (shown)
            made.cursor = SDL_CreateColorCursor(shown, shownHotX, shownHotY);
        if (shown != image)
            SDL_FreeSurface(shown);
        SDL_FreeSurface(image);
        if (!made.cursor)
            return false;
        made.pixels = std::move(pixels);
        // A few frames' worth; the cursor in use is last and never the one let go.
        constexpr std::size_t kKept = 16;
        if (cursors.size() >= kKept) {
            SDL_FreeCursor(cursors.front().cursor);
            cursors.erase(cursors.begin());
        }
        cursors.push_back(std::move(made));
        return true;
    }

    // Under a test's clock the run keeps the test's time, not the wall's:
    // a stepped replay would otherwise be held to 60 frames a second.
    static bool paced() { return platform::systemClockInUse(); }

    void readRefreshRate()
    {
        SDL_DisplayMode mode{};
        display = SDL_GetWindowDisplayIndex(window);
        pacer.setRefreshRate(display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0);
    }

    // On another display: its rate, and whether its swaps wait, anew.
    void followDisplay()
    {
        if (!displayMoved)
            return;
        displayMoved = false;
        if (SDL_GetWindowDisplayIndex(window) == display)
            return;
        readRefreshRate();
        pacer.restart();
    }

    // Areas may be copied to the screen alone only where the swap would not
    // wait for the display anyway: a copy does not.
    bool copiesShow() const
    {
        return sys.copy && (!vsync || pacer.swapWaits() == FramePacer::SwapWaits::No);
    }

    void sizeNow(int& w, int& h) const
    {
        if (!sys.size || !sys.size(w, h))
            SDL_GL_GetDrawableSize(window, &w, &h);
    }

    // Where a swap need only bring the window's back buffer the areas that
    // changed since the frame it holds, those areas (with `changed`, this
    // frame's); false where that frame is not known.
    bool sinceBackBuffer(const std::vector<CopyBox>& changed, std::vector<CopyBox>& out) const
    {
        // Counted in swaps: only the last `age` presents must all have been swaps.
        const int age = sys.bufferAge ? sys.bufferAge() : 0;
        if (age < 1 || std::size_t(age) > swapped.size())
            return false;
        out = changed;
        for (std::size_t i = 0; i + 1 < std::size_t(age); ++i) {
            if (swapped[i].whole)
                return false;
            out.insert(out.end(), swapped[i].areas.begin(), swapped[i].areas.end());
        }
        return true;
    }

    void noteSwap(bool whole, std::vector<CopyBox> areas)
    {
        swapped.push_front(Swapped{whole, std::move(areas)});
        if (swapped.size() > kSwapsKept)
            swapped.pop_back();
    }

    GLuint backForReading() const { return inPlace ? 0 : backIsPresented ? presented.fbo : back.fbo; }
    GLuint presentedForReading() const { return inPlace ? 0 : presented.fbo; }

    GLuint backForDrawing(bool overwritesAll, int w, int h)
    {
        if (inPlace)
            return 0;
        if (backIsPresented && !overwritesAll) {
            ensureCurrent();
            StateGuard guard;
            glBindFramebuffer(GL_READ_FRAMEBUFFER, presented.fbo);
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, back.fbo);
            glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        }
        backIsPresented = false;
        return back.fbo;
    }

    void ensureCurrent()
    {
        if (SDL_GL_GetCurrentContext() != context || SDL_GL_GetCurrentWindow() != window)
            SDL_GL_MakeCurrent(window, context);
    }

    // Reads the rectangle (x, y, w, h), top-left origin, of a target whose
    // height is fullHeight.
    bool read(GLuint fbo, int fullHeight, int x, int y, int w, int h, std::vector<std::uint8_t>& bgra)
    {
        ensureCurrent();
        StateGuard guard;
        std::vector<std::uint8_t> raw(static_cast<std::size_t>(w) * h * 4);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_SKIP_ROWS, 0);
        glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
        while (glGetError() != GL_NO_ERROR) {
        }
        glReadPixels(x, fullHeight - y - h, w, h, GL_BGRA, GL_UNSIGNED_BYTE, raw.data());
        if (glGetError() != GL_NO_ERROR)
            return false;
        // GL rows run bottom-up.
        const std::size_t row = static_cast<std::size_t>(w) * 4;
        bgra.resize(raw.size());
        for (int r = 0; r < h; ++r)
            std::memcpy(bgra.data() + row * r, raw.data() + row * (h - 1 - r), row);
        return true;
    }
};

bool initVideo(std::string* error, VideoFailure* failure)
{
    setFailure(failure, VideoFailure::None);
    if (SDL_WasInit(SDL_INIT_VIDEO))
        return true;
    // Probing every driver again would only repeat their complaints.
    static std::string noDisplay;
    if (!noDisplay.empty()) {
        setError(error, noDisplay);
        setFailure(failure, VideoFailure::NoDisplay);
        return false;
    }
    // A closed window is told as such (SDL_WINDOWEVENT_CLOSE), never also
    // as a quit request, which the program could not refuse.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        // A display set that cannot be reached is as good as none.
        const std::string why = std::string("SDL video: ") + SDL_GetError();
        setFailure(failure, VideoFailure::NoDisplay);
        if (envSet("DISPLAY") || envSet("WAYLAND_DISPLAY")) {
            setError(error, why);
            return false;
        }
        noDisplay = std::string(kNoDisplay) + " (" + why + ")";
        setError(error, noDisplay);
        return false;
    }
    // SDL falls back to a driver without a screen when no display answers;
    // a game nobody can see is only wanted when asked for.
    if (isHeadlessDriver(SDL_GetCurrentVideoDriver()) && !isHeadlessDriver(SDL_GetHint(SDL_HINT_VIDEODRIVER))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        noDisplay = kNoDisplay;
        setError(error, noDisplay);
        setFailure(failure, VideoFailure::NoDisplay);
        return false;
    }
    return true;
}

bool desktopMode(DisplayMode& out)
{
    if (!initVideo())
        return false;
    SDL_DisplayMode mode{};
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return false;
    out.width = mode.w;
    out.height = mode.h;
    out.refreshRate = mode.refresh_rate;
    return true;
}

RECT workArea()
{
    SDL_Rect r{};
    if (initVideo() && (SDL_GetDisplayUsableBounds(0, &r) == 0 || SDL_GetDisplayBounds(0, &r) == 0) && r.w > 0 &&
        r.h > 0)
        return RECT{r.x, r.y, r.x + r.w, r.y + r.h};
    return RECT{0, 0, 1024, 768};
}

RECT frameInsets()
{
    // SDL only knows border sizes of a window that exists.
    RECT insets;
    for (Window* w : windows()) {
        if (w->isFullscreen())
            continue;
        SDL_Window* sw = SDL_GetWindowFromID(w->sdlId());
        int top = 0, left = 0, bottom = 0, right = 0;
        if (sw && SDL_GetWindowBordersSize(sw, &top, &left, &bottom, &right) == 0)
            insets = RECT{left, top, right, bottom};
        break;
    }
    return insets;
}

bool hasDisplay()
{
    if (isHeadlessDriver(std::getenv("SDL_VIDEODRIVER")))
        return false;
    if (SDL_WasInit(SDL_INIT_VIDEO) && isHeadlessDriver(SDL_GetCurrentVideoDriver()))
        return false;
    return envSet("DISPLAY") || envSet("WAYLAND_DISPLAY");
}

const std::vector<Window*>& windows() { return registry(); }

bool injectWindowEvent(Window* window, WindowStateEvent event)
{
    if (!window || !SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = window->sdlId();
    switch (event) {
    case WindowStateEvent::Minimized: e.window.event = SDL_WINDOWEVENT_MINIMIZED; break;
    case WindowStateEvent::Restored: e.window.event = SDL_WINDOWEVENT_RESTORED; break;
    case WindowStateEvent::FocusLost: e.window.event = SDL_WINDOWEVENT_FOCUS_LOST; break;
    case WindowStateEvent::FocusGained: e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED; break;
    case WindowStateEvent::SizeChanged:
        e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
        window->clientSize(e.window.data1, e.window.data2);
        break;
    }
    return SDL_PushEvent(&e) == 1;
}

std::unique_ptr<Window> Window::create(const WindowDesc& desc, std::string* error, VideoFailure* failure)
{
    setFailure(failure, VideoFailure::Other);
    if (desc.width <= 0 || desc.height <= 0 || desc.backBufferWidth <= 0 || desc.backBufferHeight <= 0) {
        setError(error, "window: bad size");
        return nullptr;
    }
    if (!initVideo(error, failure))
        return nullptr;
    setFailure(failure, VideoFailure::Other);

    // SDL unloads the GL driver with its last window; keeping it loaded
    // makes later windows cheaper and keeps the driver's allocations owned.
    static bool glLoaded = false;
    if (!glLoaded) {
        if (SDL_GL_LoadLibrary(nullptr) != 0) {
            setError(error, std::string("OpenGL library: ") + SDL_GetError());
            setFailure(failure, VideoFailure::NoOpenGL);
            return nullptr;
        }
        glLoaded = true;
    }

    // Exactly one watch, also after SDL's event loop was restarted.
    SDL_DelEventWatch(&WindowAccess::watch, nullptr);
    SDL_AddEventWatch(&WindowAccess::watch, nullptr);

    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);

    std::unique_ptr<Window> w(new Window());
    w->m_impl = std::make_unique<Impl>();
    Impl& impl = *w->m_impl;

    Uint32 flags = SDL_WINDOW_OPENGL;
    if (desc.fullscreen)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    if (desc.hidden)
        flags |= SDL_WINDOW_HIDDEN;
    impl.window = SDL_CreateWindow(desc.title.c_str(), desc.x, desc.y, desc.width, desc.height, flags);
    if (!impl.window) {
        setError(error, std::string("SDL window: ") + SDL_GetError());
        return nullptr;
    }
    w->m_fullscreen = desc.fullscreen;
    w->m_sdlId = SDL_GetWindowID(impl.window);
    impl.unseen = isHeadlessDriver(SDL_GetCurrentVideoDriver());

    // A context that reports driver resets, where the driver offers one.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_LOSE_CONTEXT);
    impl.context = SDL_GL_CreateContext(impl.window);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, 0);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_RESET_NOTIFICATION, SDL_GL_CONTEXT_RESET_NO_NOTIFICATION);
    if (!impl.context)
        impl.context = SDL_GL_CreateContext(impl.window);
    if (!impl.context) {
        setError(error, std::string("OpenGL 3.3 context: ") + SDL_GetError());
        setFailure(failure, VideoFailure::NoOpenGL);
        return nullptr;
    }
    SDL_GL_MakeCurrent(impl.window, impl.context);
    if (epoxy_gl_version() < 33) {
        setError(error, "OpenGL 3.3 is not available");
        setFailure(failure, VideoFailure::NoOpenGL);
        return nullptr;
    }
    glDisable(GL_DITHER);
    impl.resetNotification = resetStrategyQuery() == GL_LOSE_CONTEXT_ON_RESET;
    SDL_Window* const sdlWindow = impl.window;
    impl.sys.swap = [sdlWindow] { SDL_GL_SwapWindow(sdlWindow); };
    if (!impl.unseen) {
        const char* driver = SDL_GetCurrentVideoDriver();
        if (const SubCopy copy = findSubCopy(driver))
            impl.sys.copy = copy;
        if (const DrawableSize size = findDrawableSize(driver))
            impl.sys.size = size;
        if (const BufferAge age = findBufferAge(driver))
            impl.sys.bufferAge = age;
    }
    if (!w->resizeBackBuffer(desc.backBufferWidth, desc.backBufferHeight)) {
        setError(error, "window: cannot make the back buffer");
        return nullptr;
    }
    registry().push_back(w.get());
    setFailure(failure, VideoFailure::None);
    return w;
}

Window::~Window()
{
    auto& all = registry();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    if (!m_impl)
        return;
    if (m_impl->context) {
        m_impl->ensureCurrent();
        m_impl->back.release();
        m_impl->presented.release();
        SDL_GL_MakeCurrent(m_impl->window, nullptr);
        SDL_GL_DeleteContext(m_impl->context);
    }
    if (m_impl->window)
        SDL_DestroyWindow(m_impl->window);
}

void Window::setTitle(const std::string& title) { SDL_SetWindowTitle(m_impl->window, title.c_str()); }

std::string Window::title() const { return SDL_GetWindowTitle(m_impl->window); }

void Window::setIcon(int width, int height, const std::uint32_t* argb)
{
    if (width <= 0 || height <= 0 || !argb)
        return;
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(argb), width, height, 32,
                                                        width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (!s)
        return;
    SDL_SetWindowIcon(m_impl->window, s);
    SDL_FreeSurface(s);
}

void Window::setFullscreen(bool fullscreen)
{
    changing();
    ++m_exposures;
    if (SDL_SetWindowFullscreen(m_impl->window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0)
        m_fullscreen = fullscreen;
}

void Window::setBounds(int x, int y, int w, int h)
{
    if (m_fullscreen)
        return;
    changing();
    ++m_exposures;
    SDL_SetWindowPosition(m_impl->window, x, y);
    if (w > 0 && h > 0)
        SDL_SetWindowSize(m_impl->window, w, h);
}

void Window::clientSize(int& w, int& h) const { SDL_GetWindowSize(m_impl->window, &w, &h); }

bool Window::cursorPos(int& x, int& y) const
{
    if (SDL_GetMouseFocus() == m_impl->window) {
        SDL_GetMouseState(&x, &y);
        return true;
    }
    int gx = 0, gy = 0, wx = 0, wy = 0;
    SDL_GetGlobalMouseState(&gx, &gy);
    SDL_GetWindowPosition(m_impl->window, &wx, &wy);
    x = gx - wx;
    y = gy - wy;
    return true;
}

void Window::setCursorPos(int x, int y) { SDL_WarpMouseInWindow(m_impl->window, x, y); }

bool Window::hasFocus() const { return SDL_GetKeyboardFocus() == m_impl->window; }

void Window::position(int& x, int& y) const { SDL_GetWindowPosition(m_impl->window, &x, &y); }

void Window::drawableSize(int& w, int& h) const { SDL_GL_GetDrawableSize(m_impl->window, &w, &h); }

void Window::show()
{
    ++m_exposures;
    SDL_ShowWindow(m_impl->window);
}

void Window::minimize() { SDL_MinimizeWindow(m_impl->window); }

void Window::restore()
{
    ++m_exposures;
    SDL_RestoreWindow(m_impl->window);
}

void Window::raise() { SDL_RaiseWindow(m_impl->window); }

void Window::setCursor(std::uint32_t id)
{
    m_cursorId = id;
    applyCursor();
}

void Window::applyCursor()
{
    const Impl& impl = *m_impl;
    SDL_Cursor* c = nullptr;
    if (m_cursorId != 0)
        c = cachedCursor(systemCursorFor(m_cursorId));
    else if (impl.imageCursorSet && impl.imageCursorShown && !impl.cursors.empty())
        c = impl.cursors.back().cursor;
    else {
        SDL_ShowCursor(SDL_DISABLE);
        return;
    }
    // Asked for on every pointer move: setting the cursor SDL already has
    // would send the X server the same cursor again each time.
    if (c && SDL_GetCursor() != c)
        SDL_SetCursor(c);
    if (SDL_ShowCursor(SDL_QUERY) != SDL_ENABLE)
        SDL_ShowCursor(SDL_ENABLE);
}

bool Window::imageCursorsOffered()
{
    // Asked once per video driver: a cursor made and let go.
    static std::string driver;
    static bool offered = false;
    const char* current = SDL_GetCurrentVideoDriver();
    if (!current)
        return false;
    if (driver != current) {
        driver = current;
        std::uint32_t pixel = 0xFFFFFFFFu;
        SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(&pixel, 1, 1, 32, 4, SDL_PIXELFORMAT_ARGB8888);
        SDL_Cursor* c = s ? SDL_CreateColorCursor(s, 0, 0) : nullptr;
        offered = c != nullptr;
        SDL_FreeCursor(c);
        SDL_FreeSurface(s);
        SDL_ClearError();
    }
    return offered;
}

bool Window::setImageCursor(const std::uint32_t* argb, int width, int height, std::size_t pitch, int hotX, int hotY)
{
    if (!argb || width <= 0 || height <= 0 || pitch < std::size_t(width) * 4 || hotX < 0 || hotY < 0 ||
        hotX >= width || hotY >= height)
        return false;
    std::vector<std::uint32_t> pixels(std::size_t(width) * std::size_t(height));
    for (int y = 0; y < height; ++y)
        std::memcpy(&pixels[std::size_t(y) * std::size_t(width)],
                    reinterpret_cast<const std::uint8_t*>(argb) + std::size_t(y) * pitch, std::size_t(width) * 4);
    float sx = 1.0f, sy = 1.0f, ox = 0.0f, oy = 0.0f;
    presentMapping(sx, sy, ox, oy);
    if (!m_impl->makeCursor(std::move(pixels), width, height, hotX, hotY, sx, sy))
        return false;
    m_impl->imageCursorSet = true;
    applyCursor();
    return true;
}

void Window::showImageCursor(bool show)
{
    m_impl->imageCursorShown = show;
    applyCursor();
}

void Window::makeCurrent() { m_impl->ensureCurrent(); }

bool Window::resizeBackBuffer(int width, int height)
{
    m_impl->ensureCurrent();
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    if (width <= 0 || height <= 0 || width > maxSize || height > maxSize)
        return false;
    StateGuard guard;
    if (!m_impl->back.allocate(width, height) || !m_impl->presented.allocate(width, height)) {
        // Keep both targets the size the window reports.
        if (m_bbWidth > 0 && m_bbHeight > 0) {
            m_impl->back.allocate(m_bbWidth, m_bbHeight);
            m_impl->presented.allocate(m_bbWidth, m_bbHeight);
        }
        return false;
    }
    m_bbWidth = width;
    m_bbHeight = height;
    ++m_exposures;
    m_impl->inPlace = false;
    clearTarget(m_impl->back.fbo, 0.f, 0.f, 0.f, 1.f);
    clearTarget(m_impl->presented.fbo, 0.f, 0.f, 0.f, 1.f);
    m_impl->backIsPresented = false;
    return true;
}

void Window::changing()
{
    Impl& impl = *m_impl;
    impl.sizeTaken = false;
    if (!impl.inPlace)
        return;
    // The driver still holds the window's buffer at the size the frame was
    // drawn at; on this thread it is read now, before anything draws.
    if (SDL_GL_GetCurrentContext() == impl.context && SDL_GL_GetCurrentWindow() == impl.window)
        leaveInPlace();
    else
        impl.leavePending = true;
}

void Window::moved() { m_impl->displayMoved = true; }

void Window::leaveInPlace()
{
    Impl& impl = *m_impl;
    impl.leavePending = false;
    if (!impl.inPlace)
        return;
    // Both targets take the frame from the window's buffer (the presented
    // one for reads until the next present), and the window counts as
    // changed, so the next frame is drawn whole.
    impl.ensureCurrent();
    {
        StateGuard guard;
        const int w = m_bbWidth, h = m_bbHeight;
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, impl.back.fbo);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, impl.back.fbo);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, impl.presented.fbo);
        glBlitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    }
    impl.inPlace = impl.backIsPresented = impl.windowBackWhole = false;
    ++m_exposures;
}

void Window::leaveIfPending()
{
    if (m_impl->leavePending)
        leaveInPlace();
}

std::uint32_t Window::backBufferFramebuffer(bool overwritesAll)
{
    leaveIfPending();
    return m_impl->backForDrawing(overwritesAll, m_bbWidth, m_bbHeight);
}

void Window::bindBackBuffer()
{
    leaveIfPending();
    m_impl->ensureCurrent();
    glBindFramebuffer(GL_FRAMEBUFFER, m_impl->backForDrawing(false, m_bbWidth, m_bbHeight));
}

void Window::clear(std::uint32_t argb)
{
    leaveIfPending();
    m_impl->ensureCurrent();
    StateGuard guard;
    clearTarget(m_impl->backForDrawing(true, m_bbWidth, m_bbHeight), ((argb >> 16) & 0xFF) / 255.f,
                ((argb >> 8) & 0xFF) / 255.f, (argb & 0xFF) / 255.f, ((argb >> 24) & 0xFF) / 255.f);
}

void Window::setSwapInterval(bool vsync)
{
    m_impl->ensureCurrent();
    SDL_GL_SetSwapInterval(vsync ? 1 : 0);
    m_impl->vsync = vsync;
    m_impl->readRefreshRate();
    m_impl->pacer.restart();
}

void Window::setPaceClock(PaceClock* clock) { m_impl->pacer.setClock(clock ? *clock : steadyPaceClock()); }

void Window::present(bool keepBackBuffer, const std::vector<RECT>* changed)
{
    Impl& impl = *m_impl;
    impl.ensureCurrent();
    leaveIfPending();
    impl.followDisplay();
    std::vector<CopyBox> boxes;
    bool inPart = false;
    bool swapInPart = false;  // a swap brings the window's back buffer only the changed areas
    bool inPlace = false;
    bool shown = false;
    bool whole = false;
    int dw = 0, dh = 0;
    {
        StateGuard guard;
        const int w = m_bbWidth, h = m_bbHeight;
        impl.sizeNow(dw, dh);
        if (dw != impl.sysWidth || dh != impl.sysHeight) {
            impl.sysWidth = dw;
            impl.sysHeight = dh;
            impl.sizeTaken = false;
        }
        shown = dw > 0 && dh > 0 && !impl.unseen;
        const Placement p = placeFrame(w, h, std::max(dw, 1), std::max(dh, 1), m_fullscreen);
        const bool exact = p.x1 - p.x0 == w && p.y1 - p.y0 == h;
        const bool copies = impl.copiesShow();
        inPlace = shown && copies && impl.sizeTaken && keepBackBuffer && exact && dw == w && dh == h;
        if (impl.inPlace && !inPlace)
            leaveInPlace();
        if (shown) {
            // Areas alone only over a whole frame shown in the window as it
            // is, at a size the driver has taken.
            const bool areasKnown = changed && impl.sizeTaken && impl.shownWhole &&
                                    impl.wholeExposures == m_exposures && impl.wholeWidth == dw &&
                                    impl.wholeHeight == dh;
            if (areasKnown) {
                for (const RECT& r : *changed) {
                    const CopyBox b = screenBox(r, p, w, h);
                    if (b.x1 > b.x0)
                        boxes.push_back(b);
                }
            }
            inPart = areasKnown && copies;
            // The same blit as a whole one, kept to the areas.
            auto blitAreas = [&](const std::vector<CopyBox>& areas) {
                glBindFramebuffer(GL_READ_FRAMEBUFFER, impl.backForReading());
                glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
                glEnable(GL_SCISSOR_TEST);
                for (const CopyBox& b : areas) {
                    glScissor(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
                    glBlitFramebuffer(0, 0, w, h, p.x0, p.y0, p.x1, p.y1, GL_COLOR_BUFFER_BIT,
                                      exact ? GL_NEAREST : GL_LINEAR);
                }
                glDisable(GL_SCISSOR_TEST);
            };
            std::vector<CopyBox> sinceBack;
            if (impl.inPlace) {
                // The frame is where it is shown from.
            } else if (inPart && impl.windowBackWhole) {
                blitAreas(boxes);
            } else if (areasKnown && !copies && impl.sinceBackBuffer(boxes, sinceBack)) {
                blitAreas(sinceBack);
                swapInPart = true;
            } else {
                glBindFramebuffer(GL_READ_FRAMEBUFFER, impl.backForReading());
                if (p.x0 > 0 || p.y0 > 0)
                    clearTarget(0, 0.f, 0.f, 0.f, 1.f);
                glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
                glBlitFramebuffer(0, 0, w, h, p.x0, p.y0, p.x1, p.y1, GL_COLOR_BUFFER_BIT,
                                  exact ? GL_NEAREST : GL_LINEAR);
            }
            whole = !inPart && !swapInPart;
            if (whole) {
                // Only at a size the driver has taken is the whole frame
                // where it was put; else another whole one follows.
                impl.shownWhole = impl.sizeTaken;
                impl.wholeExposures = m_exposures;
                impl.wholeWidth = dw;
                impl.wholeHeight = dh;
            }
            impl.placed = true;
            impl.placedFullscreen = m_fullscreen;
            if (impl.sys.size) {
                impl.placedWidth = dw;
                impl.placedHeight = dh;
            } else {
                clientSize(impl.placedWidth, impl.placedHeight);
            }
        }
    }
    // The frame becomes the presented one; the back buffer gets the frame
    // presented before, or stands for this one until something draws.
    if (!impl.inPlace && !impl.backIsPresented) {
        std::swap(impl.back, impl.presented);
        impl.backIsPresented = keepBackBuffer;
    }
    PaceClock& clock = impl.pacer.clock();
    const PaceClock::TimePoint start = clock.now();
    const bool swaps = !inPart && !inPlace;
    if (inPart) {
        // Outside the changed areas the window's buffer holds what the
        // screen shows, so copies may take in more than those areas.
        for (const CopyBox& b : mergeCopies(std::move(boxes)))
            impl.sys.copy(b.x0, b.y0, b.x1 - b.x0, b.y1 - b.y0);
        ++m_partialPresents;
    } else if (inPlace) {
        impl.sys.copy(0, 0, dw, dh);
    } else {
        impl.sys.swap();
    }
    // A copy leaves the window's buffer whole; a swap leaves it undefined,
    // and has the driver take the window's size as it is.
    impl.windowBackWhole = !swaps;
    impl.inPlace = inPlace;
    if (swaps) {
        impl.noteSwap(!swapInPart, swapInPart ? std::move(boxes) : std::vector<CopyBox>{});
        impl.sizeTaken = true;
    } else {
        impl.swapped.clear();
    }
    if (shown && whole && !impl.shownWhole)
        ++m_exposures;
    if (impl.paced())
        impl.pacer.shown(start, clock.now(), swaps);
    // The image cursor keeps the frames' scale through resizes and switches.
    if (impl.imageCursorSet && !impl.cursors.empty()) {
        float sx = 1.0f, sy = 1.0f, ox = 0.0f, oy = 0.0f;
        presentMapping(sx, sy, ox, oy);
        const Impl::MadeCursor& c = impl.cursors.back();
        if ((sx != c.scaleX || sy != c.scaleY) &&
            impl.makeCursor(c.pixels, c.width, c.height, c.hotX, c.hotY, sx, sy))
            applyCursor();
    }
}

void Window::presentNothing()
{
    if (m_impl->paced())
        m_impl->pacer.nothingShown();
}

bool Window::presentsInPart() const { return bool(m_impl->sys.copy); }

bool Window::backHoldsPresented() const { return m_impl->inPlace || m_impl->backIsPresented; }

bool Window::drawsInPlace() const { return m_impl->inPlace; }

void Window::presentMapping(float& scaleX, float& scaleY, float& offsetX, float& offsetY) const
{
    const Impl& impl = *m_impl;
    int cw = impl.placedWidth, ch = impl.placedHeight;
    if (!impl.placed)
        clientSize(cw, ch);
    scaleX = scaleY = 1.0f;
    offsetX = offsetY = 0.0f;
    if (cw <= 0 || ch <= 0 || m_bbWidth <= 0 || m_bbHeight <= 0)
        return;
    const Placement p = placeFrame(m_bbWidth, m_bbHeight, cw, ch, impl.placed ? impl.placedFullscreen : m_fullscreen);
    scaleX = float(p.x1 - p.x0) / float(m_bbWidth);
    scaleY = float(p.y1 - p.y0) / float(m_bbHeight);
    offsetX = float(p.x0);
    offsetY = float(ch - p.y1);
}

bool Window::readPresented(std::vector<std::uint8_t>& bgra, int& width, int& height)
{
    width = m_bbWidth;
    height = m_bbHeight;
    return m_impl->read(m_impl->presentedForReading(), height, 0, 0, width, height, bgra);
}

bool Window::readPresentedScaled(int width, int height, std::vector<std::uint8_t>& bgra)
{
    if (width == m_bbWidth && height == m_bbHeight) {
        int w = 0, h = 0;
        return readPresented(bgra, w, h);
    }
    m_impl->ensureCurrent();
    Target scaled;
    bool ok = false;
    {
        StateGuard guard;
        if (scaled.allocate(width, height)) {
            glBindFramebuffer(GL_READ_FRAMEBUFFER, m_impl->presentedForReading());
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scaled.fbo);
            glBlitFramebuffer(0, 0, m_bbWidth, m_bbHeight, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_LINEAR);
            ok = true;
        }
    }
    ok = ok && m_impl->read(scaled.fbo, height, 0, 0, width, height, bgra);
    scaled.release();
    return ok;
}

bool Window::readBackBuffer(std::vector<std::uint8_t>& bgra, int& width, int& height)
{
    width = m_bbWidth;
    height = m_bbHeight;
    return m_impl->read(m_impl->backForReading(), height, 0, 0, width, height, bgra);
}

bool Window::readBackBuffer(const RECT& r, std::vector<std::uint8_t>& bgra)
{
    if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > m_bbWidth ||
        r.bottom > m_bbHeight)
        return false;
    return m_impl->read(m_impl->backForReading(), m_bbHeight, r.left, r.top, r.right - r.left, r.bottom - r.top,
                        bgra);
}

void Window::setPresentHooks(PresentHooks hooks)
{
    m_impl->sys = std::move(hooks);
    m_impl->unseen = false;
}

bool Window::contextWasReset()
{
    if (!m_impl->resetNotification || m_impl->wasReset)
        return m_impl->wasReset;
    m_impl->ensureCurrent();
    GLenum status = GL_NO_ERROR;
    if (epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_KHR_robustness"))
        status = glGetGraphicsResetStatus();
    else if (epoxy_has_gl_extension("GL_ARB_robustness"))
        status = glGetGraphicsResetStatusARB();
    m_impl->wasReset = status != GL_NO_ERROR;
    return m_impl->wasReset;
}

} // namespace platform
