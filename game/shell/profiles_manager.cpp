#include "game/shell/profiles_manager.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <zlib.h>

#include "engine/util/a_file_lookup.h"
#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/shell/byte_order.h"
#include "game/shell/save_error_text.h"

namespace {

using byte_order::load16;
using byte_order::load32;
using byte_order::store16;
using byte_order::store32;

constexpr char kMagic[4] = {'V', 'R', 'K', 'P'};
constexpr std::uint32_t kHeaderSize = 16;
constexpr std::uint32_t kNoCurrent = 0xFFFFFFFFu;

std::uint32_t crcOf(const std::uint8_t* data, std::size_t size)
{
    return std::uint32_t(crc32(0, data, uInt(size)));
}

std::wstring foldName(const std::string& name) { return str_toLowerW(str_cp1251ToWide(name)); }

bool isKeptByte(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the record's fields in order; a field the record is too short for
// keeps its default.
class FieldReader {
public:
    FieldReader(const std::uint8_t* p, std::uint32_t size, std::uint32_t pos) : m_p(p), m_size(size), m_pos(pos) {}
    void read(std::int32_t& v)
    {
        if (m_size - m_pos >= 4) {
            v = std::int32_t(load32(m_p + m_pos));
            m_pos += 4;
        } else {
            m_pos = m_size;
        }
    }
    void read(float& v)
    {
        if (m_size - m_pos >= 4) {
            const std::uint32_t bits = load32(m_p + m_pos);
            std::memcpy(&v, &bits, 4);
            m_pos += 4;
        } else {
            m_pos = m_size;
        }
    }
    // False when the record ends before the field.
    bool read(std::uint8_t& v)
    {
        if (m_pos >= m_size)
            return false;
        v = m_p[m_pos++];
        return true;
    }

private:
    const std::uint8_t* m_p;
    std::uint32_t m_size;
    std::uint32_t m_pos;
};

void clampTier(std::int32_t& tier, const char* what, const std::string& name)
{
    if (tier < 0 || tier > CurrentProfile::kMaxTier) {
        a_log("ProfilesManager::Load(). Profile '%s': %s tier %d clamped", name.c_str(), what, tier);
        tier = tier < 0 ? 0 : CurrentProfile::kMaxTier;
    }
}

void clampUnit(float& value, float fallback, const char* what, const std::string& name)
{
    if (std::isnan(value)) {
        a_log("ProfilesManager::Load(). Profile '%s': %s is not a number, default used", name.c_str(), what);
        value = fallback;
    } else if (value < 0.0f || value > 1.0f) {
        a_log("ProfilesManager::Load(). Profile '%s': %s %g clamped", name.c_str(), what, double(value));
        value = value < 0.0f ? 0.0f : 1.0f;
    }
}

void appendU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.resize(out.size() + 4);
    store32(out.data() + out.size() - 4, v);
}

void appendF32(std::vector<std::uint8_t>& out, float v)
{
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    appendU32(out, bits);
}

// Removes exactly this file (no case-blind lookup: "bob.save" must never
// take "Bob.save" with it).
void removeExact(const std::string& path)
{
    const std::string full = file_manglePath(path);
    if (std::remove(full.c_str()) == 0) {
        a_log("ProfilesManager. Deleted '%s'", path.c_str());
        file_layer::forgetParentOf(full);
    }
}

} // namespace

ProfilesManager::ProfilesManager(const std::string& folder) : m_folder(folder) { ResetToDefault(); }

void ProfilesManager::ResetToDefault()
{
    m_profiles.assign(1, CurrentProfile());
    m_current = 0;
    CurrentProfile::Get() = m_profiles[0];
}

std::vector<std::string> ProfilesManager::GetNames() const
{
    std::vector<std::string> names;
    names.reserve(m_profiles.size());
    for (const CurrentProfile& p : m_profiles)
        names.push_back(p.name);
    return names;
}

void ProfilesManager::SyncCurrent()
{
    if (m_current < m_profiles.size())
        m_profiles[m_current] = CurrentProfile::Get();
}

void ProfilesManager::MakeCurrent(std::size_t index)
{
    m_current = index;
    CurrentProfile::Get() = m_profiles[index];
}

// ---------------------------------------------------------------------------
// Names

std::string ProfilesManager::TrimName(const std::string& name)
{
    const std::size_t begin = name.find_first_not_of(' ');
    if (begin == std::string::npos)
        return std::string();
    return name.substr(begin, name.find_last_not_of(' ') - begin + 1);
}

