// The clipboard through SDL (offscreen video) and the keyboard-layout query.
#include <gtest/gtest.h>

#include "platform/input/keyboard.h"
#include "platform/system/clipboard.h"
#include "platform/system/window.h"

using namespace platform;

TEST(Clipboard, SdlRoundTripHeadlessAndLayoutOverride)
{
    WindowDesc d;
    d.width = 32;
    d.height = 24;
    std::string error;
    const std::unique_ptr<Window> window = Window::create(d, &error);
    ASSERT_TRUE(window) << error;
    const std::string text = "Grüße, \xD0\xBC\xD0\xB8\xD1\x80 \xF0\x9F\x98\x80";
    ASSERT_TRUE(clipboard().setText(text));
    EXPECT_EQ(clipboard().getText(), text);
    EXPECT_FALSE(cyrillicLayout());  // the offscreen driver's keymap is US

    ScriptedKeyboard scripted;
    scripted.cyrillic = true;
    setKeyboard(&scripted);
    EXPECT_TRUE(cyrillicLayout());
    setKeyboard(nullptr);
}
