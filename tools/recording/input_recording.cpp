#include "tools/recording/input_recording.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "platform/input/dinput_keys.h"
#include "platform/input/typing.h"

namespace recording {

namespace {

constexpr std::uint32_t kEndOfKeys = 256;
constexpr std::uint32_t kEndOfButtons = 3;
// Key-down records: this plus the key code, the modifier bits as the byte.
constexpr std::uint32_t kPressRecord = 512;
constexpr std::uint8_t kAllModifiers = kShift | kCtrl | kAlt | kCapsLock;
constexpr std::uint8_t kDown = 0x80;
constexpr std::size_t kTypedPerFrame = 32;
// A wait longer than this is a typo, not a plan; so is a whole recording.
constexpr double kLongestSeconds = 3600.0;
constexpr std::size_t kMostFrames = std::size_t(kLongestSeconds * 1000.0 / kFrameMs);

struct KeyEntry {
    const char* name;
    std::uint8_t code;
};
constexpr KeyEntry kKeys[] = {
#define A2D_DIK_ENTRY(name, code) {"DIK_" #name, code},
    A2D_DIK_KEYS(A2D_DIK_ENTRY)
#undef A2D_DIK_ENTRY
};

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool u32(std::uint32_t& v)
    {
        if (m_size - m_pos < 4)
            return false;
        v = std::uint32_t(m_data[m_pos]) | std::uint32_t(m_data[m_pos + 1]) << 8 |
            std::uint32_t(m_data[m_pos + 2]) << 16 | std::uint32_t(m_data[m_pos + 3]) << 24;
        m_pos += 4;
        return true;
    }
    bool i32(std::int32_t& v)
    {
        std::uint32_t u = 0;
        if (!u32(u))
            return false;
        v = std::int32_t(u);
        return true;
    }
    bool u8(std::uint8_t& v)
    {
        if (m_pos >= m_size)
            return false;
        v = m_data[m_pos++];
        return true;
    }
    bool atEnd() const { return m_pos >= m_size; }
    std::size_t pos() const { return m_pos; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int b = 0; b < 4; ++b)
        out.push_back(std::uint8_t(v >> (8 * b)));
}

// Reads change records up to the end marker; false when cut short or out of range.
bool readChanges(Reader& in, std::uint32_t endMark, std::vector<Change>& out, const char* what, std::string& error)
{
    for (;;) {
        std::uint32_t index = 0;
        if (!in.u32(index)) {
            error = std::string("cut short in the ") + what + " records";
            return false;
        }
        if (index == endMark)
            return true;
        if (index > endMark) {
            error = std::string(what) + " record " + std::to_string(index) + " out of range";
            return false;
        }
        Change c;
        c.index = index;
        if (!in.u8(c.value)) {
            error = std::string("cut short in the ") + what + " records";
            return false;
        }
        out.push_back(c);
    }
}

// The key section of a frame: state changes, then key-downs, up to the end mark.
bool readKeys(Reader& in, Frame& f, std::string& error)
{
    for (;;) {
        std::uint32_t index = 0;
        std::uint8_t value = 0;
        if (!in.u32(index)) {
            error = "cut short in the key records";
            return false;
        }
        if (index == kEndOfKeys)
            return true;
        const bool press = index >= kPressRecord && index < kPressRecord + 256;
        const bool typed = index >= kTyped;
        if (index > kEndOfKeys && !press && !typed) {
            error = "key record " + std::to_string(index) + " out of range";
            return false;
        }
        if (!in.u8(value)) {
            error = "cut short in the key records";
            return false;
        }
        if (press && (value & ~kAllModifiers)) {
            error = "key-down record " + std::to_string(index) + ": unknown modifier bits " + std::to_string(value);
            return false;
        }
        if (typed && (value != 0 || !platform::isTypedCharacter(char32_t(index - kTyped)))) {
            error = "typed-character record " + std::to_string(index) + " (" + std::to_string(value) +
                    "): no character that can be typed";
            return false;
        }
        // The order encode() writes, so that a recording reads back byte for byte.
        if (!press && !typed && !f.presses.empty()) {
            error = "key record " + std::to_string(index) + " after the key-down records";
            return false;
        }
        if (press)
            f.presses.push_back(Change{index - kPressRecord, value});
        else if (typed)
            f.presses.push_back(Change{index, 0});
        else
            f.keys.push_back(Change{index, value});
    }
}

struct ModifierName {
    std::uint8_t bit;
    const char* name;
};
constexpr ModifierName kModifierNames[] = {{kShift, "shift"}, {kCtrl, "ctrl"}, {kAlt, "alt"}, {kCapsLock, "caps"}};

std::string hexByte(std::uint8_t v)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02x", v);
    return text;
}

