#pragma once
// The save file: a 24-byte header and a scrambled payload of named blocks,
// one per entity (key, NUL, u32 length, record), children before their
// parent. A save is built in memory and written whole by Finish through the
// file layer's safe write; a load reads, checks and indexes the whole file in
// BeginLoad and stays open (across frames if need be) until Finish.
//
// Records are written and read at a position (a u32 offset into the
// payload); every typed call returns the position after what it wrote or
// read. Reads are bounded by the block being loaded: a read past its end
// yields zeros and sets a flag that makes LoadEntity fail. Main thread only.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class SaveLoadEntity;

class SaveLoadSystem {
public:
    static constexpr std::uint32_t kHeaderSize = 24;
    static constexpr std::uint16_t kFormat = 1;
    static constexpr std::uint16_t kFlagScrambled = 1;
    static constexpr std::uint32_t kMaxPayload = 16u << 20;
    static constexpr std::size_t kMaxKeyLength = 255;
    // Deeper SaveChildren/LoadChildren nesting is taken for a cycle.
    static constexpr int kMaxDepth = 64;

    SaveLoadSystem() = default;
    SaveLoadSystem(const SaveLoadSystem&) = delete;
    SaveLoadSystem& operator=(const SaveLoadSystem&) = delete;

    // Starts a save into memory. A session still running is dropped (logged).
    bool BeginSave(const std::string& fileName, std::uint32_t version);
    // Why the last BeginLoad or BeginCheck gave false.
    enum class LoadFailure {
        None,
        // No file: a new game starts.
        Missing,
        // It could not be opened or read (GetLoadError says why). Not
        // damage: it may read next time, so it is left as it is.
        Unreadable,
        // Its content failed its checks, or it is another version's.
        Damaged,
    };

    // Reads, unscrambles, checks and indexes the file. False for a missing
    // file (silently) and for any damage, another version, or a file that
    // cannot be read (one log line with the reason). A damaged file is one
    // to keep aside before the first save over it; one that cannot be read
    // is not written over in this run until it loads.
    bool BeginLoad(const std::string& fileName, std::uint32_t version);
    // BeginLoad for a look at a file, which never marks it either way.
    bool BeginCheck(const std::string& fileName, std::uint32_t version);
    LoadFailure GetLoadFailure() const { return m_loadFailure; }
    // The errno value of an unreadable file, 0 otherwise.
    int GetLoadError() const { return m_loadError; }
    // A load over a plain payload held in memory (blocks back to back, as
    // in a file); the name stands for the file in log lines. False, with a
    // log line, when the blocks do not walk.
    bool BeginLoadPayload(std::vector<std::uint8_t> payload, std::uint32_t blockCount, const std::string& name);
    // The children's blocks, then the entity's own. False when no block was
    // written for the entity itself (refused call, bad key, a key saved
    // already, failed record).
    bool SaveEntity(SaveLoadEntity* entity);
    // The children, then the entity's record from the block under its key.
    // False when the block is absent (LoadSelf is not called), when its
    // record overran the block, stopped short of its end or was refused
    // (RefuseRecord), or when a child the entity needs failed (see
    // LoadRequiredEntity). A save loads whole or not at all: a block that is
    // there and fails fails every entity above it, and makes the file one
    // to keep aside, as a top entity that fails does.
    bool LoadEntity(SaveLoadEntity* entity);
    // Inside LoadChildren: a child the entity cannot be restored without.
    // When it fails (its absent key is logged), the entity's LoadEntity
    // returns false without reading the entity's own block.
    bool LoadRequiredEntity(SaveLoadEntity* entity);
    // Inside LoadChildren: the entity's LoadEntity is to fail, as above.
    void FailParent();
    // Inside LoadSelf: the record was read but cannot be restored (it is
    // damaged, or names what this game does not have): LoadEntity fails.
    void RefuseRecord();
    // While loading: the file has a block under the key.
    bool HasBlock(const std::string& key) const;
    // While loading a file, once everything was asked for: true when
    // LoadEntity read each of its blocks. Else the first left unread is
    // logged, the file is made one to keep aside, and false: a save with a
    // part the game never asks for (a damaged key, another build's block)
    // would load in part.
    bool CheckEveryBlockRead();
    // Ends a load (true), or writes the save; false when it cannot be written
    // (the old file stays as it was; GetWriteError says why). A damaged file
    // is first kept aside under a further name (".bad", ".bad.2" ...) that no
    // earlier copy has, with a log line, unless it is kept already; when
    // that fails the save is not written. A file that could not be read in
    // this run is not written over.
    bool Finish();
    // The errno value of the last failed save (EFBIG for one over 16 MiB,
    // kLeftUnread for a file left alone, kNotSetAside for a damaged one that
    // could not be kept aside for want of a free name or another reason
    // than the folder's permissions or room), 0 after one that was written.
    int GetWriteError() const { return m_writeError; }
    static constexpr int kLeftUnread = -1;
    static constexpr int kNotSetAside = -2;

    // Marks a save file as one the game could not load: the first save over
    // it keeps it aside. BeginLoad does so for a damaged file or another
    // version, LoadEntity for a top entity it cannot read.
    static void KeepAsideBeforeSave(const std::string& fileName);
    static bool KeepsAsideBeforeSave(const std::string& fileName);
    // Sets a save the game could not load aside at once: it leaves its name
    // for its first free ".bad" name, which needs no room, so the next load
    // finds no save (a symbolic link's file gets that name beside itself,
    // and the link goes). The new name, without its folder when that is the
    // save's own, or "" with *error set as GetWriteError would be (the file
    // is then marked to keep aside before a save over it).
    static std::string SetAsideNow(const std::string& fileName, int* error);
    // The file could not be read in this run (and has not loaded since).
    static bool IsLeftAlone(const std::string& fileName);

