// Advanced-animation ini files: the input is the ini; the image manager
// holds "a" (16 x 8) and "b" (8 x 8). Every loaded animation is stepped,
// jumped, reversed, copied, drawn and hit-tested.
#include "engine/gfx/a_adv_anim.h"
#include "engine/gfx/a_image_manager.h"
#include "fuzz/fuzz_graphics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::Recorder& recorder = fuzz::recordingGraphics();
    static aImageManager* images = [] {
        auto* m = new aImageManager;
        fuzz::writeTemp("a.bmp", fuzz::bmp(16, 8));
        fuzz::writeTemp("b.bmp", fuzz::bmp(8, 8));
        m->LoadFile(fuzz::tempDir(), "a.bmp 8888 8888", "");
        m->LoadFile(fuzz::tempDir(), "b.bmp 0565 0565", "");
        return m;
    }();

    aAdvAnim anim;
    if (!anim.Load(fuzz::writeTemp("anim.ini", data, size), images, ""))
        return 0;
    const D3DXVECTOR2 scale{2.0f, -1.0f}, pivot{3.0f, 4.0f};
    const float steps[] = {0.016f, 0.5f, 3.0f, 1e-7f};
    for (int i = 0; i < 4; ++i) {
        anim.Update(steps[i]);
        anim.Draw(10.0f, 10.0f, 0xFFFFFFFF, i & 1 ? &scale : nullptr, float(i) * 0.5f, i & 2 ? &pivot : nullptr, i);
        for (int y = -1; y < 10; y += 3)
            for (int x = -1; x < 18; x += 4)
                (void)anim.HitTest(x, y, i);
    }
    const std::uint32_t total = anim.GetTotalFrames();
    for (std::uint32_t n : {0u, 1u, total / 2, total - 1}) {
        if (!anim.SetFrame(n))
            continue;
        anim.Update(0.05f);
        anim.Draw(0.0f, 0.0f, 0xFFFFFFFF, nullptr, 0.0f, nullptr, 3);
    }
    aAdvAnim copy(anim);
    copy.SetReverse(true);
    copy.Rewind();
    copy.Update(0.3f);
    copy.SetPaused(true);
    copy.Update(0.3f);
    anim = copy;
    anim.Draw(0.0f, 0.0f, 0xFFFFFFFF, nullptr, 1.0f, nullptr, 2);
    recorder.clear();
    return 0;
}
