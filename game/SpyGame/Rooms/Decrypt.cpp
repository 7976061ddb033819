#include "game/SpyGame/Rooms/Decrypt.h"

#include <algorithm>
#include <cmath>

#include "engine/gfx/a_font.h"
#include "engine/gfx/a_image.h"
#include "engine/sound/a_sound.h"
#include "engine/sound/a_sound_manager.h"
#include "engine/util/a_input_server.h"
#include "engine/util/a_log.h"
#include "engine/util/a_string.h"
#include "game/SpyGame/Rooms/RoomData.h"
#include "game/SpyGame/Rooms/RoomsManager.h"

namespace {

// "x y w h" (sizes from 1) or "w h" (kept in the rect's width and height).
bool parseNumbers(const std::string& text, std::vector<std::int32_t>& out, std::size_t count)
{
    std::vector<std::string> parts;
    str_split(text, parts, " \t,");
    out.clear();
    for (const std::string& p : parts) {
        std::int32_t v = 0;
        if (p.empty())
            continue;
        if (!room_parseInt(p, v))
            return false;
        out.push_back(v);
    }
    return out.size() == count;
}

std::uint32_t withAlpha(std::uint32_t argb, float alpha)
{
    const float a = float(argb >> 24) * std::clamp(alpha, 0.0f, 1.0f);
    return (std::uint32_t(a + 0.5f) << 24) | (argb & 0xFFFFFF);
}

} // namespace

// ------------------------------------------------------------------ loading

void CDecrypt::LoadSettings(CRoomData& data)
{
    CPuzzleRoom::LoadSettings(data);
    const aOptionsFile& ini = data.GetLocationFile();
    const std::string& file = data.GetLocationFileName();
    const auto bad = [&](const char* key, const std::string& value) {
        a_log("CDecrypt. File '%s' [%s] %s: bad value '%s', the default is kept", file.c_str(), kSection, key,
              value.c_str());
    };
    std::vector<std::int32_t> v;
    for (auto [key, rect] : {std::pair<const char*, aRect*>{"TextRect", &m_textRect}, {"AlphabetRect", &m_alphabetRect}}) {
        const std::string text = ini.getValueDef(kSection, key, "");
        if (text.empty())
            continue;
        if (parseNumbers(text, v, 4) && v[0] >= -32768 && v[0] <= 32767 && v[1] >= -32768 && v[1] <= 32767 &&
            v[2] >= 1 && v[2] <= 65535 && v[3] >= 1 && v[3] <= 65535)
            *rect = aRect(std::int16_t(v[0]), std::int16_t(v[1]), std::uint16_t(v[2]), std::uint16_t(v[3]));
        else
            bad(key, text);
    }
    const std::string tile = ini.getValueDef(kSection, "Tile", "");
    if (!tile.empty()) {
        // Tiny tiles would make a text of thousands of rows.
        if (parseNumbers(tile, v, 2) && v[0] >= 4 && v[0] <= 512 && v[1] >= 4 && v[1] <= 512) {
            m_tileWidth = std::uint16_t(v[0]);
            m_tileHeight = std::uint16_t(v[1]);
        } else {
            bad("Tile", tile);
        }
    }
    m_fontName = ini.getValueDef(kSection, "Font", m_fontName);
    m_helpId = ini.getValueDef(kSection, "Help", "");
    m_solvedHelpId = ini.getValueDef(kSection, "SolvedHelp", "");
    // Under the text unless placed.
    m_helpX = float(m_textRect.x) + float(m_textRect.width) / 2.0f;
    m_helpY = float(m_textRect.y) + float(m_textRect.height) + m_helpHeight;
    const std::string line = ini.getValueDef(kSection, "HelpLine", "");
    if (line.empty())
        return;
    if (parseNumbers(line, v, 3) && v[0] >= -32768 && v[0] <= 32767 && v[1] >= -32768 && v[1] <= 32767 &&
        v[2] >= 4 && v[2] <= 512) {
        m_helpX = float(v[0]);
        m_helpY = float(v[1]);
        m_helpHeight = float(v[2]);
    } else {
        bad("HelpLine", line);
    }
}

