#pragma once
// The game's resources: the image, sound, music, particle and advanced
// animation managers, the locale server, a drawing context and a white
// pixel for solid rectangles. Loading runs are time-sliced: BeginLoading
// takes the cost of everything queued, then each frame's LoadStep works the
// managers' queues in that order until the step's budget is spent.
//
// Threads: the loading run's operations take the manager's lock; the
// managers themselves are main-thread objects.
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/gfx/a_gdi.h"
#include "engine/gfx/a_image.h"
#include "engine/util/a_critical_section.h"
#include "engine/util/a_singleton.h"

class aAdvAnimManager;
class aBaseManager;
class aImageManager;
class aLocaleServer;
class aMusicManager;
class aParticleSystem;
class aSoundManager;
class CParticleManager;

class CResManager : public aCriticalSection, public aSingleton<CResManager> {
public:
    // Budget of one loading step, milliseconds.
    static constexpr std::uint32_t kStepBudgetMs = 100;
    // Smallest size a file is charged for, bytes.
    static constexpr std::uint32_t kMinimumCostSize = 1024;

    // Gets each loaded file's name (image and particle files, sound keys,
    // music lines) while a manager loads it.
    using ProgressFunction = std::function<void(const std::string& name)>;

    // musicWorker: the music manager runs its fade thread (tests step it).
    explicit CResManager(bool musicWorker = true);
    ~CResManager() override;
    CResManager(const CResManager&) = delete;
    CResManager& operator=(const CResManager&) = delete;

    aImageManager* GetImageManager() const { return m_images.get(); }
    aSoundManager* GetSoundManager() const { return m_sounds.get(); }
    aMusicManager* GetMusicManager() const { return m_music.get(); }
    CParticleManager* GetParticleManager() const { return m_particles.get(); }
    aAdvAnimManager* GetAdvAnimManager() const { return m_advAnims.get(); }
    aLocaleServer* GetLocaleServer() const { return m_locale.get(); }

    // Starts a run over what the managers hold queued: every queue back to
    // its start and its costs taken afresh.
    void BeginLoading();
    // One frame's step; true once every queue is worked off.
    bool LoadStep();
    // Every queue emptied; the run's totals go to 0.
    void ClearTasks();
    // Every queued resource is loaded.
    bool IsLoaded();
    // Files queued in all the managers.
    std::size_t GetTaskCount();
    // The run's cost loaded so far and in all; done rises to exactly the
    // total as the queues empty.
    double GetDoneCost();
    double GetTotalCost();
    // done / total in 0..1; 1 for a run with nothing to load.
    float GetProgress();

    void SetProgressFunction(ProgressFunction function) { m_progress = std::move(function); }

    // The text of the key, looked up under the prefix when one is given; a
    // key "prefix:key" may carry its prefix itself. A missing key gives an
    // empty text and one log line per key.
    std::wstring GetLocalizedString(const std::string& key, const std::string& prefix = std::string());
    // The particle manager's system, or null.
    aParticleSystem* GetParticle(const std::string& name, const std::string& group = std::string());

    // A solid rectangle in the rectangle colour (ARGB), drawn with the white
    // pixel scaled to w x h; needs the graphics server inside a scene.
    void DrawRect(float x, float y, float w, float h);
    void SetRectColor(std::uint32_t argb) { m_rectColor = argb; }
    std::uint32_t GetRectColor() const { return m_rectColor; }
    aGDI& GetGDI() { return m_gdi; }

protected:
    // The managers a loading run works, in order; tests swap in their own.
    void SetLoadOrder(const std::vector<aBaseManager*>& managers);

private:
    // One cost list per manager: each ProcessTasks call takes its costs
    // from the front of the list it is given, so a shared list would charge
    // one manager for another's files.
    struct Slot {
        aBaseManager* manager = nullptr;
        std::list<float> costs;
    };

    static void onFileLoaded(const std::string& name);
    double remainingCost() const;

    std::unique_ptr<aLocaleServer> m_locale;
    std::unique_ptr<aImageManager> m_images;
    std::unique_ptr<aSoundManager> m_sounds;
    std::unique_ptr<aMusicManager> m_music;
    std::unique_ptr<CParticleManager> m_particles;
    std::unique_ptr<aAdvAnimManager> m_advAnims;

    std::vector<Slot> m_slots;
    double m_total = 0.0;
    double m_done = 0.0;
    ProgressFunction m_progress;
    std::set<std::string> m_missingStrings;

    aGDI m_gdi;
    aImage m_white;
    std::uint32_t m_rectColor = 0xFFFFFFFF;
};