    bool IsSaving() const { return m_mode == Mode::Save; }
    bool IsLoading() const { return m_mode == Mode::Load; }
    const std::string& GetFileName() const { return m_fileName; }

    // Writers; only inside SaveSelf, at a position within the record being
    // written (overwriting earlier bytes of it or appending).
    std::uint32_t WriteU8(std::uint32_t pos, std::uint8_t value);
    std::uint32_t WriteU16(std::uint32_t pos, std::uint16_t value);
    std::uint32_t WriteI16(std::uint32_t pos, std::int16_t value);
    std::uint32_t WriteU32(std::uint32_t pos, std::uint32_t value);
    std::uint32_t WriteI32(std::uint32_t pos, std::int32_t value);
    std::uint32_t WriteF32(std::uint32_t pos, float value);
    // Bytes and a NUL; a string holding a NUL is cut there (logged).
    std::uint32_t WriteString(std::uint32_t pos, const std::string& value);
    // 16-bit little-endian units and a 0 unit; characters beyond the BMP
    // become U+FFFD, and a 0 character ends the text (logged).
    std::uint32_t WriteWString(std::uint32_t pos, const std::wstring& value);
    // u32 count, then the strings.
    std::uint32_t WriteStringList(std::uint32_t pos, const std::vector<std::string>& value);

    // Readers; only inside LoadSelf, bounded by the block being loaded.
    std::uint32_t ReadU8(std::uint32_t pos, std::uint8_t& value);
    std::uint32_t ReadU16(std::uint32_t pos, std::uint16_t& value);
    std::uint32_t ReadI16(std::uint32_t pos, std::int16_t& value);
    std::uint32_t ReadU32(std::uint32_t pos, std::uint32_t& value);
    std::uint32_t ReadI32(std::uint32_t pos, std::int32_t& value);
    std::uint32_t ReadF32(std::uint32_t pos, float& value);
    std::uint32_t ReadString(std::uint32_t pos, std::string& value);
    std::uint32_t ReadWString(std::uint32_t pos, std::wstring& value);
    std::uint32_t ReadStringList(std::uint32_t pos, std::vector<std::string>& value);
    // n raw bytes; an overrun when the block holds fewer (nothing is read).
    std::uint32_t ReadBytes(std::uint32_t pos, std::uint32_t n, std::vector<std::uint8_t>& value);
    // A u32 count of records at least minRecordSize bytes long each; a count
    // the rest of the block cannot hold is an overrun and reads as 0. Call it
    // before allocating anything for the records.
    std::uint32_t ReadCount(std::uint32_t pos, std::uint32_t& count, std::uint32_t minRecordSize);

    // The file for a plain payload: header, then the payload scrambled.
    static std::vector<std::uint8_t> BuildFile(const std::vector<std::uint8_t>& payload, std::uint32_t version,
                                               std::uint32_t blockCount);
    // Scrambles a payload of that size in place; the same call undoes it.
    static void Scramble(std::uint8_t* data, std::uint32_t size);

    // Bytes of the current block from pos on (0 outside it).
    std::uint32_t BytesLeft(std::uint32_t pos) const;
    // A read of the current block went past its end.
    bool HasOverrun() const { return m_overrun; }

private:
    enum class Mode { None, Save, Load };
    struct Block {
        std::uint32_t offset;
        std::uint32_t length;
        bool read = false;
    };

    static const char* ModeName(Mode mode);
    // Logs and returns false when the call cannot run now.
    bool CheckCall(const char* call, Mode wanted);
    void Clear();
    bool Load(const std::string& fileName, std::uint32_t version, bool check);
    // Checks the header and walks the blocks; "" when all is well, else why
    // not (m_loadFailure then says which kind of failure it is).
    std::string ReadFile(const std::string& fileName, std::uint32_t version);
    std::string IndexBlocks(std::uint32_t blockCount);
    // LoadEntity's false; present: the entity's block is in the file, or a
    // part it needs failed.
    bool Failed(bool present);

    // Room for n bytes at pos in the record being written; null (and the
    // record marked failed) when pos lies outside it or the payload is full.
    std::uint8_t* WriteSpace(std::uint32_t pos, std::uint32_t n, const char* call);
    // n bytes at pos of the block being loaded; null (zeros, overrun) past it.
    const std::uint8_t* ReadSpace(std::uint32_t pos, std::uint32_t n);
    std::uint32_t Overrun(std::uint32_t pos);

    Mode m_mode = Mode::None;
    std::string m_fileName;
    std::uint32_t m_version = 0;
    std::vector<std::uint8_t> m_payload;
    std::uint32_t m_blockCount = 0;
    std::set<std::string> m_savedKeys;
    std::map<std::string, Block> m_index;
    bool m_payloadFull = false;

    // The record being written or read, while SaveSelf or LoadSelf runs.
    bool m_inRecord = false;
    std::string m_recordKey;
    std::uint32_t m_recordBegin = 0;
    std::uint32_t m_recordEnd = 0;
    bool m_writeFailed = false;
    bool m_overrun = false;
    bool m_refused = false;
    bool m_outsideLogged = false;
    int m_depth = 0;
    // The session reads a file (not a payload held in memory).
    bool m_fromFile = false;
    // A required child of the entity being loaded failed.
    bool m_childFailed = false;
    // The session only looks: nothing is marked.
    bool m_checkOnly = false;
    int m_writeError = 0;
    LoadFailure m_loadFailure = LoadFailure::None;
    int m_loadError = 0;
};
