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

long long areaOf(const CopyBox& b) { return (long long)(b.x1 - b.x0) * (b.y1 - b.y0); }

CopyBox around(const CopyBox& a, const CopyBox& b)
{
    return CopyBox{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

} // namespace

SubCopy findSubCopy(const char* videoDriver)
{
    if (!videoDriver || std::strcmp(videoDriver, "x11") != 0)
        return nullptr;
    // GLX calls go through libGL: only once SDL has loaded it (not with EGL).
    void* libGl = dlopen("libGL.so.1", RTLD_LAZY | RTLD_NOLOAD);
    if (!libGl)
        return nullptr;
    dlclose(libGl);
    Display* display = glXGetCurrentContext() ? glXGetCurrentDisplay() : nullptr;
    if (!display || !glXGetCurrentDrawable() ||
        !epoxy_has_glx_extension(display, DefaultScreen(display), "GLX_MESA_copy_sub_buffer"))
        return nullptr;
    return &glxSubCopy;
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
