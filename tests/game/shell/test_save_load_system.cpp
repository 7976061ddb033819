// The save container: blocks, typed records, refusals, damage and safe writes.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "engine/util/a_file_server.h"
#include "engine/util/a_random.h"
#include "engine/util/text_test_log.h"
#include "game/shell/byte_order.h"
#include "game/shell/save_test_entity.h"
#include "support/other_file_system.h"
#include "support/test_env.h"

namespace {

constexpr std::uint32_t kVersion = 4374;

std::string savePath() { return test_env::home() + "/game.save"; }

std::vector<std::uint8_t> readBytes(const std::string& path)
{
    const std::string text = test_env::readFile(path);
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    test_env::writeFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> plainPayload(const std::vector<std::uint8_t>& file)
{
    std::vector<std::uint8_t> payload(file.begin() + SaveLoadSystem::kHeaderSize, file.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    return payload;
}

// Block keys in file order.
std::vector<std::string> blockKeys(const std::vector<std::uint8_t>& payload)
{
    std::vector<std::string> keys;
    std::size_t pos = 0;
    while (pos < payload.size()) {
        const std::string key(reinterpret_cast<const char*>(&payload[pos]));
        pos += key.size() + 1;
        const std::uint32_t length = byte_order::load32(&payload[pos]);
        pos += 4 + length;
        keys.push_back(key);
    }
    return keys;
}

// One block: key, NUL, u32 length, record.
void appendBlock(std::vector<std::uint8_t>& payload, const std::string& key, const std::vector<std::uint8_t>& record)
{
    payload.insert(payload.end(), key.begin(), key.end());
    payload.push_back(0);
    std::uint8_t length[4];
    byte_order::store32(length, std::uint32_t(record.size()));
    payload.insert(payload.end(), length, length + 4);
    payload.insert(payload.end(), record.begin(), record.end());
}

bool loadOne(const std::string& path, TestEntity& entity)
{
    SaveLoadSystem system;
    if (!system.BeginLoad(path, kVersion))
        return false;
    const bool loaded = system.LoadEntity(&entity);
    system.Finish();
    return loaded;
}

// Every field type once, with values that show byte order and sign.
struct AllTypes {
    std::uint8_t u8 = 0;
    std::uint16_t u16 = 0;
    std::int16_t i16 = 0;
    std::uint32_t u32 = 0;
    std::int32_t i32 = 0;
    float f32 = 0;
    std::string empty = "x", text;
    std::wstring wide;
    std::vector<std::string> noNames = {"x"}, names;

    std::uint32_t save(SaveLoadSystem& s, std::uint32_t pos) const
    {
        pos = s.WriteU8(pos, u8);
        pos = s.WriteU16(pos, u16);
        pos = s.WriteI16(pos, i16);
        pos = s.WriteU32(pos, u32);
        pos = s.WriteI32(pos, i32);
        pos = s.WriteF32(pos, f32);
        pos = s.WriteString(pos, empty);
        pos = s.WriteString(pos, text);
        pos = s.WriteWString(pos, wide);
        pos = s.WriteStringList(pos, noNames);
        return s.WriteStringList(pos, names);
    }
    std::uint32_t load(SaveLoadSystem& s, std::uint32_t pos)
    {
        pos = s.ReadU8(pos, u8);
        pos = s.ReadU16(pos, u16);
        pos = s.ReadI16(pos, i16);
        pos = s.ReadU32(pos, u32);
        pos = s.ReadI32(pos, i32);
        pos = s.ReadF32(pos, f32);
        pos = s.ReadString(pos, empty);
        pos = s.ReadString(pos, text);
        pos = s.ReadWString(pos, wide);
        pos = s.ReadStringList(pos, noNames);
        return s.ReadStringList(pos, names);
    }
};

AllTypes sampleValues()
{
    AllTypes v;
    v.u8 = 200;
    v.u16 = 65000;
    v.i16 = -2;
    v.u32 = 0xDEADBEEF;
    v.i32 = -5;
    v.f32 = 1.5f;
    v.empty = "";
    v.text = "Study";
    v.wide = L"\x041F\x0440\x0438\x0432\x0435\x0442, Holmes";
    v.noNames = {};
    v.names = {"GlobalMap", "", "Decrypt"};
    return v;
}

// Two top entities, the first with two children; the fixed content of the
// golden save.
struct Scene {
    std::vector<std::string> calls;
    TestEntity a{"<A>", &calls}, a1{"<A1>", &calls}, a2{"<A2>", &calls}, b{"<B>", &calls};
    AllTypes values = sampleValues();
    AllTypes readBack;
    std::uint32_t a1Value = 0, a2Value = 0;

    Scene()
    {
        a.children = {&a1, &a2};
        a.save = [this](SaveLoadSystem& s, std::uint32_t pos) { return values.save(s, pos); };
        a.load = [this](SaveLoadSystem& s, std::uint32_t pos) { return readBack.load(s, pos); };
        a1.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU32(pos, 11); };
        a1.load = [this](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, a1Value); };
        a2.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU32(pos, 22); };
        a2.load = [this](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, a2Value); };
        b.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteString(pos, "EndGame"); };
    }
    bool save(const std::string& path)
    {
        SaveLoadSystem system;
        system.BeginSave(path, kVersion);
        system.SaveEntity(&a);
        system.SaveEntity(&b);
        return system.Finish();
    }
};

} // namespace

