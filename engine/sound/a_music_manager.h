#pragma once
// The game's music: streamed tracks in the channel group "~Music~", loaded
// from a playlist (one file per line), of which at most one is current.
// Tracks fade in, out and to pause; a worker thread of the manager advances
// the fades every 20 ms, so they take the same time whatever the frame rate.
// Under a test's clock (a stepped replay) there is no worker: the sound
// engine's per-frame update steps the fades by the game time passed, so a
// replay fades the same on any machine.
//
// Threads: every public operation may be called from the main thread while
// the worker runs; each takes the manager's (recursive) critical section,
// and the tracks' sounds are called only while it is held. The playlist
// loading (the base's lists and queue) is main-thread only.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/sound/a_sound.h"
#include "engine/util/a_base_manager.h"
#include "engine/util/a_critical_section.h"

class aMusicManager : public aBaseManager, public aCriticalSection {
public:
    enum State : std::int32_t {
        kStopped = 0,
        kFadingOut = 1,
        kPaused = 2,
        kFadingToPause = 3,
        kPlaying = 4,
        kFadingIn = 5,
    };

    // The game always starts the worker (under the system clock); tests may
    // step Update by hand.
    explicit aMusicManager(bool startWorker = true);
    // Stops and joins the worker before the tracks go.
    ~aMusicManager() override;

    // The file-name part of a line (after the last '/' or '\').
    std::string GetNameFromLine(const std::string& line) override;
    // Adds the track directory + line, then calls the callback with the line.
    void LoadFile(const std::string& directory, const std::string& line, const std::string& group) override;
    // Removes the track named by name (or by a playlist line) and group.
    bool UnloadFile(const std::string& name, const std::string& group) override;
    using aBaseManager::AddFileToTask;
    // Queues a file with an empty task name.
    virtual void AddFileToTask(const std::string& directory, const std::string& line, const std::string& group);

    // A stream in "~Music~" named after the file less its extension. A
    // second track of the same name and group takes over the first one's
    // place with the new sound.
    bool AddTrack(const std::string& path, const std::string& group);
    // The track index (exact names), -1 when there is none.
    std::int16_t FindTrack(const std::string& name, const std::string& group) const;
    // The name of the track at the index (load order); "" when there is none.
    std::string GetTrackName(std::size_t index);

    // Makes the track current and starts it (fading in when asked); false
    // for an unknown track or while the manager is paused.
    bool Play(const std::string& name, const std::string& group, bool fadeIn, bool loop);
    // Stops the current track, fading out when asked (a paused track stops
    // at once); false without a current track.
    bool Stop(bool fadeOut);
    // Pauses the current track, fading when asked; it stays current.
    bool Pause(bool fade);
    // The target volume of every track; a fading track is handed the volume
    // times its fade level.
    void SetVolume(float volume);
    bool SetTrackVolume(const std::string& name, float volume, const std::string& group);
    // Nothing when the track is current already; else stops the current one
    // and plays this one looped at the volume.
    void ChangeMusic(const std::string& name, float volume, bool fadeOut, bool fadeIn, const std::string& group);
    // The current track's name and group; both empty when there is none.
    std::string GetCurrentTrack(std::string& group);
    // One fade step of dt seconds; nothing under the engine's global pause or
    // while the manager is paused.
    void Update(float dt);
    // One worker step: Update(0.02) unless the application is paused.
    void Step();
    // Main thread, once a frame: every manager stepped in game time takes
    // the steps of the time passed on platform::clock() since the last call.
    static void StepInGameTime();

    // Set by the holder; while set Play refuses and the fades stand still.
    void SetPaused(bool paused) { m_paused.store(paused); }
    bool IsPaused() const { return m_paused.load(); }
    float GetDefaultVolume() const { return m_defaultVolume; }

    // For tests and diagnostics; each takes the lock. -1 when out of range.
    std::size_t GetTrackCount();
    std::int32_t GetTrackState(std::size_t index);
    float GetTrackFadeLevel(std::size_t index);
    float GetTrackVolume(std::size_t index);
    aSound* GetTrackSound(std::size_t index);
    std::int16_t GetCurrentIndex();
    bool HasWorker() const { return m_worker.joinable(); }
    // Steps the worker has taken; it takes none while no track fades.
    std::uint64_t GetWorkerSteps() const { return m_workerSteps.load(); }
    bool StepsInGameTime() const { return m_gameTime; }

    static constexpr float kStepSeconds = 0.02f;

private:
    struct Track {
        std::unique_ptr<aSound> sound;
        std::string name;
        std::string group;
        std::int32_t state = kStopped;
        float volume = 1.0f;
        float fade = 0.0f;
    };

    void ApplyVolume(Track& track, float volume);
    // A playing track whose sound has ended becomes stopped.
    static void NoteEnd(Track& track);
    // A track started fading: the worker steps again until no track fades.
    void WakeForFades();
    void WorkerLoop();

    std::vector<Track> m_tracks;
    float m_defaultVolume = 1.0f;
    std::atomic<bool> m_paused{false};
    std::int16_t m_current = -1;

    // Stepped in game time: the clock's counter at the last step and the
    // ticks since then not yet stepped (main thread only).
    bool m_gameTime = false;
    std::int64_t m_gameTimeLast = 0;
    std::int64_t m_gameTimeCarry = 0;

    std::atomic<bool> m_stopRequest{false};
    std::atomic<bool> m_fading{false};
    std::atomic<std::uint64_t> m_workerSteps{0};
    std::mutex m_wakeMutex;
    std::condition_variable m_wake;
    std::thread m_worker;
};
