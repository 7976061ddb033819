#pragma once
// The manager of named sounds, loaded from sound-list lines:
//   file.ext { Volume=0.8, StreamPlay=1, Priority=64, SoundGroup=doors }
// The option block is optional, but the file name must be followed by a
// blank. A sound is keyed by its file name less the extension, plus ":" and
// the list's group when that is not empty; keys ignore ASCII case.
//
// A sound plays in the main channel group its queued record names (its task
// name): the game queues effects with "~SFX~", the ambient system its sounds
// with "~Ambients~"; without a record, or with an empty task name, "~SFX~".
// Main thread only.
#include <map>
#include <memory>
#include <string>

#include "engine/sound/a_sound.h"
#include "engine/util/a_base_manager.h"
#include "engine/util/a_string.h"

class aSoundManager : public aBaseManager {
public:
    aSoundManager() = default;
    ~aSoundManager() override;

    // The line names a file; its key is cut from the file-name part at the
    // last '.', whatever follows in the line.
    bool UnloadFile(const std::string& line, const std::string& group) override;
    // The line up to the first blank after its first '.'; "" (and a log
    // line) when there is no '.' or no blank after it.
    std::string GetNameFromLine(const std::string& line) override;
    // Loads one line's sound; the callback (when set) gets the key whether
    // the load worked or not, but not when the key exists already.
    void LoadFile(const std::string& directory, const std::string& line, const std::string& group) override;

    // Logs 'aSoundManager. Cannot find sound "<key>"' when absent.
    aSound* GetSound(const std::string& name, const std::string& group);
    bool HasSound(const std::string& name, const std::string& group) const;
    std::size_t GetSoundCount() const { return m_sounds.size(); }

    static std::string MakeKey(const std::string& name, const std::string& group);

private:
    std::map<std::string, std::unique_ptr<aSound>, aLessNoCase> m_sounds;
};
