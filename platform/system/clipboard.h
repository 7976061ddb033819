#pragma once
// The system clipboard's text, as UTF-8. SDL's clipboard needs SDL's video
// subsystem (any driver, offscreen included); without it the clipboard
// reads empty and refuses writes. Tests install an in-memory double.
// Main thread only.
#include <string>

namespace platform {

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's contents; false when the clipboard refused.
    virtual bool setText(const std::string& utf8) = 0;
    // Empty when the clipboard holds no text or cannot be read.
    virtual std::string getText() = 0;
};

// SDL's clipboard.
Clipboard& sdlClipboard();
// The clipboard in use: SDL's unless a test installed another (not owned).
Clipboard& clipboard();
void setClipboard(Clipboard* c);

// A clipboard in memory.
class MemoryClipboard : public Clipboard {
public:
    bool setText(const std::string& utf8) override
    {
        ++writes;
        if (refuse)
            return false;
        text = utf8;
        return true;
    }
    std::string getText() override { return text; }

    std::string text;
    bool refuse = false;
    int writes = 0;
};

} // namespace platform
