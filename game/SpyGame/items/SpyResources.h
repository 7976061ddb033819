#pragma once
// The named resources scene items and objects draw on. Any pointer may be
// null: lookups through it then find nothing (and say so in the log).
#include <string>

class aAdvAnim;
class aAdvAnimManager;
class aFont;
class aImage;
class aImageManager;
class aLocaleServer;
class aParticleSystem;
class CParticleManager;
namespace GUI {
class Server;
}

struct CSpyResources {
    aImageManager* images = nullptr;
    aAdvAnimManager* anims = nullptr;
    CParticleManager* particles = nullptr;
    aLocaleServer* locale = nullptr;
    GUI::Server* gui = nullptr;

    // The resource manager's and the GUI server's, where they exist.
    static CSpyResources FromGame();

    // Under the group first, then with none; null (no log) when absent.
    aImage* FindImage(const std::string& name, const std::string& group) const;
    aAdvAnim* FindAnim(const std::string& name, const std::string& group) const;
    // The string under the group, then with none; null (no log) when absent.
    const std::wstring* FindString(const std::string& key, const std::string& group) const;
    // Null, and a log line, when absent.
    aFont* GetFont(const std::string& name) const;
    aParticleSystem* GetParticle(const std::string& name) const;
};
