#pragma once
// The recording double of the graphics device: every call is logged with its
// arguments in submission order, and a test can inject the adapter's answers
// (modes, caps, identifier, desktop mode), cooperative-level results and the
// failure of any call. Textures, surfaces and buffers are the real shared
// storage, so locks and pixel reads behave as on the GL device; nothing is
// rasterised (Clear fills the double's back buffer).
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/gfx/d3d8.h"

namespace platform {

struct RecordedCall {
    std::string name;              // "SetRenderState", "Texture.LockRect", "Sprite.Draw", ...
    const void* object = nullptr;  // the texture, buffer or surface concerned, if any
    std::vector<std::int64_t> args;
    std::vector<float> floats;     // viewport depths, sprite scale/centre/angle/translation
    std::vector<TLVertex> vertices;  // what a draw submitted, as given
    std::string text;              // DrawTextA's text
    // "SetRenderState(27, 1)": the name and the integer arguments.
    std::string str() const;
};

class Recorder {
public:
    Recorder();

    std::vector<RecordedCall> calls;
    void clear() { calls.clear(); }
    std::size_t count(const std::string& name) const;
    std::vector<const RecordedCall*> named(const std::string& name) const;
    // The str() of every call, in order.
    std::vector<std::string> strings() const;

    // The next `times` calls of `name` (0 or negative: every call) return `hr`.
    void fail(const std::string& name, HRESULT hr, int times = 1);
    void clearFailures() { m_failures.clear(); }
    // The injected result for one call of `name`, or D3D_OK.
    HRESULT takeFailure(const std::string& name);

    // Adapter answers of the recording Direct3D.
    D3DADAPTER_IDENTIFIER8 identifier;
    D3DDISPLAYMODE desktopMode;
    std::vector<D3DDISPLAYMODE> modes;
    D3DCAPS8 halCaps;
    D3DCAPS8 refCaps;
    std::uint32_t videoMemoryBytes = 64u << 20;
    // The pointer image the device was last given (ARGB rows) and whether it shows.
    std::vector<std::uint32_t> cursorImage;
    int cursorWidth = 0;
    int cursorHeight = 0;
    bool cursorShown = false;
    // TestCooperativeLevel hands these out in order, then D3D_OK.
    std::deque<HRESULT> cooperativeLevels;

private:
    struct Failure {
        HRESULT hr;
        int times;
    };
    std::map<std::string, Failure> m_failures;
};

// A Direct3D whose devices record into `recorder`.
GfxDirect3D* createRecordingDirect3D(std::shared_ptr<Recorder> recorder);
// A DirectDraw that reports the recorder's video memory; GetCaps and
// SetCooperativeLevel can be made to fail.
GfxDirectDraw* createRecordingDirectDraw(std::shared_ptr<Recorder> recorder);

} // namespace platform
