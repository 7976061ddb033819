#pragma once
// Loaded particle systems by name. A list line is a ".psys" file name,
// optionally followed by a blank and text that is ignored. A system's key is
// the file name before its last '.', plus ":" and the group when the group
// is not empty; keys compare ignoring ASCII case. The texture a system names
// is looked up in the image manager under the list's group, so the texture
// list must be loaded (or queued) first. Callers copy what GetParticle
// returns. Main thread only.
#include <map>
#include <memory>
#include <string>

#include "engine/gfx/a_particle_system.h"
#include "engine/util/a_base_manager.h"
#include "engine/util/a_string.h"

class aImageManager;

class CParticleManager : public aBaseManager {
public:
    // images may be null: systems then have no texture.
    explicit CParticleManager(aImageManager* images);
    ~CParticleManager() override;

    // The line up to its first blank.
    std::string GetNameFromLine(const std::string& line) override;
    // A second load of a key replaces the system loaded before. The callback
    // (when set) gets the file name.
    void LoadFile(const std::string& directory, const std::string& line, const std::string& group) override;
    bool UnloadFile(const std::string& line, const std::string& group) override;

    // Null (and a log line) when absent. The pointer lives until the key is
    // unloaded or loaded again.
    aParticleSystem* GetParticle(const std::string& name, const std::string& group = std::string());
    std::size_t size() const { return m_systems.size(); }

private:
    static std::string keyOfLine(const std::string& line, const std::string& group);

    aImageManager* m_images;
    std::map<std::string, std::unique_ptr<aParticleSystem>, aLessNoCase> m_systems;
};
