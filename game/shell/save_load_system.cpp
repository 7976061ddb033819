#include "game/shell/save_load_system.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <zlib.h>

#include "engine/util/a_file_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/shell/byte_order.h"
#include "game/shell/save_error_text.h"
#include "game/shell/save_load_entity.h"

namespace {

using byte_order::load16;
using byte_order::load32;
using byte_order::store16;
using byte_order::store32;

constexpr char kMagic[4] = {'V', 'R', 'K', 'S'};

std::uint32_t crcOf(const std::uint8_t* data, std::uint32_t size)
{
    return std::uint32_t(crc32(0, data, uInt(size)));
}

bool keyIsValid(const std::string& key)
{
    return !key.empty() && key.size() <= SaveLoadSystem::kMaxKeyLength && key.find('\0') == std::string::npos;
}

// Saves that failed to load in this run, by their mangled path: the first
// save over one keeps it aside. Main thread only, as the save system is.
std::set<std::string>& unloadableSaves()
{
    static std::set<std::string> saves;
    return saves;
}

// Saves that could not be read in this run: never written over until one
// loads.
std::set<std::string>& unreadSaves()
{
    static std::set<std::string> saves;
    return saves;
}

// What a failed setting aside tells the player: the folder's own refusal,
// or that the save could not be set aside.
int setAsideError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOSPC:
    case EDQUOT:
        return error;
    default:
        return SaveLoadSystem::kNotSetAside;
    }
}

} // namespace

void SaveLoadSystem::KeepAsideBeforeSave(const std::string& fileName)
{
    unloadableSaves().insert(file_manglePath(fileName));
}

bool SaveLoadSystem::KeepsAsideBeforeSave(const std::string& fileName)
{
    return unloadableSaves().count(file_manglePath(fileName)) != 0;
}

std::string SaveLoadSystem::SetAsideNow(const std::string& fileName, int* error)
{
    const std::string aside = file_setAside(fileName, ".bad", SetAside::Move);
    if (aside.empty()) {
        const int err = errno;
        a_log("SaveLoadSystem. '%s' could not be loaded, nor set aside (%s)", fileName.c_str(), std::strerror(err));
        if (error)
            *error = WriteErrorOf(fileName, setAsideError(err));
        KeepAsideBeforeSave(fileName);
        return aside;
    }
    const std::string named = file_nameBeside(fileName, aside);
    a_log("SaveLoadSystem. '%s' could not be loaded; set aside as '%s'", fileName.c_str(), named.c_str());
    unloadableSaves().erase(file_manglePath(fileName));
    return named;
}

bool SaveLoadSystem::IsLeftAlone(const std::string& fileName)
{
    return unreadSaves().count(file_manglePath(fileName)) != 0;
}

// Obfuscation only: the CRC catches edits.
void SaveLoadSystem::Scramble(std::uint8_t* data, std::uint32_t size)
{
    std::uint32_t s = 0x9E3779B9u ^ size;
    for (std::uint32_t i = 0; i < size; ++i) {
        s = s * 214013u + 2531011u;
        data[i] ^= std::uint8_t(s >> 16);
    }
}

std::vector<std::uint8_t> SaveLoadSystem::BuildFile(const std::vector<std::uint8_t>& payload, std::uint32_t version,
                                                    std::uint32_t blockCount)
{
    const std::uint32_t payloadSize = std::uint32_t(payload.size());
    std::vector<std::uint8_t> file(kHeaderSize + payloadSize);
    std::uint8_t* h = file.data();
    std::memcpy(h, kMagic, 4);
    store16(h + 4, kFormat);
    store16(h + 6, kFlagScrambled);
    store32(h + 8, version);
    store32(h + 12, blockCount);
    store32(h + 16, payloadSize);
    store32(h + 20, crcOf(payload.data(), payloadSize));
    if (payloadSize)
        std::memcpy(h + kHeaderSize, payload.data(), payloadSize);
    Scramble(h + kHeaderSize, payloadSize);
    return file;
}

