#include "engine/gfx/a_adv_anim_manager.h"

#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_log.h"

aAdvAnimManager::aAdvAnimManager() = default;

aAdvAnimManager::~aAdvAnimManager() = default;

std::string aAdvAnimManager::GetNameFromLine(const std::string& line) { return line; }

std::string aAdvAnimManager::GetTaskFilePath(const TaskFile& task) { return task.directory + task.name + ".ini"; }

void aAdvAnimManager::LoadFile(const std::string& directory, const std::string& line, const std::string& group)
{
    if (!m_imageManager) {
        a_log("aAdvAnimManager::LoadFile(). Class Not Initialized!");
        return;
    }
    const std::string name = GetNameFromLine(line);
    const std::string key = aImageManager::makeKey(name, group);
    if (m_animations.count(key)) {
        a_log("aAdvAnimManager::LoadFile(). Animation with name \"%s\" already loaded!", key.c_str());
        return;
    }
    auto animation = std::make_shared<aAdvAnim>();
    if (animation->Load(directory + name + ".ini", m_imageManager, group))
        m_animations.emplace(key, std::move(animation));
}

bool aAdvAnimManager::UnloadFile(const std::string& name, const std::string& group)
{
    return m_animations.erase(aImageManager::makeKey(name, group)) != 0;
}

aAdvAnim* aAdvAnimManager::GetAnimation(const std::string& name, const std::string& group)
{
    const auto it = m_animations.find(aImageManager::makeKey(name, group));
    if (it == m_animations.end()) {
        a_log("aAdvAnimManager. Cannot find animation: %s", name.c_str());
        return nullptr;
    }
    return it->second.get();
}

bool aAdvAnimManager::HasAnimation(const std::string& name, const std::string& group) const
{
    return m_animations.count(aImageManager::makeKey(name, group)) != 0;
}
