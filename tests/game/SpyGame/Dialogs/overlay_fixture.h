#pragma once
// The banner, hint balloon and card bench: the demo resources and scripts,
// a jingle of a chosen length in place of the demo's, a solid test card,
// and a scene drawn over a white screen.
#include <memory>
#include <string>
#include <vector>

#include "audio_fixtures.h"
#include "dialog_fixture.h"
#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "jng_writer.h"

namespace dialogtest {

template <class Bench>
class OverlayBench : public Bench {
protected:
    void SetUp() override
    {
        Bench::SetUp();
        this->loadDemoResources();
        this->loadGui();
        this->takeLog();
    }

    // The jingle becomes a tone of ms milliseconds; 0 leaves none.
    void setJingle(unsigned ms)
    {
        aSoundManager* sounds = this->res->GetSoundManager();
        sounds->UnloadFile("investigation_completed.ogg", "");
        if (ms == 0)
            return;
        const int rate = 22050;
        const std::size_t frames = std::size_t(ms) * rate / 1000;
        const std::string folder = test_env::home() + "/jingle/";
        test_env::writeFile(folder + "investigation_completed.wav",
                            audio_fixtures::makeWav(audio_fixtures::tone(1, rate, frames, 440.0, 0.3), 1, rate,
                                                    audio_fixtures::WavFormat::S16));
        sounds->LoadFile(folder, "investigation_completed.wav ", "");
    }

    // A card of one colour, w x h.
    std::shared_ptr<aImage> solidCard(std::uint32_t argb, int w = 420, int h = 280)
    {
        const std::string folder = test_env::home() + "/cards/";
        test_env::writeFile(folder + "solid_card.png",
                            jng_writer::buildPng(w, h, std::vector<std::uint32_t>(std::size_t(w * h), argb)));
        aImageManager* images = this->res->GetImageManager();
        images->LoadFile(folder, "solid_card.png 8888 8888", "");
        return std::make_shared<aImage>(*images->GetImage("solid_card", ""));
    }

    // One frame: a white screen, the GUI, then extra (an overlay of the test).
    template <class Extra>
    void drawOverWhite(Extra extra)
    {
        aGraphServer* graph = this->app.m_graphServer;
        ASSERT_TRUE(graph->beginScene());
        this->res->SetRectColor(0xFFFFFFFF);
        this->res->DrawRect(0.0f, 0.0f, 1024.0f, 768.0f);
        this->gui->Render();
        extra();
        graph->endScene();
    }
};

} // namespace dialogtest