// Whole-token number parsing; false on anything else.
bool parseInt(const std::string& token, long long low, long long high, std::int32_t& out)
{
    if (token.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(token.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high)
        return false;
    out = std::int32_t(v);
    return true;
}

bool parseHexByte(const std::string& token, std::uint8_t& out)
{
    if (token.empty() || token.size() > 2)
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(token.c_str(), &end, 16);
    if (*end != '\0')
        return false;
    out = std::uint8_t(v);
    return true;
}

// "DIK_A+shift+caps" (or a key number) of the text form.
bool parsePress(const std::string& item, std::vector<Change>& out)
{
    std::size_t plus = item.find('+');
    const std::string name = item.substr(0, plus);
    Change c;
    std::uint8_t code = 0;
    std::int32_t number = 0;
    if (keyCode(name, code))
        c.index = code;
    else if (parseInt(name, 0, 255, number))
        c.index = std::uint32_t(number);
    else
        return false;
    while (plus != std::string::npos) {
        const std::size_t next = item.find('+', plus + 1);
        const std::string mod = item.substr(plus + 1, next == std::string::npos ? std::string::npos : next - plus - 1);
        bool known = false;
        for (const ModifierName& m : kModifierNames)
            if (mod == m.name && !(c.value & m.bit)) {
                c.value |= m.bit;
                known = true;
            }
        if (!known)
            return false;
        plus = next;
    }
    out.push_back(c);
    return true;
}

// "U+00E9": a character that can be typed.
bool parseCodePoint(const std::string& token, char32_t& out)
{
    if (token.size() < 3 || token.size() > 8 || token.compare(0, 2, "U+") != 0)
        return false;
    char* end = nullptr;
    const unsigned long v = std::strtoul(token.c_str() + 2, &end, 16);
    if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(token[2])) || v > 0x10FFFF ||
        !platform::isTypedCharacter(char32_t(v)))
        return false;
    out = char32_t(v);
    return true;
}

