#include "engine/sound/a_music_manager.h"

#include <algorithm>
#include <chrono>

#include "engine/util/a_application.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "platform/system/clock.h"

namespace {

constexpr std::uint8_t kTrackPriority = 255;

std::string cutExtension(const std::string& fileName) { return fileName.substr(0, fileName.rfind('.')); }

} // namespace

namespace {

// Managers stepped in game time (main thread only).
std::vector<aMusicManager*>& gameTimeManagers()
{
    static std::vector<aMusicManager*> managers;
    return managers;
}

} // namespace

aMusicManager::aMusicManager(bool startWorker)
{
    if (!startWorker)
        return;
    if (platform::systemClockInUse()) {
        m_worker = std::thread(&aMusicManager::WorkerLoop, this);
        return;
    }
    m_gameTime = true;
    m_gameTimeLast = platform::clock().counter();
    gameTimeManagers().push_back(this);
}

aMusicManager::~aMusicManager()
{
    if (m_gameTime) {
        auto& managers = gameTimeManagers();
        managers.erase(std::remove(managers.begin(), managers.end(), this), managers.end());
    }
    if (m_worker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_wakeMutex);
            m_stopRequest.store(true);
        }
        m_wake.notify_all();
        m_worker.join();
    }
    Guard guard(*this);
    while (!m_tracks.empty())
        m_tracks.pop_back();
}

void aMusicManager::WorkerLoop()
{
    const auto stopRequested = [this] { return m_stopRequest.load(); };
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(m_wakeMutex);
            // Between fades a step changes nothing (a track's end is noted
            // when a call looks at it), so the thread sleeps until one starts.
            m_wake.wait(lock, [this] { return m_stopRequest.load() || m_fading.load(); });
            m_wake.wait_for(lock, std::chrono::milliseconds(20), stopRequested);
        }
        if (m_stopRequest.load())
            return;
        ++m_workerSteps;
        Step();
    }
}

void aMusicManager::WakeForFades()
{
    if (!m_worker.joinable() || m_fading.load())
        return;
    {
        std::lock_guard<std::mutex> lock(m_wakeMutex);
        m_fading.store(true);
    }
    m_wake.notify_all();
}

void aMusicManager::NoteEnd(Track& track)
{
    if (track.state == kPlaying && !track.sound->IsPlaying() && !track.sound->GetPaused())
        track.state = kStopped;
}

void aMusicManager::Step()
{
    const aApplication* app = g_application;
    if (app && app->m_paused.load())
        return;
    Update(kStepSeconds);
}

void aMusicManager::StepInGameTime()
{
    // A stall longer than this is not caught up step by step.
    constexpr std::int64_t kMostSteps = 500;
    platform::Clock& clock = platform::clock();
    const std::int64_t now = clock.counter();
    const std::int64_t stepTicks = std::max<std::int64_t>(clock.frequency() * 20 / 1000, 1);
    for (aMusicManager* music : gameTimeManagers()) {
        music->m_gameTimeCarry = std::min(music->m_gameTimeCarry + std::max<std::int64_t>(now - music->m_gameTimeLast, 0),
                                          kMostSteps * stepTicks);
        music->m_gameTimeLast = now;
        for (; music->m_gameTimeCarry >= stepTicks; music->m_gameTimeCarry -= stepTicks)
            music->Step();
    }
}

std::string aMusicManager::GetNameFromLine(const std::string& line)
{
    const std::size_t slash = line.find_last_of("/\\");
    return slash == std::string::npos ? line : line.substr(slash + 1);
}

void aMusicManager::LoadFile(const std::string& directory, const std::string& line, const std::string& group)
{
    Guard guard(*this);
    AddTrack(directory + line, group);
    if (m_callback)
        m_callback(line);
}

void aMusicManager::AddFileToTask(const std::string& directory, const std::string& line, const std::string& group)
{
    Guard guard(*this);
    aBaseManager::AddFileToTask(directory, line, group, std::string());
}

