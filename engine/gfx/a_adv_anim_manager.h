#pragma once
// Loaded advanced animations by name. A list line is the animation's name;
// its file is that name + ".ini" in the list's folder. Keys are the name, or
// name + ":" + group, compared ignoring ASCII case. Callers copy what
// GetAnimation returns.
#include <map>
#include <memory>
#include <string>

#include "engine/gfx/a_adv_anim.h"
#include "engine/util/a_base_manager.h"
#include "engine/util/a_string.h"

class aImageManager;

class aAdvAnimManager : public aBaseManager {
public:
    aAdvAnimManager();
    ~aAdvAnimManager() override;

    bool UnloadFile(const std::string& name, const std::string& group) override;
    // The line unchanged: it is the animation's name.
    std::string GetNameFromLine(const std::string& line) override;
    void LoadFile(const std::string& directory, const std::string& line, const std::string& group) override;
    // The file a queued line loads, so that costs and duplicates see it.
    std::string GetTaskFilePath(const TaskFile& task) override;

    // The manager's instance; null (and a log line) when absent.
    aAdvAnim* GetAnimation(const std::string& name, const std::string& group = std::string());
    bool HasAnimation(const std::string& name, const std::string& group = std::string()) const;
    std::size_t size() const { return m_animations.size(); }

    // Textures come from here; set by the owner before anything loads.
    aImageManager* m_imageManager = nullptr;

private:
    std::map<std::string, std::shared_ptr<aAdvAnim>, aLessNoCase> m_animations;
};