TEST(SaveLoadSystem, RoundTripKeepsEveryTypeAndPutsChildrenFirst)
{
    Scene scene;
    ASSERT_TRUE(scene.save(savePath()));
    const std::vector<std::uint8_t> file = readBytes(savePath());
    ASSERT_GE(file.size(), SaveLoadSystem::kHeaderSize);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "VRKS");
    EXPECT_EQ(byte_order::load32(&file[12]), 4u);
    EXPECT_EQ(blockKeys(plainPayload(file)), (std::vector<std::string>{"<A1>", "<A2>", "<A>", "<B>"}));

    scene.calls.clear();
    SaveLoadSystem system;
    ASSERT_TRUE(system.BeginLoad(savePath(), kVersion));
    EXPECT_TRUE(system.IsLoading());
    ASSERT_TRUE(system.LoadEntity(&scene.a));
    EXPECT_TRUE(system.Finish());
    EXPECT_EQ(scene.calls, (std::vector<std::string>{"LoadChildren <A>", "LoadChildren <A1>", "LoadSelf <A1>",
                                                      "LoadChildren <A2>", "LoadSelf <A2>", "LoadSelf <A>"}));
    EXPECT_EQ(scene.a1Value, 11u);
    EXPECT_EQ(scene.a2Value, 22u);
    const AllTypes& got = scene.readBack;
    const AllTypes& want = scene.values;
    EXPECT_EQ(got.u8, want.u8);
    EXPECT_EQ(got.u16, want.u16);
    EXPECT_EQ(got.i16, want.i16);
    EXPECT_EQ(got.u32, want.u32);
    EXPECT_EQ(got.i32, want.i32);
    EXPECT_EQ(got.f32, want.f32);
    EXPECT_EQ(got.empty, "");
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ(got.wide, want.wide);
    EXPECT_TRUE(got.noNames.empty());
    EXPECT_EQ(got.names, want.names);
}

TEST(SaveLoadSystem, AbsentBlockSkipsLoadSelfButLoadsChildren)
{
    std::vector<std::string> calls;
    TestEntity child("<child>", &calls), parent("<parent>", &calls);
    child.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU8(pos, 7); };
    child.load = [](SaveLoadSystem& s, std::uint32_t pos) {
        std::uint8_t v = 0;
        return s.ReadU8(pos, v);
    };
    {
        SaveLoadSystem system;
        system.BeginSave(savePath(), kVersion);
        system.SaveEntity(&child);
        ASSERT_TRUE(system.Finish());
    }
    parent.children = {&child};
    EXPECT_FALSE(loadOne(savePath(), parent));
    EXPECT_EQ(parent.loads, 0);
    EXPECT_EQ(child.loads, 1);
    EXPECT_EQ(parent.childResults, std::vector<bool>{true});
}

TEST(SaveLoadSystem, CallsOutOfOrderAreRefusedAndLogged)
{
    TestLog log;
    SaveLoadSystem system;
    TestEntity e("<e>");
    EXPECT_FALSE(system.SaveEntity(&e));
    EXPECT_FALSE(system.LoadEntity(&e));
    EXPECT_FALSE(system.Finish());
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to SaveEntity() outside save or load!"), 1u);
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to LoadEntity() outside save or load!"), 1u);
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to Finish() outside save or load!"), 1u);

    // Nested calls from inside a record are refused; the block stays whole.
    TestEntity inner("<inner>");
    e.save = [&](SaveLoadSystem& s, std::uint32_t pos) {
        EXPECT_FALSE(s.SaveEntity(&inner));
        EXPECT_FALSE(s.Finish());
        EXPECT_FALSE(s.BeginLoad(savePath(), kVersion));
        return s.WriteU32(pos, 5);
    };
    system.BeginSave(savePath(), kVersion);
    EXPECT_TRUE(system.IsSaving());
    EXPECT_FALSE(system.LoadEntity(&e));
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to LoadEntity() in save progress!"), 1u);
    EXPECT_TRUE(system.SaveEntity(&e));
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to SaveEntity() inside the record of '<e>'!"), 1u);
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to Finish() inside the record of '<e>'!"), 1u);
    EXPECT_TRUE(system.Finish());

    std::uint32_t value = 0;
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) {
        EXPECT_FALSE(s.LoadEntity(&inner));
        return s.ReadU32(pos, value);
    };
    ASSERT_TRUE(system.BeginLoad(savePath(), kVersion));
    EXPECT_FALSE(system.SaveEntity(&e));
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to SaveEntity() in load progress!"), 1u);
    EXPECT_TRUE(system.LoadEntity(&e));
    EXPECT_EQ(value, 5u);
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to LoadEntity() inside the record of '<e>'!"), 1u);

    // A new session while one runs drops the old one.
    EXPECT_TRUE(system.BeginSave(savePath() + "2", kVersion));
    EXPECT_EQ(log.count("SaveLoadSystem: Error call to BeginSave() in load progress!"), 1u);
    EXPECT_TRUE(system.IsSaving());
    EXPECT_TRUE(system.Finish());
    EXPECT_FALSE(system.IsSaving());

    // Writes and reads outside a record change nothing.
    EXPECT_EQ(system.WriteU32(0, 1), 4u);
    std::uint32_t read = 9;
    system.ReadU32(0, read);
    EXPECT_EQ(read, 0u);
}

