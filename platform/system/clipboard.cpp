#include "platform/system/clipboard.h"

#include <SDL.h>

#include <atomic>

namespace platform {

namespace {

class SdlClipboard : public Clipboard {
public:
    bool setText(const std::string& utf8) override
    {
        return SDL_WasInit(SDL_INIT_VIDEO) && SDL_SetClipboardText(utf8.c_str()) == 0;
    }

    std::string getText() override
    {
        if (!SDL_WasInit(SDL_INIT_VIDEO))
            return std::string();
        char* text = SDL_GetClipboardText();
        std::string out = text ? text : "";
        SDL_free(text);
        return out;
    }
};

SdlClipboard g_sdlClipboard;
std::atomic<Clipboard*> g_clipboard{nullptr};

} // namespace

Clipboard& sdlClipboard() { return g_sdlClipboard; }

Clipboard& clipboard()
{
    Clipboard* c = g_clipboard.load(std::memory_order_acquire);
    return c ? *c : g_sdlClipboard;
}

void setClipboard(Clipboard* c) { g_clipboard.store(c, std::memory_order_release); }

} // namespace platform
