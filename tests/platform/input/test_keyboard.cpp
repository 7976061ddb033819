#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "platform/input/keyboard.h"
#include "platform/system/window.h"

using namespace platform;

namespace {

// SDL scancodes are USB HID usage ids; the tests name them by number.
enum : int {
    kA = 4, kReturn = 40, kBackslash = 49, kNonUsHash = 50, kPrintScreen = 70, kHome = 74,
    kDelete = 76, kKpDivide = 84, kKpEnter = 88, kNonUsBackslash = 100, kMute = 127,
    kLAlt = 226, kRAlt = 230, kAudioMute = 262,
};

TEST(KeyboardTable, KnownKeys)
{
    EXPECT_EQ(dikFromScancode(kA), DIK_A);
    EXPECT_EQ(dikFromScancode(kReturn), 0x1C);
    EXPECT_EQ(dikFromScancode(kLAlt), 0x38);
    EXPECT_EQ(dikFromScancode(kRAlt), 0xB8);
    EXPECT_EQ(dikFromScancode(kPrintScreen), 0xB7);
    EXPECT_EQ(dikFromScancode(kHome), 0xC7);
    EXPECT_EQ(dikFromScancode(kDelete), 0xD3);
    EXPECT_EQ(dikFromScancode(kKpEnter), 0x9C);
    EXPECT_EQ(dikFromScancode(kKpDivide), 0xB5);
    EXPECT_EQ(dikFromScancode(kNonUsBackslash), DIK_OEM_102);
    EXPECT_EQ(dikFromScancode(0), 0);
    EXPECT_EQ(dikFromScancode(-1), 0);
    EXPECT_EQ(dikFromScancode(512), 0);
}

TEST(KeyboardTable, NoUnintendedDuplicates)
{
    std::map<int, std::vector<int>> byDik;
    for (int sc = 0; sc < 512; ++sc)
        if (int dik = dikFromScancode(sc))
            byDik[dik].push_back(sc);
    const std::map<int, std::vector<int>> intended = {
        {DIK_BACKSLASH, {kBackslash, kNonUsHash}},
        {DIK_MUTE, {kMute, kAudioMute}},
    };
    for (const auto& [dik, scancodes] : byDik) {
        if (scancodes.size() < 2)
            continue;
        auto it = intended.find(dik);
        ASSERT_NE(it, intended.end()) << "DIK 0x" << std::hex << dik << " mapped " << scancodes.size() << " times";
        EXPECT_EQ(scancodes, it->second);
    }
    // Letters, digits, F1-F12, modifiers, navigation and the number pad at least.
    EXPECT_GE(byDik.size(), 100u);
}

TEST(SdlKeyboard, AllUpWithoutFocus)
{
    WindowDesc d;
    d.width = d.backBufferWidth = 16;
    d.height = d.backBufferHeight = 16;
    auto window = Window::create(d);
    ASSERT_TRUE(window);
    KeyFrame frame;
    frame.fill(0xFF);
    EXPECT_EQ(sdlKeyboard().read(frame), InputResult::Ok);
    EXPECT_EQ(frame, KeyFrame{});
}

TEST(ScriptedKeyboard, FramesRepeatFailAndInstall)
{
    ScriptedKeyboard k;
    KeyFrame f;
    ASSERT_EQ(k.read(f), InputResult::Ok);
    EXPECT_EQ(f, KeyFrame{});

    k.pushKeys({DIK_LSHIFT, DIK_A});
    k.pushKeys({});
    ASSERT_EQ(k.read(f), InputResult::Ok);
    EXPECT_EQ(f[DIK_LSHIFT], 0x80);
    EXPECT_EQ(f[DIK_A], 0x80);
    EXPECT_EQ(f[DIK_B], 0);
    k.error = InputResult::InputLost;
    EXPECT_EQ(k.read(f), InputResult::InputLost);  // consumes the empty frame
    EXPECT_EQ(f, KeyFrame{});
    k.error = InputResult::Ok;
    k.pushKeys({DIK_ESCAPE});
    ASSERT_EQ(k.read(f), InputResult::Ok);
    ASSERT_EQ(k.read(f), InputResult::Ok);  // queue empty: the last frame repeats
    EXPECT_EQ(f[DIK_ESCAPE], 0x80);
    EXPECT_EQ(k.reads, 5);

    EXPECT_EQ(&keyboard(), &sdlKeyboard());
    setKeyboard(&k);
    EXPECT_EQ(&keyboard(), &k);
    setKeyboard(nullptr);
    EXPECT_EQ(&keyboard(), &sdlKeyboard());
}

} // namespace