std::vector<std::string> splitWords(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

// Walks a text a line at a time, skipping blanks and comments.
class Lines {
public:
    Lines(const std::string& text, const std::string& fileName) : m_in(text), m_file(fileName) {}
    bool next(std::vector<std::string>& words)
    {
        std::string line;
        while (std::getline(m_in, line)) {
            ++m_number;
            const std::size_t hash = line.find('#');
            if (hash != std::string::npos)
                line.erase(hash);
            words = splitWords(line);
            if (!words.empty())
                return true;
        }
        return false;
    }
    bool fail(std::string& error, const std::string& message) const
    {
        error = m_file + ":" + std::to_string(m_number) + ": " + message;
        return false;
    }

private:
    std::istringstream m_in;
    std::string m_file;
    int m_number = 0;
};

// Builds frames from script commands, keeping the cursor and the keys held
// between them.
class Builder {
public:
    explicit Builder(Frames& frames) : m_frames(frames) {}

    void frameAt(std::int32_t x, std::int32_t y, std::vector<Change> buttons = {})
    {
        Frame f;
        f.dx = x - m_x;
        f.dy = y - m_y;
        f.x = m_x = x;
        f.y = m_y = y;
        f.buttons = std::move(buttons);
        // As the keyboard reads: held now, or pressed since the last frame.
        for (std::uint32_t k = 0; k < 256; ++k) {
            const std::uint8_t now = (m_held[k] || m_pressed[k]) ? kDown : 0;
            if (now != m_shown[k])
                f.keys.push_back(Change{k, now});
            m_shown[k] = now;
        }
        f.presses = std::move(m_presses);
        m_presses.clear();
        m_pressed.fill(false);
        m_frames.push_back(std::move(f));
    }
    void wait(long frames)
    {
        for (long i = 0; i < frames; ++i)
            frameAt(m_x, m_y);
    }
    // At least one frame; the last one lands exactly on the target.
    void glide(std::int32_t x, std::int32_t y, long frames)
    {
        const std::int32_t x0 = m_x, y0 = m_y;
        if (frames < 1)
            frames = 1;
        for (long i = 1; i <= frames; ++i) {
            const double t = double(i) / double(frames);
            frameAt(std::int32_t(std::lround(x0 + (x - x0) * t)), std::int32_t(std::lround(y0 + (y - y0) * t)));
        }
    }
    void press(std::uint32_t button) { frameAt(m_x, m_y, {{button, kDown}}); }
    void release(std::uint32_t button) { frameAt(m_x, m_y, {{button, 0}}); }
    // A key going down or up within the coming frame.
    void keyDown(std::uint8_t code)
    {
        const auto held = [this](std::uint8_t a, std::uint8_t b) { return m_held[a] || m_held[b]; };
        std::uint8_t mods = 0;
        mods |= held(platform::DIK_LSHIFT, platform::DIK_RSHIFT) ? kShift : 0;
        mods |= held(platform::DIK_LCONTROL, platform::DIK_RCONTROL) ? kCtrl : 0;
        mods |= held(platform::DIK_LMENU, platform::DIK_RMENU) ? kAlt : 0;
        mods |= m_capsLock ? kCapsLock : 0;
        m_presses.push_back(Change{code, mods});
        if (!(mods & (kCtrl | kAlt)))
            if (const char c = platform::usKeyCharacter(code, mods & kShift, mods & kCapsLock))
                m_presses.push_back(Change{kTyped + std::uint32_t(static_cast<unsigned char>(c)), 0});
        if (code == platform::DIK_CAPITAL)
            m_capsLock = !m_capsLock;
        m_held[code] = true;
        m_pressed[code] = true;
    }
    void keyUp(std::uint8_t code) { m_held[code] = false; }
    void key(std::uint8_t code)
    {
        keyDown(code);
        frameAt(m_x, m_y);
        keyUp(code);
        frameAt(m_x, m_y);
    }
    void keysFrame() { frameAt(m_x, m_y); }
    // At most kTypedPerFrame characters a frame: the input server keeps 64
    // key-downs and characters of a frame.
    void typeFrames(const std::u32string& text)
    {
        for (std::size_t at = 0; at < text.size(); at += kTypedPerFrame) {
            for (char32_t c : text.substr(at, kTypedPerFrame))
                m_presses.push_back(Change{kTyped + std::uint32_t(c), 0});
            frameAt(m_x, m_y);
        }
    }

private:
    Frames& m_frames;
    std::int32_t m_x = 0, m_y = 0;
    std::array<bool, 256> m_held{};
    std::array<bool, 256> m_pressed{};    // went down since the last frame
    std::array<std::uint8_t, 256> m_shown{};  // the raw bytes of the last frame
    std::vector<Change> m_presses;
    bool m_capsLock = false;
};

} // namespace

const char* keyName(std::uint32_t code)
{
    for (const KeyEntry& k : kKeys)
        if (k.code == code)
            return k.name;
    return nullptr;
}

bool keyCode(const std::string& name, std::uint8_t& code)
{
    for (const KeyEntry& k : kKeys) {
        if (name == k.name) {
            code = k.code;
            return true;
        }
    }
    return false;
}

bool decode(const std::uint8_t* data, std::size_t size, Frames& frames, std::string& error,
            std::vector<std::size_t>* frameEnds)
{
    frames.clear();
    if (frameEnds)
        frameEnds->clear();
    Reader in(data, size);
    while (!in.atEnd()) {
        Frame f;
        std::string why;
        bool whole = readKeys(in, f, why) && readChanges(in, kEndOfButtons, f.buttons, "button", why);
        if (whole && !(in.i32(f.dx) && in.i32(f.dy) && in.i32(f.dz) && in.i32(f.x) && in.i32(f.y))) {
            why = "cut short in the motion and cursor";
            whole = false;
        }
        if (!whole) {
            error = "frame " + std::to_string(frames.size()) + ": " + why;
            return false;
        }
        frames.push_back(std::move(f));
        if (frameEnds)
            frameEnds->push_back(in.pos());
    }
    return true;
}

std::vector<std::uint8_t> encode(const Frames& frames)
{
    std::vector<std::uint8_t> out;
    for (const Frame& f : frames) {
        for (const Change& c : f.keys) {
            putU32(out, c.index);
            out.push_back(c.value);
        }
        for (const Change& c : f.presses) {
            putU32(out, c.index >= kTyped ? c.index : kPressRecord + c.index);
            out.push_back(c.value);
        }
        putU32(out, kEndOfKeys);
        for (const Change& c : f.buttons) {
            putU32(out, c.index);
            out.push_back(c.value);
        }
        putU32(out, kEndOfButtons);
        for (std::int32_t v : {f.dx, f.dy, f.dz, f.x, f.y})
            putU32(out, std::uint32_t(v));
    }
    return out;
}

