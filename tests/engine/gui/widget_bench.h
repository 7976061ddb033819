#pragma once
// Helpers for the widget-class tests on the recording device: a larger
// screen, scripts loaded from text, typed lookups and recorded sprite draws
// in short form.
#include "gui_test_bench.h"

namespace guitest {

class WidgetBench : public RecordingBench {
protected:
    static constexpr int kScreenW = 320, kScreenH = 240;
    std::uint16_t screenWidth() const override { return kScreenW; }
    std::uint16_t screenHeight() const override { return kScreenH; }
    void SetUp() override
    {
        RecordingBench::SetUp();
        mouse.clientWidth = kScreenW;
        mouse.clientHeight = kScreenH;
    }

    // Loads the text as a GUI script and initialises the tree.
    void script(const std::string& text)
    {
        const std::string path = test_env::home() + "/test.agui";
        test_env::writeFile(path, text);
        gui->load(path);
        gui->InitWidgets();
    }
    template <class T = GUI::Widget>
    T* find(const std::string& name) const
    {
        return dynamic_cast<T*>(gui->GetRoot()->FindChild(name, true));
    }
    // The sprite draws of one render of the tree.
    std::vector<imgtest::SpriteDraw> render()
    {
        rec->clear();
        gui->Render();
        return spriteDraws();
    }
    // A draw as "x,y w,h argb" (destination corner, source size, colour).
    static std::string brief(const imgtest::SpriteDraw& d)
    {
        char text[96];
        std::snprintf(text, sizeof text, "%g,%g %lldx%lld*%g,%g %08X", double(d.tx), double(d.ty),
                      (long long)(d.right - d.left), (long long)(d.bottom - d.top), double(d.sx), double(d.sy),
                      d.color);
        return text;
    }
    // Every draw of one render as brief() has it, with the source's corner.
    std::vector<std::string> sourcedBriefs()
    {
        std::vector<std::string> out;
        for (const imgtest::SpriteDraw& d : render())
            out.push_back(brief(d) + " @" + std::to_string(d.left) + "," + std::to_string(d.top));
        return out;
    }
    std::vector<std::string> briefs(const aImage* image)
    {
        std::vector<std::string> out;
        for (const imgtest::SpriteDraw& d : render())
            if (!image || d.texture == image->getTexture())
                out.push_back(brief(d));
        return out;
    }
};

} // namespace guitest