const char* SaveLoadSystem::ModeName(Mode mode)
{
    return mode == Mode::Save ? "save" : mode == Mode::Load ? "load" : "no";
}

bool SaveLoadSystem::CheckCall(const char* call, Mode wanted)
{
    if (m_mode == Mode::None) {
        a_log("SaveLoadSystem: Error call to %s() outside save or load!", call);
        return false;
    }
    if (m_mode != wanted) {
        a_log("SaveLoadSystem: Error call to %s() in %s progress!", call, ModeName(m_mode));
        return false;
    }
    if (m_inRecord) {
        // A block is open: another one would split it, or rebind the reads.
        a_log("SaveLoadSystem: Error call to %s() inside the record of '%s'!", call, m_recordKey.c_str());
        return false;
    }
    return true;
}

void SaveLoadSystem::Clear()
{
    m_mode = Mode::None;
    m_fileName.clear();
    m_version = 0;
    std::vector<std::uint8_t>().swap(m_payload);
    m_blockCount = 0;
    m_savedKeys.clear();
    m_index.clear();
    m_payloadFull = false;
    m_inRecord = false;
    m_recordKey.clear();
    m_recordBegin = m_recordEnd = 0;
    m_writeFailed = m_overrun = m_refused = m_outsideLogged = false;
    m_fromFile = m_childFailed = m_checkOnly = false;
    // m_depth is left alone: a session may end inside SaveChildren or
    // LoadChildren, and the unwinding calls bring it back to 0.
}

bool SaveLoadSystem::BeginSave(const std::string& fileName, std::uint32_t version)
{
    if (m_inRecord) {
        a_log("SaveLoadSystem: Error call to BeginSave() inside the record of '%s'!", m_recordKey.c_str());
        return false;
    }
    if (m_mode != Mode::None) {
        a_log("SaveLoadSystem: Error call to BeginSave() in %s progress!", ModeName(m_mode));
        Clear();
    }
    m_mode = Mode::Save;
    m_fileName = fileName;
    m_version = version;
    return true;
}

bool SaveLoadSystem::BeginLoad(const std::string& fileName, std::uint32_t version)
{
    return Load(fileName, version, false);
}

bool SaveLoadSystem::BeginCheck(const std::string& fileName, std::uint32_t version)
{
    return Load(fileName, version, true);
}

bool SaveLoadSystem::Load(const std::string& fileName, std::uint32_t version, bool check)
{
    m_loadFailure = LoadFailure::None;
    m_loadError = 0;
    if (m_inRecord) {
        a_log("SaveLoadSystem: Error call to BeginLoad() inside the record of '%s'!", m_recordKey.c_str());
        return false;
    }
    if (m_mode != Mode::None) {
        a_log("SaveLoadSystem: Error call to BeginLoad() in %s progress!", ModeName(m_mode));
        Clear();
    }
    // No save yet is the normal start of a new game. One behind a link that
    // cannot be followed is there, and is read to tell why it cannot be.
    if (file_lookOnDisk(fileName) == ENOENT) {
        m_loadFailure = LoadFailure::Missing;
        return false;
    }
    m_fileName = fileName;
    const std::string problem = ReadFile(fileName, version);
    const std::string key = file_manglePath(fileName);
    if (!problem.empty()) {
        const bool unread = m_loadFailure == LoadFailure::Unreadable;
        a_log("SaveLoadSystem::BeginLoad(). File '%s': %s%s", fileName.c_str(), problem.c_str(),
              unread && !check ? "; it is left as it is" : "");
        Clear();
        if (!check)
            (unread ? unreadSaves() : unloadableSaves()).insert(key);
        return false;
    }
    if (!check)
        unreadSaves().erase(key);
    m_mode = Mode::Load;
    m_version = version;
    m_fromFile = true;
    m_checkOnly = check;
    return true;
}

