#include "platform/sound/sound_layer.h"

#include <atomic>

#include "platform/sound/sound_core.h"

namespace platform::snd {

namespace hooks_state {
std::atomic<int> g_defaultOutput{kOutputAutoDetect};
std::atomic<bool> g_createFails{false};
std::atomic<Result> g_initResult{kOk};
std::atomic<std::uint64_t> g_maxSampleBytes{0};
} // namespace hooks_state

namespace test_hooks {
void setDefaultOutput(int output) { hooks_state::g_defaultOutput = output; }
void setCreateFails(bool fails) { hooks_state::g_createFails = fails; }
void setInitResult(Result result) { hooks_state::g_initResult = result; }
void setMaxSampleBytes(std::uint64_t bytes) { hooks_state::g_maxSampleBytes = bytes; }
void reset()
{
    setDefaultOutput(kOutputAutoDetect);
    setCreateFails(false);
    setInitResult(kOk);
    setMaxSampleBytes(0);
}
} // namespace test_hooks

std::uint64_t detail::sampleByteLimit()
{
    const std::uint64_t limit = hooks_state::g_maxSampleBytes;
    return limit ? limit : kMaxSampleBytes;
}

const char* errorString(Result result)
{
    switch (result) {
    case kOk: return "No error. ";
    case kErrChannelStolen: return "The voice was taken for another sound. ";
    case kErrInvalidHandle: return "The handle is stale or was never valid. ";
    case kErrOutputInit: return "Error initializing output device. ";
    case kErrBadFormat: return "The sound data is damaged or of an unknown format. ";
    case kErrInvalidParam: return "A parameter is out of range or missing. ";
    case kErrNotInitialized: return "The sound system is not initialised. ";
    case kErrMemory: return "Not enough memory for the sound. ";
    case kErrNoFreeVoice: return "No voice is free and none may be taken. ";
    case kErrBadPosition: return "The position lies outside the sound. ";
    case kErrInitialized: return "The sound system is initialised already. ";
    default: return "Unknown error";
    }
}

// ---------------------------------------------------------------- System

System::System() : m_core(std::make_shared<detail::Core>())
{
    m_core->setOutput(hooks_state::g_defaultOutput.load());
}

System::~System() = default;

Result createSystem(System** system)
{
    if (!system)
        return kErrInvalidParam;
    if (hooks_state::g_createFails)
        return kErrMemory;
    *system = new System();
    return kOk;
}

Result System::setOutput(int output) { return m_core->setOutput(output); }
Result System::getOutput(int* output) const { return m_core->getOutput(output); }

Result System::init(int maxChannels, std::uint32_t, void*)
{
    const Result forced = hooks_state::g_initResult;
    if (forced != kOk) {
        int output = kOutputAutoDetect;
        m_core->getOutput(&output);
        if (output != kOutputNoSoundNrt)
            return forced;
    }
    return m_core->init(maxChannels);
}

Result System::update() { return m_core->update(); }
Result System::close() { return m_core->close(); }

Result System::release()
{
    const Result result = m_core->close();
    delete this;
    return result;
}

Result System::getMasterSoundGroup(SoundGroup* group) { return m_core->getMasterSoundGroup(group); }
Result System::getMasterChannelGroup(ChannelGroup* group) { return m_core->getMasterChannelGroup(group); }
Result System::createChannelGroup(const char* name, ChannelGroup* group) { return m_core->createChannelGroup(name, group); }

Result System::createSound(const char* data, Mode mode, CreateSoundExInfo* exinfo, Sound* sound)
{
    return m_core->createSound(data, mode, exinfo, sound);
}

Result System::createStream(const char* data, Mode mode, CreateSoundExInfo* exinfo, Sound* sound)
{
    return m_core->createSound(data, (mode | kModeCreateStream) & ~Mode(kModeCreateSample), exinfo, sound);
}

Result System::playSound(int channelIndex, const Sound& sound, bool paused, Channel* channel)
{
    return m_core->playSound(channelIndex, sound, paused, channel);
}

Result System::mix(float* out, std::uint32_t frames) { return m_core->mixManual(out, frames); }
Result System::getOutputRate(int* rate) const { return m_core->getOutputRate(rate); }
Result System::getStats(Stats* stats) const { return m_core->getStats(stats); }

// ---------------------------------------------------------------- handles

Result Sound::release() const
{
    const auto core = m_core.lock();
    return core ? core->soundRelease(*this) : kErrInvalidHandle;
}

Result Sound::getLength(std::uint32_t* length, TimeUnit unit) const
{
    const auto core = m_core.lock();
    return core ? core->soundGetLength(*this, length, unit) : kErrInvalidHandle;
}

Result Sound::getFormat(int* channels, int* rate) const
{
    const auto core = m_core.lock();
    return core ? core->soundGetFormat(*this, channels, rate) : kErrInvalidHandle;
}

Result SoundGroup::setVolume(float volume) const
{
    const auto core = m_core.lock();
    return core ? core->soundGroupSetVolume(*this, volume) : kErrInvalidHandle;
}

Result SoundGroup::getVolume(float* volume) const
{
    const auto core = m_core.lock();
    return core ? core->soundGroupGetVolume(*this, volume) : kErrInvalidHandle;
}

Result Channel::stop() const
{
    const auto core = m_core.lock();
    return core ? core->channelStop(*this) : kErrInvalidHandle;
}

Result Channel::setPaused(bool paused) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetPaused(*this, paused) : kErrInvalidHandle;
}

