#pragma once
// An entity for save-system tests: its record and children are whatever the
// test gives it, and it notes the order of the calls it gets.
#include <functional>
#include <string>
#include <vector>

#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

class TestEntity : public SaveLoadEntity {
public:
    using Writer = std::function<std::uint32_t(SaveLoadSystem&, std::uint32_t)>;

    explicit TestEntity(const std::string& key, std::vector<std::string>* calls = nullptr)
        : SaveLoadEntity(key), m_calls(calls)
    {
    }

    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        note("LoadSelf " + GetKey());
        ++loads;
        return load ? load(system, pos) : pos;
    }
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override
    {
        note("SaveSelf " + GetKey());
        return save ? save(system, pos) : pos;
    }
    void SaveChildren(SaveLoadSystem& system) override
    {
        for (TestEntity* child : children)
            system.SaveEntity(child);
    }
    void LoadChildren(SaveLoadSystem& system) override
    {
        note("LoadChildren " + GetKey());
        for (TestEntity* child : children)
            childResults.push_back(childrenRequired ? system.LoadRequiredEntity(child) : system.LoadEntity(child));
    }

    Writer save;
    Writer load;
    std::vector<TestEntity*> children;
    // The entity cannot be restored without its children.
    bool childrenRequired = false;
    std::vector<bool> childResults;
    int loads = 0;

private:
    void note(const std::string& text)
    {
        if (m_calls)
            m_calls->push_back(text);
    }
    std::vector<std::string>* m_calls;
};