bool SaveLoadSystem::BeginLoadPayload(std::vector<std::uint8_t> payload, std::uint32_t blockCount,
                                      const std::string& name)
{
    if (m_inRecord) {
        a_log("SaveLoadSystem: Error call to BeginLoad() inside the record of '%s'!", m_recordKey.c_str());
        return false;
    }
    if (m_mode != Mode::None) {
        a_log("SaveLoadSystem: Error call to BeginLoad() in %s progress!", ModeName(m_mode));
        Clear();
    }
    m_fileName = name;
    m_payload = std::move(payload);
    std::string problem;
    if (m_payload.size() > kMaxPayload)
        problem = "the payload is over 16 MiB";
    else
        problem = IndexBlocks(blockCount);
    if (!problem.empty()) {
        a_log("SaveLoadSystem::BeginLoad(). File '%s': %s", name.c_str(), problem.c_str());
        Clear();
        return false;
    }
    m_mode = Mode::Load;
    return true;
}

std::string SaveLoadSystem::ReadFile(const std::string& fileName, std::uint32_t version)
{
    // The size is checked before reading, so a huge file is never read into memory.
    std::vector<std::uint8_t> bytes;
    m_loadFailure = LoadFailure::Damaged;
    switch (const int error = file_readDisk(fileName, kHeaderSize + kMaxPayload, bytes)) {
    case 0:
        break;
    case EFBIG:
        return str_format("over %u bytes, too large for a save", kHeaderSize + kMaxPayload);
    case EISDIR:
        m_loadFailure = LoadFailure::Unreadable;
        m_loadError = error;
        return "a folder, not a save file";
    case EINVAL:
        m_loadFailure = LoadFailure::Unreadable;
        m_loadError = error;
        return "not a regular file";
    default:
        m_loadFailure = LoadFailure::Unreadable;
        m_loadError = error;
        return str_format("cannot be read (%s)", std::strerror(error));
    }
    const std::uint8_t* h = bytes.data();
    const std::uint32_t size = std::uint32_t(bytes.size());
    if (size < kHeaderSize)
        return str_format("cut short (%u bytes)", size);
    if (std::memcmp(h, kMagic, 4) != 0)
        return "not a save file (bad magic)";
    if (load16(h + 4) != kFormat)
        return str_format("unknown format %u", unsigned(load16(h + 4)));
    const std::uint16_t flags = load16(h + 6);
    if (load32(h + 8) != version)
        return str_format("version %u, expected %u", load32(h + 8), version);
    const std::uint32_t blockCount = load32(h + 12);
    const std::uint32_t payloadSize = load32(h + 16);
    if (payloadSize > kMaxPayload)
        return str_format("payload length %u is over 16 MiB", payloadSize);
    if (size - kHeaderSize != payloadSize)
        return str_format("size %u does not match the payload length %u", size, payloadSize);

    m_payload.assign(h + kHeaderSize, h + size);
    if (flags & kFlagScrambled)
        Scramble(m_payload.data(), payloadSize);
    if (crcOf(m_payload.data(), payloadSize) != load32(h + 20))
        return "CRC mismatch";
    std::string problem = IndexBlocks(blockCount);
    if (problem.empty())
        m_loadFailure = LoadFailure::None;
    return problem;
}

