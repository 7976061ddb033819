// Apart from the window's code: the X headers define names (None, Window,
// Status) that clash with ours.
#include "platform/system/sub_copy.h"

#include <dlfcn.h>
#include <epoxy/gl.h>
#include <epoxy/glx.h>

#include <algorithm>
#include <cstring>

namespace platform {

namespace {

void glxSubCopy(int x, int y, int width, int height)
{
    glXCopySubBufferMESA(glXGetCurrentDisplay(), glXGetCurrentDrawable(), x, y, width, height);
}

// XGetGeometry from the X library SDL loaded (the program does not link it).
using GetGeometry = int (*)(Display*, Drawable, ::Window*, int*, int*, unsigned*, unsigned*, unsigned*, unsigned*);
GetGeometry getGeometry = nullptr;

bool glxDrawableSize(int& width, int& height)
{
    ::Window root = 0;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (!getGeometry(glXGetCurrentDisplay(), glXGetCurrentDrawable(), &root, &x, &y, &w, &h, &border, &depth))
        return false;
    width = int(w);
    height = int(h);
    return true;
}

int glxBufferAge()
{
    unsigned age = 0;
    glXQueryDrawable(glXGetCurrentDisplay(), glXGetCurrentDrawable(), GLX_BACK_BUFFER_AGE_EXT, &age);
    return int(age);
}

// The display of the current GLX context under SDL's X11 driver, where it
// has one (GLX calls go through libGL: only once SDL has loaded it, not
// with EGL).
Display* glxDisplay(const char* videoDriver)
{
    if (!videoDriver || std::strcmp(videoDriver, "x11") != 0)
        return nullptr;
    void* libGl = dlopen("libGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!libGl)
        return nullptr;
    dlclose(libGl);
    Display* display = glXGetCurrentContext() ? glXGetCurrentDisplay() : nullptr;
    return display && glXGetCurrentDrawable() ? display : nullptr;
}

long long areaOf(const CopyBox& b) { return (long long)(b.x1 - b.x0) * (b.y1 - b.y0); }

CopyBox around(const CopyBox& a, const CopyBox& b)
{
    return CopyBox{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

} // namespace

SubCopy findSubCopy(const char* videoDriver)
{
    Display* display = glxDisplay(videoDriver);
    if (!display || !epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_MESA_copy_sub_buffer"))
        return nullptr;
    return &glxSubCopy;
}

DrawableSize findDrawableSize(const char* videoDriver)
{
    if (!glxDisplay(videoDriver))
        return nullptr;
    // SDL keeps the library loaded for as long as its video runs.
    void* libX11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (!libX11)
        return nullptr;
    getGeometry = reinterpret_cast<GetGeometry>(dlsym(libX11, "XGetGeometry"));
    dlclose(libX11);
    return getGeometry ? &glxDrawableSize : nullptr;
}

BufferAge findBufferAge(const char* videoDriver)
{
    Display* display = glxDisplay(videoDriver);
    if (!display || !epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_EXT_buffer_age"))
        return nullptr;
    return &glxBufferAge;
}

std::vector<CopyBox> mergeCopies(std::vector<CopyBox> boxes)
{
    boxes.erase(std::remove_if(boxes.begin(), boxes.end(),
                               [](const CopyBox& b) { return b.x1 <= b.x0 || b.y1 <= b.y0; }),
                boxes.end());
    for (;;) {
        std::size_t bestI = 0, bestJ = 0;
        long long bestExtra = kCopyPixels + 1;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            for (std::size_t j = i + 1; j < boxes.size(); ++j) {
                const long long extra = areaOf(around(boxes[i], boxes[j])) - areaOf(boxes[i]) - areaOf(boxes[j]);
                if (extra < bestExtra) {
                    bestExtra = extra;
                    bestI = i;
                    bestJ = j;
                }
            }
        }
        if (bestExtra > kCopyPixels)
            return boxes;
        boxes[bestI] = around(boxes[bestI], boxes[bestJ]);
        boxes.erase(boxes.begin() + std::ptrdiff_t(bestJ));
    }
}

} // namespace platform
