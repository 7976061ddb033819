#include "game/shell/c_particle_manager.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_log.h"

CParticleManager::CParticleManager(aImageManager* images) : m_images(images) {}

CParticleManager::~CParticleManager() = default;

std::string CParticleManager::GetNameFromLine(const std::string& line) { return line.substr(0, line.find(' ')); }

std::string CParticleManager::keyOfLine(const std::string& line, const std::string& group)
{
    const std::string file = line.substr(0, line.find(' '));
    return aImageManager::makeKey(file.substr(0, file.rfind('.')), group);
}

void CParticleManager::LoadFile(const std::string& directory, const std::string& line, const std::string& group)
{
    const std::string file = GetNameFromLine(line);
    if (file.empty()) {
        a_log("CParticleManager. Error in line: %s", line.c_str());
        return;
    }
    m_systems[keyOfLine(line, group)] = std::make_unique<aParticleSystem>(directory + file, m_images, &group);
    if (m_callback)
        m_callback(file);
}

bool CParticleManager::UnloadFile(const std::string& line, const std::string& group)
{
    return m_systems.erase(keyOfLine(line, group)) != 0;
}

aParticleSystem* CParticleManager::GetParticle(const std::string& name, const std::string& group)
{
    const std::string key = aImageManager::makeKey(name, group);
    const auto it = m_systems.find(key);
    if (it == m_systems.end()) {
        a_log("CParticleManager. Cannot find particle system \"%s\"", key.c_str());
        return nullptr;
    }
    return it->second.get();
}