std::string SaveLoadSystem::IndexBlocks(std::uint32_t blockCount)
{
    const std::uint8_t* p = m_payload.data();
    const std::uint32_t size = std::uint32_t(m_payload.size());
    std::uint32_t pos = 0;
    std::uint32_t found = 0;
    while (pos < size) {
        const std::uint32_t limit = std::min<std::uint32_t>(size - pos, kMaxKeyLength + 1);
        const void* nul = std::memchr(p + pos, 0, limit);
        if (!nul)
            return str_format("block %u at %u: key over 255 bytes or without its NUL", found, pos);
        const std::uint32_t keyLength = std::uint32_t(static_cast<const std::uint8_t*>(nul) - (p + pos));
        if (keyLength == 0)
            return str_format("block %u at %u: empty key", found, pos);
        const std::string key(reinterpret_cast<const char*>(p + pos), keyLength);
        pos += keyLength + 1;
        if (size - pos < 4)
            return str_format("block '%s' at %u: length cut short", key.c_str(), pos);
        const std::uint32_t length = load32(p + pos);
        pos += 4;
        if (length > size - pos)
            return str_format("block '%s': length %u overruns the payload", key.c_str(), length);
        if (!m_index.emplace(key, Block{pos, length, false}).second)
            return str_format("block '%s' appears twice", key.c_str());
        pos += length;
        ++found;
    }
    if (found != blockCount)
        return str_format("%u blocks, the header says %u", found, blockCount);
    return std::string();
}

bool SaveLoadSystem::SaveEntity(SaveLoadEntity* entity)
{
    if (!entity || !CheckCall("SaveEntity", Mode::Save))
        return false;
    if (m_depth >= kMaxDepth) {
        a_log("SaveLoadSystem::SaveEntity(). '%s' is nested over %d levels deep, not saved", entity->GetKey().c_str(),
              kMaxDepth);
        return false;
    }
    ++m_depth;
    entity->SaveChildren(*this);
    --m_depth;
    if (m_mode != Mode::Save)
        return false;  // a child began another session

    const std::string& key = entity->GetKey();
    if (!keyIsValid(key)) {
        a_log("SaveLoadSystem::SaveEntity(). Bad key '%s' (%u bytes), entity not saved", key.c_str(),
              unsigned(key.size()));
        return false;
    }
    if (!m_savedKeys.insert(key).second) {
        // A file holds each key once: a load could not tell which is meant.
        a_log("SaveLoadSystem::SaveEntity(). Key '%s' was already saved; not saved again", key.c_str());
        return false;
    }
    if (m_payload.size() + key.size() + 5 > kMaxPayload) {
        m_payloadFull = true;
        a_log("SaveLoadSystem::SaveEntity(). No room for '%s': the save is over 16 MiB", key.c_str());
        return false;
    }

    const std::uint32_t blockBegin = std::uint32_t(m_payload.size());
    m_payload.insert(m_payload.end(), key.begin(), key.end());
    m_payload.insert(m_payload.end(), 5, std::uint8_t(0));
    m_inRecord = true;
    m_recordKey = key;
    m_recordBegin = std::uint32_t(m_payload.size());
    m_writeFailed = false;
    const std::uint32_t end = entity->SaveSelf(*this, m_recordBegin);
    m_inRecord = false;

    const std::uint32_t written = std::uint32_t(m_payload.size());
    if (m_writeFailed) {
        a_log("SaveLoadSystem::SaveEntity(). The record of '%s' failed, entity not saved", key.c_str());
        m_payload.resize(blockBegin);
        return false;
    }
    if (end != written)
        a_log("SaveLoadSystem::SaveEntity(). '%s' returned position %u, its record ends at %u", key.c_str(), end,
              written);
    store32(m_payload.data() + m_recordBegin - 4, written - m_recordBegin);
    ++m_blockCount;
    return true;
}

