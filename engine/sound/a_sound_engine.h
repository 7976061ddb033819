#pragma once
// The sound engine as the rest of the program sees it: the engine interface,
// the channel-group interface, their implementations on the sound layer, the
// one global engine and the registry of named channel groups; and aSound, the
// sound on that layer, which the engine types are nested in (its sound
// operations are in a_sound.cpp).
//
// Threads: the engine's operations are called from the main thread and from
// the music manager's worker (which holds its own lock while it does); the
// registry and the channel-into-group move are used from the main thread
// only (loading and playing sounds). Neither takes a lock of its own; the
// layer underneath locks its state.
#include <atomic>
#include <map>
#include <memory>
#include <string>

#include "engine/sound/a_sound_base.h"
#include "platform/sound/sound_layer.h"

class aFile;

// The three top-level channel groups.
inline const std::string A_GROUP_SFX = "~SFX~";
inline const std::string A_GROUP_MUSIC = "~Music~";
inline const std::string A_GROUP_AMBIENTS = "~Ambients~";

class aSoundEngine {
public:
    virtual ~aSoundEngine() = default;
    virtual void Init() = 0;
    virtual void Update() = 0;
    virtual void SetMasterVolume(float volume) = 0;
    virtual float GetMasterVolume() = 0;
    virtual void SetGlobalPause(bool paused) = 0;
    virtual bool GetGlobalPause() = 0;
    virtual void Stop() = 0;
};

class aChannelsGroup {
public:
    virtual ~aChannelsGroup() = default;
    // The setters return the layer's result (0 on success).
    virtual int Stop() = 0;
    virtual int SetPaused(bool paused) = 0;
    virtual bool GetPaused() = 0;
    virtual int SetMute(bool mute) = 0;
    virtual bool GetMute() = 0;
    virtual int SetVolume(float volume) = 0;
    virtual float GetVolume() = 0;
    virtual int SetPitch(float pitch) = 0;
    virtual float GetPitch() = 0;
};

// A sound: a sample decoded whole at load (its data shared between copies)
// or a stream decoded while it plays (opened again for every copy, over the
// file memory the copies share). Not locked: the music manager calls its
// tracks only under its own lock.
class aSound : public aSoundBase {
public:
    // Holds one layer sound and releases it with the holder.
    class aFModSample {
    public:
        explicit aFModSample(const platform::snd::Sound& sound) : m_sound(sound) {}
        ~aFModSample();
        aFModSample(const aFModSample&) = delete;
        aFModSample& operator=(const aFModSample&) = delete;

        const platform::snd::Sound& Get() const { return m_sound; }

    private:
        platform::snd::Sound m_sound;
    };

    // Starts audio (the global engine's Init) when there is no system yet.
    aSound();
    // Shares the sample and the file; a stream gets a stream of its own over
    // the same memory. The copy has no channel.
    aSound(const aSound& other);
    // Assignment would leave two sounds driving one channel or stream.
    aSound& operator=(const aSound&) = delete;
    ~aSound() override;

    bool Load(const std::string& path, const std::string& mainGroupName, bool stream) override;
    void Unload() override;
    bool IsLoaded() override;
    void Play(bool loop, bool multiChannel) override;
    bool IsPlaying() override;
    void Stop() override;
    void SetPaused(bool paused) override;
    bool GetPaused() override;
    void SetMute(bool mute) override;
    bool GetMute() override;
    void SetPan(float pan) override;
    void SetVolume(float volume) override;
    void SetPriority(std::uint8_t priority) override;
    std::uint32_t GetLength() override;
    void SetPosition(std::uint32_t ms) override;
    std::uint32_t GetPosition() override;
    // Cut to 128 characters; a change moves the channel into the new
    // sub-group, which is made even when there is no channel.
    void SetGroup(const std::string& group) override;
    aChannelsGroup* GetChannelsGroup() override;

    bool IsStream() const { return m_stream; }
    // The channel of the last Play (may be stale).
    const platform::snd::Channel& GetChannel() const { return m_channel; }

    class aFModEngine : public aSoundEngine {
    public:
        aFModEngine() = default;
        aFModEngine(const aFModEngine&) = delete;
        aFModEngine& operator=(const aFModEngine&) = delete;
        ~aFModEngine() override;