void CDecrypt::AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards)
{
    CPuzzleRoom::AfterLoadInit(murderHunt, invCards);
    m_font = m_items->GetResources().GetFont(m_fontName);
}

// ------------------------------------------------------------------ entry

CMurderHunt::Card* CDecrypt::ShownCard() const
{
    CMurderHunt* hunt = m_shown >= 0 ? GetMurderHunt() : nullptr;
    return hunt ? hunt->GetCard(std::size_t(m_shown)) : nullptr;
}

void CDecrypt::Entry(std::uint32_t value)
{
    CPuzzleRoom::Entry(value);
    m_selected = 0;
    m_shown = -1;
    m_cipher = CCipher();
    m_tiles.clear();
    m_keys.clear();
    CMurderHunt* hunt = GetMurderHunt();
    if (hunt) {
        const CMurderHunt::Card* asked = value > 0 ? hunt->GetCard(value - 1) : nullptr;
        if (asked && asked->state != CMurderHunt::NotBegun)
            m_shown = std::int32_t(value - 1);
        else
            m_shown = hunt->GetCurrentCard();
    }
    const CMurderHunt::Card* card = ShownCard();
    if (!card) {
        m_shown = -1;
        a_log("CDecrypt::Entry(). Room '%s': no murder-hunt card to show", m_name.c_str());
        return;
    }
    const CSpyResources& res = m_items->GetResources();
    const std::wstring* text = res.FindString(card->cipher, hunt->GetName());
    if (!text || text->empty())
        a_log("CDecrypt::Entry(). Card [%s]: no text '%s'; the puzzle can only be skipped", card->name.c_str(),
              card->cipher.c_str());
    m_cipher.Build(LoadCipherAlphabet(res, true), text ? *text : std::wstring(), card->seed, card->given);
    if (text && !text->empty() && !m_cipher.IsPlayable())
        a_log("CDecrypt::Entry(). Card [%s]: fewer than two letters to play; the puzzle can only be skipped",
              card->name.c_str());
    Layout();
    // A text whose letters are all revealed is solved as it shows.
    if (card->state == CMurderHunt::Enciphered)
        CheckSolved();
}