bool SaveLoadSystem::LoadEntity(SaveLoadEntity* entity)
{
    if (!entity || !CheckCall("LoadEntity", Mode::Load))
        return false;
    if (m_depth >= kMaxDepth) {
        a_log("SaveLoadSystem::LoadEntity(). '%s' is nested over %d levels deep, not loaded", entity->GetKey().c_str(),
              kMaxDepth);
        return false;
    }
    const bool outerFailed = m_childFailed;
    m_childFailed = false;
    ++m_depth;
    entity->LoadChildren(*this);
    --m_depth;
    const bool childFailed = m_childFailed;
    m_childFailed = outerFailed;
    if (m_mode != Mode::Load)
        return false;  // a child ended the session

    if (childFailed) {
        a_log("SaveLoadSystem::LoadEntity(). '%s' lacks a part it needs (file '%s'); not loaded",
              entity->GetKey().c_str(), m_fileName.c_str());
        return Failed(true);
    }
    const auto it = m_index.find(entity->GetKey());
    if (it == m_index.end())
        return Failed(false);
    it->second.read = true;
    m_inRecord = true;
    m_recordKey = it->first;
    m_recordBegin = it->second.offset;
    m_recordEnd = it->second.offset + it->second.length;
    m_overrun = m_refused = false;
    const std::uint32_t end = entity->LoadSelf(*this, m_recordBegin);
    m_inRecord = false;

    if (m_overrun) {
        a_log("SaveLoadSystem::LoadEntity(). Block '%s' overran its length (file '%s')", m_recordKey.c_str(),
              m_fileName.c_str());
        return Failed(true);
    }
    if (m_refused) {
        a_log("SaveLoadSystem::LoadEntity(). Block '%s' cannot be restored (file '%s')", m_recordKey.c_str(),
              m_fileName.c_str());
        return Failed(true);
    }
    if (end != m_recordEnd) {
        // A reader and a writer that disagree on the record's length: what
        // was read cannot be trusted whole.
        a_log("SaveLoadSystem::LoadEntity(). Block '%s' holds %u bytes, %u were read (file '%s')",
              m_recordKey.c_str(), m_recordEnd - m_recordBegin, end - m_recordBegin, m_fileName.c_str());
        return Failed(true);
    }
    return true;
}

bool SaveLoadSystem::Failed(bool present)
{
    // A save loads whole or not at all: a block that is there but cannot be
    // read fails every entity above it, and the file is a save this game
    // cannot continue, whose progress must survive the next save. An absent
    // block is the caller's to judge, but for the top entity.
    if (present && m_depth > 0)
        m_childFailed = true;
    if ((present || m_depth == 0) && m_fromFile && !m_checkOnly)
        KeepAsideBeforeSave(m_fileName);
    return false;
}

bool SaveLoadSystem::HasBlock(const std::string& key) const
{
    return m_mode == Mode::Load && m_index.count(key) != 0;
}

bool SaveLoadSystem::CheckEveryBlockRead()
{
    if (!CheckCall("CheckEveryBlockRead", Mode::Load))
        return false;
    for (const auto& [key, block] : m_index)
        if (!block.read) {
            a_log("SaveLoadSystem. File '%s': block '%s' was never read; not loaded", m_fileName.c_str(), key.c_str());
            return Failed(true);
        }
    return true;
}

void SaveLoadSystem::FailParent()
{
    if (m_mode == Mode::Load && m_depth > 0)
        m_childFailed = true;
}

void SaveLoadSystem::RefuseRecord()
{
    if (m_mode == Mode::Load && m_inRecord)
        m_refused = true;
}

bool SaveLoadSystem::LoadRequiredEntity(SaveLoadEntity* entity)
{
    if (LoadEntity(entity))
        return true;
    if (entity && m_mode == Mode::Load) {
        if (!HasBlock(entity->GetKey()))
            a_log("SaveLoadSystem::LoadEntity(). File '%s' has no block '%s'", m_fileName.c_str(),
                  entity->GetKey().c_str());
        FailParent();
    }
    return false;
}

