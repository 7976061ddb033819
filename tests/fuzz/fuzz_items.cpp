// A location's "items.ini" with its object lines, loaded through the item
// manager on the recording device, played with, then an item record loaded
// into it and saved again. The input is split at "\n@@\n": the ini file, then
// the record (the bytes after the block header). The location has the
// pictures "a" (8 x 8, alpha ramp) and "b" (4 x 4 opaque), the animation
// "swing" and the particle system "sparkle".
#include <memory>
#include <string>
#include <unistd.h>

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/util/a_application.h"
#include "fuzz/fuzz_support.h"
#include "game/SpyGame/items/SpyItemKinds.h"
#include "game/SpyGame/items/SpyItemManager.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

namespace {

constexpr std::uint32_t kVersion = 4374;

// An uncompressed 32-bit TGA, rows top first.
std::string tga(int w, int h, std::uint32_t (*argb)(int x, int y))
{
    std::string out(18, '\0');
    out[2] = 2;
    out[12] = char(w);
    out[14] = char(h);
    out[16] = 32;
    out[17] = 0x28;  // top-left origin, 8 alpha bits
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = argb(x, y);
            out += {char(c), char(c >> 8), char(c >> 16), char(c >> 24)};
        }
    return out;
}

struct Location {
    std::string dir;
    aImageManager images;
    aAdvAnimManager anims;
    CParticleManager particles{&images};
    CSpyResources res;

    Location()
    {
        dir = fuzz::tempDir() + "room/";
        fuzz::writeTemp("room/a.tga", tga(8, 8, [](int x, int) { return std::uint32_t(x * 32) << 24 | 0xFF8040; }));
        fuzz::writeTemp("room/b.tga", tga(4, 4, [](int, int) { return 0xFF20A020u; }));
        fuzz::writeTemp("room/_images.list", "a.tga 8888 8888\nb.tga 8888 8888\n");
        fuzz::writeTemp("room/swing.ini", "[_General_]\nWidth = 8\nHeight = 8\nAutoStart = 1\n[_Play_]\n"
                                          "A = (Fps=10)(NLoops=0)\n[A]\nTexture = a\nFrame = (Rect=0 0 8 8)\n"
                                          "Frame = (Rect=0 0 4 4)\n");
        fuzz::writeTemp("room/_anims.list", "swing\n");
        fuzz::writeTemp("room/sparkle.psys", "max_particles 20\nfps 30\nemit_per_sec 40\ntexture b\n");
        fuzz::writeTemp("room/_particles.list", "sparkle.psys\n");
        images.LoadList(dir + "_images.list", "Room");
        images.LoadList(dir + "_images.list", "");
        anims.m_imageManager = &images;
        anims.LoadList(dir + "_anims.list", "Room");
        particles.LoadList(dir + "_particles.list", "");
        res.images = &images;
        res.anims = &anims;
        res.particles = &particles;
        g_application->m_fileServer.setAssign("video", dir);
        RegisterItemKinds();
        RegisterObjectKinds();
    }
};

class RecordEntity : public SaveLoadEntity {
public:
    explicit RecordEntity(CSpyItemManager& items) : SaveLoadEntity("<room>"), m_items(items) {}
    std::uint32_t LoadSelf(SaveLoadSystem& system, std::uint32_t pos) override { return m_items.LoadItems(system, pos); }
    std::uint32_t SaveSelf(SaveLoadSystem& system, std::uint32_t pos) override { return m_items.SaveItems(system, pos); }

private:
    CSpyItemManager& m_items;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::recordingGraphics();
    static Location location;
    const std::vector<std::string> parts = fuzz::splitParts(data, size, "\n@@\n");
    fuzz::writeTemp("room/items.ini", parts[0]);

    CSpyItemManager items("Room", location.res);
    items.SetMagicStarsEffect("sparkle");
    items.Load(location.dir, "Room");
    // Find All counts a room's objects from its file before it loads the
    // room: the count must be what the loaded room's pool takes.
    std::uint32_t pooled = 0;
    for (const CSpyItem* item : items.GetItems())
        pooled += item->IsISpyItem() != 0 && !item->IsInventoryItem();
    if (CSpyItemManager::CountPooledItems(location.dir + CSpyItemManager::kItemsFile) != pooled)
        __builtin_trap();
    items.AfterLoad();
    items.SetOrigin(3.0f, 5.0f);
    items.SetScale(0.75f);
    for (CSpyItem* item : items.GetItems()) {
        item->Click();
        item->ApplyItem(CSpyItemRef("key", "Room"));
        item->ShowMagicStars(true);
        item->SetPos(40.0f, 30.0f, true);
        item->SetZoom(1.5f, true);
    }
    for (int i = 0; i < 6; ++i) {
        items.Update(0.1f);
        items.UpdateHover(float(i * 7), float(i * 5));
        items.Draw();
        (void)items.GetItemAt(float(i * 9), float(i * 6));
    }
    for (CSpyItem* item : items.GetItems()) {
        item->DrawIcon();
        item->DrawIcon(0.0f, 0.0f, 16.0f, 16.0f);
        (void)item->Clone();
    }

    if (parts.size() > 1) {
        const std::string& record = parts[1];
        std::vector<std::uint8_t> payload = {'<', 'r', 'o', 'o', 'm', '>', 0};
        for (int i = 0; i < 4; ++i)
            payload.push_back(std::uint8_t(record.size() >> (8 * i)));
        payload.insert(payload.end(), record.begin(), record.end());
        const std::vector<std::uint8_t> file = SaveLoadSystem::BuildFile(payload, kVersion, 1);
        const std::string path = fuzz::writeTemp("room.save", file.data(), file.size());
        RecordEntity entity(items);
        SaveLoadSystem system;
        if (system.BeginLoad(path, kVersion)) {
            system.LoadEntity(&entity);
            system.Finish();
        }
        items.Update(0.1f);
        items.Draw();
        if (system.BeginSave(path, kVersion)) {
            system.SaveEntity(&entity);
            system.Finish();
        }
    }
    return 0;
}
