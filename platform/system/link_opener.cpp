#include "platform/system/link_opener.h"

#include <SDL.h>

#include <atomic>
#include <cctype>

#include "platform/system/window.h"

namespace platform {

namespace {

bool startsNoCase(const std::string& text, const char* prefix)
{
    std::size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    return true;
}

class SdlLinkOpener : public LinkOpener {
public:
    LinkResult open(const std::string& link) override
    {
        if (!isWebLink(link))
            return LinkResult::Refused;
        if (!hasDisplay())
            return LinkResult::NoDisplay;
        return SDL_OpenURL(link.c_str()) == 0 ? LinkResult::Opened : LinkResult::Failed;
    }
};

SdlLinkOpener g_sdlOpener;
std::atomic<LinkOpener*> g_opener{nullptr};

} // namespace

bool isWebLink(const std::string& link)
{
    // Blanks and control characters never belong in a link handed to the desktop.
    for (const char c : link)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return false;
    for (const char* scheme : {"http://", "https://"}) {
        const std::string::size_type n = std::char_traits<char>::length(scheme);
        if (link.size() > n && startsNoCase(link, scheme))
            return true;
    }
    return false;
}

LinkOpener& sdlLinkOpener() { return g_sdlOpener; }

LinkOpener& linkOpener()
{
    LinkOpener* o = g_opener.load(std::memory_order_acquire);
    return o ? *o : g_sdlOpener;
}

void setLinkOpener(LinkOpener* opener) { g_opener.store(opener, std::memory_order_release); }

} // namespace platform
