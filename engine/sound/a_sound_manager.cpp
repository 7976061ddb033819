#include "engine/sound/a_sound_manager.h"

#include <algorithm>
#include <cmath>

#include "engine/util/a_log.h"

namespace {

struct Options {
    float volume = 1.0f;
    bool stream = false;
    int priority = 128;
    std::string soundGroup;
};

std::string trim(const std::string& text)
{
    const char* blanks = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The file name of a line: up to the first blank after the first '.', or
// the whole line (a bare file name).
std::string fileNamePart(const std::string& line)
{
    const std::size_t dot = line.find('.');
    if (dot == std::string::npos)
        return line;
    return line.substr(0, line.find(' ', dot));
}

std::string cutExtension(const std::string& fileName)
{
    return fileName.substr(0, fileName.rfind('.'));
}

// A numeric value the line gives as text that is no number (or no number a
// float can hold): the value read from it still applies, as atoi and atof
// would read it, unless it cannot be stored.
void logBadNumber(const std::string& key, const char* why, const std::string& path, const std::string& line)
{
    a_log("aSoundManager. Value of %s %s (%s), line: %s", key.c_str(), why, path.c_str(), line.c_str());
}

// Reads the "{ key=value, ... }" block; unknown keys and bad values log the
// line and leave their option as it was. path names the sound in messages.
Options parseOptions(const std::string& line, const std::string& path)
{
    Options options;
    const std::size_t open = line.find('{');
    if (open == std::string::npos)
        return options;
    const std::size_t close = line.find('}', open);
    if (close == std::string::npos)
        return options;
    const std::string block = line.substr(open + 1, close - open - 1);

    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = block.find(',', start);
        const std::string piece = block.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        const std::size_t equals = piece.find('=');
        if (equals != std::string::npos) {
            const std::string key = trim(piece.substr(0, equals));
            const std::string value = trim(piece.substr(equals + 1));
            const bool numeric = key == "Volume" || key == "StreamPlay" || key == "Priority";
            if (numeric && !(key == "Volume" ? str_isDouble(value) : str_isInt(value)))
                logBadNumber(key, "is not a number", path, line);
            if (key == "Volume") {
                // Checked as stored: 1e39 is a finite double but no float.
                const float volume = float(str_toDouble(value));
                if (std::isfinite(volume))
                    options.volume = volume;
                else
                    logBadNumber(key, "is out of range", path, line);
            } else if (key == "StreamPlay") {
                options.stream = str_toInt(value) != 0;
            } else if (key == "Priority") {
                // 0 is the most important, 255 the least: out-of-range
                // values must not wrap to the other end.
                options.priority = std::clamp(str_toInt(value), 0, 255);
            } else if (key == "SoundGroup") {
                options.soundGroup = value;
            } else {
                a_log("aSoundManager. Error in line: %s", line.c_str());
            }
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return options;
}

} // namespace

aSoundManager::~aSoundManager() { m_sounds.clear(); }

std::string aSoundManager::MakeKey(const std::string& name, const std::string& group)
{
    return group.empty() ? name : name + ":" + group;
}

std::string aSoundManager::GetNameFromLine(const std::string& line)
{
    const std::size_t dot = line.find('.');
    const std::size_t blank = dot == std::string::npos ? std::string::npos : line.find(' ', dot);
    if (blank == std::string::npos) {
        a_logString(("aSoundManager: Error in line: " + line).c_str());
        return std::string();
    }
    return line.substr(0, blank);
}

bool aSoundManager::UnloadFile(const std::string& line, const std::string& group)
{
    const auto it = m_sounds.find(MakeKey(cutExtension(fileNamePart(line)), group));
    if (it == m_sounds.end())
        return false;
    m_sounds.erase(it);
    return true;
}

void aSoundManager::LoadFile(const std::string& directory, const std::string& line, const std::string& group)
{
    const std::string fileName = GetNameFromLine(line);
    const std::string key = MakeKey(cutExtension(fileName), group);
    const Options options = parseOptions(line, directory + fileName);

    if (m_sounds.count(key)) {
        a_log("aSoundManager. Sound with name \"%s\" already loaded!", key.c_str());
        return;
    }

    if (!fileName.empty()) {
        const TaskFile* task = GetCurrentTask();
        const std::string mainGroup = task && !task->task.empty() ? task->task : A_GROUP_SFX;
        auto sound = std::make_unique<aSound>();
        if (sound->Load(directory + fileName, mainGroup, options.stream)) {
            sound->SetVolume(options.volume);
            sound->SetPriority(std::uint8_t(options.priority));
            sound->SetGroup(options.soundGroup);
            m_sounds.emplace(key, std::move(sound));
        }
    }
    if (m_callback)
        m_callback(key);
}

aSound* aSoundManager::GetSound(const std::string& name, const std::string& group)
{
    const std::string key = MakeKey(name, group);
    const auto it = m_sounds.find(key);
    if (it == m_sounds.end()) {
        a_log("aSoundManager. Cannot find sound \"%s\"", key.c_str());
        return nullptr;
    }
    return it->second.get();
}

bool aSoundManager::HasSound(const std::string& name, const std::string& group) const
{
    return m_sounds.count(MakeKey(name, group)) != 0;
}
