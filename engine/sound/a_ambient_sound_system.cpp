#include "engine/sound/a_ambient_sound_system.h"

#include <charconv>
#include <cmath>

#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_options_file.h"
#include "engine/util/a_random.h"
#include "engine/util/a_string.h"
#include "engine/util/a_string_list.h"

namespace {

// Copies held per sound file by all live systems.
std::map<std::string, std::uint32_t>& useCounts()
{
    static std::map<std::string, std::uint32_t> counts;
    return counts;
}

// One finite number at p (blanks and a '+' allowed before it); the end of
// what was read, or null.
const char* readNumber(const char* p, const char* end, float& value)
{
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p < end && *p == '+')
        ++p;
    float v = 0.0f;
    const auto [next, error] = std::from_chars(p, end, v);
    if (error != std::errc() || !std::isfinite(v))
        return nullptr;
    value = v;
    return next;
}

// "min/max" or one number; how many numbers were read (0, 1 or 2). clean
// tells whether nothing else was in the token.
int parseRange(const std::string& token, float& minimum, float& maximum, bool& clean)
{
    const char* p = token.data();
    const char* end = p + token.size();
    clean = false;
    p = readNumber(p, end, minimum);
    if (!p)
        return 0;
    maximum = minimum;
    if (p < end && *p == '/') {
        const char* second = readNumber(p + 1, end, maximum);
        if (!second)
            return 1;
        clean = second == end;
        return 2;
    }
    clean = p == end;
    return 1;
}

} // namespace

float aAmbientSoundSystem::Param::Draw(aRandom& random) const
{
    if (ranges.empty())
        return def;
    const std::pair<float, float>& range = ranges[std::size_t(random.next()) % ranges.size()];
    const int r = random.next();
    return float(double(range.first) + (double(range.second) - double(range.first)) * r / double(A_RAND_MAX));
}

aAmbientSoundSystem::~aAmbientSoundSystem()
{
    ReleaseSounds();
    m_descriptors.clear();
}

std::uint32_t aAmbientSoundSystem::GetUseCount(const std::string& file)
{
    const auto it = useCounts().find(file);
    return it == useCounts().end() ? 0 : it->second;
}

void aAmbientSoundSystem::CreateResLoadingLists(const std::string& iniPath, const std::string& listPath,
                                                aSoundManager* manager)
{
    if (m_state != kEmpty || !manager)
        return;
    m_manager = manager;
    const std::string directory = file_getDirectory(listPath);
    aOptionsFile ini(iniPath);
    const aStringList list(listPath);

    for (ini.firstSection(); !ini.isSectionsEnd(); ini.nextSection()) {
        Descriptor d;
        d.name = ini.getSectionName();
        const std::string* line = nullptr;
        for (const std::string& candidate : list.lines()) {
            const std::size_t dot = candidate.find('.');
            if (dot != std::string::npos && candidate.compare(0, dot, d.name) == 0 && dot == d.name.size()) {
                line = &candidate;
                d.file = candidate.substr(0, candidate.find(' ', dot));
                break;
            }
        }
        if (!line) {
            a_log("aAmbientSoundSystem::CreateResLoadingLists(). Sound '%s' not exist!", d.name.c_str());
            continue;
        }
        if (!manager->HasSound(d.name, A_GROUP_AMBIENTS) && !manager->IsExist(directory + d.file))
            manager->AddFileToTask(directory, *line, A_GROUP_AMBIENTS, A_GROUP_AMBIENTS);
        ReadParams(d, ini, iniPath);
        m_descriptors.push_back(std::move(d));
    }
    m_state = kListsCreated;
}

void aAmbientSoundSystem::ReadParams(Descriptor& d, const aOptionsFile& ini, const std::string& iniPath)
{
    const auto readParam = [&](const char* key, float def, Param& param) {
        param.def = def;
        if (!ini.hasKey(key))
            return;
        std::list<std::string> tokens;
        ini.getTokens(key, tokens);
        for (const std::string& token : tokens) {
            float minimum = 0.0f, maximum = 0.0f;
            bool clean = false;
            const int count = parseRange(token, minimum, maximum, clean);
            if (!clean)
                a_log("aAmbientSoundSystem. Bad range \"%s\" in %s [%s] %s", token.c_str(), iniPath.c_str(),
                      d.name.c_str(), key);
            // What a "%f/%f" scan of the token gives, when it gives anything.
            if (count > 0)
                param.ranges.emplace_back(minimum, maximum);
        }
    };
    // Scalars keep what atoi and atof read from them, with a line when that
    // was not all of the value.
    const auto checkNumber = [&](const char* key, bool (*isNumber)(const std::string&)) {
        const std::string value = ini.getStringDef(key, "");
        if (ini.hasKey(key) && !isNumber(value))
            a_log("aAmbientSoundSystem. Value \"%s\" is not a number in %s [%s] %s", value.c_str(), iniPath.c_str(),
                  d.name.c_str(), key);
    };
    readParam("volume", 1.0f, d.volume);
    readParam("pan", 0.0f, d.pan);
    readParam("pause", 0.0f, d.pause);
    readParam("delay", 0.0f, d.delay);
    d.loop = ini.getIntDef("loop", 0) != 0;
    checkNumber("loop", str_isInt);
    if (d.loop) {
        readParam("playtime", -1.0f, d.playtime);
        d.fade = ini.getFloatDef("fade", 0.1f);
        checkNumber("fade", str_isDouble);
        // A negative or undefined fade would divide the fade-out by nothing.
        if (!(d.fade >= 0.0f) || !std::isfinite(d.fade)) {
            a_log("aAmbientSoundSystem. Fade \"%s\" out of range in %s [%s], 0 used",
                  ini.getStringDef("fade", "").c_str(), iniPath.c_str(), d.name.c_str());
            d.fade = 0.0f;
        }
    } else {
        d.playtime.def = -1.0f;
    }
}

