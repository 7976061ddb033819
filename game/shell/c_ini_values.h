#pragma once
// Typed values of the shell's own ini files (splash, credits). A key that is
// absent gives the default silently; a value that does not read as its type
// gives the default with one log line naming the file, section and key.
#include <cstdint>
#include <string>

#include "engine/util/a_options_file.h"

class CIniSection {
public:
    // owner: the class named in log lines ("CSplash").
    CIniSection(const aOptionsFile::Section& section, const std::string& path, const char* owner)
        : m_section(section), m_path(path), m_owner(owner)
    {
    }

    const std::string& GetName() const { return m_section.first; }
    bool Has(const char* key) const { return Find(key) != nullptr; }
    // The value with blanks trimmed; "" when absent.
    std::string GetString(const char* key) const;
    // A finite number of at least min.
    float GetFloat(const char* key, float def, float min = 0.0f) const;
    // ARGB as 1 to 8 hexadecimal digits.
    std::uint32_t GetColor(const char* key, std::uint32_t def) const;
    // Two finite numbers; false (and x, y untouched) when absent or bad.
    bool GetPoint(const char* key, float& x, float& y) const;
    // One line: "<owner>. '<path>' [<section>] <what>".
    void Log(const std::string& what) const;

private:
    const std::string* Find(const char* key) const;
    void Refuse(const char* key, const std::string& value, const std::string& taken) const;

    const aOptionsFile::Section& m_section;
    const std::string& m_path;
    const char* m_owner;
};
