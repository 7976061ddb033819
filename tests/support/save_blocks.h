#pragma once
// Save payloads made by hand, for tests and fuzz targets that feed one
// entity a record: blocks of "<key>\0", the record's 4-byte little-endian
// length, then the record. Also real save files taken apart into their
// blocks and sealed again (header, block count, size and CRC made right).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

namespace save_blocks {

inline void append(std::vector<std::uint8_t>& payload, const std::string& key, const void* record, std::size_t size)
{
    payload.insert(payload.end(), key.c_str(), key.c_str() + key.size() + 1);
    for (int i = 0; i < 32; i += 8)
        payload.push_back(std::uint8_t(size >> i));
    const auto* bytes = static_cast<const std::uint8_t*>(record);
    payload.insert(payload.end(), bytes, bytes + size);
}

// Any byte container: std::string, std::vector<std::uint8_t>.
template <class Bytes>
void append(std::vector<std::uint8_t>& payload, const std::string& key, const Bytes& record)
{
    append(payload, key, record.data(), record.size());
}

// Whether the payload was taken and the entity's block loaded.
inline bool load(SaveLoadEntity& entity, std::vector<std::uint8_t> payload, std::uint32_t blocks,
                 const std::string& name)
{
    SaveLoadSystem system;
    if (!system.BeginLoadPayload(std::move(payload), blocks, name))
        return false;
    const bool loaded = system.LoadEntity(&entity);
    system.Finish();
    return loaded;
}

// The entity loaded from a payload of its one block.
inline bool loadRecord(SaveLoadEntity& entity, const std::string& key, const void* record, std::size_t size,
                       const std::string& name)
{
    std::vector<std::uint8_t> payload;
    append(payload, key, record, size);
    return load(entity, std::move(payload), 1, name);
}

// The entity loaded from a payload given as parts: parts[0] is the entity's
// own record, each further part a block, its key up to the first NUL and its
// record after it (all of it the key when it holds no NUL). The entity's
// block comes last, after its children's, as a save writes them.
inline bool loadParts(SaveLoadEntity& entity, const std::vector<std::string>& parts, const std::string& name)
{
    std::vector<std::uint8_t> payload;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const std::size_t nul = parts[i].find('\0');
        const std::string record = nul == std::string::npos ? std::string() : parts[i].substr(nul + 1);
        append(payload, parts[i].substr(0, nul), record);
    }
    if (!parts.empty())
        append(payload, entity.GetKey(), parts[0]);
    return load(entity, std::move(payload), std::uint32_t(parts.size()), name);
}

struct Block {
    std::string key;
    std::string record;
};

// The blocks of a save file, in its order; none when its header or its
// blocks do not walk (its CRC is not checked).
inline std::vector<Block> unseal(const std::string& file)
{
    if (file.size() < SaveLoadSystem::kHeaderSize)
        return {};
    std::uint32_t count = 0;
    std::memcpy(&count, file.data() + 12, 4);
    std::vector<std::uint8_t> payload(file.begin() + SaveLoadSystem::kHeaderSize, file.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    const std::string bytes(payload.begin(), payload.end());
    std::vector<Block> blocks;
    std::size_t at = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t nul = bytes.find('\0', at);
        if (nul == std::string::npos || bytes.size() - nul - 1 < 4)
            return {};
        std::uint32_t length = 0;
        std::memcpy(&length, bytes.data() + nul + 1, 4);
        if (bytes.size() - nul - 5 < length)
            return {};
        blocks.push_back({bytes.substr(at, nul - at), bytes.substr(nul + 5, length)});
        at = nul + 5 + length;
    }
    return at == bytes.size() ? blocks : std::vector<Block>();
}

// A save file of those blocks, as the game would seal it.
inline std::string seal(const std::vector<Block>& blocks, std::uint32_t version)
{
    std::vector<std::uint8_t> payload;
    for (const Block& block : blocks)
        append(payload, block.key, block.record);
    const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, version, std::uint32_t(blocks.size()));
    return std::string(file.begin(), file.end());
}

} // namespace save_blocks
