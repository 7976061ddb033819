#include "engine/util/a_input_server.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_sprite.h"
#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "platform/system/events.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/input/typing.h"

namespace {

constexpr std::uint32_t kEndOfKeys = 256;
constexpr std::uint32_t kEndOfButtons = 3;
constexpr std::size_t kFirstLogCapacity = 4096;

// Hit-test code and mouse message that accompany a cursor update.
constexpr LPARAM kSetCursorParam = (LPARAM(0x0200) << 16) | 1;

// Window and game coordinates rounded down. A recording may hold any
// position at all; far outside every screen it stops at a bound that still
// leaves room for window offsets.
std::int32_t clampedInt(float v)
{
    constexpr float kLimit = 1 << 30;
    if (std::isnan(v))
        return 0;
    return std::int32_t(std::floor(std::clamp(v, -kLimit, kLimit)));
}

} // namespace

aInputServer::aInputServer() : m_timer(aTimer::PerformanceCounter)
{
    if (!g_application) {
        // Without an application there is no window to read input for:
        // everything reads up.
        a_log("aInputServer. aApplication object not created!");
        return;
    }
    g_application->m_inputServer = this;
    m_hasKeyboard = true;
    createMouse(true, true);
    dropImageCursor();
    sendSetCursor();
    m_cursorHotX = m_cursorHotY = 0;
}

aInputServer::~aInputServer()
{
    if (g_application && g_application->m_inputServer == this) {
        g_application->m_inputServer = nullptr;
        dropImageCursor();
    }
    if (m_logMode == INPUT_LOG_RECORDING) {
        a_log("~aInputServer. Input log not saved. A error occured???");
        saveInputLog("error");
    }
}

void aInputServer::createMouse(bool useSystemCursor, bool reset)
{
    m_hasMouse = g_application != nullptr;
    if (reset) {
        m_lX = m_lY = m_lZ = 0;
        std::memset(m_rawButtons, 0, sizeof m_rawButtons);
        std::memset(m_prevRawButtons, 0, sizeof m_prevRawButtons);
        std::memset(m_mouseButtons, 0, sizeof m_mouseButtons);
        for (DoubleClick& d : m_doubleClick)
            d = DoubleClick{};
    }
    m_useSystemCursor = useSystemCursor;
}

void aInputServer::dropImageCursor()
{
    if (!g_application)
        return;
    delete g_application->m_cursorAnim;
    g_application->m_cursorAnim = nullptr;
}

void aInputServer::sendSetCursor()
{
    if (g_application && g_application->m_window)
        platform::sendMessage(g_application->m_window, WM_SETCURSOR, WPARAM(g_application->m_window),
                              kSetCursorParam);
}

void aInputServer::update()
{
    // An inactive application reads no input; the frame is neither recorded
    // nor played back, so a log never holds half a frame.
    const bool active = g_application && g_application->m_active;
    m_keyPresses.clear();
    if (active) {
        ++m_polls;
        pollKeyboard();
        if (m_logMode != INPUT_LOG_OFF || m_hasMouse)
            pollMouse();
        updateCursor();
    }
    if (m_endCallbackPending) {
        m_endCallbackPending = false;
        if (m_playbackEnd)
            m_playbackEnd();
    }
    m_timer.reset();
}

