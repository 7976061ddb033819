// Save files: BeginLoad, then typed reads of a few entities, a child the
// parent needs first, and a find-item group list with a child it can lack. The first byte chooses the input's form: odd,
// the rest is the file as it is; even, the second byte is the block count and
// the rest is a plain payload that gets a valid header and CRC, so mutations
// reach the block walk and the record readers.
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "game/SpyGame/FindItems.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

namespace {

constexpr std::uint32_t kVersion = 4374;

class Reader : public SaveLoadEntity {
public:
    explicit Reader(const std::string& key, int kind) : SaveLoadEntity(key), m_kind(kind) {}
    std::uint32_t LoadSelf(SaveLoadSystem& s, std::uint32_t pos) override
    {
        switch (m_kind) {
        case 0: {
            std::uint8_t u8;
            std::uint16_t u16;
            std::int16_t i16;
            std::int32_t i32;
            float f32;
            std::string text;
            pos = s.ReadU8(pos, u8);
            pos = s.ReadU16(pos, u16);
            pos = s.ReadI16(pos, i16);
            pos = s.ReadI32(pos, i32);
            pos = s.ReadF32(pos, f32);
            return s.ReadString(pos, text);
        }
        case 1: {
            std::vector<CFindItemsGroup> groups;
            pos = LoadFindItemsGroups(s, pos, groups);
            for (CFindItemsGroup& g : groups)
                if (!g.items.empty())
                    g.MarkPicked(g.items.back().name);
            return pos;
        }
        default: {
            std::wstring wide;
            std::vector<std::string> names;
            std::uint32_t count = 0;
            pos = s.ReadWString(pos, wide);
            pos = s.ReadStringList(pos, names);
            pos = s.ReadCount(pos, count, 3);
            for (std::uint32_t i = 0; i < count && !s.HasOverrun(); ++i) {
                std::uint16_t a, b;
                std::uint8_t c;
                pos = s.ReadU16(pos, a);
                pos = s.ReadU16(pos, b);
                pos = s.ReadU8(pos, c);
                (void)(a + b + c);
            }
            return pos;
        }
        }
    }
    std::uint32_t SaveSelf(SaveLoadSystem&, std::uint32_t pos) override { return pos; }
    void LoadChildren(SaveLoadSystem& s) override
    {
        for (Reader* child : children)
            if (childrenRequired)
                s.LoadRequiredEntity(child);
            else
                s.LoadEntity(child);
    }
    std::vector<Reader*> children;
    bool childrenRequired = false;

private:
    int m_kind;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    std::string path;
    if (data[0] & 1) {
        path = fuzz::writeTemp("game.save", data + 1, size - 1);
    } else {
        const std::vector<std::uint8_t> payload(data + 2, data + size);
        const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, kVersion, data[1]);
        path = fuzz::writeTemp("game.save", file.data(), file.size());
    }
    // The parent cannot be restored without its child; the lists' parent can.
    Reader child("<Child>", 2), parent("<Parent>", 0), lists("<Lists>", 1), absent("<Absent>", 0);
    parent.children = {&child};
    parent.childrenRequired = true;
    lists.children = {&absent};
    SaveLoadSystem system;
    if (system.BeginLoad(path, kVersion)) {
        system.LoadEntity(&parent);
        system.LoadEntity(&lists);
        system.LoadEntity(&absent);
        system.Finish();
    }
    return 0;
}
