// Apart from the window's code: the X headers define names (None, Window,
// Status) that clash with ours.
#include "platform/system/sub_copy.h"

#include <dlfcn.h>
#include <epoxy/gl.h>
#include <epoxy/glx.h>

#include <cstring>

namespace platform {

namespace {

void glxSubCopy(int x, int y, int width, int height)
{
    glXCopySubBufferMESA(glXGetCurrentDisplay(), glXGetCurrentDrawable(), x, y, width, height);
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

} // namespace platform