TEST(SaveLoadSystem, BadKeysCostOnlyTheirOwnBlock)
{
    TestLog log;
    TestEntity empty(""), longKey(std::string(256, 'k')), good("<good>"), withNul(std::string("a\0b", 3));
    TestEntity child("<child of bad>");
    empty.children = {&child};
    good.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU32(pos, 42); };
    child.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU8(pos, 1); };
    SaveLoadSystem system;
    system.BeginSave(savePath(), kVersion);
    EXPECT_FALSE(system.SaveEntity(&empty));
    EXPECT_TRUE(system.SaveEntity(&good));
    EXPECT_FALSE(system.SaveEntity(&longKey));
    EXPECT_FALSE(system.SaveEntity(&withNul));
    EXPECT_FALSE(system.SaveEntity(&good));  // twice: logged, not kept
    ASSERT_TRUE(system.Finish());
    EXPECT_EQ(log.count("SaveLoadSystem::SaveEntity(). Bad key '' (0 bytes), entity not saved"), 1u);
    EXPECT_EQ(log.count("(256 bytes), entity not saved"), 1u);
    EXPECT_EQ(log.count("SaveLoadSystem::SaveEntity(). Bad key 'a' (3 bytes), entity not saved"), 1u);
    EXPECT_EQ(log.count("Key '<good>' was already saved; not saved again"), 1u);

    const std::vector<std::uint8_t> payload = plainPayload(readBytes(savePath()));
    EXPECT_EQ(blockKeys(payload), (std::vector<std::string>{"<child of bad>", "<good>"}));
    std::uint32_t value = 0;
    good.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, value); };
    EXPECT_TRUE(loadOne(savePath(), good));
    EXPECT_EQ(value, 42u);

    // A file with a key twice (made by hand) cannot say which is meant.
    std::vector<std::uint8_t> twice = payload;
    appendBlock(twice, "<good>", {7, 0, 0, 0});
    writeBytes(savePath(), SaveLoadSystem::BuildFile(twice, kVersion, 3));
    EXPECT_FALSE(loadOne(savePath(), good));
    EXPECT_EQ(log.count("block '<good>' appears twice"), 1u);
}

TEST(SaveLoadSystem, DamagedFilesAreRefusedWithTheirReason)
{
    Scene scene;
    ASSERT_TRUE(scene.save(savePath()));
    const std::vector<std::uint8_t> good = readBytes(savePath());
    const std::vector<std::uint8_t> payload = plainPayload(good);
    const std::uint32_t p = std::uint32_t(payload.size());

    auto cut = [&](std::size_t n) { return std::vector<std::uint8_t>(good.begin(), good.begin() + n); };
    auto patched = [&](std::size_t at, std::uint32_t value, int bytes) {
        std::vector<std::uint8_t> f = good;
        if (bytes == 2)
            byte_order::store16(&f[at], std::uint16_t(value));
        else
            byte_order::store32(&f[at], value);
        return f;
    };
    std::vector<std::uint8_t> flipped = good;
    flipped[SaveLoadSystem::kHeaderSize + p / 2] ^= 0x10;
    std::vector<std::uint8_t> badMagic = good;
    badMagic[0] = 'X';

    std::vector<std::uint8_t> noNul(250, 'k');
    std::vector<std::uint8_t> longKey;
    appendBlock(longKey, std::string(256, 'k'), {1});
    std::vector<std::uint8_t> emptyKey;
    appendBlock(emptyKey, "", {1});
    std::vector<std::uint8_t> overrun = {'<', 'x', '>', 0, 9, 0, 0, 0, 1, 2};
    std::vector<std::uint8_t> shortLength = {'<', 'x', '>', 0, 9, 0};

    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"empty", cut(0), "cut short (0 bytes)"},
        {"header cut", cut(23), "cut short (23 bytes)"},
        {"payload cut", cut(p + 23), "does not match the payload length"},
        {"flipped byte", flipped, "CRC mismatch"},
        {"magic", badMagic, "bad magic"},
        {"format", patched(4, 2, 2), "unknown format 2"},
        {"version", patched(8, 4373, 4), "version 4373, expected 4374"},
        {"17 MiB", patched(16, 17u << 20, 4), "payload length 17825792 is over 16 MiB"},
        {"count one more", patched(12, 5, 4), "4 blocks, the header says 5"},
        {"count one less", patched(12, 3, 4), "4 blocks, the header says 3"},
        {"key without NUL", SaveLoadSystem::BuildFile(noNul, kVersion, 1), "without its NUL"},
        {"256-byte key", SaveLoadSystem::BuildFile(longKey, kVersion, 1), "key over 255 bytes"},
        {"empty key", SaveLoadSystem::BuildFile(emptyKey, kVersion, 1), "empty key"},
        {"overrunning length", SaveLoadSystem::BuildFile(overrun, kVersion, 1), "length 9 overruns the payload"},
        {"length cut", SaveLoadSystem::BuildFile(shortLength, kVersion, 1), "length cut short"},
    };
    for (const Case& c : cases) {
        TestLog log;
        writeBytes(savePath(), c.file);
        SaveLoadSystem system;
        EXPECT_FALSE(system.BeginLoad(savePath(), kVersion)) << c.name;
        EXPECT_FALSE(system.IsLoading()) << c.name;
        EXPECT_EQ(log.count("SaveLoadSystem::BeginLoad(). File '" + savePath() + "': "), 1u) << c.name;
        EXPECT_EQ(log.count(c.reason), 1u) << c.name;
    }

    TestLog log;
    SaveLoadSystem system;
    EXPECT_FALSE(system.BeginLoad(test_env::home() + "/none.save", kVersion));
    EXPECT_TRUE(log.lines().empty());
}