bool aMusicManager::AddTrack(const std::string& path, const std::string& group)
{
    Guard guard(*this);
    auto sound = std::make_unique<aSound>();
    sound->Load(path, A_GROUP_MUSIC, true);
    sound->SetVolume(m_defaultVolume);
    sound->SetPriority(kTrackPriority);
    if (!sound->IsLoaded()) {
        a_log("aMusicManager. Music with name \"%s\" is invalid!", path.c_str());
        return false;
    }

    const std::string name = cutExtension(GetNameFromLine(path));
    const std::int16_t existing = FindTrack(name, group);
    if (existing >= 0) {
        // Same name and group: the new sound takes the track's place, so
        // that nothing refers to two tracks of one name.
        Track& track = m_tracks[std::size_t(existing)];
        track.sound->Stop();
        track.sound = std::move(sound);
        track.sound->SetVolume(track.volume);
        track.state = kStopped;
        track.fade = 0.0f;
        return true;
    }
    Track track;
    track.sound = std::move(sound);
    track.name = name;
    track.group = group;
    track.volume = m_defaultVolume;
    m_tracks.push_back(std::move(track));
    return true;
}

bool aMusicManager::UnloadFile(const std::string& name, const std::string& group)
{
    Guard guard(*this);
    std::int16_t index = FindTrack(name, group);
    if (index < 0)
        index = FindTrack(cutExtension(GetNameFromLine(name)), group);
    if (index < 0)
        return false;
    m_tracks.erase(m_tracks.begin() + index);
    if (m_current == index)
        m_current = -1;
    else if (m_current > index)
        --m_current;
    return true;
}

std::int16_t aMusicManager::FindTrack(const std::string& name, const std::string& group) const
{
    for (std::size_t i = 0; i < m_tracks.size() && i < 0x7FFF; ++i)
        if (m_tracks[i].group == group && m_tracks[i].name == name)
            return std::int16_t(i);
    return -1;
}

bool aMusicManager::Play(const std::string& name, const std::string& group, bool fadeIn, bool loop)
{
    Guard guard(*this);
    const std::int16_t index = FindTrack(name, group);
    if (index < 0 || m_paused.load())
        return false;
    Track& track = m_tracks[std::size_t(index)];
    NoteEnd(track);
    if (track.state == kPlaying || track.state == kFadingIn)
        return true;

    if (!fadeIn) {
        track.sound->SetVolume(track.volume);
    } else if (track.state != kFadingToPause && track.state != kFadingOut) {
        // A track still fading down fades back in from the level reached.
        track.fade = 0.0f;
        track.sound->SetVolume(0.0f);
    }
    if (track.state == kStopped)
        track.sound->Play(loop, false);
    else if (track.state == kPaused)
        track.sound->SetPaused(false);

    track.state = fadeIn ? kFadingIn : kPlaying;
    m_current = index;
    if (fadeIn)
        WakeForFades();
    return true;
}

bool aMusicManager::Stop(bool fadeOut)
{
    Guard guard(*this);
    if (m_current < 0)
        return false;
    Track& track = m_tracks[std::size_t(m_current)];
    NoteEnd(track);
    if (track.state == kFadingOut && fadeOut)
        return true;
    if (fadeOut && track.state != kPaused) {
        if (track.state == kPlaying)
            track.fade = 1.0f;
        track.state = kFadingOut;
        m_current = -1;
        WakeForFades();
        return true;
    }
    track.state = kStopped;
    track.sound->Stop();
    m_current = -1;
    return true;
}

bool aMusicManager::Pause(bool fade)
{
    Guard guard(*this);
    if (m_current < 0)
        return false;
    Track& track = m_tracks[std::size_t(m_current)];
    NoteEnd(track);
    switch (track.state) {
    case kFadingOut:
        return false;
    case kPaused:
        return true;
    case kFadingToPause:
        if (!fade) {
            track.state = kPaused;
            track.sound->SetPaused(true);
        }
        return true;
    default:
        if (fade) {
            if (track.state == kPlaying)
                track.fade = 1.0f;
            track.state = kFadingToPause;
            WakeForFades();
        } else {
            track.state = kPaused;
            track.sound->SetPaused(true);
        }
        return true;
    }
}

