#include "game/SpyGame/Dialogs/InvestigationBanner.h"

#include <algorithm>

#include "engine/gfx/a_image.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gfx/a_particle_system.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_engine.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_log.h"
#include "game/SpyGame/Dialogs/ScreenSize.h"
#include "game/shell/c_res_manager.h"

namespace {

// A long frame can carry the timer far past a phase; the alphas must not wrap.
std::uint8_t alphaByte(float alpha) { return std::uint8_t(std::clamp(alpha, 0.0f, 1.0f) * 255.0f); }

} // namespace

CInvestigationBanner::CInvestigationBanner() = default;
CInvestigationBanner::~CInvestigationBanner() = default;

void CInvestigationBanner::Load()
{
    if (m_state != NotLoaded)
        return;
    m_res = CResManager::getSingletonPtr();
    if (!m_res) {
        a_log("CInvestigationBanner::Load(). No resource manager: the banner stays unloaded");
        return;
    }
    aSoundManager* sounds = m_res->GetSoundManager();
    m_sound = sounds ? sounds->GetSound("investigation_completed", "") : nullptr;
    if (const aParticleSystem* effect = m_res->GetParticle("InvestigationComplete"))
        m_particles = std::make_unique<aParticleSystem>(*effect);
    else
        a_log("CInvestigationBanner::Load(). No particle effect 'InvestigationComplete': the banner has no burst");
    // Whole seconds of the jingle. One under a second would give a zero
    // duration, and the growing phase divides by it.
    m_duration = m_sound ? float(m_sound->GetLength() / 1000u) : 0.0f;
    if (m_duration <= 0.0f)
        m_duration = kSilentDuration;
    m_state = Idle;
}

void CInvestigationBanner::Start(bool storyComplete)
{
    if (m_state == NotLoaded)
        return;
    if (aMusicManager* music = m_res->GetMusicManager())
        music->Stop(false);
    aSound::globalEngine().Stop();
    if (m_sound)
        m_sound->Play(false, false);
    aImageManager* images = m_res->GetImageManager();
    m_image = images ? images->GetImage(storyComplete ? "story_complete" : "Investigation_complete", "") : nullptr;
    if (m_particles) {
        const CScreenSize screen = GetScreenSize();
        m_particles->reset();
        m_particles->startAt(float(screen.width) * 0.5f, float(screen.height) * 0.5f);
        m_particles->update(kBurstLead);
    }
    m_timer = 0.0f;
    m_state = Growing;
}

void CInvestigationBanner::Update(float dt)
{
    if (!IsRunning())
        return;
    m_timer += dt;
    if (m_particles)
        m_particles->update(dt);
    if (m_state == Growing) {
        if (m_timer > m_duration * 0.5f)
            m_state = Holding;
    } else if (m_state == Holding) {
        if (m_timer > m_duration)
            m_state = FadingOut;
    } else if (m_timer > m_duration + kFadeOutTime) {
        m_state = Idle;
    }
}

CInvestigationBanner::Layers CInvestigationBanner::GetLayers() const
{
    Layers layers;
    if (m_state == Growing) {
        const float k = std::clamp(m_timer / (m_duration * 0.5f), 0.0f, 1.0f);
        layers.overlayAlpha = alphaByte(k);
        layers.scale = kStartScale + (kFullScale - kStartScale) * k;
        layers.imageAlpha = alphaByte(kStartAlpha + (1.0f - kStartAlpha) * k);
    } else if (m_state == Holding || m_state == FadingOut) {
        layers.overlayAlpha = 255;
        layers.scale = kFullScale;
        layers.imageAlpha = m_state == Holding ? 255 : alphaByte(1.0f - (m_timer - m_duration) / kFadeOutTime);
    }
    return layers;
}

void CInvestigationBanner::Render()
{
    if (!IsRunning())
        return;
    const CScreenSize screen = GetScreenSize();
    const Layers layers = GetLayers();
    const std::uint32_t kept = m_res->GetRectColor();
    m_res->SetRectColor(std::uint32_t(layers.overlayAlpha) << 24);
    m_res->DrawRect(0.0f, 0.0f, float(screen.width), float(screen.height));
    m_res->SetRectColor(kept);
    if (m_particles)
        m_particles->render();
    if (m_image) {
        const D3DXVECTOR2 scale{layers.scale, layers.scale};
        const float x = (float(screen.width) - float(m_image->getWidth()) * layers.scale) * 0.5f;
        const float y = (float(screen.height) - float(m_image->getHeight()) * layers.scale) * 0.5f;
        m_image->draw(x, y, nullptr, std::uint32_t(layers.imageAlpha) << 24 | 0xFFFFFF, &scale, 0.0f, nullptr, 0);
    }
}

void CInvestigationBanner::Hide()
{
    if (IsRunning())
        m_state = Idle;
}