TEST(SaveLoadSystem, ReadsStopAtTheBlockEnd)
{
    TestLog log;
    TestEntity e("<e>");
    std::vector<std::uint8_t> payload;
    appendBlock(payload, "<string>", {'a', 'b'});
    appendBlock(payload, "<list>", {3, 0, 0, 0, 'a', 0, 'b', 0});
    appendBlock(payload, "<u32>", {1, 2, 3});
    appendBlock(payload, "<trailing>", {5, 0, 0, 0, 0xAA, 0xBB});
    writeBytes(savePath(), SaveLoadSystem::BuildFile(payload, kVersion, 4));

    SaveLoadSystem system;
    ASSERT_TRUE(system.BeginLoad(savePath(), kVersion));
    std::string text = "x";
    std::vector<std::string> list = {"x"};
    std::uint32_t value = 9;
    std::uint32_t end = 0;
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return end = s.ReadString(pos, text); };
    e.SetKey("<string>");
    EXPECT_FALSE(system.LoadEntity(&e));
    EXPECT_EQ(text, "");
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadStringList(pos, list); };
    e.SetKey("<list>");
    EXPECT_FALSE(system.LoadEntity(&e));
    EXPECT_TRUE(list.empty());
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) {
        pos = s.ReadU32(pos, value);
        std::uint8_t after = 7;
        s.ReadU8(pos, after);  // the flag stays set, reads stay zero
        EXPECT_EQ(after, 0u);
        return pos;
    };
    e.SetKey("<u32>");
    EXPECT_FALSE(system.LoadEntity(&e));
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(log.count("overran its length (file '" + savePath() + "')"), 3u);

    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) {
        EXPECT_EQ(s.BytesLeft(pos), 6u);
        return s.ReadU32(pos, value);
    };
    // A record read short of its block's end: not read whole, refused.
    e.SetKey("<trailing>");
    EXPECT_FALSE(system.LoadEntity(&e));
    EXPECT_EQ(log.count("Block '<trailing>' holds 6 bytes, 4 were read"), 1u);
    EXPECT_TRUE(system.Finish());
}

TEST(SaveLoadSystem, GoldenSaveMatchesTheWriterAndLoads)
{
    const std::string golden = test_env::sourceDir() + "/tests/game/shell/data/golden.save";
    Scene scene;
    ASSERT_TRUE(scene.save(savePath()));
    if (std::getenv("A2D_WRITE_GOLDEN"))
        std::filesystem::copy_file(savePath(), golden, std::filesystem::copy_options::overwrite_existing);
    EXPECT_EQ(readBytes(savePath()), readBytes(golden));

    Scene fresh;
    ASSERT_TRUE(loadOne(golden, fresh.a));
    EXPECT_EQ(fresh.readBack.wide, scene.values.wide);
    EXPECT_EQ(fresh.readBack.names, scene.values.names);
    EXPECT_EQ(fresh.a2Value, 22u);
}

TEST(SaveLoadSystem, MutatedSavesLoadOrAreRefused)
{
    Scene scene;
    ASSERT_TRUE(scene.save(savePath()));
    const std::vector<std::uint8_t> good = readBytes(savePath());
    const std::vector<std::uint8_t> payload = plainPayload(good);
    a_srand(20240601);
    int loaded = 0;
    for (int i = 0; i < 5000; ++i) {
        // Half the inputs keep a valid header and CRC, so the block walk and
        // the record readers see the damage rather than the checksum.
        const bool rewrap = i % 2 == 0;
        std::vector<std::uint8_t> bytes = rewrap ? payload : good;
        const int edits = 1 + a_rand() % 4;
        for (int k = 0; k < edits && !bytes.empty(); ++k) {
            const std::size_t at = std::size_t(a_rand()) % bytes.size();
            switch (a_rand() % 3) {
            case 0:
                bytes[at] ^= std::uint8_t(1 << (a_rand() % 8));
                break;
            case 1:
                bytes.resize(at);
                break;
            default:
                bytes.insert(bytes.begin() + std::ptrdiff_t(at), std::uint8_t(a_rand()));
                break;
            }
        }
        writeBytes(savePath(), rewrap ? SaveLoadSystem::BuildFile(bytes, kVersion, 4) : bytes);
        Scene target;
        SaveLoadSystem system;
        if (system.BeginLoad(savePath(), kVersion)) {
            loaded += system.LoadEntity(&target.a);
            system.LoadEntity(&target.b);
            system.Finish();
        }
    }
    EXPECT_GT(loaded, 0);
}