void CDecrypt::Layout()
{
    const float tw = m_tileWidth, th = m_tileHeight;
    const float rowHeight = th + std::floor(th / 4.0f);
    const std::size_t perRow = std::max<std::size_t>(1, std::size_t(m_textRect.width / m_tileWidth));
    const float fit = (float(m_textRect.height) - th) / rowHeight;
    const std::size_t maxRows = fit < 0.0f ? 0 : std::size_t(fit) + 1;

    // Rows of characters; words move whole to the next row when they do not
    // fit, and a word longer than a row is cut.
    std::vector<std::wstring> rows(1);
    const std::wstring& text = m_cipher.GetText();
    std::size_t i = 0;
    while (i < text.size()) {
        const wchar_t c = text[i];
        if (c == L'\n') {
            rows.emplace_back();
            ++i;
            continue;
        }
        if (c == L' ' || c == L'\t' || c == L'\r') {
            if (!rows.back().empty() && rows.back().size() < perRow)
                rows.back().push_back(L' ');
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && text[end] != L' ' && text[end] != L'\t' && text[end] != L'\r' &&
               text[end] != L'\n')
            ++end;
        std::wstring word = text.substr(i, end - i);
        i = end;
        if (!rows.back().empty() && rows.back().size() + word.size() > perRow)
            rows.emplace_back();
        while (word.size() > perRow) {
            if (!rows.back().empty())
                rows.emplace_back();
            rows.back() = word.substr(0, perRow);
            word.erase(0, perRow);
            rows.emplace_back();
        }
        rows.back() += word;
    }
    for (std::wstring& row : rows)
        while (!row.empty() && row.back() == L' ')
            row.pop_back();
    while (!rows.empty() && rows.back().empty())
        rows.pop_back();
    if (rows.size() > maxRows) {
        a_log("CDecrypt. Room '%s': the text needs %u rows, TextRect holds %u; the rest is clipped", m_name.c_str(),
              unsigned(rows.size()), unsigned(maxRows));
        rows.resize(maxRows);
    }
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const float left = float(m_textRect.x) + (float(m_textRect.width) - float(rows[r].size()) * tw) / 2.0f;
        for (std::size_t k = 0; k < rows[r].size(); ++k) {
            const wchar_t c = rows[r][k];
            if (c == L' ')
                continue;
            Tile tile;
            tile.ch = c;
            tile.symbol = m_cipher.Encode(c);
            tile.x = std::floor(left) + float(k) * tw;
            tile.y = float(m_textRect.y) + float(r) * rowHeight;
            m_tiles.push_back(tile);
        }
    }

    // The alphabet, in centred rows with a small gap between keys.
    const float gap = std::floor(tw / 8.0f);
    const std::size_t keysPerRow =
        std::max<std::size_t>(1, std::size_t((float(m_alphabetRect.width) + gap) / (tw + gap)));
    const std::wstring& letters = m_cipher.GetAlphabet().GetLetters();
    const std::size_t keyRows = (letters.size() + keysPerRow - 1) / keysPerRow;
    const std::size_t fitRows = std::size_t((float(m_alphabetRect.height) + gap) / (th + gap));
    if (keyRows > fitRows)
        a_log("CDecrypt. Room '%s': the alphabet needs %u rows, AlphabetRect holds %u; the rest is clipped",
              m_name.c_str(), unsigned(keyRows), unsigned(fitRows));
    for (std::size_t r = 0; r < std::min(keyRows, fitRows); ++r) {
        const std::size_t first = r * keysPerRow;
        const std::size_t count = std::min(keysPerRow, letters.size() - first);
        const float width = float(count) * (tw + gap) - gap;
        const float left = std::floor(float(m_alphabetRect.x) + (float(m_alphabetRect.width) - width) / 2.0f);
        for (std::size_t k = 0; k < count; ++k)
            m_keys.push_back({letters[first + k], left + float(k) * (tw + gap), float(m_alphabetRect.y) +
                                                                                     float(r) * (th + gap)});
    }
}

// ------------------------------------------------------------------ state

bool CDecrypt::IsSolved() const
{
    if (const CMurderHunt::Card* card = ShownCard())
        return card->state >= CMurderHunt::Deciphered;
    return m_puzzleComplete != 0;
}

wchar_t CDecrypt::GetGuess(wchar_t symbol) const
{
    if (m_cipher.IsGiven(symbol))
        return m_cipher.Decode(symbol);
    const CMurderHunt::Card* card = ShownCard();
    if (!card)
        return 0;
    const auto it = card->guesses.find(std::uint16_t(m_cipher.GetAlphabet().Letter(symbol)));
    return it == card->guesses.end() ? 0 : wchar_t(it->second);
}

bool CDecrypt::IsLetterUsed(wchar_t letter) const
{
    const wchar_t l = m_cipher.GetAlphabet().Letter(letter);
    if (!l)
        return false;
    for (wchar_t symbol : m_cipher.GetSymbols())
        if (GetGuess(symbol) == l)
            return true;
    return false;
}

void CDecrypt::Assign(wchar_t symbol, wchar_t letter)
{
    CMurderHunt::Card* card = ShownCard();
    if (!card || m_cipher.IsGiven(symbol))
        return;
    // A revealed letter stays with its symbol.
    for (wchar_t given : m_cipher.GetGiven())
        if (m_cipher.Decode(given) == letter)
            return;
    for (auto it = card->guesses.begin(); it != card->guesses.end();)
        it = it->second == letter ? card->guesses.erase(it) : std::next(it);
    card->guesses[std::uint16_t(symbol)] = std::uint16_t(letter);
    CheckSolved();
}

