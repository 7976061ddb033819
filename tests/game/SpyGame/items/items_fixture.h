#pragma once
// The test location (TestRoom/ beside this file) copied into the test's
// home with its pictures and video drawn here, and its managers loaded.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_locale_server.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/shell/c_particle_manager.h"

namespace itemtest {

// Colours of the pictures (opaque ARGB).
constexpr std::uint32_t kSoftRgb = 0xFF0000;    // "soft": alpha 8 * x, 32 x 16
constexpr std::uint32_t kCoin = 0xFFE0C020;     // 16 x 16, corners transparent
constexpr std::uint32_t kClosed = 0xFF2040C0;   // box_closed, 24 x 24
constexpr std::uint32_t kOpen = 0xFF20C040;     // box_open, 24 x 24
constexpr std::uint32_t kHeapA = 0xFF806040;    // layer 0, 20 x 20
constexpr std::uint32_t kHeapB = 0xFFA0A0A0;    // layer 1, 20 x 20 at (2, 2)
constexpr std::uint32_t kDoor = 0xFF604020;     // 32 x 48
constexpr std::uint32_t kGlow = 0x80FFFF80;     // door_glow
constexpr int kSoftW = 32, kSoftH = 16, kCoinSize = 16;

std::uint32_t softAlpha(int x);
// The coin's alpha at a texel: 0 in its corners.
bool coinOpaque(int x, int y);

// Copies TestRoom/ to dir and draws its pictures and video there.
void writeTestRoom(const std::string& dir);

// The location loaded: lists into the managers, a GUI server with the font
// "test", the items loaded and after-loaded. Needs a graphics server.
struct TestRoom {
    explicit TestRoom(const std::string& dir);
    ~TestRoom();

    CSpyItem& item(const std::string& name) const;
    template <class K>
    K& as(const std::string& name) const
    {
        return dynamic_cast<K&>(item(name));
    }

    std::string dir;
    aImageManager images;
    aAdvAnimManager anims;
    CParticleManager particles{&images};
    aLocaleServer locale;
    std::unique_ptr<GUI::Server> gui;
    CSpyResources res;
    std::unique_ptr<CSpyItemManager> items;
};

} // namespace itemtest
