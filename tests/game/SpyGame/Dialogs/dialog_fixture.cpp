#include "dialog_fixture.h"

#include <cstring>

#include "engine/gfx/a_image_manager.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_log.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/save_load_entity.h"
#include "game/shell/save_load_system.h"

namespace dialogtest {

namespace snd = platform::snd;

void put(Bytes& b, const void* v, std::size_t n)
{
    b.insert(b.end(), static_cast<const std::uint8_t*>(v), static_cast<const std::uint8_t*>(v) + n);
}

bool loadRecord(SaveLoadEntity& entity, const Bytes& record, std::size_t length)
{
    const std::string& key = entity.GetKey();
    Bytes block(key.begin(), key.end());
    block.push_back(0);
    const std::uint32_t n = std::uint32_t(length);
    put(block, &n, 4);
    block.insert(block.end(), record.begin(), record.begin() + std::ptrdiff_t(length));
    SaveLoadSystem system;
    if (!system.BeginLoadPayload(std::move(block), 1, "test"))
        return false;
    const bool ok = system.LoadEntity(&entity);
    system.Finish();
    return ok;
}

Bytes savedRecord(SaveLoadEntity& entity)
{
    const std::string path = test_env::home() + "/record.save";
    SaveLoadSystem system;
    system.BeginSave(path, 4374);
    system.SaveEntity(&entity);
    EXPECT_TRUE(system.Finish());
    const std::string file = test_env::readFile(path);
    Bytes payload(file.begin() + SaveLoadSystem::kHeaderSize, file.end());
    SaveLoadSystem::Scramble(payload.data(), std::uint32_t(payload.size()));
    return Bytes(payload.begin() + std::ptrdiff_t(entity.GetKey().size() + 5), payload.end());
}

template <class Base>
void DialogBench<Base>::SetUp()
{
    snd::test_hooks::setDefaultOutput(snd::kOutputManual);
    aSound::shutdownAudio();
    guitest::GuiBench<Base>::SetUp();
    this->mouse.clientWidth = 1024;
    this->mouse.clientHeight = 768;
    this->gui.reset();
    res = std::make_unique<CResManager>(false);
    takeLog();
}

template <class Base>
void DialogBench<Base>::TearDown()
{
    this->gui.reset();
    res.reset();
    ini.reset();
    guitest::GuiBench<Base>::TearDown();
    aSound::shutdownAudio();
    snd::test_hooks::reset();
}

template <class Base>
void DialogBench<Base>::loadDemoResources()
{
    aFileServer& files = this->app.m_fileServer;
    files.setAssign("gamedata", test_env::sourceDir() + "/data/GameData/");
    for (std::string name : {"Images", "Sounds", "Particles", "Fonts", "Gui"}) {
        const std::string folder = "gamedata:" + name + "/";
        name[0] = char(name[0] - 'A' + 'a');
        files.setAssign(name, folder);
    }
    files.setAssign("language", "gamedata:Language/English/");
    // The lists the game flow loads before the GUI scripts.
    res->GetImageManager()->LoadList("images:Loading/_images.list", "");
    res->GetImageManager()->LoadList("images:_images.list", "");
    res->GetImageManager()->LoadList("images:Menu/_images.list", "Menu");
    res->GetImageManager()->LoadList("images:GamePanel/_images.list", "GamePanel");
    res->GetImageManager()->LoadList("particles:_images.list", "");
    res->GetParticleManager()->LoadList("particles:_particles.list", "");
    res->GetSoundManager()->LoadList("sounds:_sounds.list", "");
    res->GetLocaleServer()->loadFile("language:Text/Main.txt");
}

template <class Base>
void DialogBench<Base>::loadGui(const std::string& path)
{
    this->gui.reset();
    this->gui = std::make_unique<GUI::Server>(res->GetImageManager(), res->GetSoundManager());
    this->gui->load(path);
    this->gui->InitWidgets();
}

template <class Base>
void DialogBench<Base>::loadGuiText(const std::string& script)
{
    test_env::writeFile(test_env::home() + "/test.agui", script);
    loadGui(test_env::home() + "/test.agui");
}

template <class Base>
void DialogBench<Base>::setRestoreTime(float seconds)
{
    const std::string path = test_env::home() + "/Game.ini";
    test_env::writeFile(path, "[Other]\nTimeForRestoreHint = " + std::to_string(seconds) + "\n");
    ini.reset();
    ini = std::make_unique<CGameIni>(path, test_env::home() + "/");
}

template <class Base>
void DialogBench<Base>::draw()
{
    aGraphServer* graph = this->app.m_graphServer;
    ASSERT_TRUE(graph->beginScene());
    this->gui->Render();
    graph->endScene();
}

template <class Base>
void DialogBench<Base>::tick(int frames)
{
    for (int i = 0; i < frames; ++i) {
        this->keys.push(platform::KeyFrame{});
        this->mouse.push(this->m_buttons, this->m_mouseX, this->m_mouseY, 0, 0, 0);
        this->frame(double(this->kDt) * 1000.0);
        if (updateGui)
            this->gui->Update(this->kDt);
        if (onFrame)
            onFrame(this->kDt);
        if (drawFrames)
            draw();
    }
}

template <class Base>
void DialogBench<Base>::click(int x, int y)
{
    this->moveTo(x, y);
    tick();
    this->m_buttons = 1;
    tick();
    this->m_buttons = 0;
    tick();
}

template <class Base>
std::string DialogBench<Base>::takeLog()
{
    std::fflush(g_logFile);
    const std::string all = test_env::readFile(test_env::dataHome() + this->app.m_name + "/a2d.log");
    const std::string out = all.size() > m_logMark ? all.substr(m_logMark) : std::string();
    m_logMark = all.size();
    return out;
}

template class DialogBench<RecordingBase>;
template class DialogBench<GlBase>;

} // namespace dialogtest