void CDecrypt::Clear(wchar_t symbol)
{
    if (CMurderHunt::Card* card = ShownCard())
        if (!m_cipher.IsGiven(symbol))
            card->guesses.erase(std::uint16_t(symbol));
}

void CDecrypt::CheckSolved()
{
    if (!m_cipher.IsPlayable())
        return;
    for (wchar_t symbol : m_cipher.GetSymbols())
        if (GetGuess(symbol) != m_cipher.Decode(symbol))
            return;
    Finish(false);
    aSoundManager* sounds = m_manager ? m_manager->GetServices().sounds : nullptr;
    if (sounds && sounds->HasSound(kSolveSound, ""))
        sounds->GetSound(kSolveSound, "")->Play(false, false);
}

void CDecrypt::Finish(bool skipped)
{
    m_selected = 0;
    if (CMurderHunt* hunt = ShownCard() ? GetMurderHunt() : nullptr)
        hunt->Decipher(std::size_t(m_shown), skipped);
    CPuzzleRoom::Solve();
}

void CDecrypt::Solve()
{
    if (CMurderHunt::Card* card = ShownCard())
        for (wchar_t symbol : m_cipher.GetSymbols())
            if (!m_cipher.IsGiven(symbol))
                card->guesses[std::uint16_t(symbol)] = std::uint16_t(m_cipher.Decode(symbol));
    Finish(true);
}

// ------------------------------------------------------------------ input

void CDecrypt::GetTileRect(const Tile& tile, float& x, float& y, float& w, float& h) const
{
    x = m_x + tile.x * m_scale;
    y = m_y + tile.y * m_scale;
    w = float(m_tileWidth) * m_scale;
    h = float(m_tileHeight) * m_scale;
}

void CDecrypt::GetKeyRect(const Key& key, float& x, float& y, float& w, float& h) const
{
    x = m_x + key.x * m_scale;
    y = m_y + key.y * m_scale;
    w = float(m_tileWidth) * m_scale;
    h = float(m_tileHeight) * m_scale;
}

const CDecrypt::Tile* CDecrypt::TileAt(float px, float py) const
{
    for (const Tile& tile : m_tiles) {
        float x = 0, y = 0, w = 0, h = 0;
        GetTileRect(tile, x, y, w, h);
        if (tile.symbol && px >= x && py >= y && px < x + w && py < y + h)
            return &tile;
    }
    return nullptr;
}

const CDecrypt::Key* CDecrypt::KeyAt(float px, float py) const
{
    for (const Key& key : m_keys) {
        float x = 0, y = 0, w = 0, h = 0;
        GetKeyRect(key, x, y, w, h);
        if (px >= x && py >= y && px < x + w && py < y + h)
            return &key;
    }
    return nullptr;
}

void CDecrypt::PlayClick()
{
    if (IsSolved() || !m_cipher.IsPlayable())
        return;
    std::int32_t mx = 0, my = 0;
    GetMouse(mx, my);
    if (const Tile* tile = TileAt(float(mx), float(my))) {
        m_selected = tile->symbol;
        return;
    }
    if (const Key* key = KeyAt(float(mx), float(my)))
        if (m_selected)
            Assign(m_selected, key->letter);
}

int CDecrypt::Update(float dt, bool passive)
{
    const int result = CPuzzleRoom::Update(dt, passive);
    const aInputServer* input = m_manager ? m_manager->GetServices().input : nullptr;
    if (passive || !input || input->m_mouseButtons[1] != KEY_PRESSED || m_result != ResultNone ||
        !m_flags[FlagInput] || IsSolved())
        return result;
    std::int32_t mx = 0, my = 0;
    GetMouse(mx, my);
    if (IsPressCovered(mx, my))
        return result;
    if (const Tile* tile = TileAt(float(mx), float(my)))
        Clear(tile->symbol);
    return result;
}

// ------------------------------------------------------------------ drawing

