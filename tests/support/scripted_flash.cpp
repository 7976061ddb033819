#include "support/scripted_flash.h"

#include <cstring>
#include <utility>

namespace scripted_flash {

namespace {

class ScriptedControl final : public platform::FlashControl {
public:
    explicit ScriptedControl(std::shared_ptr<Script> script) : m_script(std::move(script))
    {
        ++m_script->controlsMade;
        ++m_script->controlsAlive;
    }
    ~ScriptedControl() override
    {
        dropSite();
        --m_script->controlsAlive;
    }

    HRESULT SetClientSite(platform::ClientSite* site) override
    {
        count("SetClientSite");
        dropSite();
        m_site = site;
        if (m_site)
            m_site->AddRef();
        return S_OK;
    }
    HRESULT DoVerb(std::int32_t verb, platform::ClientSite* site) override
    {
        count("DoVerb");
        if (verb != platform::OLEIVERB_INPLACEACTIVATE || !site)
            return E_INVALIDARG;
        // Activation asks the site what an in-place windowless host answers.
        void* inPlace = nullptr;
        if (FAILED(site->QueryInterface(platform::InterfaceId::OleInPlaceSiteWindowless, &inPlace)))
            return E_FAIL;
        auto* s = static_cast<platform::InPlaceSiteWindowless*>(inPlace);
        const bool ok = s->CanInPlaceActivate() == S_OK && s->CanWindowlessActivate() == S_OK;
        s->Release();
        if (ok)
            count("Activated");
        return ok ? S_OK : E_FAIL;
    }
    HRESULT Close(std::uint32_t) override
    {
        count("Close");
        dropSite();
        return S_OK;
    }
    HRESULT SetObjectRects(const RECT&, const RECT&) override { return count("SetObjectRects"); }
    HRESULT get_TotalFrames(std::int32_t* frames) override
    {
        count("get_TotalFrames");
        *frames = m_script->totalFrames;
        return S_OK;
    }
    HRESULT put_Loop(bool loop) override
    {
        m_script->loop = loop;
        return count("put_Loop");
    }
    HRESULT put_Movie(const std::string& path) override
    {
        m_script->movies.push_back(path);
        return count("put_Movie");
    }
    HRESULT Play() override
    {
        m_script->playing = true;
        return count("Play");
    }
    HRESULT StopPlay() override
    {
        m_script->playing = false;
        return count("StopPlay");
    }
    HRESULT GotoFrame(std::int32_t frame) override
    {
        m_script->gotoFrames.push_back(frame);
        return count("GotoFrame");
    }
    HRESULT CurrentFrame(std::int32_t* frame) override
    {
        *frame = m_script->currentFrame;
        return count("CurrentFrame");
    }
    HRESULT IsPlaying(bool* playing) override
    {
        *playing = m_script->playing;
        return count("IsPlaying");
    }
    HRESULT put_WMode(const std::string& mode) override
    {
        m_script->wmode = mode;
        return count("put_WMode");
    }
    HRESULT Paint(void* bits, std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel,
                  std::int32_t stride) override
    {
        count("Paint");
        if (!m_script->canPaint)
            return E_NOTIMPL;
        m_script->paints.push_back({width, height, bytesPerPixel, stride});
        const std::int32_t frame = m_script->currentFrame;
        for (std::int32_t y = 0; y < height; ++y) {
            // Rows bottom-up: the top row is the last in memory.
            auto* row = static_cast<std::uint8_t*>(bits) + std::size_t(height - 1 - y) * std::size_t(stride);
            for (std::int32_t x = 0; x < width; ++x) {
                if (bytesPerPixel == 4) {
                    const std::uint32_t v = pattern32(frame, x, y);
                    std::memcpy(row + 4 * x, &v, 4);
                } else {
                    const std::uint16_t v = pattern16(frame, x, y);
                    std::memcpy(row + 2 * x, &v, 2);
                }
            }
        }
        return S_OK;
    }

private:
    HRESULT count(const char* name)
    {
        ++m_script->calls[name];
        return S_OK;
    }
    void dropSite()
    {
        if (m_site)
            m_site->Release();
        m_site = nullptr;
    }

    std::shared_ptr<Script> m_script;
    platform::ClientSite* m_site = nullptr;
};

} // namespace

std::uint32_t pattern32(std::int32_t frame, std::int32_t x, std::int32_t y)
{
    return 0xFF000000u | std::uint32_t(frame & 0xFF) << 16 | std::uint32_t(y & 0xFF) << 8 | std::uint32_t(x & 0xFF);
}

std::uint16_t pattern16(std::int32_t frame, std::int32_t x, std::int32_t y)
{
    return std::uint16_t(0x8000u | std::uint32_t(frame & 31) << 10 | std::uint32_t(y & 31) << 5 |
                         std::uint32_t(x & 31));
}

void install(std::shared_ptr<Script> script)
{
    platform::setFlashControlFactory(
        [script](const platform::FlashLog&) -> std::unique_ptr<platform::FlashControl> {
            if (!script)
                return nullptr;
            return std::make_unique<ScriptedControl>(script);
        });
}

void uninstall() { platform::setFlashControlFactory(nullptr); }

} // namespace scripted_flash