TEST(SaveLoadSystem, FailedWriteKeepsTheOldSave)
{
    Scene scene;
    ASSERT_TRUE(scene.save(savePath()));
    const std::vector<std::uint8_t> old = readBytes(savePath());

    TestLog log;
    g_fileWriteFunction = [](int, const void*, std::size_t) -> ssize_t {
        errno = ENOSPC;
        return -1;
    };
    scene.values.text = "changed";
    const bool saved = scene.save(savePath());
    g_fileWriteFunction = ::write;
    EXPECT_FALSE(saved);
    EXPECT_EQ(log.count("SaveLoadSystem::Finish(). Cannot write '" + savePath() + "': No space left on device"), 1u);
    EXPECT_EQ(readBytes(savePath()), old);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(test_env::home()))
        files += entry.path().filename().string().find(".tmp") != std::string::npos;
    EXPECT_EQ(files, 0u);

    // A save over 16 MiB is refused as a whole; the old file stays too.
    TestEntity big("<big>");
    big.save = [](SaveLoadSystem& s, std::uint32_t pos) {
        for (int i = 0; i < 5; ++i)
            pos = s.WriteString(pos, std::string(4u << 20, 'x'));
        return pos;
    };
    SaveLoadSystem system;
    system.BeginSave(savePath(), kVersion);
    EXPECT_FALSE(system.SaveEntity(&big));
    EXPECT_FALSE(system.Finish());
    EXPECT_EQ(system.GetWriteError(), EFBIG);
    EXPECT_EQ(log.count("the save is over 16 MiB"), 1u);
    EXPECT_EQ(readBytes(savePath()), old);
}

namespace {

std::vector<std::string> namesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A save over a file that could not be loaded, as the game makes it.
bool saveOver(const std::string& path, std::uint32_t value)
{
    TestEntity e("<e>");
    e.save = [value](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU32(pos, value); };
    SaveLoadSystem system;
    system.BeginSave(path, kVersion);
    system.SaveEntity(&e);
    return system.Finish();
}

// Waits for the child's byte on the pipe, then kills it; true when the
// child got that far and died of the kill.
bool killedOnceReady(int ready[2], pid_t child)
{
    ::close(ready[1]);
    char byte = 0;
    const bool got = ::read(ready[0], &byte, 1) == 1;
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return got && WIFSIGNALED(status);
}

} // namespace

TEST(SaveLoadSystem, SavesThatCannotBeLoadedAreKeptAsideBeforeTheFirstSaveOverThem)
{
    const std::string folder = test_env::home() + "/kept/";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "Player.save";
    Scene scene;
    ASSERT_TRUE(scene.save(path));
    std::vector<std::uint8_t> newer = readBytes(path);
    byte_order::store32(&newer[8], kVersion + 1);
    std::vector<std::uint8_t> damaged = readBytes(path);
    damaged.back() ^= 1;
    const std::vector<std::uint8_t> cut(damaged.begin(), damaged.begin() + 30);
    std::vector<std::uint8_t> noRoot;
    appendBlock(noRoot, "<other>", {1, 2});
    const std::vector<std::uint8_t> noRootFile = SaveLoadSystem::BuildFile(noRoot, kVersion, 1);

    TestLog log;
    std::vector<std::vector<std::uint8_t>> kept;
    for (const auto& file : {newer, damaged, cut, noRootFile}) {
        writeBytes(path, file);
        Scene target;
        EXPECT_FALSE(loadOne(path, target.a));
        EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(path));
        // The new game's first save keeps it, the next ones write as usual.
        ASSERT_TRUE(saveOver(path, 1));
        ASSERT_TRUE(saveOver(path, 2));
        kept.push_back(file);
    }
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Player.save", "Player.save.bad", "Player.save.bad.2",
                                                         "Player.save.bad.3", "Player.save.bad.4"}));
    EXPECT_EQ(readBytes(path + ".bad"), kept[0]);
    EXPECT_EQ(readBytes(path + ".bad.2"), kept[1]);
    EXPECT_EQ(readBytes(path + ".bad.3"), kept[2]);
    EXPECT_EQ(readBytes(path + ".bad.4"), kept[3]);
    EXPECT_EQ(log.count("could not be loaded; kept as 'Player.save.bad.4' before it is replaced"), 1u);
    TestEntity e("<e>");
    std::uint32_t value = 0;
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, value); };
    EXPECT_TRUE(loadOne(path, e));
    EXPECT_EQ(value, 2u);

    // A save that loads, or no save at all, is replaced with no copy.
    Scene good;
    ASSERT_TRUE(good.save(path));
    EXPECT_TRUE(loadOne(path, good.a));
    ASSERT_TRUE(saveOver(path, 3));
    SaveLoadSystem::KeepAsideBeforeSave(folder + "gone.save");
    ASSERT_TRUE(saveOver(folder + "gone.save", 3));
    EXPECT_EQ(namesIn(folder).size(), 6u);
}

