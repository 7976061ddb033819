#include "engine/gfx/a_flash_player.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "engine/gfx/a_graph_server.h"
#include "engine/gfx/a_media_path.h"
#include "engine/util/a_application.h"
#include "engine/util/a_log.h"

using platform::InterfaceId;

namespace {

// A frame buffer side beyond this is refused before anything is allocated.
constexpr std::int32_t kMaxBufferSide = 16384;

} // namespace

// --- the site ----------------------------------------------------------------

HRESULT aControlSite::QueryInterface(InterfaceId id, void** out)
{
    if (!out)
        return E_INVALIDARG;
    *out = nullptr;
    switch (id) {
    case InterfaceId::Unknown:
    case InterfaceId::OleWindow:
    case InterfaceId::OleInPlaceSite:
    case InterfaceId::OleInPlaceSiteEx:
    case InterfaceId::OleInPlaceSiteWindowless:
    case InterfaceId::FlashEvents:
        *out = static_cast<platform::InPlaceSiteWindowless*>(this);
        break;
    case InterfaceId::OleClientSite:
        *out = static_cast<platform::ClientSite*>(this);
        break;
    default:
        return E_NOTIMPL;
    }
    AddRef();
    return S_OK;
}

std::uint32_t aControlSite::AddRef() { return ++m_refCount; }

std::uint32_t aControlSite::Release()
{
    const std::uint32_t left = --m_refCount;
    if (left == 0)
        delete this;
    return left;
}

HRESULT aControlSite::GetWindow(HWND*) { return E_FAIL; }
HRESULT aControlSite::ContextSensitiveHelp(bool) { return S_OK; }
HRESULT aControlSite::CanInPlaceActivate() { return S_OK; }
HRESULT aControlSite::OnInPlaceActivate() { return S_OK; }
HRESULT aControlSite::OnUIActivate() { return S_OK; }
HRESULT aControlSite::GetWindowContext(void**, void**, RECT*, RECT*, void*) { return S_OK; }
HRESULT aControlSite::Scroll(std::int32_t, std::int32_t) { return S_OK; }
HRESULT aControlSite::OnUIDeactivate(bool) { return S_OK; }
HRESULT aControlSite::OnInPlaceDeactivate() { return S_OK; }
HRESULT aControlSite::DiscardUndoState() { return S_OK; }
HRESULT aControlSite::DeactivateAndUndo() { return S_OK; }
HRESULT aControlSite::OnPosRectChange(const RECT*) { return S_OK; }
HRESULT aControlSite::OnInPlaceActivateEx(bool*, std::uint32_t) { return S_OK; }
HRESULT aControlSite::OnInPlaceDeactivateEx(bool) { return S_OK; }
HRESULT aControlSite::RequestUIActivate() { return S_FALSE; }
HRESULT aControlSite::CanWindowlessActivate() { return S_OK; }
HRESULT aControlSite::GetCapture() { return S_FALSE; }
HRESULT aControlSite::SetCapture(bool) { return S_FALSE; }
HRESULT aControlSite::GetFocus() { return S_OK; }
HRESULT aControlSite::SetFocus(bool) { return S_OK; }
HRESULT aControlSite::GetDC(const RECT*, std::uint32_t, void**) { return E_INVALIDARG; }
HRESULT aControlSite::ReleaseDC(void*) { return E_INVALIDARG; }
HRESULT aControlSite::InvalidateRect(const RECT*, bool) { return S_OK; }
HRESULT aControlSite::InvalidateRgn(void*, bool) { return S_OK; }
HRESULT aControlSite::ScrollRect(std::int32_t, std::int32_t, const RECT*, const RECT*) { return S_OK; }
HRESULT aControlSite::AdjustRect(RECT* rect) { return rect ? S_OK : E_INVALIDARG; }
HRESULT aControlSite::OnDefWindowMessage(std::uint32_t, WPARAM, LPARAM, LRESULT*) { return S_FALSE; }

HRESULT aControlSite::SaveObject() { return S_OK; }

HRESULT aControlSite::GetMoniker(std::uint32_t, std::uint32_t, void** moniker)
{
    if (moniker)
        *moniker = nullptr;
    return E_NOTIMPL;
}

HRESULT aControlSite::GetContainer(void**) { return E_NOINTERFACE; }
HRESULT aControlSite::ShowObject() { return E_NOTIMPL; }
HRESULT aControlSite::OnShowWindow(bool) { return E_NOTIMPL; }
HRESULT aControlSite::RequestNewObjectLayout() { return E_NOTIMPL; }

