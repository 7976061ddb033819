#include "platform/input/keyboard.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>

#include "platform/input/typing.h"
#include "platform/system/window.h"

namespace platform {

namespace {

using ScancodeTable = std::array<std::uint8_t, SDL_NUM_SCANCODES>;

ScancodeTable makeTable()
{
    ScancodeTable t{};
    static const DiKey letters[26] = {
        DIK_A, DIK_B, DIK_C, DIK_D, DIK_E, DIK_F, DIK_G, DIK_H, DIK_I, DIK_J, DIK_K, DIK_L, DIK_M,
        DIK_N, DIK_O, DIK_P, DIK_Q, DIK_R, DIK_S, DIK_T, DIK_U, DIK_V, DIK_W, DIK_X, DIK_Y, DIK_Z,
    };
    for (int i = 0; i < 26; ++i)
        t[SDL_SCANCODE_A + i] = letters[i];
    // SDL runs 1..9, 0 like the DirectInput codes do.
    for (int i = 0; i < 10; ++i)
        t[SDL_SCANCODE_1 + i] = static_cast<std::uint8_t>(DIK_1 + i);
    for (int i = 0; i < 10; ++i)
        t[SDL_SCANCODE_F1 + i] = static_cast<std::uint8_t>(DIK_F1 + i);

    struct Pair {
        SDL_Scancode sc;
        DiKey dik;
    };
    static const Pair pairs[] = {
        {SDL_SCANCODE_RETURN, DIK_RETURN},
        {SDL_SCANCODE_ESCAPE, DIK_ESCAPE},
        {SDL_SCANCODE_BACKSPACE, DIK_BACK},
        {SDL_SCANCODE_TAB, DIK_TAB},
        {SDL_SCANCODE_SPACE, DIK_SPACE},
        {SDL_SCANCODE_MINUS, DIK_MINUS},
        {SDL_SCANCODE_EQUALS, DIK_EQUALS},
        {SDL_SCANCODE_LEFTBRACKET, DIK_LBRACKET},
        {SDL_SCANCODE_RIGHTBRACKET, DIK_RBRACKET},
        {SDL_SCANCODE_BACKSLASH, DIK_BACKSLASH},
        // The ISO key beside Enter: the same physical position as backslash.
        {SDL_SCANCODE_NONUSHASH, DIK_BACKSLASH},
        {SDL_SCANCODE_SEMICOLON, DIK_SEMICOLON},
        {SDL_SCANCODE_APOSTROPHE, DIK_APOSTROPHE},
        {SDL_SCANCODE_GRAVE, DIK_GRAVE},
        {SDL_SCANCODE_COMMA, DIK_COMMA},
        {SDL_SCANCODE_PERIOD, DIK_PERIOD},
        {SDL_SCANCODE_SLASH, DIK_SLASH},
        {SDL_SCANCODE_CAPSLOCK, DIK_CAPITAL},
        {SDL_SCANCODE_F11, DIK_F11},
        {SDL_SCANCODE_F12, DIK_F12},
        {SDL_SCANCODE_F13, DIK_F13},
        {SDL_SCANCODE_F14, DIK_F14},
        {SDL_SCANCODE_F15, DIK_F15},
        {SDL_SCANCODE_PRINTSCREEN, DIK_SYSRQ},
        {SDL_SCANCODE_SCROLLLOCK, DIK_SCROLL},
        {SDL_SCANCODE_PAUSE, DIK_PAUSE},
        {SDL_SCANCODE_INSERT, DIK_INSERT},
        {SDL_SCANCODE_HOME, DIK_HOME},
        {SDL_SCANCODE_PAGEUP, DIK_PRIOR},
        {SDL_SCANCODE_DELETE, DIK_DELETE},
        {SDL_SCANCODE_END, DIK_END},
        {SDL_SCANCODE_PAGEDOWN, DIK_NEXT},
        {SDL_SCANCODE_RIGHT, DIK_RIGHT},
        {SDL_SCANCODE_LEFT, DIK_LEFT},
        {SDL_SCANCODE_DOWN, DIK_DOWN},
        {SDL_SCANCODE_UP, DIK_UP},
        {SDL_SCANCODE_NUMLOCKCLEAR, DIK_NUMLOCK},
        {SDL_SCANCODE_KP_DIVIDE, DIK_DIVIDE},
        {SDL_SCANCODE_KP_MULTIPLY, DIK_MULTIPLY},
        {SDL_SCANCODE_KP_MINUS, DIK_SUBTRACT},
        {SDL_SCANCODE_KP_PLUS, DIK_ADD},
        {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER},
        {SDL_SCANCODE_KP_1, DIK_NUMPAD1},
        {SDL_SCANCODE_KP_2, DIK_NUMPAD2},
        {SDL_SCANCODE_KP_3, DIK_NUMPAD3},
        {SDL_SCANCODE_KP_4, DIK_NUMPAD4},
        {SDL_SCANCODE_KP_5, DIK_NUMPAD5},
        {SDL_SCANCODE_KP_6, DIK_NUMPAD6},
        {SDL_SCANCODE_KP_7, DIK_NUMPAD7},
        {SDL_SCANCODE_KP_8, DIK_NUMPAD8},
        {SDL_SCANCODE_KP_9, DIK_NUMPAD9},
        {SDL_SCANCODE_KP_0, DIK_NUMPAD0},
        {SDL_SCANCODE_KP_PERIOD, DIK_DECIMAL},
        {SDL_SCANCODE_KP_EQUALS, DIK_NUMPADEQUALS},
        // The Brazilian keypad's separator key reports as keypad comma.
        {SDL_SCANCODE_KP_COMMA, DIK_ABNT_C2},
        {SDL_SCANCODE_NONUSBACKSLASH, DIK_OEM_102},
        {SDL_SCANCODE_APPLICATION, DIK_APPS},
        {SDL_SCANCODE_POWER, DIK_POWER},
        {SDL_SCANCODE_SLEEP, DIK_SLEEP},
        {SDL_SCANCODE_LCTRL, DIK_LCONTROL},
        {SDL_SCANCODE_LSHIFT, DIK_LSHIFT},
        {SDL_SCANCODE_LALT, DIK_LMENU},
        {SDL_SCANCODE_LGUI, DIK_LWIN},
        {SDL_SCANCODE_RCTRL, DIK_RCONTROL},
        {SDL_SCANCODE_RSHIFT, DIK_RSHIFT},
        {SDL_SCANCODE_RALT, DIK_RMENU},
        {SDL_SCANCODE_RGUI, DIK_RWIN},
        // Japanese keys: Ro, Katakana/Hiragana, Yen, Henkan, Muhenkan.
        {SDL_SCANCODE_INTERNATIONAL1, DIK_ABNT_C1},
        {SDL_SCANCODE_INTERNATIONAL2, DIK_KANA},
        {SDL_SCANCODE_INTERNATIONAL3, DIK_YEN},
        {SDL_SCANCODE_INTERNATIONAL4, DIK_CONVERT},
        {SDL_SCANCODE_INTERNATIONAL5, DIK_NOCONVERT},
        // SDL names mute on both the keyboard and the consumer page.
        {SDL_SCANCODE_MUTE, DIK_MUTE},
        {SDL_SCANCODE_AUDIOMUTE, DIK_MUTE},
        {SDL_SCANCODE_VOLUMEUP, DIK_VOLUMEUP},
        {SDL_SCANCODE_VOLUMEDOWN, DIK_VOLUMEDOWN},
        {SDL_SCANCODE_AUDIONEXT, DIK_NEXTTRACK},
        {SDL_SCANCODE_AUDIOPREV, DIK_PREVTRACK},
        {SDL_SCANCODE_AUDIOSTOP, DIK_MEDIASTOP},
        {SDL_SCANCODE_AUDIOPLAY, DIK_PLAYPAUSE},
        {SDL_SCANCODE_MEDIASELECT, DIK_MEDIASELECT},
        {SDL_SCANCODE_MAIL, DIK_MAIL},
        {SDL_SCANCODE_CALCULATOR, DIK_CALCULATOR},
        {SDL_SCANCODE_COMPUTER, DIK_MYCOMPUTER},
        {SDL_SCANCODE_AC_SEARCH, DIK_WEBSEARCH},
        {SDL_SCANCODE_AC_HOME, DIK_WEBHOME},
        {SDL_SCANCODE_AC_BACK, DIK_WEBBACK},
        {SDL_SCANCODE_AC_FORWARD, DIK_WEBFORWARD},
        {SDL_SCANCODE_AC_STOP, DIK_WEBSTOP},
        {SDL_SCANCODE_AC_REFRESH, DIK_WEBREFRESH},
        {SDL_SCANCODE_AC_BOOKMARKS, DIK_WEBFAVORITES},
    };
    for (const Pair& p : pairs)
        t[p.sc] = p.dik;
    return t;
}

const ScancodeTable& table()
{
    static const ScancodeTable t = makeTable();
    return t;
}

bool isOurWindow(std::uint32_t id)
{
    for (const Window* w : windows())
        if (w->sdlId() == id)
            return true;
    return false;
}

class SdlKeyboard : public KeyboardSource {
public:
    // No event pumping here: the message loop drains SDL's queue, which
    // keeps SDL's key state current.
    InputResult read(KeyFrame& out) override
    {
        out.fill(0);
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return InputResult::Ok;
        if (!m_watching) {
            SDL_AddEventWatch(&SdlKeyboard::watch, this);
            m_watching = true;
        }
        // A video driver without a window system (offscreen) gives no window
        // the keyboard focus; there the window events decide.
        SDL_Window* focus = SDL_GetKeyboardFocus();
        const bool focused = focus ? isOurWindow(SDL_GetWindowID(focus)) : m_focusEvent;
        const ScancodeTable& t = table();
        m_events.clear();
        if (focused) {
            int count = 0;
            const Uint8* state = SDL_GetKeyboardState(&count);
            // Read every frame with hardly a key down: eight codes at a time.
            const int n = std::min(count, int(SDL_NUM_SCANCODES));
            for (int first = 0; first < n; first += 8) {
                const int end = std::min(first + 8, n);
                if (end - first == 8 && !anyOfEight(state + first) && !anyOfEight(&m_pressedSinceRead[first]))
                    continue;
                for (int sc = first; sc < end; ++sc)
                    if ((state[sc] || m_pressedSinceRead[sc]) && t[sc])
                        out[t[sc]] = 0x80;
            }
            m_events.swap(m_pending);
        }
        m_pending.clear();
        m_pressedSinceRead.fill(false);
        return InputResult::Ok;
    }