TEST(SaveLoadSystem, FilesThatCannotBeReadAreLoggedWithTheRealReason)
{
    const std::string folder = test_env::home() + "/reasons/";
    std::filesystem::create_directories(folder + "Folder.save");
    const std::string huge = folder + "Huge.save";
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(20u << 20)), 0);
    ::close(fd);
    Scene scene;
    ASSERT_TRUE(scene.save(folder + "Locked.save"));
    const std::vector<std::uint8_t> locked = readBytes(folder + "Locked.save");

    TestLog log;
    SaveLoadSystem system;
    EXPECT_FALSE(system.BeginLoad(folder + "Folder.save", kVersion));
    EXPECT_EQ(log.count("Folder.save': a folder, not a save file"), 1u);
    EXPECT_FALSE(system.BeginLoad(huge, kVersion));
    EXPECT_EQ(log.count("Huge.save': over 16777240 bytes, too large for a save"), 1u);
    auto* previous = g_fileOpenFunction;
    g_fileOpenFunction = [](const char*, int, mode_t) {
        errno = EIO;
        return -1;
    };
    EXPECT_FALSE(system.BeginLoad(folder + "Locked.save", kVersion));
    g_fileOpenFunction = previous;
    EXPECT_EQ(system.GetLoadFailure(), SaveLoadSystem::LoadFailure::Unreadable);
    EXPECT_EQ(system.GetLoadError(), EIO);
    EXPECT_EQ(log.count("Locked.save': cannot be read (Input/output error); it is left as it is"), 1u);
    EXPECT_EQ(log.count("cut short"), 0u);

    // Not damage: nothing is kept aside, and no save of this run replaces
    // it, until it loads.
    EXPECT_FALSE(saveOver(folder + "Locked.save", 5));
    EXPECT_EQ(system.GetLoadFailure(), SaveLoadSystem::LoadFailure::Unreadable);
    EXPECT_EQ(readBytes(folder + "Locked.save"), locked);
    EXPECT_FALSE(std::filesystem::exists(folder + "Locked.save.bad"));
    EXPECT_EQ(log.count("Cannot write '" + folder + "Locked.save': the save there could not be read in this run"), 1u);
    Scene back;
    EXPECT_TRUE(loadOne(folder + "Locked.save", back.a));
    EXPECT_TRUE(saveOver(folder + "Locked.save", 5));
    // A folder in its place is no damage either; the too large file is.
    EXPECT_FALSE(SaveLoadSystem::KeepsAsideBeforeSave(folder + "Folder.save"));
    EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(huge));
}

TEST(SaveLoadSystem, ALookAtASaveMarksNothing)
{
    const std::string folder = test_env::home() + "/looks/";
    std::filesystem::create_directories(folder);
    std::vector<std::uint8_t> noRoot;
    appendBlock(noRoot, "<other>", {1, 2});
    writeBytes(folder + "NoRoot.save", SaveLoadSystem::BuildFile(noRoot, kVersion, 1));
    writeBytes(folder + "Damaged.save", {'V', 'R', 'K', 'S', 1});
    Scene scene;
    ASSERT_TRUE(scene.save(folder + "Locked.save"));
    auto* previous = g_fileOpenFunction;
    g_fileOpenFunction = [](const char* path, int flags, mode_t mode) {
        if (std::strstr(path, "Locked.save")) {
            errno = EACCES;
            return -1;
        }
        return ::open(path, flags, mode);
    };
    SaveLoadSystem system;
    EXPECT_FALSE(system.BeginCheck(folder + "Locked.save", kVersion));
    EXPECT_EQ(system.GetLoadFailure(), SaveLoadSystem::LoadFailure::Unreadable);
    g_fileOpenFunction = previous;
    EXPECT_FALSE(system.BeginCheck(folder + "Damaged.save", kVersion));
    EXPECT_EQ(system.GetLoadFailure(), SaveLoadSystem::LoadFailure::Damaged);
    EXPECT_FALSE(system.BeginCheck(folder + "Missing.save", kVersion));
    EXPECT_EQ(system.GetLoadFailure(), SaveLoadSystem::LoadFailure::Missing);
    ASSERT_TRUE(system.BeginCheck(folder + "NoRoot.save", kVersion));
    TestEntity root("<root>");
    EXPECT_FALSE(system.LoadEntity(&root));
    system.Finish();
    for (const char* name : {"Locked.save", "Damaged.save", "NoRoot.save"}) {
        EXPECT_FALSE(SaveLoadSystem::KeepsAsideBeforeSave(folder + name)) << name;
        EXPECT_FALSE(SaveLoadSystem::IsLeftAlone(folder + name)) << name;
        EXPECT_TRUE(saveOver(folder + name, 1)) << name;
    }
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Damaged.save", "Locked.save", "NoRoot.save"}));
}

TEST(SaveLoadSystem, ADamagedGigabyteIsSetAsideAtOnceInNoRoomWithOrWithoutLinks)
{
    for (const bool links : {true, false}) {
        SCOPED_TRACE(links ? "links" : "links refused");
        const std::string folder = test_env::home() + (links ? "/sparse/" : "/sparse-unlinked/");
        std::filesystem::create_directories(folder);
        const std::string path = folder + "Player.save";
        {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::pwrite(fd, "junk", 4, 0), 4);
            ASSERT_EQ(::ftruncate(fd, off_t(1) << 30), 0);
            ::close(fd);
        }
        struct stat before {};
        ASSERT_EQ(::stat(path.c_str(), &before), 0);
        TestLog log;
        SaveLoadSystem system;
        EXPECT_FALSE(system.BeginLoad(path, kVersion));
        EXPECT_EQ(system.GetLoadFailure(), SaveLoadSystem::LoadFailure::Damaged);

        // The first save over it fails (the disk is full): the file is kept
        // all the same, as it was, in no room of its own.
        if (!links)
            g_fileLinkFunction = [](const char*, const char*) {
                errno = EPERM;
                return -1;
            };
        g_fileWriteFunction = [](int, const void*, std::size_t) -> ssize_t {
            errno = ENOSPC;
            return -1;
        };
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(saveOver(path, 1));
        const auto took = std::chrono::steady_clock::now() - start;
        g_fileWriteFunction = ::write;
        EXPECT_LT(took, std::chrono::milliseconds(500));
        struct stat kept {};
        ASSERT_EQ(::stat((path + ".bad").c_str(), &kept), 0);
        EXPECT_EQ(kept.st_ino, before.st_ino);
        EXPECT_EQ(kept.st_blocks, before.st_blocks);
        EXPECT_EQ(kept.st_size, before.st_size);
        EXPECT_EQ(log.count("could not be loaded; kept as 'Player.save.bad' before it is replaced"), 1u);
        // Renamed where links are refused: no save stands there now.
        EXPECT_EQ(std::filesystem::exists(path), links);

        // The next start finds it damaged again (kept already), or none.
        EXPECT_FALSE(system.BeginLoad(path, kVersion));
        EXPECT_TRUE(saveOver(path, 2));
        g_fileLinkFunction = ::link;
        EXPECT_EQ(log.count("could not be loaded; it is kept as 'Player.save.bad' already"), links ? 1u : 0u);
        EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Player.save", "Player.save.bad"}));
        TestEntity e("<e>");
        std::uint32_t value = 0;
        e.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, value); };
        EXPECT_TRUE(loadOne(path, e));
        EXPECT_EQ(value, 2u);
    }
}

