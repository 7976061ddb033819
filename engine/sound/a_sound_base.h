#pragma once
// What the rest of the program sees of a sound: stored volume, pan, priority,
// loop flag and channel-group names, and the operations to load, play and
// control it. aSound implements it on the sound layer.
#include <cstdint>
#include <string>

class aChannelsGroup;

class aSoundBase {
public:
    aSoundBase() = default;
    aSoundBase(const aSoundBase&) = default;
    aSoundBase& operator=(const aSoundBase&) = default;
    virtual ~aSoundBase();

    virtual bool Load(const std::string& path, const std::string& mainGroupName, bool stream) = 0;
    virtual void Unload() = 0;
    virtual bool IsLoaded() = 0;
    virtual void Play(bool loop, bool multiChannel) = 0;
    virtual bool IsPlaying() = 0;
    virtual void Stop() = 0;
    virtual void SetPaused(bool paused) = 0;
    virtual bool GetPaused() = 0;
    virtual void SetMute(bool mute) = 0;
    virtual bool GetMute() = 0;
    // The loop flag given to the last Play.
    virtual bool IsLooped();
    virtual void SetPan(float pan);
    virtual float GetPan();
    virtual void SetVolume(float volume);
    virtual float GetVolume();
    // 0 is the most important.
    virtual void SetPriority(std::uint8_t priority);
    virtual std::uint8_t GetPriority();
    // Milliseconds.
    virtual std::uint32_t GetLength() = 0;
    virtual void SetPosition(std::uint32_t ms) = 0;
    virtual std::uint32_t GetPosition() = 0;
    // The sub-group inside the main group.
    virtual void SetGroup(const std::string& group);
    virtual std::string GetGroup();
    // Null when the main group or the sub-group does not exist. The pointer
    // lasts until the sub-group is left empty by a channel moving out.
    virtual aChannelsGroup* GetChannelsGroup() = 0;

    const std::string& GetMainGroupName() const { return m_mainGroupName; }

protected:
    std::string m_mainGroupName;
    std::string m_group;
    float m_volume = 1.0f;
    float m_pan = 0.0f;
    std::uint8_t m_priority = 128;
    bool m_looped = false;
};
