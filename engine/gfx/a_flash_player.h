#pragma once
// Flash movies inside the game picture: the hosted control paints each new
// frame into a pixel buffer, which is copied into a texture and drawn with
// the graphics server's sprite. Every live player is listed so the
// application can pause and resume them all. Main thread only.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/util/a_rect.h"
#include "platform/gfx/d3d8.h"
#include "platform/gfx/d3dx8.h"
#include "platform/video/flash_control.h"

class aGraphServer;

// The site a control is activated against: windowless, in place, with
// fixed answers. Reference counted from 1; the last Release deletes it.
class aControlSite final : public platform::InPlaceSiteWindowless, public platform::ClientSite {
public:
    aControlSite() = default;
    aControlSite(const aControlSite&) = delete;
    aControlSite& operator=(const aControlSite&) = delete;

    // The site interfaces and the control's event interface give the
    // in-place table, OleClientSite the client table; others E_NOTIMPL.
    HRESULT QueryInterface(platform::InterfaceId id, void** out) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    HRESULT GetWindow(HWND* window) override;
    HRESULT ContextSensitiveHelp(bool enterMode) override;
    HRESULT CanInPlaceActivate() override;
    HRESULT OnInPlaceActivate() override;
    HRESULT OnUIActivate() override;
    HRESULT GetWindowContext(void** frame, void** document, RECT* position, RECT* clip, void* frameInfo) override;
    HRESULT Scroll(std::int32_t cx, std::int32_t cy) override;
    HRESULT OnUIDeactivate(bool undoable) override;
    HRESULT OnInPlaceDeactivate() override;
    HRESULT DiscardUndoState() override;
    HRESULT DeactivateAndUndo() override;
    HRESULT OnPosRectChange(const RECT* position) override;
    HRESULT OnInPlaceActivateEx(bool* noRedraw, std::uint32_t flags) override;
    HRESULT OnInPlaceDeactivateEx(bool noRedraw) override;
    HRESULT RequestUIActivate() override;
    HRESULT CanWindowlessActivate() override;
    HRESULT GetCapture() override;
    HRESULT SetCapture(bool capture) override;
    HRESULT GetFocus() override;
    HRESULT SetFocus(bool focus) override;
    HRESULT GetDC(const RECT* rect, std::uint32_t flags, void** dc) override;
    HRESULT ReleaseDC(void* dc) override;
    HRESULT InvalidateRect(const RECT* rect, bool erase) override;
    HRESULT InvalidateRgn(void* region, bool erase) override;
    HRESULT ScrollRect(std::int32_t dx, std::int32_t dy, const RECT* scroll, const RECT* clip) override;
    HRESULT AdjustRect(RECT* rect) override;
    HRESULT OnDefWindowMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

    HRESULT SaveObject() override;
    HRESULT GetMoniker(std::uint32_t assign, std::uint32_t which, void** moniker) override;
    HRESULT GetContainer(void** container) override;
    HRESULT ShowObject() override;
    HRESULT OnShowWindow(bool show) override;
    HRESULT RequestNewObjectLayout() override;

    std::uint32_t refCount() const { return m_refCount; }

private:
    ~aControlSite() = default;

    std::uint32_t m_refCount = 1;
};

class aFlashPlayer {
public:
    // Takes the application's graphics server (logged when there is none:
    // the player then exists but draws nothing) and activates a control.
    aFlashPlayer();
    ~aFlashPlayer();
    aFlashPlayer(const aFlashPlayer&) = delete;
    aFlashPlayer& operator=(const aFlashPlayer&) = delete;

    // The movie at frame 0 with buffers of width x height. False without a
    // control, for a missing file and for a movie without frames. True
    // also when the buffers failed (logged; nothing is drawn then).
    bool loadMovie(const std::string& path, std::int32_t width, std::int32_t height);
    // Plays and forgets nested pauses.
    void play();
    // Nests: the first pause stops, the last resume plays; a resume with
    // nothing paused does nothing.
    void pause(bool paused);
    bool isPlaying() const;
    void setLoop(bool loop);

    // Paints the control's frame into the texture when it changed, then
    // draws the source rectangle of the texture at (x, y). colour is ARGB
    // times the graphics server's draw colour. scale null: (1, 1). centre
    // in unscaled pixels (null: the middle of the source rectangle). The
    // sprite's result; E_FAIL when there is nothing to draw.
    HRESULT draw(float x, float y, const aRect& source, std::uint32_t color, const D3DXVECTOR2* scale, float angle,
                 const D3DXVECTOR2* center);

    // pause() on every live player.
    static void pauseAll(bool paused);
    static const std::set<aFlashPlayer*>& players() { return livePlayers(); }

    platform::GfxTexture* getTexture() const { return m_texture; }
    std::int32_t getPauseCount() const { return m_pauseCount; }

private:
    static std::set<aFlashPlayer*>& livePlayers();

    void setSize(std::int32_t width, std::int32_t height);
    bool makeBuffers();
    void releaseTexture();
    // The control's current frame into the texture, top row first.
    void renderFrame();

    aGraphServer* m_graphServer = nullptr;
    aControlSite* m_site = nullptr;
    std::unique_ptr<platform::FlashControl> m_control;
    std::vector<std::uint8_t> m_bits;  // the frame, rows bottom-up, m_stride bytes apart
    std::size_t m_stride = 0;
    bool m_use32Bit = false;
    platform::GfxTexture* m_texture = nullptr;
    D3DFORMAT m_textureFormat = D3DFMT_UNKNOWN;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::uint32_t m_textureWidth = 0;
    std::uint32_t m_textureHeight = 0;
    std::int32_t m_pauseCount = 0;
    bool m_movieLoaded = false;
    // The control frame last painted into the texture, per player.
    bool m_painted = false;
    std::int32_t m_lastFrame = 0;
};