TEST(SaveLoadSystem, ADamagedSaveThatIsALinkIsKeptBesideItsFileAndSavedOverThroughTheLink)
{
    // Where links are refused the file is renamed: the link then names no
    // file until the save makes it anew.
    RefusedLinks refused;
    OtherFileSystem other;
    const std::string path = test_env::home() + "/Player.save";
    const std::string file = other.folder() + "Player.save";
    const std::vector<std::uint8_t> damaged = {'V', 'R', 'K', 'S', 1};
    writeBytes(file, damaged);
    ASSERT_EQ(::symlink(file.c_str(), path.c_str()), 0);
    TestLog log;
    SaveLoadSystem system;
    EXPECT_FALSE(system.BeginLoad(path, kVersion));
    ASSERT_TRUE(saveOver(path, 1));
    EXPECT_EQ(log.count("could not be loaded; kept as '" + file + ".bad' before it is replaced"), 1u);
    EXPECT_EQ(readBytes(file + ".bad"), damaged);
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(namesIn(other.folder()), (std::vector<std::string>{"Player.save", "Player.save.bad"}));
    TestEntity e("<e>");
    std::uint32_t value = 0;
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, value); };
    EXPECT_TRUE(loadOne(file, e));
    EXPECT_EQ(value, 1u);
}

TEST(SaveLoadSystem, ASaveSetAsideAtOnceLeavesItsNameOrSaysWhyNot)
{
    const std::string folder = test_env::home() + "/now/";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "Player.save";
    const std::vector<std::uint8_t> damaged = {'V', 'R', 'K', 'S', 1};
    writeBytes(path, damaged);
    SaveLoadSystem system;
    EXPECT_FALSE(system.BeginLoad(path, kVersion));
    int error = 0;
    EXPECT_EQ(SaveLoadSystem::SetAsideNow(path, &error), "Player.save.bad");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(readBytes(path + ".bad"), damaged);
    // Nothing is left to keep: the next save is written as it comes.
    EXPECT_FALSE(SaveLoadSystem::KeepsAsideBeforeSave(path));
    ASSERT_TRUE(saveOver(path, 1));
    EXPECT_EQ(namesIn(folder), (std::vector<std::string>{"Player.save", "Player.save.bad"}));

    // Every further name taken: it stays, marked, and no save replaces it;
    // what is told is that it could not be set aside, not a full disk.
    writeBytes(path, damaged);
    for (int n = 2; n <= kMaxSetAside; ++n)
        writeBytes(path + ".bad." + std::to_string(n), {});
    EXPECT_EQ(SaveLoadSystem::SetAsideNow(path, &error), "");
    EXPECT_EQ(error, SaveLoadSystem::kNotSetAside);
    EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(path));
    SaveLoadSystem over;
    TestEntity e("<e>");
    over.BeginSave(path, kVersion);
    over.SaveEntity(&e);
    EXPECT_FALSE(over.Finish());
    EXPECT_EQ(over.GetWriteError(), SaveLoadSystem::kNotSetAside);
    EXPECT_EQ(readBytes(path), damaged);
}

TEST(SaveLoadSystem, AMissingRequiredChildFailsItsParentUnread)
{
    std::vector<std::string> calls;
    TestEntity root("<root>", &calls), needed("<needed>", &calls), absent("<absent>", &calls), top("<top>", &calls);
    root.children = {&needed, &absent};
    top.children = {&root};
    for (TestEntity* e : {&root, &needed, &absent, &top}) {
        e->save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU8(pos, 1); };
        e->load = [](SaveLoadSystem& s, std::uint32_t pos) {
            std::uint8_t v = 0;
            return s.ReadU8(pos, v);
        };
    }
    {
        // Written without "<absent>", as another build might.
        root.children = {&needed};
        SaveLoadSystem system;
        system.BeginSave(savePath(), kVersion);
        system.SaveEntity(&top);
        ASSERT_TRUE(system.Finish());
        root.children = {&needed, &absent};
    }

    // Optional children: the parent loads as before.
    EXPECT_TRUE(loadOne(savePath(), top));
    EXPECT_EQ(root.childResults, (std::vector<bool>{true, false}));
    EXPECT_FALSE(SaveLoadSystem::KeepsAsideBeforeSave(savePath()));

    TestLog log;
    calls.clear();
    root.childResults.clear();
    root.childrenRequired = true;
    EXPECT_FALSE(loadOne(savePath(), root));
    EXPECT_EQ(calls, (std::vector<std::string>{"LoadChildren <root>", "LoadChildren <needed>", "LoadSelf <needed>",
                                               "LoadChildren <absent>"}));
    EXPECT_EQ(log.count("File '" + savePath() + "' has no block '<absent>'"), 1u);
    EXPECT_EQ(log.count("'<root>' lacks a part it needs"), 1u);
    EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(savePath()));

    // Through a parent that does not need it: the part is there and fails,
    // so the whole load fails, unread above it.
    calls.clear();
    top.childResults.clear();
    EXPECT_FALSE(loadOne(savePath(), top));
    EXPECT_EQ(top.childResults, std::vector<bool>{false});
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "LoadSelf <top>"), 0);
}