// --- the player --------------------------------------------------------------

std::set<aFlashPlayer*>& aFlashPlayer::livePlayers()
{
    static std::set<aFlashPlayer*> players;
    return players;
}

aFlashPlayer::aFlashPlayer()
{
    if (!g_application) {
        a_log("aFlashPlayer. Error, aApplication object not created!");
        a_log("aFlashPlayer. Error, aGraphServer object not created!");
    } else {
        m_graphServer = g_application->m_graphServer;
        if (!m_graphServer)
            a_log("aFlashPlayer. Error, aGraphServer object not created!");
    }

    m_site = new aControlSite;
    m_control = platform::createFlashControl([](const std::string& line) { a_logString(line.c_str()); });
    if (m_control) {
        void* client = nullptr;
        m_site->QueryInterface(InterfaceId::OleClientSite, &client);
        auto* clientSite = static_cast<platform::ClientSite*>(client);
        m_control->SetClientSite(clientSite);
        m_control->put_WMode("Transparent");
        m_control->DoVerb(platform::OLEIVERB_INPLACEACTIVATE, clientSite);
        if (clientSite)
            clientSite->Release();
    } else {
        a_log("aFlashPlayer. Error, Flash control not created!");
    }

    livePlayers().insert(this);
    aApplication::s_flashSetPause = &aFlashPlayer::pauseAll;
}

aFlashPlayer::~aFlashPlayer()
{
    if (m_control) {
        m_control->Close(platform::OLECLOSE_NOSAVE);
        m_control.reset();
    }
    m_site->Release();
    m_site = nullptr;
    m_bits = std::vector<std::uint8_t>();
    releaseTexture();
    livePlayers().erase(this);
}

bool aFlashPlayer::loadMovie(const std::string& path, std::int32_t width, std::int32_t height)
{
    m_movieLoaded = false;
    m_painted = false;
    if (!m_control)
        return false;
    const std::string real = media_diskPath(path);
    if (real.empty())
        return false;
    m_control->put_Movie(real);
    std::int32_t frames = 0;
    if (FAILED(m_control->get_TotalFrames(&frames)) || frames <= 0)
        return false;
    m_control->GotoFrame(0);
    setSize(width, height);
    m_movieLoaded = true;
    return true;
}

void aFlashPlayer::setSize(std::int32_t width, std::int32_t height)
{
    m_width = width;
    m_height = height;
    const RECT rect{0, 0, width, height};
    m_control->SetObjectRects(rect, rect);
    makeBuffers();
}

bool aFlashPlayer::makeBuffers()
{
    m_bits = std::vector<std::uint8_t>();
    m_stride = 0;

    m_use32Bit = m_graphServer ? m_graphServer->m_use32Bit : true;
    if (m_graphServer) {
        const D3DFORMAT desktop = m_graphServer->m_desktopMode.Format;
        if (desktop == D3DFMT_R5G6B5 || desktop == D3DFMT_X1R5G5B5 || desktop == D3DFMT_A1R5G5B5)
            m_use32Bit = false;
    }
    const std::size_t bytesPerPixel = m_use32Bit ? 4 : 2;

    bool made = m_width > 0 && m_height > 0 && m_width <= kMaxBufferSide && m_height <= kMaxBufferSide;
    if (made) {
        // Rows keep a 4-byte alignment, as device-independent bitmaps do.
        m_stride = (std::size_t(m_width) * bytesPerPixel + 3) & ~std::size_t(3);
        try {
            m_bits.assign(m_stride * std::size_t(m_height), 0);
        } catch (const std::bad_alloc&) {
            made = false;
        }
    }
    if (!made) {
        a_log("Flashplayer:Failed create bitmap buffer %ix%i", m_width, m_height);
        m_bits = std::vector<std::uint8_t>();
        m_stride = 0;
        // A texture kept from the last movie must not be painted from a buffer that is gone.
        releaseTexture();
        return false;
    }

    const D3DFORMAT format = m_use32Bit ? D3DFMT_A8R8G8B8 : D3DFMT_X1R5G5B5;
    if (m_texture && std::uint32_t(m_width) < m_textureWidth && std::uint32_t(m_height) < m_textureHeight &&
        m_textureFormat == format)
        return true;
    releaseTexture();
    platform::GfxDevice* device = m_graphServer ? m_graphServer->m_device : nullptr;
    if (!device || FAILED(platform::D3DXCreateTexture(device, std::uint32_t(m_width), std::uint32_t(m_height), 1, 0,
                                                      format, D3DPOOL_MANAGED, &m_texture)) ||
        !m_texture) {
        a_log("Flashplayer:Failed create empty texture %ix%i", m_width, m_height);
        releaseTexture();
        return false;
    }
    D3DSURFACE_DESC desc;
    if (FAILED(m_texture->GetLevelDesc(0, &desc))) {
        releaseTexture();
        return false;
    }
    m_textureWidth = desc.Width;
    m_textureHeight = desc.Height;
    m_textureFormat = desc.Format;
    return true;
}

