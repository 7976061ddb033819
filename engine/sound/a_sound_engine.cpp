#include "engine/sound/a_sound_engine.h"

#include "engine/sound/a_music_manager.h"
#include "engine/util/a_log.h"

namespace snd = platform::snd;

namespace {

constexpr int kMaxChannels = 64;

// The engine and the registry live and die together: the registry's groups
// must be released while the system still exists.
struct aSoundRuntime {
    aSound::aFModEngine engine;
    aSound::ChannelsGroupRegistry registry;

    ~aSoundRuntime() { shutdown(); }
    void shutdown()
    {
        registry.clear();
        engine.Shutdown();
    }
};

aSoundRuntime& runtime()
{
    static aSoundRuntime instance;
    return instance;
}

} // namespace

void aSound::LogError(const char* operation, int result)
{
    a_log("aFModEngine: %s(). Error code: %d, %s", operation, result, snd::errorString(result));
}

aSound::aFModEngine& aSound::globalEngine() { return runtime().engine; }

aSound::ChannelsGroupRegistry& aSound::channelsGroups() { return runtime().registry; }

void aSound::shutdownAudio() { runtime().shutdown(); }

// ---------------------------------------------------------------- engine

aSound::aFModEngine::~aFModEngine() { Shutdown(); }

void aSound::aFModEngine::Init()
{
    if (GetSystem())
        return;
    // Damaged or cut sound data is reported in the log, naming the file.
    snd::setLogSink([](const std::string& line) { a_logString(line.c_str()); });
    snd::System* system = nullptr;
    int result = snd::createSystem(&system);
    if (result != snd::kOk) {
        LogError("aSound::aFModEngine::Init", result);
        return;
    }
    if (m_noSound)
        system->setOutput(snd::kOutputNoSoundNrt);
    result = system->init(kMaxChannels, 0, nullptr);
    m_system.store(system, std::memory_order_release);
    if (result == snd::kOk)
        return;
    LogError("aSound::aFModEngine::Init", result);
    if (result == snd::kErrOutputInit) {
        a_log("aFModEngine. Initialization failed, forcing no sound!");
        system->setOutput(snd::kOutputNoSoundNrt);
        result = system->init(kMaxChannels, 0, nullptr);
        if (result != snd::kOk)
            LogError("aSound::aFModEngine::Init", result);
    }
}

void aSound::aFModEngine::Shutdown()
{
    snd::System* system = m_system.exchange(nullptr, std::memory_order_acq_rel);
    if (!system)
        return;
    int result = system->close();
    if (result != snd::kOk)
        LogError("aSound::aFModEngine::~aFModEngine", result);
    result = system->release();
    if (result != snd::kOk)
        LogError("aSound::aFModEngine::~aFModEngine", result);
}

void aSound::aFModEngine::Update()
{
    // Fades first: the frame's mix hears them.
    aMusicManager::StepInGameTime();
    if (snd::System* system = GetSystem())
        system->update();
}

void aSound::aFModEngine::SetMasterVolume(float volume)
{
    snd::System* system = GetSystem();
    if (!system)
        return;
    snd::SoundGroup group;
    const int result = system->getMasterSoundGroup(&group);
    if (result != snd::kOk) {
        LogError("aSound::aFModEngine::SetMasterVolume", result);
        return;
    }
    group.setVolume(volume);
}

float aSound::aFModEngine::GetMasterVolume()
{
    snd::System* system = GetSystem();
    if (!system)
        return 0.0f;
    snd::SoundGroup group;
    float volume = 0.0f;
    int result = system->getMasterSoundGroup(&group);
    if (result == snd::kOk)
        result = group.getVolume(&volume);
    if (result != snd::kOk) {
        LogError("aSound::aFModEngine::GetMasterVolume", result);
        return 0.0f;
    }
    return volume;
}

void aSound::aFModEngine::SetGlobalPause(bool paused)
{
    snd::System* system = GetSystem();
    if (!system)
        return;
    snd::ChannelGroup master;
    int result = system->getMasterChannelGroup(&master);
    if (result == snd::kOk)
        result = master.setPaused(paused);
    if (result != snd::kOk)
        LogError("aSound::aFModEngine::SetGlobalPause", result);
}

bool aSound::aFModEngine::GetGlobalPause()
{
    snd::System* system = GetSystem();
    if (!system)
        return false;
    snd::ChannelGroup master;
    bool paused = false;
    int result = system->getMasterChannelGroup(&master);
    if (result == snd::kOk)
        result = master.getPaused(&paused);
    if (result != snd::kOk) {
        LogError("aSound::aFModEngine::GetGlobalPause", result);
        return false;
    }
    return paused;
}

void aSound::aFModEngine::Stop()
{
    snd::System* system = GetSystem();
    if (!system)
        return;
    snd::ChannelGroup master;
    int result = system->getMasterChannelGroup(&master);
    if (result == snd::kOk)
        result = master.stop();
    if (result != snd::kOk)
        LogError("aSound::aFModEngine::Stop", result);
}

// ---------------------------------------------------------------- groups

aSound::aFmodChannelsGroup::aFmodChannelsGroup(aFmodChannelsGroup&& other) noexcept : m_group(other.m_group)
{
    other.m_group = snd::ChannelGroup{};
}