void aAmbientSoundSystem::CreateSounds()
{
    if (m_state != kListsCreated)
        return;
    for (Descriptor& d : m_descriptors) {
        aSound* loaded = m_manager->GetSound(d.name, A_GROUP_AMBIENTS);
        if (!loaded)
            continue;
        d.sound = std::make_unique<aSound>(*loaded);
        ++useCounts()[d.file];
    }
    m_state = kSoundsCreated;
}

void aAmbientSoundSystem::Play()
{
    if (m_state != kSoundsCreated)
        return;
    m_random.seed(std::uint32_t(a_rand()));
    for (Descriptor& d : m_descriptors) {
        if (!d.sound)
            continue;
        d.sound->Stop();
        d.playing = false;
        d.wait = d.delay.Draw(m_random);
        d.elapsed = 0.0f;
    }
    m_state = kPlaying;
}

void aAmbientSoundSystem::Stop()
{
    if (m_state != kPlaying)
        return;
    for (Descriptor& d : m_descriptors) {
        if (d.sound)
            d.sound->Stop();
        d.playing = false;
    }
    m_state = kSoundsCreated;
}

void aAmbientSoundSystem::Update(float dt)
{
    if (m_state != kPlaying)
        return;
    for (Descriptor& d : m_descriptors) {
        d.elapsed += dt;
        if (!d.sound)
            continue;

        if (!d.playing && d.elapsed >= d.wait) {
            d.playing = true;
            d.currentVolume = d.volume.Draw(m_random);
            // A looped sound that fades in starts silent.
            d.sound->SetVolume(d.loop && d.fade > 0.0f ? 0.0f : d.currentVolume);
            d.sound->SetPan(d.pan.Draw(m_random));
            if (d.loop) {
                d.sound->Play(true, false);
                d.wait = d.playtime.Draw(m_random);
                d.elapsed = 0.0f;
            } else {
                d.sound->Play(false, false);
            }
            continue;
        }

        if (d.playing && d.loop) {
            const float fade = d.fade;
            const float playtime = d.wait;
            const float volume = d.currentVolume;
            if (playtime >= 0.0f && d.elapsed >= 2.0f * fade + playtime)
                d.sound->Stop();
            else if (d.elapsed < fade)
                d.sound->SetVolume(volume * d.elapsed / fade);
            else if (playtime >= 0.0f && d.elapsed >= playtime + fade)
                d.sound->SetVolume(volume * (2.0f * fade + playtime - d.elapsed) / fade);
            else
                d.sound->SetVolume(volume);
        }

        if (d.playing && !d.sound->IsPlaying()) {
            d.playing = false;
            d.wait = d.pause.Draw(m_random);
            d.elapsed = 0.0f;
        }
    }
}

void aAmbientSoundSystem::ReleaseSounds()
{
    if (m_state == kPlaying)
        Stop();
    if (m_state != kSoundsCreated)
        return;
    for (Descriptor& d : m_descriptors) {
        if (!d.sound)
            continue;
        d.sound.reset();
        auto it = useCounts().find(d.file);
        if (it != useCounts().end() && it->second > 0)
            --it->second;
    }
    m_descriptors.clear();
    m_state = kEmpty;
}

void aAmbientSoundSystem::ReleaseUnusedResources(aSoundManager* manager)
{
    if (!manager)
        return;
    auto& counts = useCounts();
    for (auto it = counts.begin(); it != counts.end();) {
        if (it->second == 0) {
            manager->UnloadFile(it->first, A_GROUP_AMBIENTS);
            it = counts.erase(it);
        } else {
            ++it;
        }
    }
}

void aAmbientSoundSystem::SetVolume(float volume)
{
    if (aChannelsGroup* group = aSound::FindChannelsGroup(A_GROUP_AMBIENTS))
        group->SetVolume(volume);
}
