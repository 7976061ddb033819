#include "engine/sound/a_sound.h"

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"

namespace snd = platform::snd;

namespace {

constexpr snd::Mode kSampleMode = snd::kModeCreateSample | snd::kModeOpenMemory | snd::kModeAccurateTime;
constexpr snd::Mode kStreamMode = snd::kModeCreateStream | snd::kModeOpenMemory | snd::kModeAccurateTime;
constexpr std::size_t kMaxGroupName = 128;

// name (the file's path, or null) names the data in the sound layer's log
// lines about it.
snd::CreateSoundExInfo exinfoFor(const aFile& file, const char* name = nullptr)
{
    snd::CreateSoundExInfo info;
    info.cbsize = int(sizeof info);
    info.length = file.size();
    info.name = name;
    return info;
}

} // namespace

aSound::aFModSample::~aFModSample()
{
    // With the system gone its sounds went with it.
    if (!globalEngine().GetSystem())
        return;
    const int result = m_sound.release();
    if (result != snd::kOk)
        LogError("aSound::aFModSample::~aFModSample", result);
}

aSound::aSound()
{
    if (!globalEngine().GetSystem())
        globalEngine().Init();
}

aSound::aSound(const aSound& other)
    : aSoundBase(other), m_stream(other.m_stream), m_file(other.m_file), m_sample(other.m_sample)
{
    if (!m_stream || !m_sample)
        return;
    m_sample.reset();
    snd::System* system = globalEngine().GetSystem();
    if (!system || !m_file) {
        m_file.reset();
        return;
    }
    snd::CreateSoundExInfo info = exinfoFor(*m_file);
    snd::Sound sound;
    const int result =
        system->createStream(reinterpret_cast<const char*>(m_file->data()), kStreamMode, &info, &sound);
    if (result != snd::kOk) {
        LogError("aSound::aSound", result);
        m_file.reset();
        return;
    }
    m_sample = std::make_shared<aFModSample>(sound);
}

aSound::~aSound()
{
    if (IsPlaying())
        m_channel.stop();
    m_channel = snd::Channel{};
    ReleaseData();
}

void aSound::ReleaseData()
{
    m_sample.reset();
    m_file.reset();
}

bool aSound::Load(const std::string& path, const std::string& mainGroupName, bool stream)
{
    snd::System* system = globalEngine().GetSystem();
    if (!system)
        return false;
    Unload();
    m_stream = stream;

    m_file = std::make_shared<aFile>(path);
    if (m_file->size() == 0) {
        // A missing file was named by the file layer already.
        if (m_file->isLoaded() || file_isExist(path, true))
            a_log("aSound::Load(). Empty file \"%s\"", path.c_str());
        m_file.reset();
        return false;
    }

    snd::CreateSoundExInfo info = exinfoFor(*m_file, path.c_str());
    const char* data = reinterpret_cast<const char*>(m_file->data());
    snd::Sound sound;
    const int result = stream ? system->createStream(data, kStreamMode, &info, &sound)
                              : system->createSound(data, kSampleMode, &info, &sound);
    if (result != snd::kOk) {
        LogError("aSound::Load", result);
        a_log("aSound::Load(). Cannot load \"%s\"", path.c_str());
        m_file.reset();
        return false;
    }
    m_sample = std::make_shared<aFModSample>(sound);
    if (!stream)
        m_file.reset();

    snd::ChannelGroup master;
    const int masterResult = system->getMasterChannelGroup(&master);
    if (masterResult != snd::kOk) {
        LogError("aSound::Load", masterResult);
        return true;
    }
    m_mainGroupName = mainGroupName;
    AddMainGroup(mainGroupName, master);
    return true;
}

void aSound::Unload()
{
    Stop();
    ReleaseData();
}

bool aSound::IsLoaded() { return bool(m_sample); }

void aSound::Play(bool loop, bool multiChannel)
{
    m_looped = loop;
    if (!IsLoaded())
        return;
    snd::System* system = globalEngine().GetSystem();
    if (!system)
        return;

    if (multiChannel && m_stream) {
        a_log("aSound::Play(). Warning, don't play stream sound in multi channel mode!");
        multiChannel = false;
    }
    int result;
    if (multiChannel) {
        // The earlier voice plays on, no longer reachable from this sound.
        snd::Channel channel;
        result = system->playSound(snd::kChannelFree, m_sample->Get(), true, &channel);
        if (result == snd::kOk)
            m_channel = channel;
    } else {
        Stop();
        result = system->playSound(snd::kChannelReuse, m_sample->Get(), true, &m_channel);
    }
    if (result != snd::kOk) {
        LogError("aSound::Play", result);
        return;
    }

    PlaceChannel();
    m_channel.setPriority(m_priority);
    m_channel.setVolume(m_volume);
    m_channel.setMode(m_looped ? snd::kModeLoopNormal : snd::kModeLoopOff);
    m_channel.setPan(m_pan);
    m_channel.setPaused(false);
}

void aSound::PlaceChannel()
{
    ChannelsGroupRegistry& registry = channelsGroups();
    const auto main = registry.find(m_mainGroupName);
    if (main != registry.end())
        PutChannelIntoGroup(main->second, m_channel, m_group);
}

bool aSound::IsPlaying()
{
    if (!IsLoaded() || !m_channel)
        return false;
    bool playing = false;
    const int result = m_channel.isPlaying(&playing);
    if (result == snd::kOk)
        return playing;
    if (result != snd::kErrChannelStolen && result != snd::kErrInvalidHandle)
        LogError("aSound::IsPlaying", result);
    return false;
}

void aSound::Stop()
{
    if (IsPlaying())
        m_channel.stop();
    m_channel = snd::Channel{};
}

void aSound::SetPaused(bool paused)
{
    if (IsPlaying())
        m_channel.setPaused(paused);
}

bool aSound::GetPaused()
{
    bool paused = false;
    if (IsPlaying())
        m_channel.getPaused(&paused);
    return paused;
}

void aSound::SetMute(bool mute)
{
    if (IsPlaying())
        m_channel.setMute(mute);
}

bool aSound::GetMute()
{
    bool mute = false;
    if (IsPlaying())
        m_channel.getMute(&mute);
    return mute;
}

void aSound::SetPan(float pan)
{
    aSoundBase::SetPan(pan);
    if (IsPlaying())
        m_channel.setPan(pan);
}

void aSound::SetVolume(float volume)
{
    aSoundBase::SetVolume(volume);
    if (IsPlaying())
        m_channel.setVolume(volume);
}

void aSound::SetPriority(std::uint8_t priority)
{
    aSoundBase::SetPriority(priority);
    if (IsPlaying())
        m_channel.setPriority(priority);
}

std::uint32_t aSound::GetLength()
{
    std::uint32_t length = 0;
    if (IsLoaded() && m_sample->Get().getLength(&length, snd::kTimeUnitMs) != snd::kOk)
        length = 0;
    return length;
}

void aSound::SetPosition(std::uint32_t ms)
{
    if (IsPlaying())
        m_channel.setPosition(ms, snd::kTimeUnitMs);
}

std::uint32_t aSound::GetPosition()
{
    std::uint32_t position = 0;
    if (IsPlaying() && m_channel.getPosition(&position, snd::kTimeUnitMs) != snd::kOk)
        position = 0;
    return position;
}

void aSound::SetGroup(const std::string& group)
{
    const std::string name = group.substr(0, kMaxGroupName);
    if (name == m_group)
        return;
    m_group = name;
    PlaceChannel();
}

aChannelsGroup* aSound::GetChannelsGroup() { return FindSubGroup(m_mainGroupName, m_group); }
