// Per-frame input routing: mouse buttons with capture, keys with hotkeys
// and focus, auto-repeat, hover and wheel.
#include <algorithm>

#include "engine/gui/gui_server.h"
#include "engine/util/a_application.h"
#include "engine/util/a_input_server.h"
#include "platform/input/keyboard.h"
#include "platform/input/mouse.h"
#include "platform/input/typing.h"

namespace GUI {

namespace {

bool isDown(std::uint32_t state) { return state == KEY_PRESSED || state == KEY_HELD; }

// The widget when it exists and is enabled through its parents.
Widget* enabled(Widget* w) { return w && w->IsEnabled() ? w : nullptr; }

} // namespace

char Server::KeyToChar(std::uint32_t key, std::uint32_t mods)
{
    // The key with exactly its own Shift state: Shift with the space bar
    // gives no character here (typed text comes from the platform).
    const bool shift = (mods & MOD_SHIFT) != 0;
    if (key > 0xFF || (shift && key == platform::DIK_SPACE))
        return 0;
    return platform::usKeyCharacter(std::uint8_t(key), shift, (mods & MOD_CAPSLOCK) != 0);
}

MouseEventArgs Server::MouseArgs(Widget* widget, std::uint32_t button) const
{
    MouseEventArgs args(widget);
    args.modifiers = modifiers;
    args.button = button;
    args.wheel = m_wheel;
    args.x = m_mouseX - widget->GetAbsoluteX();
    args.y = m_mouseY - widget->GetAbsoluteY();
    args.dx = m_dx;
    args.dy = m_dy;
    return args;
}

KeybEventArgs Server::KeyArgs(Widget* widget, std::uint32_t key, std::uint32_t mods) const
{
    KeybEventArgs args(widget);
    args.modifiers = mods;
    args.key = key;
    args.character = KeyToChar(key, mods);
    return args;
}

void Server::CancelRepeat()
{
    repeatKey = -1;
    repeatTimer = 0.0f;
    repeating = false;
}

void Server::Update(float dt)
{
    if (input) {
        std::int32_t x = 0, y = 0;
        input->getMousePos(x, y);
        m_mouseX = x;
        m_mouseY = y;
        m_dx = x - lastMouseX;
        m_dy = y - lastMouseY;
        lastMouseX = x;
        lastMouseY = y;
        const auto down = [this](std::uint8_t a, std::uint8_t b) { return input->isKeyDown(a) || input->isKeyDown(b); };
        const platform::LockToggles locks = platform::lockToggles();
        const auto bit = [](bool on, std::uint32_t flag) { return on ? flag : 0u; };
        modifiers = bit(down(0x2A, 0x36), MOD_SHIFT) | bit(down(0x1D, 0x9D), MOD_CTRL) |
                    bit(down(0x38, 0xB8), MOD_ALT) | bit(locks.caps, MOD_CAPSLOCK) |
                    bit(locks.scroll, MOD_SCROLLLOCK) | bit(locks.num, MOD_NUMLOCK);
        m_wheel = float(input->m_lZ) / float(platform::kWheelDelta);

        UpdateButtons();
        UpdateKeys();
        UpdateRepeat(dt);
        // A field hidden or disabled while focused stops taking text.
        SyncTextInput();
        if (pressedButton == kNoButton)
            SetHoverWidget(enabled(WidgetUnderPointer()));
        if (Widget* w = enabled(hover); w && (m_dx != 0 || m_dy != 0))
            w->OnMouseMove(MouseArgs(w, pressedButton));
        if (Widget* w = enabled(hover); w && m_wheel != 0.0f)
            w->OnMouseWheel(MouseArgs(w, pressedButton));
    }
    root->Update(dt);
}

Widget* Server::WidgetUnderPointer()
{
    const std::uint64_t changes = HitTestChanges();
    if (m_hitKnown && m_hitX == m_mouseX && m_hitY == m_mouseY && m_hitChanges == changes)
        return m_hit;
    // Counted before the test: a change made while it runs (a shape that
    // reads what nothing counts) leaves the next frame to test again.
    m_hit = root->WidgetAt(m_mouseX - root->GetAbsoluteX(), m_mouseY - root->GetAbsoluteY(), true, true);
    m_hitKnown = true;
    m_hitX = m_mouseX;
    m_hitY = m_mouseY;
    m_hitChanges = changes;
    return m_hit;
}

void Server::UpdateButtons()
{
    if (pressedButton != kNoButton) {
        if (isDown(input->m_mouseButtons[pressedButton]))
            return;
        const std::uint32_t button = pressedButton;
        pressedButton = kNoButton;
        if (Widget* w = enabled(hover))
            w->OnMouseUp(MouseArgs(w, button));
        return;
    }
    for (std::uint32_t b = 0; b < 3; ++b) {
        if (!isDown(input->m_mouseButtons[b]))
            continue;
        pressedButton = b;
        CancelRepeat();
        if (Widget* w = enabled(hover))
            w->RiseChain();
        if (Widget* w = enabled(hover))
            w->OnMouseDown(MouseArgs(w, b));
        return;
    }
}

void Server::UpdateKeys()
{
    // Most frames no key is held and none was: the loops over every key
    // below would then do nothing (and call no handler that could change
    // what they read), so they are left out.
    std::uint8_t anyHeld = 0;
    for (std::uint8_t d : keyDown)
        anyHeld |= d;
    for (std::uint32_t k = 0; anyHeld && k < 256; ++k) {
        if (isDown(input->m_keys[k]) || !keyDown[k])
            continue;
        keyDown[k] = 0;
        if (repeatKey == std::int32_t(k))
            repeatKey = -1;
        if (Widget* w = enabled(focus))
            w->OnKeyUp(KeyArgs(w, k));
    }
    // Keys go down in the order they were pressed, each with the Shift,
    // Ctrl, Alt and Caps Lock of its own moment: a fast typist puts several
    // keys, and Shift going down and up, into one frame. Each poll's
    // key-downs are taken once.
    if (input->m_polls != pressesTaken) {
        pressesTaken = input->m_polls;
        using Press = aInputServer::KeyPress;
        constexpr std::uint32_t kOwn = MOD_SHIFT | MOD_CTRL | MOD_ALT | MOD_CAPSLOCK;
        for (const Press& p : input->m_keyPresses) {
            if (p.key == 0) {
                TypeCharacter(p.character);
                continue;
            }
            if (pressedButton != kNoButton || !isDown(input->m_keys[p.key]))
                continue;
            const auto bit = [&p](std::uint8_t own, std::uint32_t flag) { return (p.modifiers & own) ? flag : 0u; };
            const std::uint32_t mods = (modifiers & ~kOwn) | bit(Press::kShift, MOD_SHIFT) |
                                       bit(Press::kCtrl, MOD_CTRL) | bit(Press::kAlt, MOD_ALT) |
                                       bit(Press::kCapsLock, MOD_CAPSLOCK);
            keyDown[p.key] = 1;
            PressKey(p.key, mods);
        }
    }
    // Keys down with no key-down of their own (an older recording, a key
    // held as the window took the focus): in key-code order with the frame's
    // modifiers.
    bool anyDown = false;
    for (std::uint32_t state : input->m_keys)
        anyDown |= isDown(state);
    for (std::uint32_t k = 0; anyDown && k < 256; ++k) {
        if (keyDown[k] || !isDown(input->m_keys[k]) || pressedButton != kNoButton)
            continue;
        keyDown[k] = 1;
        PressKey(k, modifiers);
    }
}

void Server::PressKey(std::uint32_t key, std::uint32_t mods)
{
    repeatKey = std::int32_t(key);
    repeatTimer = 0.0f;
    repeating = false;
    if (root->HandleHotkey(key, mods))
        return;
    if (Widget* w = enabled(focus))
        w->OnKeyDown(KeyArgs(w, key, mods));
}

void Server::TypeCharacter(char32_t c)
{
    Widget* w = enabled(focus);
    if (!w || !w->TakesText())
        return;
    KeybEventArgs args(w);
    args.modifiers = modifiers;
    args.text = c;
    w->OnTextInput(args);
}

bool Server::WantsText() const
{
    const Widget* w = enabled(focus);
    return w && w->TakesText() && w->IsVisible();
}

void Server::SyncTextInput()
{
    // The application's own pointer: hiding windows as the game shuts down
    // drops the focus after the input server may be gone.
    if (aInputServer* live = g_application ? g_application->m_inputServer : nullptr)
        live->setTextInput(WantsText());
}

void Server::UpdateRepeat(float dt)
{
    const bool mouse = pressedButton != kNoButton;
    if (!mouse && repeatKey < 0)
        return;
    repeatTimer += dt;
    Widget* target = enabled(mouse ? hover : focus);
    if (!target)
        return;
    if (!repeating) {
        if (!(repeatTimer >= target->autoRepeatDelay))
            return;
        repeatTimer = 0.0f;
        repeating = true;
    } else {
        if (!(repeatTimer >= target->autoRepeatRate))
            return;
        repeatTimer -= target->autoRepeatRate;
    }
    if (!mouse) {
        target->OnKeyDown(KeyArgs(target, std::uint32_t(repeatKey)));
        return;
    }
    const MouseEventArgs args = MouseArgs(target, pressedButton);
    if (target->mouseAutoRepeat && target->IsPointInside(args.x, args.y))
        target->OnMouseDown(args);
}

void Server::SetHoverWidget(Widget* widget)
{
    if (widget == hover)
        return;
    using Chain = std::vector<Widget*>;
    const auto chainOf = [](Widget* w) {
        Chain chain;
        for (; w; w = w->parent)
            chain.push_back(w);
        std::reverse(chain.begin(), chain.end());
        return chain;
    };
    const Chain from = chainOf(hover), to = chainOf(widget);
    std::size_t shared = 0;
    while (shared < from.size() && shared < to.size() && from[shared] == to[shared])
        ++shared;
    // Handlers may delete widgets of either chain: each is called only while
    // it lives.
    std::vector<std::pair<Widget*, std::weak_ptr<const void>>> leave, enter;
    for (std::size_t i = shared; i < from.size(); ++i)
        leave.emplace_back(from[i], from[i]->GetLifeToken());
    for (std::size_t i = shared; i < to.size(); ++i)
        enter.emplace_back(to[i], to[i]->GetLifeToken());
    const std::weak_ptr<const void> life = widget ? widget->GetLifeToken() : std::weak_ptr<const void>();
    for (const auto& [w, alive] : leave)
        if (!alive.expired())
            w->OnMouseLeave(WidgetEventArgs(w));
    for (const auto& [w, alive] : enter)
        if (!alive.expired())
            w->OnMouseEnter(WidgetEventArgs(w));
    hover = widget && !life.expired() ? widget : nullptr;
}

void Server::InitWidgets()
{
    std::vector<std::pair<Widget*, std::weak_ptr<const void>>> stack;
    stack.emplace_back(root.get(), root->GetLifeToken());
    while (!stack.empty()) {
        const auto [widget, life] = stack.back();
        stack.pop_back();
        if (life.expired())
            continue;
        widget->Initialize();
        if (life.expired())
            continue;
        for (Widget* child : widget->children)
            stack.emplace_back(child, child->GetLifeToken());
    }
    focus = nullptr;
    hover = nullptr;
    pressedButton = kNoButton;
    cursor = nullptr;
    lastMouseX = lastMouseY = 0;
    cursorOn = true;
    repeatKey = -1;
    SyncTextInput();
}

} // namespace GUI