void CDecrypt::DrawLetter(wchar_t letter, float cx, float cy, float height, std::uint32_t ink) const
{
    const float fontHeight = m_font->getFontHeight();
    if (fontHeight <= 0.0f)
        return;
    m_font->setAngle(0.0f);
    m_font->setScale(height / fontHeight);
    m_font->color = withAlpha(ink, m_alpha);
    m_font->drawString(cx, cy, std::wstring(1, letter), FONT_CENTER_X | FONT_CENTER_Y);
}

const std::wstring* CDecrypt::GetHelpLine() const
{
    if (m_tiles.empty() && m_keys.empty())
        return nullptr;
    const std::string& id = IsSolved() ? m_solvedHelpId : m_helpId;
    return id.empty() ? nullptr : m_items->GetResources().FindString(id, std::string());
}

void CDecrypt::Draw() const
{
    CPuzzleRoom::Draw();
    if (m_tiles.empty() && m_keys.empty())
        return;
    if (const std::wstring* help = GetHelpLine(); help && m_font && m_font->getFontHeight() > 0.0f) {
        const float oldScale = m_font->getScale();
        m_font->setAngle(0.0f);
        m_font->setScale(m_helpHeight * m_scale / m_font->getFontHeight());
        m_font->color = withAlpha(kHelpInk, m_alpha);
        m_font->drawString(m_x + m_helpX * m_scale, m_y + m_helpY * m_scale, *help, FONT_CENTER_X | FONT_CENTER_Y);
        m_font->setScale(oldScale);
    }
    const CSpyResources& res = m_items->GetResources();
    const aImage* tileImage = res.FindImage(kTileImage, m_location);
    const aImage* litImage = res.FindImage(kLitTileImage, m_location);
    const aImage* keyImage = res.FindImage(kKeyImage, m_location);
    const float oldScale = m_font ? m_font->getScale() : 1.0f;
    const bool solved = IsSolved();
    const auto stretched = [&](const aImage* image, float x, float y, float w, float h, std::uint32_t color) {
        if (!image || !image->getWidth() || !image->getHeight())
            return;
        const D3DXVECTOR2 scale{w / float(image->getWidth()), h / float(image->getHeight())};
        image->draw(x, y, withAlpha(color, m_alpha), &scale);
    };

    for (const Tile& tile : m_tiles) {
        float x = 0, y = 0, w = 0, h = 0;
        GetTileRect(tile, x, y, w, h);
        const float cx = x + w / 2.0f;
        if (!tile.symbol || solved) {
            // Punctuation, and a solved text, stand as plain writing.
            if (m_font)
                DrawLetter(tile.symbol ? m_cipher.Decode(tile.symbol) : tile.ch, cx, y + h * 0.38f, h * 0.62f,
                           kGuessInk);
            continue;
        }
        stretched(tile.symbol == m_selected && litImage ? litImage : tileImage, x, y, w, h, 0xFFFFFFFF);
        if (!m_font)
            continue;
        if (const wchar_t guess = GetGuess(tile.symbol))
            DrawLetter(guess, cx, y + h * 0.34f, h * 0.55f, m_cipher.IsGiven(tile.symbol) ? kGivenInk : kGuessInk);
        DrawLetter(tile.symbol, cx, y + h * 0.82f, h * 0.28f, kSymbolInk);
    }

    for (const Key& key : m_keys) {
        float x = 0, y = 0, w = 0, h = 0;
        GetKeyRect(key, x, y, w, h);
        // A solved puzzle takes no more letters.
        const bool used = solved || IsLetterUsed(key.letter);
        stretched(keyImage, x, y, w, h, used ? 0x70FFFFFF : 0xFFFFFFFF);
        if (m_font)
            DrawLetter(key.letter, x + w / 2.0f, y + h / 2.0f, h * 0.55f, used ? 0x60382A1C : 0xFF382A1C);
    }
    if (m_font)
        m_font->setScale(oldScale);
}