ProfilesManager::NameError ProfilesManager::CheckNameAgainst(const std::string& name,
                                                             const std::vector<CurrentProfile>& list)
{
    if (name.empty())
        return NameError::Empty;
    if (name.size() > kMaxNameLength)
        return NameError::TooLong;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F)
            return NameError::BadCharacter;
    // The file layer finds a missing file name ignoring case, so "bob" would
    // otherwise open Bob's save.
    const std::wstring folded = foldName(name);
    for (const CurrentProfile& p : list)
        if (foldName(p.name) == folded)
            return NameError::Taken;
    return NameError::None;
}

ProfilesManager::NameError ProfilesManager::CheckName(const std::string& name) const
{
    if (m_profiles.size() >= kMaxProfiles)
        return NameError::TooMany;
    return CheckNameAgainst(TrimName(name), m_profiles);
}

const char* ProfilesManager::GetNameErrorTextId(NameError error)
{
    switch (error) {
    case NameError::None:
        return "";
    case NameError::Empty:
        return "profile_error_empty";
    case NameError::TooLong:
        return "profile_error_long";
    case NameError::BadCharacter:
        return "profile_error_chars";
    case NameError::Taken:
        return "profile_error_taken";
    case NameError::TooMany:
        return "profile_error_full";
    }
    return "";
}