std::string dump(const Frames& frames)
{
    std::string out = "# frame, game time, cursor x y; then motion, button and key changes (hex bytes), and\n"
                      "# the keys that went down, with their modifiers, and the characters typed, in order\n";
    char head[64];
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        const unsigned long ms = (unsigned long)(i) * kFrameMs;
        std::snprintf(head, sizeof head, "%lu %lu.%02lus cursor %d %d", (unsigned long)(i), ms / 1000,
                      (ms % 1000) / 10, int(f.x), int(f.y));
        out += head;
        if (f.dx != 0 || f.dy != 0 || f.dz != 0)
            out += " motion " + std::to_string(f.dx) + " " + std::to_string(f.dy) + " " + std::to_string(f.dz);
        for (const Change& c : f.buttons)
            out += " button " + std::to_string(c.index) + "=" + hexByte(c.value);
        for (const Change& c : f.keys) {
            const char* name = keyName(c.index);
            out += " key " + (name ? std::string(name) : std::to_string(c.index)) + "=" + hexByte(c.value);
        }
        for (const Change& c : f.presses) {
            if (c.index >= kTyped) {
                char code[24];
                std::snprintf(code, sizeof code, " type U+%04X", unsigned(c.index - kTyped));
                out += code;
                continue;
            }
            const char* name = keyName(c.index);
            out += " press " + (name ? std::string(name) : std::to_string(c.index));
            for (const ModifierName& m : kModifierNames)
                if (c.value & m.bit)
                    out += std::string("+") + m.name;
        }
        out += '\n';
    }
    return out;
}

bool undump(const std::string& text, const std::string& fileName, Frames& frames, std::string& error)
{
    frames.clear();
    Lines lines(text, fileName);
    std::vector<std::string> w;
    constexpr long long kMin = INT32_MIN, kMax = INT32_MAX;
    while (lines.next(w)) {
        std::int32_t number = -1;
        if (!parseInt(w[0], 0, kMax, number) || std::size_t(number) != frames.size())
            return lines.fail(error, "expected frame " + std::to_string(frames.size()));
        Frame f;
        if (w.size() < 5 || w[2] != "cursor" || !parseInt(w[3], kMin, kMax, f.x) || !parseInt(w[4], kMin, kMax, f.y))
            return lines.fail(error, "expected '<frame> <time> cursor <x> <y>'");
        for (std::size_t i = 5; i < w.size();) {
            const std::string& what = w[i];
            if (what == "motion" && i + 3 < w.size() && parseInt(w[i + 1], kMin, kMax, f.dx) &&
                parseInt(w[i + 2], kMin, kMax, f.dy) && parseInt(w[i + 3], kMin, kMax, f.dz)) {
                i += 4;
                continue;
            }
            if ((what == "button" || what == "key") && i + 1 < w.size()) {
                const std::string& item = w[i + 1];
                const std::size_t eq = item.find('=');
                Change c;
                std::int32_t index = 0;
                std::uint8_t code = 0;
                const std::string name = item.substr(0, eq);
                bool ok = eq != std::string::npos && parseHexByte(item.substr(eq + 1), c.value);
                if (what == "button") {
                    ok = ok && parseInt(name, 0, 2, index);
                    c.index = std::uint32_t(index);
                } else if (ok && keyCode(name, code)) {
                    c.index = code;
                } else {
                    ok = ok && parseInt(name, 0, 255, index);
                    c.index = std::uint32_t(index);
                }
                if (!ok)
                    return lines.fail(error, "bad " + what + " change '" + item + "'");
                (what == "button" ? f.buttons : f.keys).push_back(c);
                i += 2;
                continue;
            }
            if (what == "press" && i + 1 < w.size()) {
                if (!parsePress(w[i + 1], f.presses))
                    return lines.fail(error, "bad key-down '" + w[i + 1] + "'");
                i += 2;
                continue;
            }
            if (what == "type" && i + 1 < w.size()) {
                char32_t c = 0;
                if (!parseCodePoint(w[i + 1], c))
                    return lines.fail(error, "bad typed character '" + w[i + 1] + "' (U+ and hex digits)");
                f.presses.push_back(Change{kTyped + std::uint32_t(c), 0});
                i += 2;
                continue;
            }
            return lines.fail(error, "unexpected '" + what + "'");
        }
        frames.push_back(std::move(f));
    }
    return true;
}

