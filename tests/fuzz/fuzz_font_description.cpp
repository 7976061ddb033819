// Font descriptions: the input is the ini file; its texture may be "t.png"
// (a 16 x 16 image beside it). Every loaded font is measured and drawn with
// each layout flag, at several scales and angles.
#include "engine/gfx/a_font.h"
#include "fuzz/fuzz_graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::Recorder& recorder = fuzz::recordingGraphics();
    static const bool texture = !fuzz::writeTemp("t.png", fuzz::bmp(16, 16)).empty();
    (void)texture;

    aFont font(fuzz::writeTemp("font.ini", data, size));
    std::string narrow = "_A_V a__";
    for (int c = 0x20; c < 0x100; c += 7)
        narrow.push_back(char(c));
    const std::wstring wide = L"_\u0410\u0439 \u20AC_";
    const float scales[] = {1.0f, -20.0f, 0.0f, 3.5f};
    for (int i = 0; i < 4; ++i) {
        font.setScale(scales[i]);
        font.setAngle(float(i) * 0.7f);
        font.color = 0xFF000000u | std::uint32_t(i);
        for (std::uint8_t flags = 0; flags < 32; flags = std::uint8_t(flags + 3 + i)) {
            font.drawString(10.0f, 20.0f, narrow, flags);
            font.drawString(-5.5f, 40.0f, wide, flags);
        }
        (void)font.getStringSize(narrow);
        (void)font.getStringSize(wide);
    }
    if (font.getLoader()) {
        (void)font.getFontHeight();
        (void)font.getLoader()->getCharInfo(L'A').getKerning(L'V');
    }
    recorder.clear();
    return 0;
}