Result Channel::getPaused(bool* paused) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetPaused(*this, paused) : kErrInvalidHandle;
}

Result Channel::setMute(bool mute) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetMute(*this, mute) : kErrInvalidHandle;
}

Result Channel::getMute(bool* mute) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetMute(*this, mute) : kErrInvalidHandle;
}

Result Channel::setVolume(float volume) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetVolume(*this, volume) : kErrInvalidHandle;
}

Result Channel::getVolume(float* volume) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetVolume(*this, volume) : kErrInvalidHandle;
}

Result Channel::setPan(float pan) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetPan(*this, pan) : kErrInvalidHandle;
}

Result Channel::getPan(float* pan) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetPan(*this, pan) : kErrInvalidHandle;
}

Result Channel::setPriority(int priority) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetPriority(*this, priority) : kErrInvalidHandle;
}

Result Channel::getPriority(int* priority) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetPriority(*this, priority) : kErrInvalidHandle;
}

Result Channel::setMode(Mode mode) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetMode(*this, mode) : kErrInvalidHandle;
}

Result Channel::getMode(Mode* mode) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetMode(*this, mode) : kErrInvalidHandle;
}

Result Channel::setPosition(std::uint32_t position, TimeUnit unit) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetPosition(*this, position, unit) : kErrInvalidHandle;
}

Result Channel::getPosition(std::uint32_t* position, TimeUnit unit) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetPosition(*this, position, unit) : kErrInvalidHandle;
}

Result Channel::isPlaying(bool* playing) const
{
    const auto core = m_core.lock();
    return core ? core->channelIsPlaying(*this, playing) : kErrInvalidHandle;
}

Result Channel::getChannelGroup(ChannelGroup* group) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetGroup(*this, group) : kErrInvalidHandle;
}

Result Channel::setChannelGroup(const ChannelGroup& group) const
{
    const auto core = m_core.lock();
    return core ? core->channelSetGroup(*this, group) : kErrInvalidHandle;
}

Result Channel::getCurrentSound(Sound* sound) const
{
    const auto core = m_core.lock();
    return core ? core->channelGetSound(*this, sound) : kErrInvalidHandle;
}

Result ChannelGroup::stop() const
{
    const auto core = m_core.lock();
    return core ? core->groupStop(*this) : kErrInvalidHandle;
}

Result ChannelGroup::setPaused(bool paused) const
{
    const auto core = m_core.lock();
    return core ? core->groupSetPaused(*this, paused) : kErrInvalidHandle;
}

Result ChannelGroup::getPaused(bool* paused) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetPaused(*this, paused) : kErrInvalidHandle;
}

Result ChannelGroup::setMute(bool mute) const
{
    const auto core = m_core.lock();
    return core ? core->groupSetMute(*this, mute) : kErrInvalidHandle;
}

Result ChannelGroup::getMute(bool* mute) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetMute(*this, mute) : kErrInvalidHandle;
}

Result ChannelGroup::setVolume(float volume) const
{
    const auto core = m_core.lock();
    return core ? core->groupSetVolume(*this, volume) : kErrInvalidHandle;
}

Result ChannelGroup::getVolume(float* volume) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetVolume(*this, volume) : kErrInvalidHandle;
}

Result ChannelGroup::setPitch(float pitch) const
{
    const auto core = m_core.lock();
    return core ? core->groupSetPitch(*this, pitch) : kErrInvalidHandle;
}

Result ChannelGroup::getPitch(float* pitch) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetPitch(*this, pitch) : kErrInvalidHandle;
}

Result ChannelGroup::addGroup(const ChannelGroup& child) const
{
    const auto core = m_core.lock();
    return core ? core->groupAddGroup(*this, child) : kErrInvalidHandle;
}

Result ChannelGroup::getParentGroup(ChannelGroup* parent) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetParent(*this, parent) : kErrInvalidHandle;
}

Result ChannelGroup::getName(char* name, int size) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetName(*this, name, size) : kErrInvalidHandle;
}

Result ChannelGroup::getNumChannels(int* count) const
{
    const auto core = m_core.lock();
    return core ? core->groupGetNumChannels(*this, count) : kErrInvalidHandle;
}

Result ChannelGroup::release() const
{
    const auto core = m_core.lock();
    return core ? core->groupRelease(*this) : kErrInvalidHandle;
}

} // namespace platform::snd
