#pragma once
// Base of every object that goes into a save file. The save system writes an
// entity as one block under its key: first the blocks of its children
// (SaveChildren), then its own record (SaveSelf). Loading runs in the same
// order, so a parent's LoadSelf can rely on its children being restored.
#include <cstdint>
#include <string>
#include <utility>

class SaveLoadSystem;

class SaveLoadEntity {
public:
    explicit SaveLoadEntity(std::string key = std::string()) : m_key(std::move(key)) {}
    virtual ~SaveLoadEntity() = default;

    // Reads the record that starts at pos and returns the position after it.
    // Reads past the block's end yield zeros and make the load fail.
    virtual std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) = 0;
    // Writes the record at pos and returns the position after it.
    virtual std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) = 0;
    // Save or load the child entities through the system's SaveEntity and
    // LoadEntity; nothing by default.
    virtual void SaveChildren(SaveLoadSystem& system) { (void)system; }
    virtual void LoadChildren(SaveLoadSystem& system) { (void)system; }

    // The block's name in the file: 1-255 bytes, no NUL.
    const std::string& GetKey() const { return m_key; }
    void SetKey(const std::string& key) { m_key = key; }

private:
    std::string m_key;
};