std::string ProfilesManager::EscapeName(const std::string& name)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : str_wideToUtf8(str_cp1251ToWide(name))) {
        if (isKeptByte(c)) {
            out += char(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool ProfilesManager::UnescapeName(const std::string& escaped, std::string& name)
{
    std::string utf8;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(escaped[i]);
        if (isKeptByte(c)) {
            utf8 += char(c);
            continue;
        }
        if (c != '%' || i + 2 >= escaped.size() || hexValue(escaped[i + 1]) < 0 || hexValue(escaped[i + 2]) < 0)
            return false;
        const int byte = hexValue(escaped[i + 1]) * 16 + hexValue(escaped[i + 2]);
        if (isKeptByte(static_cast<unsigned char>(byte)))
            return false;  // never escaped: the escape is one-to-one
        utf8 += char(byte);
        i += 2;
    }
    const std::wstring wide = str_utf8ToWide(utf8);
    if (str_wideToUtf8(wide) != utf8)
        return false;
    const std::string cp1251 = str_wideToCp1251(wide);
    if (str_cp1251ToWide(cp1251) != wide)
        return false;
    name = cp1251;
    return true;
}

std::string ProfilesManager::GetSaveFileName(const std::string& name) const
{
    return m_folder + EscapeName(name) + ".save";
}

std::string ProfilesManager::GetSaveFileName() const { return GetSaveFileName(CurrentProfile::Get().name); }

// ---------------------------------------------------------------------------
// The file

void ProfilesManager::Load()
{
    ResetToDefault();
    m_leaveFile = false;
    m_saveFailure.clear();
    const std::string path = FilePath();
    std::vector<std::uint8_t> bytes;
    const int error = file_readDisk(path, kMaxFileSize, bytes);
    if (error == ENOENT) {
        a_log("ProfilesManager::Load(). No '%s' yet, starting with '%s'", path.c_str(), CurrentProfile::kDefaultName);
        return;
    }
    if (error != 0 && error != EFBIG) {
        // Not damaged: it may read next time. Writing the defaults over it
        // would lose every player.
        m_leaveFile = true;
        a_log("ProfilesManager::Load(). '%s' cannot be read (%s); it is left as it is and not written in this run, "
              "starting with '%s'",
              path.c_str(), std::strerror(error), CurrentProfile::kDefaultName);
        return;
    }
    const std::string problem = error == EFBIG ? str_format("over %u bytes, more than a list can hold", kMaxFileSize)
                                               : Parse(bytes.data(), std::uint32_t(bytes.size()));
    if (problem.empty()) {
        a_log("ProfilesManager::Load(). %u profiles from '%s', current '%s'", unsigned(m_profiles.size()),
              path.c_str(), CurrentProfile::Get().name.c_str());
        return;
    }
    ResetToDefault();
    const std::string aside = file_setAside(path, ".bad", SetAside::Move);
    if (aside.empty()) {
        const int why = errno;
        m_leaveFile = true;
        a_log("ProfilesManager::Load(). '%s' is damaged (%s); it could not be renamed (%s), so it is left as it is and "
              "not written in this run, starting with '%s'",
              path.c_str(), problem.c_str(), std::strerror(why), CurrentProfile::kDefaultName);
        return;
    }
    a_log("ProfilesManager::Load(). '%s' is damaged (%s); renamed to %s, starting with '%s'", path.c_str(),
          problem.c_str(), file_nameBeside(path, aside).c_str(), CurrentProfile::kDefaultName);
}

std::string ProfilesManager::Parse(const std::uint8_t* data, std::uint32_t size)
{
    if (size < kHeaderSize + 4)
        return str_format("cut short (%u bytes)", size);
    if (crcOf(data, size - 4) != load32(data + size - 4))
        return "CRC mismatch";
    if (std::memcmp(data, kMagic, 4) != 0)
        return "bad magic";
    if (load16(data + 4) != kFormat)
        return str_format("unknown format %u", unsigned(load16(data + 4)));
    const std::uint32_t count = load32(data + 8);
    const std::uint32_t current = load32(data + 12);
    if (count > kMaxProfiles)
        return str_format("%u profiles, at most %u", count, unsigned(kMaxProfiles));

    const std::uint32_t end = size - 4;
    std::uint32_t pos = kHeaderSize;
    m_profiles.clear();
    m_fileIndices.clear();
    for (std::uint32_t i = 0; i < count; ++i) {
        if (end - pos < 4)
            return str_format("record %u cut short", i);
        const std::uint32_t length = load32(data + pos);
        pos += 4;
        if (length > end - pos)
            return str_format("record %u: length %u overruns the file", i, length);
        ParseRecord(data + pos, length, i);
        pos += length;
    }
    if (pos != end)
        return str_format("%u bytes after the last record", end - pos);

    if (m_profiles.empty()) {
        ResetToDefault();
        return std::string();
    }
    std::size_t selected = 0;
    bool found = false;
    for (std::size_t k = 0; k < m_fileIndices.size(); ++k)
        if (m_fileIndices[k] == current) {
            selected = k;
            found = true;
        }
    if (!found && current != kNoCurrent)
        a_log("ProfilesManager::Load(). Current profile %u is not in the list, the first is selected", current);
    MakeCurrent(selected);
    return std::string();
}

void ProfilesManager::ParseRecord(const std::uint8_t* p, std::uint32_t size, std::uint32_t fileIndex)
{
    const void* nul = std::memchr(p, 0, size);
    if (!nul) {
        a_log("ProfilesManager::Load(). Record %u has no name, dropped", fileIndex);
        return;
    }
    CurrentProfile profile;
    const std::uint32_t nameLength = std::uint32_t(static_cast<const std::uint8_t*>(nul) - p);
    profile.name.assign(reinterpret_cast<const char*>(p), nameLength);
    const NameError error = CheckNameAgainst(profile.name, m_profiles);
    if (error != NameError::None || TrimName(profile.name) != profile.name) {
        a_log("ProfilesManager::Load(). Record %u: name '%s' refused (%s), dropped", fileIndex, profile.name.c_str(),
              GetNameErrorTextId(error == NameError::None ? NameError::BadCharacter : error));
        return;
    }
    FieldReader r(p, size, nameLength + 1);
    r.read(profile.mhTier);
    r.read(profile.mhCount);
    r.read(profile.faTier);
    r.read(profile.faCount);
    r.read(profile.faCompleted);
    r.read(profile.soundVolume);
    r.read(profile.musicVolume);
    r.read(profile.ambientVolume);
    r.read(profile.showTips);
    r.read(profile.fullscreen);
    profile.storyWon = CurrentProfile::kStoryNotRecorded;
    r.read(profile.storyWon);
    const bool tipsKept = r.read(profile.tipsShown);

    clampTier(profile.mhTier, "MH", profile.name);
    clampTier(profile.faTier, "FA", profile.name);
    clampUnit(profile.faCompleted, 0.0f, "Find All completion", profile.name);
    clampUnit(profile.soundVolume, CurrentProfile::kDefaultSoundVolume, "sound volume", profile.name);
    clampUnit(profile.musicVolume, CurrentProfile::kDefaultMusicVolume, "music volume", profile.name);
    clampUnit(profile.ambientVolume, CurrentProfile::kDefaultAmbientVolume, "ambient volume", profile.name);
    profile.showTips = profile.showTips ? 1 : 0;
    profile.fullscreen = profile.fullscreen ? 1 : 0;
    if (profile.storyWon > CurrentProfile::kStoryNotRecorded) {
        a_log("ProfilesManager::Load(). Profile '%s': story mark %u unknown, taken from the saves",
              profile.name.c_str(), unsigned(profile.storyWon));
        profile.storyWon = CurrentProfile::kStoryNotRecorded;
    }
    // Before the tips were kept, a ribbon's tip came with its first certificate.
    if (!tipsKept)
        profile.tipsShown = std::uint8_t((profile.mhTier != 0 ? CurrentProfile::kTipMHRibbon : 0) |
                                         (profile.faTier != 0 ? CurrentProfile::kTipFARibbon : 0));
    m_profiles.push_back(profile);
    m_fileIndices.push_back(fileIndex);
}

std::vector<std::uint8_t> ProfilesManager::Serialize() const
{
    std::vector<std::uint8_t> out(kHeaderSize);
    std::memcpy(out.data(), kMagic, 4);
    store16(out.data() + 4, kFormat);
    store16(out.data() + 6, 0);
    store32(out.data() + 8, std::uint32_t(m_profiles.size()));
    store32(out.data() + 12, m_profiles.empty() ? kNoCurrent : std::uint32_t(m_current));
    for (const CurrentProfile& p : m_profiles) {
        const std::size_t lengthAt = out.size();
        appendU32(out, 0);
        out.insert(out.end(), p.name.begin(), p.name.end());
        out.push_back(0);
        for (std::int32_t v : {p.mhTier, p.mhCount, p.faTier, p.faCount})
            appendU32(out, std::uint32_t(v));
        for (float v : {p.faCompleted, p.soundVolume, p.musicVolume, p.ambientVolume})
            appendF32(out, v);
        out.push_back(p.showTips);
        out.push_back(p.fullscreen);
        out.push_back(p.storyWon);
        out.push_back(p.tipsShown);
        store32(out.data() + lengthAt, std::uint32_t(out.size() - lengthAt - 4));
    }
    appendU32(out, crcOf(out.data(), out.size()));
    return out;
}

bool ProfilesManager::Save()
{
    SyncCurrent();
    if (m_leaveFile) {
        a_log("ProfilesManager::Save(). Cannot write '%s': it could not be read at start-up and is left as it is; "
              "the profiles stay in memory",
              FilePath().c_str());
        m_saveFailure = kSaveErrorListUnreadText;
        return false;
    }
    const std::vector<std::uint8_t> bytes = Serialize();
    if (!file_writeFull(FilePath(), bytes.data(), std::uint32_t(bytes.size()))) {
        const int error = errno;
        a_log("ProfilesManager::Save(). Cannot write '%s' (%s); the profiles stay in memory", FilePath().c_str(),
              std::strerror(error));
        m_saveFailure = SaveErrorTextId(WriteErrorOf(FilePath(), error));
        return false;
    }
    m_saveFailure.clear();
    return true;
}

std::string ProfilesManager::TakeSaveFailure()
{
    std::string failure;
    failure.swap(m_saveFailure);
    return failure;
}

// ---------------------------------------------------------------------------
// Changes

bool ProfilesManager::Select(std::size_t index)
{
    if (index >= m_profiles.size())
        return false;
    SyncCurrent();
    MakeCurrent(index);
    Save();
    return true;
}

ProfilesManager::NameError ProfilesManager::Add(const std::string& name)
{
    const NameError error = CheckName(name);
    if (error != NameError::None)
        return error;
    CurrentProfile profile;
    profile.name = TrimName(name);
    m_profiles.push_back(profile);
    Save();
    return NameError::None;
}

bool ProfilesManager::Remove(std::size_t index)
{
    if (index >= m_profiles.size())
        return false;
    SyncCurrent();
    const std::string save = GetSaveFileName(m_profiles[index].name);
    m_profiles.erase(m_profiles.begin() + std::ptrdiff_t(index));
    if (m_profiles.empty()) {
        ResetToDefault();
    } else if (index == m_current) {
        MakeCurrent(0);
    } else if (index < m_current) {
        --m_current;
    }
    // While the list on disk still names the player, its saves stay too.
    if (!Save()) {
        a_log("ProfilesManager::Remove(). The list was not written; '%s' is kept", save.c_str());
        return true;
    }
    removeExact(save);
    removeExact(save + "FA");
    return true;
}