void aInputServer::pollKeyboard()
{
    if (m_logMode == INPUT_LOG_PLAYING) {
        for (;;) {
            std::uint32_t key = 0;
            if (!readU32(key))
                return;
            if (key == kEndOfKeys)
                break;
            const bool press = key >= kKeyPressRecord && key < kKeyPressRecord + 256;
            const bool typed = key >= kTypedRecord;
            if (key > 255 && !press && !typed) {
                endPlayback("bad key record");
                return;
            }
            std::uint8_t value = 0;
            if (!readBytes(&value, 1))
                return;
            if (typed) {
                const char32_t c = char32_t(key - kTypedRecord);
                if (value != 0 || !platform::isTypedCharacter(c)) {
                    endPlayback("bad typed-character record");
                    return;
                }
                if (m_keyPresses.size() < kMaxKeyPresses)
                    m_keyPresses.push_back(KeyPress{0, 0, c});
                continue;
            }
            if (!press) {
                m_rawKeys[key] = value;
                continue;
            }
            // Key code 0 is no key: such a press would read as a typed NUL.
            if ((value & ~KeyPress::kAll) || key == kKeyPressRecord) {
                endPlayback("bad key-down record");
                return;
            }
            if (m_keyPresses.size() < kMaxKeyPresses)
                m_keyPresses.push_back(KeyPress{std::uint8_t(key - kKeyPressRecord), value, 0});
        }
    } else {
        platform::KeyFrame raw{};
        platform::KeyboardSource& keyboard = platform::keyboard();
        bool read = false;
        if (!m_hasKeyboard) {
            raw.fill(0);
        } else if (const platform::InputResult r = keyboard.read(raw); r != platform::InputResult::Ok) {
            a_log("aInputServer. Keyboard GetDeviceState failed (%s)", platform::inputResultName(r));
            raw.fill(0);
            if (platform::needsAcquire(r)) {
                if (const platform::InputResult a = keyboard.acquire(); a != platform::InputResult::Ok)
                    a_log("aInputServer. Keyboard Acquire failed (%s)", platform::inputResultName(a));
            }
        } else {
            read = true;
        }
        if (read) {
            for (const platform::KeyEvent& e : keyboard.events()) {
                if (m_keyPresses.size() >= kMaxKeyPresses)
                    break;
                if (e.key == 0) {
                    if (platform::isTypedCharacter(e.character))
                        m_keyPresses.push_back(KeyPress{0, 0, e.character});
                    continue;
                }
                if (!e.down)
                    continue;
                const std::uint8_t mods = (e.shift ? KeyPress::kShift : 0) | (e.ctrl ? KeyPress::kCtrl : 0) |
                                          (e.alt ? KeyPress::kAlt : 0) | (e.capsLock ? KeyPress::kCapsLock : 0);
                m_keyPresses.push_back(KeyPress{e.key, mods, 0});
            }
        }
        std::memcpy(m_rawKeys, raw.data(), sizeof m_rawKeys);
        if (m_logMode == INPUT_LOG_RECORDING) {
            for (std::uint32_t k = 0; k < 256; ++k) {
                if (m_rawKeys[k] != m_prevRawKeys[k]) {
                    appendU32(k);
                    append(&m_rawKeys[k], 1);
                }
            }
            for (const KeyPress& p : m_keyPresses) {
                appendU32(p.key != 0 ? kKeyPressRecord + p.key : kTypedRecord + std::uint32_t(p.character));
                append(&p.modifiers, 1);
            }
            appendU32(kEndOfKeys);
            std::memcpy(m_prevRawKeys, m_rawKeys, sizeof m_prevRawKeys);
        }
    }
    for (int k = 0; k < 256; ++k)
        m_keys[k] = nextState(m_keys[k], (m_rawKeys[k] & 0x80) != 0);
}

