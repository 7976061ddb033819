#include "platform/video/flash_control.h"

#include <utility>

namespace platform {

namespace {

class NullFlashControl final : public FlashControl {
public:
    explicit NullFlashControl(FlashLog log) : m_log(std::move(log)) {}

    HRESULT SetClientSite(ClientSite*) override { return S_OK; }
    HRESULT DoVerb(std::int32_t, ClientSite*) override { return S_OK; }
    HRESULT Close(std::uint32_t) override { return S_OK; }
    HRESULT SetObjectRects(const RECT&, const RECT&) override { return S_OK; }

    HRESULT get_TotalFrames(std::int32_t* frames) override
    {
        if (frames)
            *frames = 0;
        return S_OK;
    }
    HRESULT put_Loop(bool) override { return S_OK; }
    HRESULT put_Movie(const std::string& path) override
    {
        if (m_log)
            m_log("Flash movie \"" + path + "\" not loaded: Flash movies are not supported here");
        return S_OK;
    }
    HRESULT Play() override { return S_OK; }
    HRESULT StopPlay() override { return S_OK; }
    HRESULT GotoFrame(std::int32_t) override { return S_OK; }
    HRESULT CurrentFrame(std::int32_t* frame) override
    {
        if (frame)
            *frame = 0;
        return S_OK;
    }
    HRESULT IsPlaying(bool* playing) override
    {
        if (playing)
            *playing = false;
        return S_OK;
    }
    HRESULT put_WMode(const std::string&) override { return S_OK; }
    HRESULT Paint(void*, std::int32_t, std::int32_t, std::int32_t, std::int32_t) override { return E_NOTIMPL; }

private:
    FlashLog m_log;
};

FlashControlFactory& installedFactory()
{
    static FlashControlFactory factory;
    return factory;
}

} // namespace

std::unique_ptr<FlashControl> createNullFlashControl(const FlashLog& log)
{
    return std::make_unique<NullFlashControl>(log);
}

std::unique_ptr<FlashControl> createFlashControl(const FlashLog& log)
{
    const FlashControlFactory& factory = installedFactory();
    return factory ? factory(log) : createNullFlashControl(log);
}

void setFlashControlFactory(FlashControlFactory factory) { installedFactory() = std::move(factory); }

} // namespace platform
