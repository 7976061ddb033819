#include "game/SpyGame/items/SpyResources.h"

#include "engine/gfx/a_adv_anim_manager.h"
#include "engine/gfx/a_image_manager.h"
#include "engine/gui/gui_server.h"
#include "engine/util/a_locale_server.h"
#include "game/shell/c_particle_manager.h"
#include "game/shell/c_res_manager.h"

CSpyResources CSpyResources::FromGame()
{
    CSpyResources out;
    if (CResManager* res = CResManager::getSingletonPtr()) {
        out.images = res->GetImageManager();
        out.anims = res->GetAdvAnimManager();
        out.particles = res->GetParticleManager();
        out.locale = res->GetLocaleServer();
    }
    out.gui = GUI::Server::getSingletonPtr();
    return out;
}

aImage* CSpyResources::FindImage(const std::string& name, const std::string& group) const
{
    if (!images)
        return nullptr;
    if (!group.empty() && images->HasImage(name, group))
        return images->GetImage(name, group);
    return images->HasImage(name) ? images->GetImage(name) : nullptr;
}

aAdvAnim* CSpyResources::FindAnim(const std::string& name, const std::string& group) const
{
    if (!anims)
        return nullptr;
    if (!group.empty() && anims->HasAnimation(name, group))
        return anims->GetAnimation(name, group);
    return anims->HasAnimation(name) ? anims->GetAnimation(name) : nullptr;
}

const std::wstring* CSpyResources::FindString(const std::string& key, const std::string& group) const
{
    if (!locale)
        return nullptr;
    if (!group.empty())
        if (const std::wstring* text = locale->findString(key, group))
            return text;
    return locale->findString(key);
}

aFont* CSpyResources::GetFont(const std::string& name) const
{
    if (!gui) {
        a_log("CSpyResources. No GUI server for font '%s'", name.c_str());
        return nullptr;
    }
    return gui->GetFont(name);
}

aParticleSystem* CSpyResources::GetParticle(const std::string& name) const
{
    if (!particles) {
        a_log("CSpyResources. No particle manager for '%s'", name.c_str());
        return nullptr;
    }
    return particles->GetParticle(name);
}
