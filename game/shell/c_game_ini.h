#pragma once
// The settings of "home:Game.ini", read once at start-up. A missing file,
// or a value that does not parse or lies out of range, gives the default
// with a log line naming the section and key. A file that cannot be read as
// text (a folder, binary, empty, over kMaxFileSize) gives every default,
// with one log line that says why and lists them.
#include <cstdint>
#include <string>

#include "engine/util/a_singleton.h"

class aOptionsFile;

class CGameIni : public aSingleton<CGameIni> {
public:
    static constexpr const char* kDefaultLanguage = "English";
    // Back-buffer sizes outside this range fall back to the default.
    static constexpr std::uint16_t kMinSize = 320;
    static constexpr std::uint16_t kMaxSize = 8192;
    static constexpr float kMaxRestoreHintTime = 86400.0f;
    // A settings file is a few hundred bytes; anything near this is not one.
    static constexpr std::uint32_t kMaxFileSize = 64 * 1024;

    // languageRoot: the folder that holds one folder (or archive) per language.
    explicit CGameIni(const std::string& path = "home:Game.ini",
                      const std::string& languageRoot = "home:GameData/Language/");

    // [Graphics]
    std::uint16_t GetWidth() const { return m_width; }
    std::uint16_t GetHeight() const { return m_height; }
    bool IsUse32Bit() const { return m_use32Bit; }
    bool IsVSync() const { return m_vsync; }
    // A window is forced (and full screen cannot be switched on).
    bool IsWindowed() const { return m_windowed; }
    // [Language] Name: a folder name, never a path.
    const std::string& GetLanguage() const { return m_language; }
    // [Sound]
    bool IsSoundEnabled() const { return m_soundEnabled; }
    bool IsAmbientEnabled() const { return m_ambient; }
    // [Other]
    bool IsSavesDisabled() const { return m_disableSaves; }
    bool AreCheatKeysEnabled() const { return m_enableCheatKeys; }
    // Seconds for the hint glass to refill.
    float GetTimeForRestoreHint() const { return m_timeForRestoreHint; }

private:
    void Read(const aOptionsFile& ini, const std::string& languageRoot);
    // The settings as keys of the file, for the log.
    std::string Settings() const;

    std::string m_path;
    std::uint16_t m_width = 1024;
    std::uint16_t m_height = 768;
    bool m_use32Bit = true;
    bool m_vsync = true;
    bool m_windowed = false;
    std::string m_language = kDefaultLanguage;
    bool m_soundEnabled = true;
    bool m_ambient = true;
    bool m_disableSaves = false;
    bool m_enableCheatKeys = false;
    float m_timeForRestoreHint = 180.0f;
};
