#pragma once
// Input recordings as frames: reading and writing the ".input" layout the
// input server plays back, a text form of it for reading a recording frame
// by frame (and editing it back), and the compiler from a short script of
// moves, clicks and keys.
//
// Script, one command a line (times in seconds, a frame is 10 ms):
//   wait <s>                      the input stays as it is
//   move <x> <y> [<s>]            the cursor jumps there, or glides over s
//   click <x> <y>, rclick <x> <y> moves there, presses, releases
//   drag <x1> <y1> <x2> <y2> <s>  presses at 1, glides to 2 over s, releases
//   key <DIK name>                presses and releases a key (key DIK_ESCAPE)
//   keys <step> ...               one frame of keys in this order: +NAME goes
//                                 down, -NAME goes up, NAME goes down and up
//                                 (keys +DIK_LSHIFT DIK_D -DIK_LSHIFT DIK_E);
//                                 a key that went down and up reads down in
//                                 this frame and up in the next
//   type <text>                   the text typed as an input method hands
//                                 it over, no key pressed, 32 characters a
//                                 frame (the words joined by one blank)
//   shot                          presses and releases Print Screen
// Keys held by "keys" stay down through the commands after it. Each key
// going down is recorded in order with the Shift, Ctrl, Alt and Caps Lock
// of its moment (Caps Lock starts off and toggles as its key goes down),
// followed by the character it types on a US keyboard, if any: none while
// Ctrl or Alt is held.
//   # ...                         a comment; blank lines are skipped
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace recording {

constexpr int kFrameMs = 10;

// A raw device byte that changed this frame (bit 7 = down).
struct Change {
    std::uint32_t index = 0;
    std::uint8_t value = 0;
    bool operator==(const Change& o) const { return index == o.index && value == o.value; }
};

// Modifier bits of a key that went down.
constexpr std::uint8_t kShift = 1, kCtrl = 2, kAlt = 4, kCapsLock = 8;
// A typed character among the key-downs: this plus the character, value 0.
constexpr std::uint32_t kTyped = 0x1000000;

struct Frame {
    std::vector<Change> keys;     // by DirectInput key code
    std::vector<Change> presses;  // keys that went down (value = modifier bits) and characters typed, in order
    std::vector<Change> buttons;  // 0 left, 1 right, 2 middle
    std::int32_t dx = 0, dy = 0, dz = 0;
    std::int32_t x = 0, y = 0;    // cursor in game coordinates
    bool operator==(const Frame& o) const
    {
        return keys == o.keys && presses == o.presses && buttons == o.buttons && dx == o.dx && dy == o.dy && dz == o.dz && x == o.x &&
               y == o.y;
    }
};
using Frames = std::vector<Frame>;

// Reads a recording. On a record out of range or a frame cut short it
// returns false with a message; frames then holds the whole frames before
// it. frameEnds, when given, gets the byte offset where each frame ends.
bool decode(const std::uint8_t* data, std::size_t size, Frames& frames, std::string& error,
            std::vector<std::size_t>* frameEnds = nullptr);
std::vector<std::uint8_t> encode(const Frames& frames);

// One line a frame: number, game time, cursor, then what changed.
std::string dump(const Frames& frames);
// Reads dump() text back. Errors read "file:line: message".
bool undump(const std::string& text, const std::string& fileName, Frames& frames, std::string& error);

// Compiles a script (above). Errors read "file:line: message".
bool compile(const std::string& text, const std::string& fileName, Frames& frames, std::string& error);

// Keeps a script's lines before the first one that begins with marker, so a
// test can replay the start of a longer road; false (text untouched) when no
// line does.
bool cutBefore(std::string& text, const std::string& marker);

// "DIK_ESCAPE" for 0x01; null for a code with no name.
const char* keyName(std::uint32_t code);
// The code of a "DIK_..." name; false when there is none.
bool keyCode(const std::string& name, std::uint8_t& code);

} // namespace recording