void aInputServer::pollMouse()
{
    if (m_logMode == INPUT_LOG_PLAYING) {
        for (;;) {
            std::uint32_t button = 0;
            if (!readU32(button))
                return;
            if (button == kEndOfButtons)
                break;
            if (button > 2) {
                endPlayback("bad button record");
                return;
            }
            if (!readBytes(&m_rawButtons[button], 1))
                return;
        }
        if (!readI32(m_lX) || !readI32(m_lY) || !readI32(m_lZ))
            return;
    } else {
        platform::MouseFrame raw;
        if (const platform::InputResult r = platform::mouse().read(raw); r != platform::InputResult::Ok) {
            a_log("aInputServer. Mouse GetDeviceState failed (%s)", platform::inputResultName(r));
            raw = platform::MouseFrame{};
            if (platform::needsAcquire(r)) {
                if (const platform::InputResult a = platform::mouse().acquire(); a != platform::InputResult::Ok)
                    a_log("aInputServer. Mouse Acquire failed (%s)", platform::inputResultName(a));
            }
        }
        std::memcpy(m_rawButtons, raw.buttons.data(), sizeof m_rawButtons);
        m_lX = raw.dx;
        m_lY = raw.dy;
        m_lZ = raw.dz;
        if (m_logMode == INPUT_LOG_RECORDING) {
            for (std::uint32_t b = 0; b < 3; ++b) {
                if (m_rawButtons[b] != m_prevRawButtons[b]) {
                    appendU32(b);
                    append(&m_rawButtons[b], 1);
                }
            }
            appendU32(kEndOfButtons);
            appendI32(m_lX);
            appendI32(m_lY);
            appendI32(m_lZ);
            std::memcpy(m_prevRawButtons, m_rawButtons, sizeof m_prevRawButtons);
        }
    }

    // Inside the game area by the previous frame's cursor.
    const aGraphServer* gs = g_application ? g_application->m_graphServer : nullptr;
    const std::int16_t cx = std::int16_t(m_cursorX);
    const std::int16_t cy = std::int16_t(m_cursorY);
    const bool inside = gs && cx >= 0 && cx < gs->m_backBufferWidth && cy >= 0 && cy < gs->m_backBufferHeight;
    for (int b = 0; b < 3; ++b) {
        const bool down = (m_rawButtons[b] & 0x80) != 0;
        if (down && !inside) {
            // A press outside is not seen, and a button held while outside
            // settles instead of repeating its last transition.
            std::uint32_t& s = m_mouseButtons[b];
            s = (s == KEY_PRESSED || s == KEY_HELD) ? KEY_HELD : KEY_UP;
        } else {
            m_mouseButtons[b] = nextState(m_mouseButtons[b], down);
        }
    }
    updateDoubleClicks();
}

void aInputServer::updateDoubleClicks()
{
    const std::int32_t dt = std::int32_t(m_timer.getTimeMs());
    for (int b = 0; b < 3; ++b) {
        DoubleClick& d = m_doubleClick[b];
        const std::uint32_t state = m_mouseButtons[b];
        d.clicked = 0;
        if (d.timer < 0) {
            if (state == KEY_PRESSED) {
                d.timer = 0;
                d.x = m_cursorX;
                d.y = m_cursorY;
            }
            continue;
        }
        d.timer += dt;
        if (d.timer >= std::int32_t(platform::kDoubleClickTimeMs) || d.x != m_cursorX || d.y != m_cursorY) {
            d.timer = -1;
            d.waiting = 0;
        } else if (!d.waiting) {
            if (state == KEY_RELEASED) {
                d.waiting = 1;
                d.timer = 0;
            }
        } else if (state == KEY_PRESSED) {
            d.clicked = 1;
            d.waiting = 0;
            d.timer = -1;
        }
    }
}

void aInputServer::updateCursor()
{
    if (m_logMode == INPUT_LOG_PLAYING) {
        std::int32_t x = 0, y = 0;
        if (!readI32(x) || !readI32(y))
            return;
        setMousePos(x, y);
        m_cursorX = x;
        m_cursorY = y;
        if (m_logPos >= m_log.size()) {
            m_logMode = INPUT_LOG_OFF;
            m_endCallbackPending = true;
        }
        return;
    }
    if (m_hasMouse && g_application) {
        const aGraphServer* gs = g_application->m_graphServer;
        HWND window = g_application->m_window;
        int cx = 0, cy = 0, cw = 0, ch = 0;
        platform::MouseSource& m = platform::mouse();
        // Minimised, or no game area: the last position stays.
        if (gs && window && m.cursorPos(window, cx, cy)) {
            m.clientSize(window, cw, ch);
            if (cw > 0 && ch > 0 && gs->m_backBufferWidth > 0 && gs->m_backBufferHeight > 0) {
                // Back through the mapping the window presents with (bars
                // of a letterboxed full screen lie outside the game area).
                const platform::PresentMapping pm = gs->windowMapping(cw, ch);
                m_cursorX = clampedInt((float(cx) - pm.offsetX) / pm.scaleX);
                m_cursorY = clampedInt((float(cy) - pm.offsetY) / pm.scaleY);
            }
        }
    } else {
        m_cursorX = m_cursorY = 0;
    }
    if (m_logMode == INPUT_LOG_RECORDING) {
        appendI32(m_cursorX);
        appendI32(m_cursorY);
    }
}

