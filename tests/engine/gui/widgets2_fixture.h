#pragma once
// The widgets-II tests' bench: the widget bench with the synthetic font "f"
// (10 x 20 glyphs), an in-memory clipboard, a fresh tree per script, and
// keys typed through the input server.
#include <gtest/gtest.h>

#include <string>

#include "engine/gui/gui_widget_factory.h"
#include "widget_bench.h"
#include "platform/input/dinput_keys.h"
#include "platform/system/clipboard.h"

namespace guitest {

// Counts an event's firings.
struct Counter : GUI::Subscriber {
    int count = 0;
    bool operator()(const GUI::EventArgs&) override
    {
        ++count;
        return false;
    }
    int take() { return std::exchange(count, 0); }
};

// Keys typed through the input server, on any GUI bench.
template <class Base>
class KeyTyping : public Base {
protected:
    // Presses the key with the modifier keys for a frame, then releases all;
    // the keyboard types c (if any) as the key goes down.
    void key(std::uint8_t k, std::uint32_t mods = 0, char c = 0)
    {
        if (mods & GUI::MOD_SHIFT)
            this->hold(platform::DIK_LSHIFT);
        if (mods & GUI::MOD_CTRL)
            this->hold(platform::DIK_LCONTROL);
        this->step();
        this->hold(k);
        if (c)
            this->typeText(std::u32string(1, char32_t(static_cast<unsigned char>(c))));
        this->step();
        this->m_held.clear();
        this->step();
    }
    // Types printable ASCII, shifting where the US keyboard needs it.
    void type(const std::string& text)
    {
        for (char c : text)
            for (std::uint32_t k = 1; k < 256; ++k) {
                if (GUI::Server::KeyToChar(k, 0) == c) {
                    key(std::uint8_t(k), 0, c);
                    break;
                }
                if (GUI::Server::KeyToChar(k, GUI::MOD_SHIFT) == c) {
                    key(std::uint8_t(k), GUI::MOD_SHIFT, c);
                    break;
                }
            }
    }
};

class Widgets2Bench : public KeyTyping<WidgetBench> {
protected:
    void SetUp() override
    {
        KeyTyping::SetUp();
        if (HasFatalFailure())
            return;
        platform::setClipboard(&clip);
        font = addFont("f");
    }
    void TearDown() override
    {
        platform::setClipboard(nullptr);
        KeyTyping::TearDown();
    }

    // Replaces the tree by the script's widgets and initialises them.
    void load(const std::string& text)
    {
        gui->GetRoot()->RemoveAllChildren();
        script(text);
    }

    // "start-end@caret" of an edit box's selection and caret.
    template <class E>
    static std::string where(const E* e)
    {
        return std::to_string(e->GetSelectionStart()) + "-" + std::to_string(e->GetSelectionEnd()) + "@" +
               std::to_string(e->GetCaretPos());
    }
    bool logged(const char* text) { return newLog().find(text) != std::string::npos; }

    platform::MemoryClipboard clip;
    aFont* font = nullptr;
};

} // namespace guitest
