#pragma once
// Helpers for the widget-class tests on the recording device: scripts
// loaded from text, typed lookups, named events traced in firing order and
// recorded sprite draws in short form.
#include <initializer_list>

#include "gui_test_bench.h"

namespace guitest {

// Records the named events of widgets as "<widget>.<event>".
class NamedTrace {
public:
    void watch(GUI::Widget* w, std::initializer_list<const char*> events)
    {
        for (const char* e : events) {
            m_handlers.push_back(std::make_unique<Handler>(this, w->name + "." + e));
            w->SubscribeEvent(e, m_handlers.back().get());
        }
    }
    std::vector<std::string> take()
    {
        std::vector<std::string> out;
        out.swap(m_fired);
        return out;
    }

private:
    struct Handler : GUI::Subscriber {
        Handler(NamedTrace* t, std::string s) : trace(t), text(std::move(s)) {}
        bool operator()(const GUI::EventArgs&) override
        {
            trace->m_fired.push_back(text);
            return false;
        }
        NamedTrace* trace;
        std::string text;
    };
    std::vector<std::unique_ptr<Handler>> m_handlers;
    std::vector<std::string> m_fired;
};

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