void aInputServer::getMousePos(std::int32_t& x, std::int32_t& y) const
{
    x = m_cursorX;
    y = m_cursorY;
}

void aInputServer::setMousePos(std::int32_t x, std::int32_t y)
{
    if (!m_hasMouse || !g_application)
        return;
    m_cursorX = x;
    m_cursorY = y;
    const aGraphServer* gs = g_application->m_graphServer;
    HWND window = g_application->m_window;
    if (!gs || !window || gs->m_backBufferWidth == 0 || gs->m_backBufferHeight == 0)
        return;
    platform::MouseSource& m = platform::mouse();
    int cw = 0, ch = 0;
    m.clientSize(window, cw, ch);
    if (cw <= 0 || ch <= 0)
        return;
    const platform::PresentMapping pm = gs->windowMapping(cw, ch);
    m.setCursorPos(window, clampedInt(pm.offsetX + float(x) * pm.scaleX),
                   clampedInt(pm.offsetY + float(y) * pm.scaleY));
}

void aInputServer::setTextInput(bool on)
{
    if (m_textInput == int(on))
        return;
    m_textInput = int(on);
    platform::keyboard().setTextInput(on);
}

int aInputServer::timesPressedWith(std::uint8_t key, std::uint8_t modifiers) const
{
    // By the records: a key pressed again in the frame after a quick press
    // reads held, not pressed, and its modifiers may be up by the frame's end.
    int times = 0;
    bool recorded = false;
    for (const KeyPress& p : m_keyPresses) {
        if (p.key != key)
            continue;
        recorded = true;
        if ((p.modifiers & modifiers) == modifiers)
            ++times;
    }
    if (recorded)
        return times;
    if (m_keys[key] != KEY_PRESSED)
        return 0;
    const auto held = [this](std::uint8_t a, std::uint8_t b) { return isKeyDown(a) || isKeyDown(b); };
    const bool all = (!(modifiers & KeyPress::kShift) || held(platform::DIK_LSHIFT, platform::DIK_RSHIFT)) &&
                     (!(modifiers & KeyPress::kCtrl) || held(platform::DIK_LCONTROL, platform::DIK_RCONTROL)) &&
                     (!(modifiers & KeyPress::kAlt) || held(platform::DIK_LMENU, platform::DIK_RMENU));
    return all ? 1 : 0;
}

bool aInputServer::isAnyKeyPressed() const
{
    for (std::uint32_t s : m_keys) {
        if (s == KEY_PRESSED)
            return true;
    }
    return false;
}

bool aInputServer::isAnyMouseButtonPressed() const
{
    for (std::uint32_t s : m_mouseButtons) {
        if (s == KEY_PRESSED)
            return true;
    }
    return false;
}

void aInputServer::resetMouseButtons()
{
    for (int b = 0; b < 3; ++b) {
        m_mouseButtons[b] = KEY_UP;
        m_doubleClick[b].timer = -1;
        m_doubleClick[b].waiting = 0;
    }
}