void aMusicManager::ApplyVolume(Track& track, float volume)
{
    switch (track.state) {
    case kFadingOut:
    case kFadingIn:
        // Lower at once; a higher target is taken up by the next step.
        if (volume < track.volume)
            track.sound->SetVolume(volume * track.fade);
        break;
    case kFadingToPause:
        track.sound->SetVolume(volume * track.fade);
        break;
    default:
        track.sound->SetVolume(volume);
        break;
    }
    track.volume = volume;
}

void aMusicManager::SetVolume(float volume)
{
    Guard guard(*this);
    for (Track& track : m_tracks)
        ApplyVolume(track, volume);
}

bool aMusicManager::SetTrackVolume(const std::string& name, float volume, const std::string& group)
{
    Guard guard(*this);
    const std::int16_t index = FindTrack(name, group);
    if (index < 0)
        return false;
    ApplyVolume(m_tracks[std::size_t(index)], volume);
    return true;
}

void aMusicManager::ChangeMusic(const std::string& name, float volume, bool fadeOut, bool fadeIn,
                                const std::string& group)
{
    Guard guard(*this);
    if (m_current >= 0) {
        const Track& current = m_tracks[std::size_t(m_current)];
        if (current.name == name && current.group == group)
            return;
        Stop(fadeOut);
    }
    SetTrackVolume(name, volume, group);
    Play(name, group, fadeIn, true);
}

std::string aMusicManager::GetTrackName(std::size_t index)
{
    Guard guard(*this);
    return index < m_tracks.size() ? m_tracks[index].name : std::string();
}

std::string aMusicManager::GetCurrentTrack(std::string& group)
{
    Guard guard(*this);
    if (m_current < 0) {
        group.clear();
        return std::string();
    }
    const Track& track = m_tracks[std::size_t(m_current)];
    group = track.group;
    return track.name;
}

void aMusicManager::Update(float dt)
{
    Guard guard(*this);
    if (m_paused.load() || aSound::globalEngine().GetGlobalPause())
        return;
    for (Track& track : m_tracks) {
        switch (track.state) {
        case kFadingOut:
            track.fade -= dt;
            if (track.fade <= 0.0f) {
                track.fade = 0.0f;
                track.state = kStopped;
                track.sound->Stop();
            }
            track.sound->SetVolume(track.volume * track.fade);
            break;
        case kFadingToPause:
            track.fade -= dt;
            if (track.fade <= 0.0f) {
                track.fade = 0.0f;
                track.state = kPaused;
                track.sound->SetPaused(true);
            }
            track.sound->SetVolume(track.volume * track.fade);
            break;
        case kFadingIn:
            track.fade += dt;
            if (track.fade >= 1.0f) {
                track.fade = 1.0f;
                track.state = kPlaying;
            }
            track.sound->SetVolume(track.volume * track.fade);
            break;
        case kPlaying:
            // A track that ended stays current until stopped or replaced.
            NoteEnd(track);
            break;
        default:
            break;
        }
    }
    m_fading.store(std::any_of(m_tracks.begin(), m_tracks.end(), [](const Track& track) {
        return track.state == kFadingOut || track.state == kFadingToPause || track.state == kFadingIn;
    }));
}

std::size_t aMusicManager::GetTrackCount()
{
    Guard guard(*this);
    return m_tracks.size();
}

std::int32_t aMusicManager::GetTrackState(std::size_t index)
{
    Guard guard(*this);
    if (index >= m_tracks.size())
        return -1;
    NoteEnd(m_tracks[index]);
    return m_tracks[index].state;
}

float aMusicManager::GetTrackFadeLevel(std::size_t index)
{
    Guard guard(*this);
    return index < m_tracks.size() ? m_tracks[index].fade : -1.0f;
}

float aMusicManager::GetTrackVolume(std::size_t index)
{
    Guard guard(*this);
    return index < m_tracks.size() ? m_tracks[index].volume : -1.0f;
}

aSound* aMusicManager::GetTrackSound(std::size_t index)
{
    Guard guard(*this);
    return index < m_tracks.size() ? m_tracks[index].sound.get() : nullptr;
}

std::int16_t aMusicManager::GetCurrentIndex()
{
    Guard guard(*this);
    return m_current;
}