bool SaveLoadSystem::Finish()
{
    if (m_inRecord) {
        a_log("SaveLoadSystem: Error call to Finish() inside the record of '%s'!", m_recordKey.c_str());
        return false;
    }
    if (m_mode == Mode::None) {
        a_log("SaveLoadSystem: Error call to Finish() outside save or load!");
        return false;
    }
    if (m_mode == Mode::Load) {
        Clear();
        return true;
    }

    const std::string fileName = m_fileName;
    const std::uint32_t payloadSize = std::uint32_t(m_payload.size());
    if (m_payloadFull || payloadSize > kMaxPayload) {
        a_log("SaveLoadSystem::Finish(). Cannot write '%s': the save is over 16 MiB", fileName.c_str());
        Clear();
        m_writeError = EFBIG;
        return false;
    }
    const std::vector<std::uint8_t> file = BuildFile(m_payload, m_version, m_blockCount);
    Clear();

    const std::string key = file_manglePath(fileName);
    if (unreadSaves().count(key)) {
        m_writeError = kLeftUnread;
        a_log("SaveLoadSystem::Finish(). Cannot write '%s': the save there could not be read in this run, so it is "
              "left as it is",
              fileName.c_str());
        return false;
    }
    if (unloadableSaves().count(key)) {
        // A damaged save, or one from another version of the game: kept
        // under a name no later copy takes, never replaced.
        bool already = false;
        const std::string aside = file_setAside(fileName, ".bad", SetAside::Keep, &already);
        const int error = errno;
        if (!aside.empty()) {
            a_log(already ? "SaveLoadSystem::Finish(). '%s' could not be loaded; it is kept as '%s' already"
                          : "SaveLoadSystem::Finish(). '%s' could not be loaded; kept as '%s' before it is replaced",
                  fileName.c_str(), file_nameBeside(fileName, aside).c_str());
        } else if (error != ENOENT && error != EISDIR && error != EINVAL) {
            // (With no regular file there, nothing is replaced.) Setting
            // aside needs no room, so only what refused it is told.
            m_writeError = WriteErrorOf(fileName, setAsideError(error));
            a_log("SaveLoadSystem::Finish(). Cannot write '%s': the save there could not be loaded and could not be "
                  "kept aside (%s)",
                  fileName.c_str(), std::strerror(error));
            return false;
        }
        unloadableSaves().erase(key);
    }
    if (!file_writeFull(fileName, file.data(), std::uint32_t(file.size()))) {
        const int error = errno;
        a_log("SaveLoadSystem::Finish(). Cannot write '%s': %s", fileName.c_str(), std::strerror(error));
        m_writeError = WriteErrorOf(fileName, error);
        return false;
    }
    m_writeError = 0;
    return true;
}

// ---------------------------------------------------------------------------
// Writers

std::uint8_t* SaveLoadSystem::WriteSpace(std::uint32_t pos, std::uint32_t n, const char* call)
{
    if (m_mode != Mode::Save || !m_inRecord) {
        if (!m_outsideLogged)
            a_log("SaveLoadSystem: Error call to %s() outside a record being saved!", call);
        m_outsideLogged = true;
        return nullptr;
    }
    if (m_writeFailed)
        return nullptr;
    const std::uint32_t size = std::uint32_t(m_payload.size());
    if (pos < m_recordBegin || pos > size) {
        a_log("SaveLoadSystem: %s() at %u lies outside the record of '%s'", call, pos, m_recordKey.c_str());
        m_writeFailed = true;
        return nullptr;
    }
    if (n > kMaxPayload - pos) {
        a_log("SaveLoadSystem: %s() in '%s' takes the save over 16 MiB", call, m_recordKey.c_str());
        m_writeFailed = true;
        m_payloadFull = true;
        return nullptr;
    }
    if (pos + n > size)
        m_payload.resize(pos + n);
    return m_payload.data() + pos;
}

std::uint32_t SaveLoadSystem::WriteU8(std::uint32_t pos, std::uint8_t value)
{
    if (std::uint8_t* p = WriteSpace(pos, 1, "WriteU8"))
        *p = value;
    return pos + 1;
}

std::uint32_t SaveLoadSystem::WriteU16(std::uint32_t pos, std::uint16_t value)
{
    if (std::uint8_t* p = WriteSpace(pos, 2, "WriteU16"))
        store16(p, value);
    return pos + 2;
}

std::uint32_t SaveLoadSystem::WriteI16(std::uint32_t pos, std::int16_t value)
{
    return WriteU16(pos, std::uint16_t(value));
}

