#include "platform/system/message_box.h"

#include <SDL.h>

#include <cstdio>

#include "platform/system/window.h"

namespace platform {

namespace {

SDL_Window* sdlWindowOf(HWND owner)
{
    if (!owner || owner->sdlId() == 0)
        return nullptr;
    return SDL_GetWindowFromID(owner->sdlId());
}

int reportToStderr(const std::string& text, const std::string& caption, bool* shown)
{
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    if (shown)
        *shown = false;
    return IDOK;
}

} // namespace

int showMessageBox(HWND owner, const std::string& text, const std::string& caption, bool isError,
                   bool* shown)
{
    if (!hasDisplay())
        return reportToStderr(text, caption, shown);

    SDL_MessageBoxButtonData button{};
    button.flags = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    button.buttonid = IDOK;
    button.text = "OK";

    SDL_MessageBoxData data{};
    data.flags = isError ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_WARNING;
    data.window = sdlWindowOf(owner);
    data.title = caption.c_str();
    data.message = text.c_str();
    data.numbuttons = 1;
    data.buttons = &button;

    int pressed = 0;
    if (SDL_ShowMessageBox(&data, &pressed) != 0)
        return reportToStderr(text, caption, shown);
    if (shown)
        *shown = true;
    return IDOK;
}

} // namespace platform
