#pragma once
// The background sound-scape of a scene: a set of sounds, each repeated with
// random waits, volume and pan; looped ones also play for a random time with
// a fade in and out. Read from an ambient ini (one section per sound, named
// like it) and a sound list; the sounds are loaded by the sound manager under
// the group "~Ambients~" and play in the channel group "~Ambients~".
//
// States: 0 empty -> CreateResLoadingLists -> 1 -> (the manager loads its
// queue) -> CreateSounds -> 2 -> Play -> 3 -> Stop -> 2; ReleaseSounds -> 0.
// Calls made in another state do nothing. Main thread only.
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/sound/a_sound.h"
#include "engine/util/a_random.h"

class aSoundManager;
class aOptionsFile;

class aAmbientSoundSystem {
public:
    enum State { kEmpty = 0, kListsCreated = 1, kSoundsCreated = 2, kPlaying = 3 };

    // A random parameter: its default when there are no ranges, else a
    // uniform draw inside one range picked at random.
    struct Param {
        float def = 0.0f;
        std::vector<std::pair<float, float>> ranges;
        float Draw(aRandom& random) const;
    };

    struct Descriptor {
        std::string name;  // the ini section, also the sound's name
        std::string file;  // the file name from the list
        std::unique_ptr<aSound> sound;  // this system's own copy
        bool loop = false;
        Param playtime, volume, pan, pause, delay;
        float fade = 0.1f;
        bool playing = false;
        // Seconds to wait, or for a looped sound while it plays its play time.
        float wait = 0.0f;
        float elapsed = 0.0f;
        float currentVolume = 0.0f;
    };

    aAmbientSoundSystem() = default;
    virtual ~aAmbientSoundSystem();
    aAmbientSoundSystem(const aAmbientSoundSystem&) = delete;
    aAmbientSoundSystem& operator=(const aAmbientSoundSystem&) = delete;

    // Reads the descriptors and queues the sounds the manager does not hold
    // or have queued yet. The manager must outlive this system's use of it.
    void CreateResLoadingLists(const std::string& iniPath, const std::string& listPath, aSoundManager* manager);
    // Copies the loaded sounds; a sound the manager lacks leaves its
    // descriptor silent.
    void CreateSounds();
    // Starts the ambience. Its draws come from a generator of its own,
    // seeded here by one draw of the game's: a sound ends when the device
    // has played it, and the game's sequence must not follow the device.
    void Play();
    void Stop();
    void Update(float dt);
    // Deletes the copies and the descriptors (stopping first when playing).
    void ReleaseSounds();

    // Unloads from the manager every ambient sound no system holds a copy of.
    static void ReleaseUnusedResources(aSoundManager* manager);
    // The volume of the "~Ambients~" channel group; nothing before any
    // ambient sound was loaded.
    static void SetVolume(float volume);
    // Copies held of a file by all live systems (0 when unknown).
    static std::uint32_t GetUseCount(const std::string& file);

    int GetState() const { return m_state; }
    const std::list<Descriptor>& GetDescriptors() const { return m_descriptors; }

private:
    void ReadParams(Descriptor& d, const aOptionsFile& ini, const std::string& iniPath);

    int m_state = kEmpty;
    aRandom m_random;
    aSoundManager* m_manager = nullptr;
    std::list<Descriptor> m_descriptors;
};
