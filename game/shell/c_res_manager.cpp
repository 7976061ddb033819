#include "game/shell/c_res_manager.h"

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_music_manager.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_locale_server.h"
#include "engine/util/a_log.h"
#include "game/shell/c_particle_manager.h"
#include "platform/system/clock.h"

namespace {

struct LoadCost {
    const char* extension;
    float weight;
};

// Load time per byte of each kind of file, measured against each other.
const LoadCost kImageCosts[] = {{"png", 15.230181f}, {"jpg", 40.593037f}, {"jng", 126.94324f}, {"bmp", 17.628851f}};
const LoadCost kSoundCosts[] = {{"ogg", 90.618645f}, {"mp3", 38.645351f}, {"wav", 2.7119851f}};
const LoadCost kMusicCosts[] = {{"ogg", 8.430028f}, {"mp3", 1.0f}};
const LoadCost kParticleCosts[] = {{"psys", 1.0f}};

template <std::size_t N>
void setCosts(aBaseManager& manager, const LoadCost (&costs)[N])
{
    for (const LoadCost& c : costs)
        manager.SetLoadCost(c.extension, c.weight, CResManager::kMinimumCostSize);
}

} // namespace

CResManager::CResManager(bool musicWorker)
    : m_locale(std::make_unique<aLocaleServer>()),
      m_images(std::make_unique<aImageManager>()),
      m_sounds(std::make_unique<aSoundManager>()),
      m_music(std::make_unique<aMusicManager>(musicWorker)),
      m_particles(std::make_unique<CParticleManager>(m_images.get())),
      m_advAnims(std::make_unique<aAdvAnimManager>())
{
    m_advAnims->m_imageManager = m_images.get();
    setCosts(*m_images, kImageCosts);
    setCosts(*m_sounds, kSoundCosts);
    setCosts(*m_music, kMusicCosts);
    setCosts(*m_particles, kParticleCosts);
    // Textures first: particle systems and animations look theirs up as they load.
    SetLoadOrder({m_images.get(), m_sounds.get(), m_music.get(), m_particles.get(), m_advAnims.get()});
}

CResManager::~CResManager()
{
    // Animations and particle systems hold images of the image manager.
    m_advAnims.reset();
    m_particles.reset();
    m_music.reset();
    m_sounds.reset();
    m_images.reset();
    m_locale.reset();
}

void CResManager::SetLoadOrder(const std::vector<aBaseManager*>& managers)
{
    Guard guard(*this);
    m_slots.clear();
    for (aBaseManager* manager : managers) {
        manager->SetCallback(&CResManager::onFileLoaded);
        m_slots.push_back(Slot{manager, {}});
    }
    m_total = m_done = 0.0;
}

void CResManager::onFileLoaded(const std::string& name)
{
    CResManager* self = getSingletonPtr();
    if (self && self->m_progress)
        self->m_progress(name);
}

double CResManager::remainingCost() const
{
    double sum = 0.0;
    for (const Slot& slot : m_slots)
        for (float cost : slot.costs)
            sum += double(cost);
    return sum;
}

void CResManager::BeginLoading()
{
    Guard guard(*this);
    for (Slot& slot : m_slots) {
        slot.manager->RewindTasks();
        slot.costs.clear();
        slot.manager->GetTaskCosts(slot.costs);
    }
    m_total = remainingCost();
    m_done = 0.0;
}

bool CResManager::LoadStep()
{
    Guard guard(*this);
    aBaseManager::Progress progress;
    progress.startTicks = platform::getTickCount();
    progress.total = 0.0f;
    progress.budget = kStepBudgetMs;
    bool loaded = false;
    for (Slot& slot : m_slots) {
        if (slot.manager->IsTasksDone())
            continue;
        // Each manager loads at least one file per call: once the step is
        // past its budget the next manager waits for the next frame.
        if (loaded && platform::getTickCount() - progress.startTicks >= kStepBudgetMs)
            break;
        slot.manager->ProcessTasks(slot.costs, progress);
        loaded = true;
        // Later managers load what needs the earlier ones' files (particle
        // systems and animations their images): they wait until those are in.
        if (!slot.manager->IsTasksDone())
            break;
    }
    m_done = m_total - remainingCost();
    return IsLoaded();
}

void CResManager::ClearTasks()
{
    Guard guard(*this);
    for (Slot& slot : m_slots) {
        slot.manager->ClearTasks();
        slot.costs.clear();
    }
    m_total = m_done = 0.0;
}

bool CResManager::IsLoaded()
{
    Guard guard(*this);
    for (const Slot& slot : m_slots)
        if (!slot.manager->IsTasksDone())
            return false;
    return true;
}

std::size_t CResManager::GetTaskCount()
{
    Guard guard(*this);
    std::size_t count = 0;
    for (const Slot& slot : m_slots)
        count += slot.manager->GetTaskCount();
    return count;
}

double CResManager::GetDoneCost()
{
    Guard guard(*this);
    return m_done;
}

double CResManager::GetTotalCost()
{
    Guard guard(*this);
    return m_total;
}

float CResManager::GetProgress()
{
    Guard guard(*this);
    if (!(m_total > 0.0))
        return 1.0f;
    return float(m_done / m_total);
}

std::wstring CResManager::GetLocalizedString(const std::string& key, const std::string& prefix)
{
    std::string shortKey = key;
    std::string group = prefix;
    const std::size_t colon = key.find(':');
    if (group.empty() && colon != std::string::npos) {
        group = key.substr(0, colon);
        shortKey = key.substr(colon + 1);
    }
    if (const std::wstring* text = m_locale->findString(shortKey, group))
        return *text;
    const std::string full = group.empty() ? shortKey : group + ":" + shortKey;
    if (m_missingStrings.insert(full).second)
        a_log("String '%s' not found!", full.c_str());
    return std::wstring();
}

aParticleSystem* CResManager::GetParticle(const std::string& name, const std::string& group)
{
    return m_particles->GetParticle(name, group);
}

void CResManager::DrawRect(float x, float y, float w, float h)
{
    if (!m_white.getTexture()) {
        m_white.create(1, 1);
        aImage::LockInfo info;
        if (!m_white.lock(info, nullptr, false))
            return;
        info.SetColorAt(0, 0, 0xFFFFFFFF);
        m_white.unlock();
    }
    const D3DXVECTOR2 scale{w, h};
    m_white.draw(x, y, nullptr, m_rectColor, &scale, 0.0f, nullptr, 0);
}
