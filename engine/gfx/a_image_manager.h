#pragma once
// Named images. Image lists hold one entry line per image:
//   <file name with extension> <16-bit format token> <32-bit format token>
// tokens "1555", "4444", "0565", "8888", "0888", "DXT1".."DXT5" (exact).
// An image's key is the file name before its last ".", plus ":" and the
// group when a group is given; keys compare ignoring ASCII case.
#include <map>
#include <string>

#include "engine/gfx/a_image.h"
#include "engine/util/a_base_manager.h"
#include "engine/util/a_string.h"

class aImageManager : public aBaseManager {
public:
    aImageManager();
    ~aImageManager() override;

    bool UnloadFile(const std::string& line, const std::string& group) override;
    // The file part of the line ("door.png" for "door.png 0565 8888");
    // "" (and a log line) when it has no "." or no space after it.
    std::string GetNameFromLine(const std::string& line) override;
    void LoadFile(const std::string& directory, const std::string& line, const std::string& group) override;

    // Null (and a log line) when absent. The pointer stays valid until the
    // image is unloaded or the manager destroyed.
    aImage* GetImage(const std::string& name, const std::string& group = std::string());
    bool HasImage(const std::string& name, const std::string& group = std::string());

    // The format a token names; D3DFMT_UNKNOWN for an unknown token.
    static D3DFORMAT formatFromToken(const std::string& token);
    // name, or name + ":" + group.
    static std::string makeKey(const std::string& name, const std::string& group);

    std::size_t size() const { return m_images.size(); }

private:
    std::map<std::string, aImage, aLessNoCase> m_images;
    std::map<std::string, aImage, aLessNoCase>::iterator m_last;
};