        // Creates and initialises the system when there is none yet.
        void Init() override;
        // Asked before Init: the system starts on the no-sound output
        // (sounds still end and fades still run).
        void SetNoSound(bool on) { m_noSound = on; }
        void Update() override;
        void SetMasterVolume(float volume) override;
        float GetMasterVolume() override;
        void SetGlobalPause(bool paused) override;
        bool GetGlobalPause() override;
        void Stop() override;

        // Null until Init has created a system, and after Shutdown.
        platform::snd::System* GetSystem() const { return m_system.load(std::memory_order_acquire); }
        // Closes and releases the system; does nothing without one.
        void Shutdown();

    private:
        std::atomic<platform::snd::System*> m_system{nullptr};
        bool m_noSound = false;
    };

    // One layer channel group, made on demand by CreateGroup and released
    // with the object. Move-only, so that no copy releases a group twice.
    // Without a layer group every operation does nothing and the getters
    // give false, false, 0.0 and 1.0.
    class aFmodChannelsGroup : public aChannelsGroup {
    public:
        aFmodChannelsGroup() = default;
        aFmodChannelsGroup(const aFmodChannelsGroup&) = delete;
        aFmodChannelsGroup& operator=(const aFmodChannelsGroup&) = delete;
        aFmodChannelsGroup(aFmodChannelsGroup&& other) noexcept;
        aFmodChannelsGroup& operator=(aFmodChannelsGroup&& other) noexcept;
        ~aFmodChannelsGroup() override;

        int Stop() override;
        int SetPaused(bool paused) override;
        bool GetPaused() override;
        int SetMute(bool mute) override;
        bool GetMute() override;
        int SetVolume(float volume) override;
        float GetVolume() override;
        int SetPitch(float pitch) override;
        float GetPitch() override;

        // When there is no layer group yet: creates one with the name and
        // moves it under parent (when given). Failures are logged; a failed
        // creation leaves the object without a group.
        void CreateGroup(const std::string& name, const platform::snd::ChannelGroup* parent);
        bool HasGroup() const { return bool(m_group); }
        const platform::snd::ChannelGroup& GetGroup() const { return m_group; }

    protected:
        void ReleaseGroup();

        platform::snd::ChannelGroup m_group;
    };

    class aFmodMainChannelsGroup : public aFmodChannelsGroup {
    public:
        aFmodMainChannelsGroup() = default;
        aFmodMainChannelsGroup(aFmodMainChannelsGroup&&) = default;
        aFmodMainChannelsGroup& operator=(aFmodMainChannelsGroup&&) = default;
        // Releases the sub-groups, then its own group.
        ~aFmodMainChannelsGroup() override;

        // Sub-group name -> sub-group, case-sensitive.
        std::map<std::string, aFmodChannelsGroup> m_subGroups;
    };

    // Main-group name -> main group, case-sensitive.
    using ChannelsGroupRegistry = std::map<std::string, aFmodMainChannelsGroup>;

    // The registry entry of a main group, or null.
    static aChannelsGroup* FindChannelsGroup(const std::string& mainGroupName);
    // The sub-group inside the main group, or null when either is missing.
    static aFmodChannelsGroup* FindSubGroup(const std::string& mainGroupName, const std::string& subGroupName);
    // Finds or adds the main group's entry; when it has no layer group yet,
    // creates one under master.
    static aFmodMainChannelsGroup& AddMainGroup(const std::string& mainGroupName,
                                                const platform::snd::ChannelGroup& master);
    // Puts a channel (may be null) into a sub-group of the main group, making
    // the sub-group when needed; a channel already in a group of that name
    // stays, and the sub-group it left is erased once it has no channels.
    // Returns the layer result of moving the channel (0 when none moved).
    static int PutChannelIntoGroup(aFmodMainChannelsGroup& mainGroup, const platform::snd::Channel& channel,
                                   const std::string& subGroupName);

    static aFModEngine& globalEngine();
    static ChannelsGroupRegistry& channelsGroups();
    // Empties the registry, then closes and releases the system. Safe to call
    // more than once; runs again at exit.
    static void shutdownAudio();

    // "aFModEngine: <operation>(). Error code: <n>, <text>".
    static void LogError(const char* operation, int result);

private:
    // Sample before file: a stream reads the file memory until released.
    void ReleaseData();
    void PlaceChannel();

    bool m_stream = false;
    std::shared_ptr<aFile> m_file;
    std::shared_ptr<aFModSample> m_sample;
    platform::snd::Channel m_channel;
};