std::uint32_t SaveLoadSystem::WriteU32(std::uint32_t pos, std::uint32_t value)
{
    if (std::uint8_t* p = WriteSpace(pos, 4, "WriteU32"))
        store32(p, value);
    return pos + 4;
}

std::uint32_t SaveLoadSystem::WriteI32(std::uint32_t pos, std::int32_t value)
{
    return WriteU32(pos, std::uint32_t(value));
}

std::uint32_t SaveLoadSystem::WriteF32(std::uint32_t pos, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return WriteU32(pos, bits);
}

std::uint32_t SaveLoadSystem::WriteString(std::uint32_t pos, const std::string& value)
{
    std::size_t length = value.find('\0');
    if (length != std::string::npos)
        a_log("SaveLoadSystem::WriteString(). A string of '%s' holds a NUL and is cut there", m_recordKey.c_str());
    else
        length = value.size();
    if (length >= kMaxPayload) {
        WriteSpace(pos, kMaxPayload, "WriteString");
        return pos;
    }
    const std::uint32_t n = std::uint32_t(length) + 1;
    if (std::uint8_t* p = WriteSpace(pos, n, "WriteString")) {
        std::memcpy(p, value.data(), length);
        p[length] = 0;
    }
    return pos + n;
}

std::uint32_t SaveLoadSystem::WriteWString(std::uint32_t pos, const std::wstring& value)
{
    std::size_t length = value.find(L'\0');
    if (length != std::wstring::npos)
        a_log("SaveLoadSystem::WriteWString(). A text of '%s' holds a 0 character and is cut there",
              m_recordKey.c_str());
    else
        length = value.size();
    if (length >= kMaxPayload / 2) {
        WriteSpace(pos, kMaxPayload, "WriteWString");
        return pos;
    }
    const std::uint32_t n = std::uint32_t(length + 1) * 2;
    if (std::uint8_t* p = WriteSpace(pos, n, "WriteWString")) {
        for (std::size_t i = 0; i < length; ++i) {
            const std::uint32_t c = std::uint32_t(value[i]);
            store16(p + 2 * i, c > 0xFFFF ? std::uint16_t(0xFFFD) : std::uint16_t(c));
        }
        store16(p + 2 * length, 0);
    }
    return pos + n;
}

std::uint32_t SaveLoadSystem::WriteStringList(std::uint32_t pos, const std::vector<std::string>& value)
{
    pos = WriteU32(pos, std::uint32_t(value.size()));
    for (const std::string& s : value)
        pos = WriteString(pos, s);
    return pos;
}

// ---------------------------------------------------------------------------
// Readers

std::uint32_t SaveLoadSystem::Overrun(std::uint32_t pos)
{
    m_overrun = true;
    return m_inRecord && pos <= m_recordEnd && pos >= m_recordBegin ? m_recordEnd : pos;
}

std::uint32_t SaveLoadSystem::BytesLeft(std::uint32_t pos) const
{
    if (m_mode != Mode::Load || !m_inRecord || pos < m_recordBegin || pos > m_recordEnd)
        return 0;
    return m_recordEnd - pos;
}

const std::uint8_t* SaveLoadSystem::ReadSpace(std::uint32_t pos, std::uint32_t n)
{
    if (m_mode != Mode::Load || !m_inRecord) {
        if (!m_outsideLogged)
            a_log("SaveLoadSystem: Error read outside a record being loaded!");
        m_outsideLogged = true;
        m_overrun = true;
        return nullptr;
    }
    if (pos < m_recordBegin || pos > m_recordEnd || n > m_recordEnd - pos) {
        m_overrun = true;
        return nullptr;
    }
    return m_payload.data() + pos;
}

std::uint32_t SaveLoadSystem::ReadU8(std::uint32_t pos, std::uint8_t& value)
{
    const std::uint8_t* p = ReadSpace(pos, 1);
    value = p ? *p : 0;
    return p ? pos + 1 : Overrun(pos);
}