bool compile(const std::string& text, const std::string& fileName, Frames& frames, std::string& error)
{
    frames.clear();
    Builder build(frames);
    Lines lines(text, fileName);
    std::vector<std::string> w;
    // Coordinates stay where the input server's inside test reads them.
    auto coord = [&](const std::string& token, std::int32_t& v) {
        if (parseInt(token, -32768, 32767, v))
            return true;
        lines.fail(error, "bad coordinate '" + token + "'");
        return false;
    };
    auto seconds = [&](const std::string& token, long& framesOut) {
        char* end = nullptr;
        const double s = std::strtod(token.c_str(), &end);
        if (token.empty() || *end != '\0' || !(s >= 0.0 && s <= kLongestSeconds)) {
            lines.fail(error, "bad time '" + token + "' (seconds, 0 to 3600)");
            return false;
        }
        framesOut = std::lround(s * 1000.0 / kFrameMs);
        return true;
    };
    auto usage = [&](const char* form) { return lines.fail(error, std::string("usage: ") + form); };

    while (lines.next(w)) {
        const std::string& cmd = w[0];
        const std::size_t args = w.size() - 1;
        std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
        long n = 0;
        if (cmd == "wait") {
            if (args != 1)
                return usage("wait <s>");
            if (!seconds(w[1], n))
                return false;
            build.wait(n);
        } else if (cmd == "move") {
            if (args != 2 && args != 3)
                return usage("move <x> <y> [<s>]");
            if (!coord(w[1], x) || !coord(w[2], y) || (args == 3 && !seconds(w[3], n)))
                return false;
            build.glide(x, y, n);
        } else if (cmd == "click" || cmd == "rclick") {
            if (args != 2)
                return usage(cmd == "click" ? "click <x> <y>" : "rclick <x> <y>");
            if (!coord(w[1], x) || !coord(w[2], y))
                return false;
            const std::uint32_t button = cmd == "click" ? 0 : 1;
            build.glide(x, y, 1);
            build.press(button);
            build.release(button);
        } else if (cmd == "drag") {
            if (args != 5)
                return usage("drag <x1> <y1> <x2> <y2> <s>");
            if (!coord(w[1], x) || !coord(w[2], y) || !coord(w[3], x2) || !coord(w[4], y2) || !seconds(w[5], n))
                return false;
            build.glide(x, y, 1);
            build.press(0);
            build.glide(x2, y2, n);
            build.release(0);
        } else if (cmd == "key") {
            std::uint8_t code = 0;
            if (args != 1)
                return usage("key <DIK name>");
            if (!keyCode(w[1], code))
                return lines.fail(error, "unknown key '" + w[1] + "' (a DIK name such as DIK_ESCAPE)");
            build.key(code);
        } else if (cmd == "keys") {
            if (args == 0)
                return usage("keys <+NAME|-NAME|NAME> ...");
            for (std::size_t i = 1; i < w.size(); ++i) {
                const std::string& step = w[i];
                const char sign = step[0];
                std::uint8_t code = 0;
                const std::string name = sign == '+' || sign == '-' ? step.substr(1) : step;
                if (!keyCode(name, code))
                    return lines.fail(error, "unknown key '" + name + "' (a DIK name such as DIK_ESCAPE)");
                if (sign != '-')
                    build.keyDown(code);
                if (sign != '+')
                    build.keyUp(code);
            }
            build.keysFrame();
        } else if (cmd == "type") {
            if (args == 0)
                return usage("type <text>");
            std::string text = w[1];
            for (std::size_t i = 2; i < w.size(); ++i)
                text += " " + w[i];
            std::u32string typed;
            const bool utf8 = platform::appendUtf8(text, typed);
            if (!utf8 || std::any_of(typed.begin(), typed.end(), [](char32_t c) { return !platform::isTypedCharacter(c); }))
                return lines.fail(error, "the text holds a character that cannot be typed, or is not UTF-8");
            build.typeFrames(typed);
        } else if (cmd == "shot") {
            if (args != 0)
                return usage("shot");
            build.key(platform::DIK_SYSRQ);
        } else {
            return lines.fail(error, "unknown command '" + cmd + "'");
        }
        if (frames.size() > kMostFrames)
            return lines.fail(error, "the recording passes an hour");
    }
    return true;
}

bool cutBefore(std::string& text, const std::string& marker)
{
    if (marker.empty())
        return false;
    for (std::size_t at = 0; at < text.size();) {
        if (text.compare(at, marker.size(), marker) == 0) {
            text.resize(at);
            return true;
        }
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return false;
}

} // namespace recording
