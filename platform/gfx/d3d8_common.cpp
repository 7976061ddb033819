#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/gfx/d3d8.h"

namespace platform {

namespace {

std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

GfxLogSink& sink()
{
    static GfxLogSink s;
    return s;
}

} // namespace

const char* dxErrorName(HRESULT hr)
{
    switch (hr) {
    case D3D_OK: return "D3D_OK";
    case S_FALSE: return "S_FALSE";
    case E_FAIL: return "E_FAIL";
    case E_NOTIMPL: return "E_NOTIMPL";
    case E_OUTOFMEMORY: return "E_OUTOFMEMORY";
    case D3DERR_DRIVERINTERNALERROR: return "D3DERR_DRIVERINTERNALERROR";
    case D3DERR_DEVICELOST: return "D3DERR_DEVICELOST";
    case D3DERR_DEVICENOTRESET: return "D3DERR_DEVICENOTRESET";
    case D3DERR_NOTAVAILABLE: return "D3DERR_NOTAVAILABLE";
    case D3DERR_INVALIDCALL: return "D3DERR_INVALIDCALL";
    case D3DERR_OUTOFVIDEOMEMORY: return "D3DERR_OUTOFVIDEOMEMORY";
    case D3DXERR_INVALIDDATA: return "D3DXERR_INVALIDDATA";
    default: return "Unknown error";
    }
}

void setGfxLogSink(GfxLogSink s)
{
    std::lock_guard<std::mutex> lock(sinkMutex());
    sink() = std::move(s);
}

void gfxLog(const char* format, ...)
{
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    std::lock_guard<std::mutex> lock(sinkMutex());
    if (sink())
        sink()(buffer);
    else
        std::fprintf(stderr, "%s\n", buffer);
}

std::uint32_t GfxObject::Release()
{
    const std::uint32_t left = --m_refs;
    if (left == 0)
        delete this;
    return left;
}

} // namespace platform
