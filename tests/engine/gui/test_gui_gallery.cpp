// The first widget gallery of the demo GUI, driven by injected input and
// checked by back-buffer pixels on the offscreen GL device.
#include <gtest/gtest.h>

#include "engine/gui/gui_checkbox.h"
#include "engine/gui/gui_slider.h"
#include "engine/gui/gui_static_text.h"
#include "gallery_bench.h"

using namespace GUI;
using guitest::GalleryBench;

TEST_F(GalleryBench, EveryKindWorksByInput)
{
    ASSERT_NE(widget("Gallery1"), nullptr);
    for (const char* fault : {"Error", "not found", "invalid", "cannot create", "no font"})
        EXPECT_EQ(logIndex(fault, logIndex("GUI script 'gallery:gallery.agui' parsing started")), -1) << fault;
    // The tinted swatch: white times FF3080C0.
    EXPECT_TRUE(near(shown(at("GallerySwatch", 24, 24)), 0x3080C0)) << std::hex << shown(at("GallerySwatch", 24, 24));

    // The image button: hover glyph, then pushed glyph (inside the frame,
    // clear of the label).
    const auto face = at("GalleryButton", 6, 6);
    EXPECT_EQ(shown(face), 0x3060C0u);
    hover(face);
    EXPECT_EQ(shown(face), 0x60A0FFu);
    press(face.first, face.second);
    EXPECT_EQ(shown(face), 0x183070u);
    release();

    // The check mark appears on a click of the box.
    const auto tick = at("GalleryCheck", 10, 17);
    EXPECT_NE(shown(tick), 0x20A020u);
    click(at("GalleryCheck", 60, 12));
    EXPECT_TRUE(widget<Checkbox>("GalleryCheck")->checked);
    EXPECT_EQ(shown(tick), 0x20A020u);

    // The radio group switches its dot from the first to the second.
    const auto dot1 = at("GalleryRadio1", 12, 12), dot2 = at("GalleryRadio2", 12, 12);
    EXPECT_EQ(shown(dot1), 0x2040C0u);
    click(at("GalleryRadio2", 60, 12));
    EXPECT_NE(shown(dot1), 0x2040C0u);
    EXPECT_EQ(shown(dot2), 0x2040C0u);

    // The slider's thumb dragged half-way along the track.
    dragBy(at("_auto_thumb", 8, 8), 92, 0);
    auto* slider = widget<Slider>("GallerySlider");
    EXPECT_FLOAT_EQ(slider->value, 0.5f);
    EXPECT_EQ(shown(at("GallerySlider", 92 + 8, 8)), 0xF0C860u);  // still under the mouse: hover

    // The text's first line, with its red first word, goes when the bar's
    // arrow scrolls one line.
    auto* text = widget<StaticText>("GalleryText");
    const auto redIn = [this, text](int top, int bottom) {
        draw();
        const auto px = backBuffer();
        for (int y = text->GetAbsoluteY() + top; y < text->GetAbsoluteY() + bottom; ++y)
            for (int x = text->GetAbsoluteX(); x < text->GetAbsoluteX() + 60; ++x)
                if (near(px[std::size_t(y * kWidth + x)], 0xFF4040, 40))
                    return true;
        return false;
    };
    EXPECT_TRUE(redIn(0, 19));
    Scrollbar* bar = text->vScrollbar;
    ASSERT_NE(bar, nullptr);
    click(std::make_pair(bar->GetAbsoluteX() + 8, bar->GetAbsoluteY() + 64 + 8));
    EXPECT_EQ(bar->position, 24.0f);
    EXPECT_FALSE(redIn(0, 96));

    // The window dragged by its title moves everything in it.
    const auto swatch = at("GallerySwatch", 24, 24);
    dragBy(at("Gallery1", 300, 20), -40, 30);
    EXPECT_EQ(widget("Gallery1")->area, aRect(504, 62, 448, 420));
    EXPECT_TRUE(near(shown(std::make_pair(swatch.first - 40, swatch.second + 30)), 0x3080C0));
}