TEST(SaveLoadSystem, APartThatIsThereAndFailsFailsTheWholeLoad)
{
    const std::string path = test_env::home() + "/whole.save";
    // top <- middle <- leaf, and an optional sibling the file lacks.
    TestEntity top("<top>"), middle("<middle>"), leaf("<leaf>"), absent("<absent>");
    top.children = {&middle, &absent};
    middle.children = {&leaf};
    for (TestEntity* e : {&top, &middle, &leaf})
        e->save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteU32(pos, 7); };
    {
        top.children = {&middle};
        SaveLoadSystem system;
        system.BeginSave(path, kVersion);
        system.SaveEntity(&top);
        ASSERT_TRUE(system.Finish());
        top.children = {&middle, &absent};
    }
    const auto read = [](SaveLoadSystem& s, std::uint32_t pos) {
        std::uint32_t v = 0;
        return s.ReadU32(pos, v);
    };
    for (TestEntity* e : {&top, &middle, &leaf})
        e->load = read;
    EXPECT_TRUE(loadOne(path, top));
    EXPECT_FALSE(SaveLoadSystem::KeepsAsideBeforeSave(path));

    struct Fault {
        const char* name;
        TestEntity::Writer load;
        const char* logged;
    };
    const Fault faults[] = {
        {"overrun",
         [](SaveLoadSystem& s, std::uint32_t pos) {
             std::uint8_t v[5];
             for (std::uint8_t& b : v)
                 pos = s.ReadU8(pos, b);
             return pos;
         },
         "Block '<leaf>' overran its length"},
        {"short",
         [](SaveLoadSystem& s, std::uint32_t pos) {
             std::uint16_t v = 0;
             return s.ReadU16(pos, v);
         },
         "Block '<leaf>' holds 4 bytes, 2 were read"},
        {"refused",
         [read](SaveLoadSystem& s, std::uint32_t pos) {
             s.RefuseRecord();
             return read(s, pos);
         },
         "Block '<leaf>' cannot be restored"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        const std::string copy = path + "." + fault.name;
        std::filesystem::copy_file(path, copy);
        TestLog log;
        leaf.load = fault.load;
        top.loads = middle.loads = 0;
        EXPECT_FALSE(loadOne(copy, top));
        EXPECT_EQ(log.count(fault.logged), 1u);
        EXPECT_EQ(log.count("'<middle>' lacks a part it needs"), 1u);
        EXPECT_EQ(log.count("'<top>' lacks a part it needs"), 1u);
        EXPECT_EQ(top.loads + middle.loads, 0);
        EXPECT_TRUE(SaveLoadSystem::KeepsAsideBeforeSave(copy));
    }
}

TEST(SaveLoadSystem, AWriterKilledMidSaveLeavesNoTemporaryAndTheSaveLoads)
{
    const std::string folder = test_env::home() + "/killed/";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "Player.save";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Large saves in a loop; once one is whole, the next tells the
        // parent after its first bytes and writes on slowly.
        static int signal = -1;
        static int saves = 0;
        signal = ready[1];
        g_fileWriteFunction = [](int fd, const void* data, std::size_t size) -> ssize_t {
            const ssize_t n = ::write(fd, data, std::min<std::size_t>(size, 1 << 16));
            if (saves > 0 && signal >= 0) {
                ::write(signal, "w", 1);
                signal = -1;
            }
            if (saves > 0)
                ::usleep(2000);
            return n;
        };
        TestEntity big("<big>");
        big.save = [](SaveLoadSystem& s, std::uint32_t pos) { return s.WriteString(pos, std::string(4u << 20, 'x')); };
        for (;; ++saves) {
            SaveLoadSystem system;
            system.BeginSave(path, kVersion);
            system.SaveEntity(&big);
            if (!system.Finish())
                ::_exit(2);
        }
    }
    ASSERT_TRUE(killedOnceReady(ready, child));
    const std::vector<std::string> left = namesIn(folder);
    ASSERT_EQ(left.size(), 2u);
    const std::string temp = ".Player.save." + std::to_string(child) + ".";
    EXPECT_EQ(left[0].compare(0, temp.size(), temp), 0) << left[0];
    EXPECT_EQ(left[1], "Player.save");

    // The game saves into the folder: the temporary goes, the save loads.
    TestLog log;
    ASSERT_TRUE(saveOver(path, 9));
    EXPECT_EQ(namesIn(folder), std::vector<std::string>{"Player.save"});
    EXPECT_EQ(log.count("left by an interrupted write"), 1u);
    TestEntity e("<e>");
    std::uint32_t value = 0;
    e.load = [&](SaveLoadSystem& s, std::uint32_t pos) { return s.ReadU32(pos, value); };
    EXPECT_TRUE(loadOne(path, e));
    EXPECT_EQ(value, 9u);
}