    const std::vector<KeyEvent>& events() const override { return m_events; }

    LockToggles locks() override
    {
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return LockToggles();
        const SDL_Keymod mod = SDL_GetModState();
        return LockToggles{(mod & KMOD_CAPS) != 0, (mod & KMOD_NUM) != 0, (mod & KMOD_SCROLL) != 0};
    }

    void setTextInput(bool on) override
    {
        KeyboardSource::setTextInput(on);
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return;
        if (on)
            SDL_StartTextInput();
        else
            SDL_StopTextInput();
    }

    bool cyrillicLayout() override
    {
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return false;
        // SDL keys of character keys are the characters the layout types.
        const SDL_Keycode q = SDL_GetKeyFromScancode(SDL_SCANCODE_Q);
        return q >= 0x400 && q <= 0x4FF;
    }

private:
    static bool anyOfEight(const void* bytes)
    {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes, sizeof word);
        return word != 0;
    }

    // A key pressed and released between two reads would never be seen in
    // the polled state; a press noted here reads as down once.
    // Events are kept in arrival order with the modifier state SDL gave each.
    static int SDLCALL watch(void* self, SDL_Event* e)
    {
        auto* me = static_cast<SdlKeyboard*>(self);
        if (e->type == SDL_WINDOWEVENT && isOurWindow(e->window.windowID)) {
            if (e->window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                me->m_focusEvent = true;
            else if (e->window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                me->m_focusEvent = false;
            return 1;
        }
        if (e->type == SDL_TEXTINPUT) {
            // Text arrives whole, already shaped by the layout, Shift and
            // Caps Lock: however fast the keys came, it holds each character.
            std::u32string text;
            appendUtf8(e->text.text, text);
            if (me->textInput())
                for (char32_t c : text)
                    if (isTypedCharacter(c) && me->m_pending.size() < kMaxEvents) {
                        KeyEvent ev;
                        ev.character = c;
                        me->m_pending.push_back(ev);
                    }
            return 1;
        }
        if ((e->type != SDL_KEYDOWN && e->type != SDL_KEYUP) || e->key.repeat)
            return 1;
        const int sc = e->key.keysym.scancode;
        if (sc < 0 || sc >= SDL_NUM_SCANCODES)
            return 1;
        const bool down = e->type == SDL_KEYDOWN;
        if (down)
            me->m_pressedSinceRead[sc] = true;
        const std::uint8_t key = table()[sc];
        if (key && me->m_pending.size() < kMaxEvents) {
            const Uint16 mod = e->key.keysym.mod;
            KeyEvent ev;
            ev.key = key;
            ev.down = down;
            ev.shift = (mod & KMOD_SHIFT) != 0;
            ev.ctrl = (mod & KMOD_CTRL) != 0;
            ev.alt = (mod & KMOD_ALT) != 0;
            ev.capsLock = (mod & KMOD_CAPS) != 0;
            me->m_pending.push_back(ev);
        }
        return 1;
    }

    std::array<bool, SDL_NUM_SCANCODES> m_pressedSinceRead{};
    std::vector<KeyEvent> m_pending;  // since the last read
    std::vector<KeyEvent> m_events;   // handed out by the last read
    bool m_watching = false;
    bool m_focusEvent = false;  // the last focus event of our windows was a gain
};

SdlKeyboard g_sdlKeyboard;
std::atomic<KeyboardSource*> g_keyboard{nullptr};

} // namespace

std::uint8_t dikFromScancode(int scancode)
{
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES)
        return 0;
    return table()[scancode];
}

KeyboardSource& sdlKeyboard() { return g_sdlKeyboard; }

KeyboardSource& keyboard()
{
    KeyboardSource* k = g_keyboard.load(std::memory_order_acquire);
    return k ? *k : g_sdlKeyboard;
}

void setKeyboard(KeyboardSource* source) { g_keyboard.store(source, std::memory_order_release); }

LockToggles lockToggles() { return keyboard().locks(); }

bool cyrillicLayout() { return keyboard().cyrillicLayout(); }

InputResult ScriptedKeyboard::read(KeyFrame& out)
{
    ++reads;
    m_events.clear();
    if (!frames.empty()) {
        last = frames.front().frame;
        for (const KeyEvent& e : frames.front().events)
            if (e.key != 0 || textInput())
                m_events.push_back(e);
        frames.pop_front();
    }
    if (error != InputResult::Ok) {
        m_events.clear();
        out.fill(0);
        return error;
    }
    out = last;
    return InputResult::Ok;
}

InputResult ScriptedKeyboard::acquire()
{
    ++acquires;
    return acquireError;
}

void ScriptedKeyboard::pushKeys(std::initializer_list<std::uint8_t> keys)
{
    KeyFrame f{};
    for (std::uint8_t k : keys)
        f[k] = 0x80;
    push(f);
}

void ScriptedKeyboard::pushEvents(const std::vector<Step>& steps)
{
    Queued q;
    KeyFrame pressed{};
    const auto held = [this](DiKey a, DiKey b) { return m_held[a] != 0 || m_held[b] != 0; };
    for (const Step& s : steps) {
        if (s.key == 0) {
            if (s.character != 0) {
                KeyEvent typed;
                typed.character = s.character;
                q.events.push_back(typed);
            }
            continue;
        }
        KeyEvent e;
        e.key = s.key;
        e.down = s.down;
        e.shift = held(DIK_LSHIFT, DIK_RSHIFT);
        e.ctrl = held(DIK_LCONTROL, DIK_RCONTROL);
        e.alt = held(DIK_LMENU, DIK_RMENU);
        e.capsLock = capsLock;
        if (s.down && s.key == DIK_CAPITAL)
            capsLock = !capsLock;
        m_held[s.key] = s.down ? 0x80 : 0;
        if (s.down)
            pressed[s.key] = 0x80;
        q.events.push_back(e);
    }
    for (std::size_t k = 0; k < q.frame.size(); ++k)
        q.frame[k] = m_held[k] | pressed[k];
    frames.push_back(std::move(q));
}

} // namespace platform