void aInputServer::setCursorAnim(aAnim* animation, std::uint16_t hotX, std::uint16_t hotY)
{
    if (!g_application)
        return;
    // The application's image cursor is its own running copy. The same
    // animation again only moves the hot spot; the image cursor stays.
    if (animation && animation != m_lastCursorAnim) {
        if (g_application->m_cursorAnim)
            *g_application->m_cursorAnim = *animation;
        else
            g_application->m_cursorAnim = new aAnim(*animation);
        g_application->m_cursorAnim->play();
    } else if (!animation) {
        dropImageCursor();
    }
    m_lastCursorAnim = animation;
    sendSetCursor();
    m_cursorHotX = hotX;
    m_cursorHotY = hotY;
}

void aInputServer::setSystemCursor(std::uint32_t cursorId)
{
    if (!g_application)
        return;
    dropImageCursor();
    m_lastCursorAnim = nullptr;
    g_application->m_systemCursor = cursorId;
    sendSetCursor();
}

void aInputServer::append(const void* data, std::size_t size)
{
    const std::size_t needed = m_log.size() + size;
    if (needed > m_log.capacity()) {
        std::size_t capacity = m_log.capacity() < kFirstLogCapacity ? kFirstLogCapacity : m_log.capacity();
        while (capacity < needed)
            capacity *= 2;
        m_log.reserve(capacity);
    }
    const std::uint8_t* bytes = static_cast<const std::uint8_t*>(data);
    m_log.insert(m_log.end(), bytes, bytes + size);
}

bool aInputServer::readBytes(void* out, std::size_t size)
{
    if (m_logMode != INPUT_LOG_PLAYING)
        return false;
    if (m_log.size() - m_logPos < size) {
        endPlayback("record cut short");
        return false;
    }
    std::memcpy(out, m_log.data() + m_logPos, size);
    m_logPos += size;
    return true;
}

void aInputServer::endPlayback(const char* why)
{
    a_log("aInputServer. Input log playback stopped: %s", why);
    m_logMode = INPUT_LOG_OFF;
    m_endCallbackPending = true;
}

void aInputServer::startRecording()
{
    m_log.clear();
    m_log.reserve(kFirstLogCapacity);
    m_logPos = 0;
    std::memset(m_prevRawKeys, 0, sizeof m_prevRawKeys);
    std::memset(m_prevRawButtons, 0, sizeof m_prevRawButtons);
    m_logMode = INPUT_LOG_RECORDING;
}

bool aInputServer::startPlayback(const std::string& path, void (*onEnd)())
{
    std::uint32_t size = 0;
    std::uint8_t* data = file_readFullAndMalloc(path, &size);
    std::vector<std::uint8_t> log(data, data + size);
    std::free(data);
    startPlayback(std::move(log), onEnd);
    return m_logMode == INPUT_LOG_PLAYING;
}

void aInputServer::startPlayback(std::vector<std::uint8_t> log, void (*onEnd)())
{
    m_log = std::move(log);
    m_logPos = 0;
    m_playbackEnd = onEnd;
    std::memset(m_rawKeys, 0, sizeof m_rawKeys);
    std::memset(m_rawButtons, 0, sizeof m_rawButtons);
    m_logMode = INPUT_LOG_PLAYING;
    if (m_log.empty())
        endPlayback("empty log");
}

void aInputServer::saveInputLog(const std::string& name)
{
    if (m_logMode != INPUT_LOG_RECORDING)
        return;
    std::string folder = g_application ? g_application->m_appPath : getApplicationPath();
    if (folder.empty() || ::access(folder.c_str(), W_OK) != 0) {
        if (g_application)
            folder = file_manglePath(g_application->m_userFolder);
    }
    std::string path;
    for (unsigned n = 0;; ++n) {
        char number[16];
        std::snprintf(number, sizeof number, "%03u", n);
        path = folder + name + number + ".input";
        if (!file_isExistOrPacked(path))
            break;
    }
    file_writeFull(path, m_log.data(), std::uint32_t(m_log.size()));
    a_log("Input log saved: %s", path.c_str());
    m_logMode = INPUT_LOG_OFF;
}
