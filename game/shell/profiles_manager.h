#pragma once
// The player profiles: the list kept in "_profiles.dat" in the saved-games
// folder, the selected one (mirrored in CurrentProfile::Get) and each
// profile's save-file names. Every change writes the list at once, through
// the file layer's safe write; a list that cannot be written stays in memory.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/util/a_singleton.h"
#include "game/shell/current_profile.h"

class ProfilesManager : public aSingleton<ProfilesManager> {
public:
    static constexpr std::size_t kMaxProfiles = 64;
    static constexpr std::size_t kMaxNameLength = 24;
    static constexpr std::uint16_t kFormat = 1;
    static constexpr const char* kFileName = "_profiles.dat";
    // A list of 64 full records is about 4 KB; the margin leaves room for
    // fields that later versions append to a record.
    static constexpr std::uint32_t kMaxFileSize = 1u << 20;

    // Why a name was refused.
    enum class NameError { None, Empty, TooLong, BadCharacter, Taken, TooMany };

    // folder: the saved-games folder, with its trailing '/'.
    explicit ProfilesManager(const std::string& folder);

    // Reads the list and selects its current profile. With no file the list
    // holds "Player". A damaged file (its checks fail, or it is over
    // kMaxFileSize) is renamed "_profiles.dat.bad" first, or ".bad.2" and on
    // when that name is taken. A file that cannot be opened or read is not
    // damaged: the list holds "Player" and this run never writes the file.
    void Load();
    // Copies the current profile back into the list and writes the file.
    // False (logged) when it cannot be written.
    bool Save();
    // The Main.txt string id of why the last Save failed, then "" until Save
    // fails again; "" when it succeeded.
    std::string TakeSaveFailure();

    std::size_t GetCount() const { return m_profiles.size(); }
    std::vector<std::string> GetNames() const;
    std::size_t GetCurrentIndex() const { return m_current; }
    // A listed profile as last stored (the current one as of the last sync).
    const CurrentProfile& GetProfile(std::size_t index) const { return m_profiles.at(index); }

    // Makes the profile current and writes the list.
    bool Select(std::size_t index);
    // Appends a profile with the defaults under the trimmed name (not
    // selected) and writes the list.
    NameError Add(const std::string& name);
    // Removes a profile and, once the list without it is written, deletes
    // its ".save" and ".saveFA". Removing the current one selects the first
    // left; removing the last leaves "Player".
    bool Remove(std::size_t index);
    // Whether a name (trimmed) could be added now.
    NameError CheckName(const std::string& name) const;

    // The current profile's save file, and another profile's.
    std::string GetSaveFileName() const;
    std::string GetSaveFileName(const std::string& name) const;
    const std::string& GetFolder() const { return m_folder; }

    // The name's UTF-8 bytes with every byte outside [A-Za-z0-9_-] as %HH.
    static std::string EscapeName(const std::string& name);
    // The reverse; false for text EscapeName cannot have made.
    static bool UnescapeName(const std::string& escaped, std::string& name);
    // Blanks trimmed at both ends.
    static std::string TrimName(const std::string& name);
    // The Main.txt string id that explains a refusal.
    static const char* GetNameErrorTextId(NameError error);

private:
    static NameError CheckNameAgainst(const std::string& name, const std::vector<CurrentProfile>& list);
    // "" when the file parsed, else what is wrong with it.
    std::string Parse(const std::uint8_t* data, std::uint32_t size);
    void ParseRecord(const std::uint8_t* p, std::uint32_t size, std::uint32_t fileIndex);
    std::vector<std::uint8_t> Serialize() const;
    void ResetToDefault();
    void SyncCurrent();
    void MakeCurrent(std::size_t index);
    std::string FilePath() const { return m_folder + kFileName; }

    std::string m_folder;
    std::vector<CurrentProfile> m_profiles;
    std::size_t m_current = 0;
    // While parsing: the file's record index of each kept profile.
    std::vector<std::uint32_t> m_fileIndices;
    // The file on disk could not be read or set aside: never written over.
    bool m_leaveFile = false;
    std::string m_saveFailure;
};