std::uint32_t SaveLoadSystem::ReadU16(std::uint32_t pos, std::uint16_t& value)
{
    const std::uint8_t* p = ReadSpace(pos, 2);
    value = p ? load16(p) : 0;
    return p ? pos + 2 : Overrun(pos);
}

std::uint32_t SaveLoadSystem::ReadI16(std::uint32_t pos, std::int16_t& value)
{
    std::uint16_t v;
    pos = ReadU16(pos, v);
    value = std::int16_t(v);
    return pos;
}

std::uint32_t SaveLoadSystem::ReadU32(std::uint32_t pos, std::uint32_t& value)
{
    const std::uint8_t* p = ReadSpace(pos, 4);
    value = p ? load32(p) : 0;
    return p ? pos + 4 : Overrun(pos);
}

std::uint32_t SaveLoadSystem::ReadI32(std::uint32_t pos, std::int32_t& value)
{
    std::uint32_t v;
    pos = ReadU32(pos, v);
    value = std::int32_t(v);
    return pos;
}

std::uint32_t SaveLoadSystem::ReadF32(std::uint32_t pos, float& value)
{
    std::uint32_t bits;
    pos = ReadU32(pos, bits);
    std::memcpy(&value, &bits, 4);
    return pos;
}

std::uint32_t SaveLoadSystem::ReadString(std::uint32_t pos, std::string& value)
{
    value.clear();
    const std::uint8_t* p = ReadSpace(pos, 0);
    if (!p)
        return Overrun(pos);
    const std::uint32_t left = m_recordEnd - pos;
    const void* nul = std::memchr(p, 0, left);
    if (!nul)
        return Overrun(pos);
    const std::uint32_t length = std::uint32_t(static_cast<const std::uint8_t*>(nul) - p);
    value.assign(reinterpret_cast<const char*>(p), length);
    return pos + length + 1;
}

std::uint32_t SaveLoadSystem::ReadWString(std::uint32_t pos, std::wstring& value)
{
    value.clear();
    const std::uint8_t* p = ReadSpace(pos, 0);
    if (!p)
        return Overrun(pos);
    const std::uint32_t units = (m_recordEnd - pos) / 2;
    for (std::uint32_t i = 0; i < units; ++i) {
        const std::uint16_t c = load16(p + 2 * i);
        if (c == 0) {
            value.reserve(i);
            for (std::uint32_t j = 0; j < i; ++j)
                value.push_back(wchar_t(load16(p + 2 * j)));
            return pos + 2 * (i + 1);
        }
    }
    return Overrun(pos);
}

std::uint32_t SaveLoadSystem::ReadCount(std::uint32_t pos, std::uint32_t& count, std::uint32_t minRecordSize)
{
    pos = ReadU32(pos, count);
    if (m_overrun) {
        count = 0;
        return pos;
    }
    const std::uint64_t need = std::uint64_t(count) * std::max<std::uint32_t>(minRecordSize, 1);
    if (need > BytesLeft(pos)) {
        count = 0;
        return Overrun(pos);
    }
    return pos;
}

std::uint32_t SaveLoadSystem::ReadStringList(std::uint32_t pos, std::vector<std::string>& value)
{
    value.clear();
    std::uint32_t count = 0;
    pos = ReadCount(pos, count, 1);
    value.reserve(count);
    for (std::uint32_t i = 0; i < count && !m_overrun; ++i) {
        std::string s;
        pos = ReadString(pos, s);
        if (!m_overrun)
            value.push_back(std::move(s));
    }
    if (m_overrun)
        value.clear();
    return pos;
}

std::uint32_t SaveLoadSystem::ReadBytes(std::uint32_t pos, std::uint32_t n, std::vector<std::uint8_t>& value)
{
    value.clear();
    const std::uint8_t* p = ReadSpace(pos, n);
    if (!p)
        return Overrun(pos);
    value.assign(p, p + n);
    return pos + n;
}