void aFlashPlayer::releaseTexture()
{
    if (m_texture)
        m_texture->Release();
    m_texture = nullptr;
    m_textureWidth = m_textureHeight = 0;
    m_textureFormat = D3DFMT_UNKNOWN;
}

void aFlashPlayer::play()
{
    if (m_control)
        m_control->Play();
    m_pauseCount = 0;
}

void aFlashPlayer::pause(bool paused)
{
    if (paused) {
        if (++m_pauseCount == 1 && m_control)
            m_control->StopPlay();
    } else if (m_pauseCount >= 1) {
        if (--m_pauseCount == 0 && m_control)
            m_control->Play();
    }
}

bool aFlashPlayer::isPlaying() const
{
    bool playing = false;
    return m_control && SUCCEEDED(m_control->IsPlaying(&playing)) && playing;
}

void aFlashPlayer::setLoop(bool loop)
{
    if (m_control)
        m_control->put_Loop(loop);
}

void aFlashPlayer::pauseAll(bool paused)
{
    for (aFlashPlayer* player : livePlayers())
        player->pause(paused);
}

void aFlashPlayer::renderFrame()
{
    const std::size_t bytesPerPixel = m_use32Bit ? 4 : 2;
    std::fill(m_bits.begin(), m_bits.end(), std::uint8_t(0));
    if (FAILED(m_control->Paint(m_bits.data(), m_width, m_height, std::int32_t(bytesPerPixel),
                                std::int32_t(m_stride))))
        return;
    D3DLOCKED_RECT locked;
    const RECT area{0, 0, m_width, m_height};
    if (FAILED(m_texture->LockRect(0, &locked, &area, 0)))
        return;
    const std::size_t rowBytes = std::size_t(m_width) * bytesPerPixel;
    for (std::int32_t y = 0; y < m_height; ++y)
        std::memcpy(static_cast<std::uint8_t*>(locked.pBits) + std::ptrdiff_t(y) * locked.Pitch,
                    m_bits.data() + std::size_t(m_height - 1 - y) * m_stride, rowBytes);
    m_texture->UnlockRect(0);
}

HRESULT aFlashPlayer::draw(float x, float y, const aRect& source, std::uint32_t color, const D3DXVECTOR2* scale,
                           float angle, const D3DXVECTOR2* center)
{
    if (!m_control || !m_movieLoaded || !m_texture || m_bits.empty() || !m_graphServer || !m_graphServer->m_sprite)
        return E_FAIL;

    std::int32_t frame = 0;
    if (SUCCEEDED(m_control->CurrentFrame(&frame)) && (!m_painted || frame != m_lastFrame)) {
        m_painted = true;
        m_lastFrame = frame;
        renderFrame();
    }

    const std::int32_t* dc = m_graphServer->m_drawColor;
    const std::uint32_t a = ((color >> 24) & 0xFF) * std::uint32_t(dc[0]) / 255;
    const std::uint32_t r = ((color >> 16) & 0xFF) * std::uint32_t(dc[1]) / 255;
    const std::uint32_t g = ((color >> 8) & 0xFF) * std::uint32_t(dc[2]) / 255;
    const std::uint32_t b = (color & 0xFF) * std::uint32_t(dc[3]) / 255;
    const std::uint32_t modulated = (a & 0xFF) << 24 | (r & 0xFF) << 16 | (g & 0xFF) << 8 | (b & 0xFF);

    const D3DXVECTOR2 sc = scale ? *scale : D3DXVECTOR2{1.0f, 1.0f};
    const D3DXVECTOR2 pivot = center ? D3DXVECTOR2{center->x * sc.x, center->y * sc.y}
                                     : D3DXVECTOR2{float(source.width) * 0.5f * sc.x, float(source.height) * 0.5f * sc.y};
    const RECT src{source.x, source.y, source.right(), source.bottom()};
    const D3DXVECTOR2 translation{x, y};
    return m_graphServer->m_sprite->Draw(m_texture, &src, &sc, &pivot, angle, &translation, modulated);
}