aSound::aFmodChannelsGroup& aSound::aFmodChannelsGroup::operator=(aFmodChannelsGroup&& other) noexcept
{
    if (this != &other) {
        ReleaseGroup();
        m_group = other.m_group;
        other.m_group = snd::ChannelGroup{};
    }
    return *this;
}

aSound::aFmodChannelsGroup::~aFmodChannelsGroup() { ReleaseGroup(); }

void aSound::aFmodChannelsGroup::ReleaseGroup()
{
    if (m_group) {
        m_group.release();
        m_group = snd::ChannelGroup{};
    }
}

int aSound::aFmodChannelsGroup::Stop() { return m_group.stop(); }
int aSound::aFmodChannelsGroup::SetPaused(bool paused) { return m_group.setPaused(paused); }
int aSound::aFmodChannelsGroup::SetMute(bool mute) { return m_group.setMute(mute); }
int aSound::aFmodChannelsGroup::SetVolume(float volume) { return m_group.setVolume(volume); }
int aSound::aFmodChannelsGroup::SetPitch(float pitch) { return m_group.setPitch(pitch); }

bool aSound::aFmodChannelsGroup::GetPaused()
{
    bool paused = false;
    m_group.getPaused(&paused);
    return paused;
}

bool aSound::aFmodChannelsGroup::GetMute()
{
    bool mute = false;
    m_group.getMute(&mute);
    return mute;
}

float aSound::aFmodChannelsGroup::GetVolume()
{
    float volume = 0.0f;
    m_group.getVolume(&volume);
    return volume;
}

float aSound::aFmodChannelsGroup::GetPitch()
{
    float pitch = 1.0f;
    m_group.getPitch(&pitch);
    return pitch;
}

void aSound::aFmodChannelsGroup::CreateGroup(const std::string& name, const snd::ChannelGroup* parent)
{
    if (m_group)
        return;
    snd::System* system = globalEngine().GetSystem();
    if (!system)
        return;
    snd::ChannelGroup group;
    int result = system->createChannelGroup(name.c_str(), &group);
    if (result != snd::kOk) {
        LogError("aSound::aFmodChannelsGroup::CreateGroup", result);
        return;
    }
    m_group = group;
    if (parent && *parent) {
        result = parent->addGroup(m_group);
        if (result != snd::kOk)
            LogError("aSound::aFmodChannelsGroup::CreateGroup", result);
    }
}

aSound::aFmodMainChannelsGroup::~aFmodMainChannelsGroup()
{
    m_subGroups.clear();
    ReleaseGroup();
}

// ---------------------------------------------------------------- registry

aChannelsGroup* aSound::FindChannelsGroup(const std::string& mainGroupName)
{
    ChannelsGroupRegistry& registry = channelsGroups();
    const auto it = registry.find(mainGroupName);
    return it == registry.end() ? nullptr : &it->second;
}

aSound::aFmodChannelsGroup* aSound::FindSubGroup(const std::string& mainGroupName, const std::string& subGroupName)
{
    ChannelsGroupRegistry& registry = channelsGroups();
    const auto main = registry.find(mainGroupName);
    if (main == registry.end())
        return nullptr;
    const auto sub = main->second.m_subGroups.find(subGroupName);
    return sub == main->second.m_subGroups.end() ? nullptr : &sub->second;
}

aSound::aFmodMainChannelsGroup& aSound::AddMainGroup(const std::string& mainGroupName,
                                                     const snd::ChannelGroup& master)
{
    aFmodMainChannelsGroup& main = channelsGroups().try_emplace(mainGroupName).first->second;
    if (!main.HasGroup())
        main.CreateGroup(mainGroupName, &master);
    return main;
}

int aSound::PutChannelIntoGroup(aFmodMainChannelsGroup& mainGroup, const snd::Channel& channel,
                                const std::string& subGroupName)
{
    auto wanted = mainGroup.m_subGroups.try_emplace(subGroupName).first;
    aFmodChannelsGroup& sub = wanted->second;
    if (!sub.HasGroup()) {
        sub.CreateGroup(subGroupName, mainGroup.HasGroup() ? &mainGroup.GetGroup() : nullptr);
        if (!sub.HasGroup()) {
            // No layer group to move into: the channel stays where it is.
            mainGroup.m_subGroups.erase(wanted);
            return snd::kOk;
        }
    }
    if (!channel)
        return snd::kOk;

    snd::ChannelGroup previous;
    char name[129];
    const bool known = channel.getChannelGroup(&previous) == snd::kOk &&
                       previous.getName(name, int(sizeof name)) == snd::kOk;
    if (known && subGroupName == name)
        return snd::kOk;
    const int result = channel.setChannelGroup(sub.GetGroup());
    if (result != snd::kOk || !known)
        return result;

    // Erase the sub-group the channel left once it is empty; only when the
    // entry of that name really is the group it left.
    const auto left = mainGroup.m_subGroups.find(name);
    if (left != mainGroup.m_subGroups.end() && left->second.GetGroup() == previous) {
        int count = 0;
        if (previous.getNumChannels(&count) == snd::kOk && count == 0)
            mainGroup.m_subGroups.erase(left);
    }
    return snd::kOk;
}
