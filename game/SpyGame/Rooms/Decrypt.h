#pragma once
// The decrypt puzzle (class "Decrypt"): a murder-hunt card's clue under a
// letter substitution. The text's letters stand as tiles (the cipher symbol
// below, the player's letter above) word-wrapped in TextRect; the alphabet
// stands in AlphabetRect, its letters in use dimmed. A click on a tile
// selects its symbol (all its tiles light up), a click on a letter gives it
// to the selected symbol (taking it from any other), a right click on a
// tile clears its symbol; revealed letters never change. When every symbol
// holds its letter the card is deciphered and the plain text shows.
//
// [Decrypt] of location.ini: TextRect, AlphabetRect (x y w h in room
// pixels), Font (a GUI font), Tile (w h), and the line of help under the
// text: Help and SolvedHelp (string ids: before and once the card is
// deciphered; either may be left out) and HelpLine (x y h: its centre in
// room pixels and its letter height). Pictures of the location's group,
// each optional: "tile", "tile_lit" (a selected symbol's tiles) and "key"
// (an alphabet letter). The player's letters live in the hunt's card, so
// they survive leaving the room and saving. Main thread only.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/util/a_rect.h"
#include "game/SpyGame/Rooms/Cipher.h"
#include "game/SpyGame/Rooms/MurderHunt.h"
#include "game/SpyGame/Rooms/PuzzleRoom.h"

class aFont;

class CDecrypt : public CPuzzleRoom {
public:
    static constexpr const char* kClassName = "Decrypt";
    static constexpr const char* kSection = "Decrypt";
    static constexpr const char* kSolveSound = "solve";
    static constexpr const char* kTileImage = "tile";
    static constexpr const char* kLitTileImage = "tile_lit";
    static constexpr const char* kKeyImage = "key";

    // Inks: the player's letters, revealed letters, cipher symbols.
    static constexpr std::uint32_t kGuessInk = 0xFF1C2C78;
    static constexpr std::uint32_t kGivenInk = 0xFF7A1A14;
    static constexpr std::uint32_t kSymbolInk = 0xFF6B5843;
    static constexpr std::uint32_t kHelpInk = 0xFF6A4A30;

    // A character of the text in its place (room pixels from the room's
    // top-left); symbol 0 for characters outside the alphabet.
    struct Tile {
        wchar_t ch = 0;
        wchar_t symbol = 0;
        float x = 0.0f;
        float y = 0.0f;
    };
    struct Key {
        wchar_t letter = 0;
        float x = 0.0f;
        float y = 0.0f;
    };

    std::string GetClassName() const override { return kClassName; }
    // v = k + 1 shows card k when it has begun, else the hunt's current
    // card; with neither only the scene shows.
    void Entry(std::uint32_t value) override;
    int Update(float dt, bool passive) override;
    void AfterLoadInit(CRoomBase* murderHunt, CRoomBase* invCards) override;
    void Draw() const override;
    // The shown card is deciphered (without one: the room's puzzle flag).
    bool IsSolved() const override;

    // -1 when no card shows.
    std::int32_t GetShownCard() const { return m_shown; }
    const CCipher& GetCipher() const { return m_cipher; }
    wchar_t GetSelected() const { return m_selected; }
    // The letter the symbol shows: revealed, the player's, or 0.
    wchar_t GetGuess(wchar_t symbol) const;
    // Whether a letter of the alphabet is given to some symbol.
    bool IsLetterUsed(wchar_t letter) const;
    const std::vector<Tile>& GetTiles() const { return m_tiles; }
    const std::vector<Key>& GetKeys() const { return m_keys; }
    // Screen rectangles.
    void GetTileRect(const Tile& tile, float& x, float& y, float& w, float& h) const;
    void GetKeyRect(const Key& key, float& x, float& y, float& w, float& h) const;
    const aRect& GetTextRect() const { return m_textRect; }
    // The help line shown now: what to do, or that the card is deciphered;
    // null when there is none.
    const std::wstring* GetHelpLine() const;

protected:
    void LoadSettings(CRoomData& data) override;
    void PlayClick() override;
    // The skip: every letter revealed, the card deciphered by skipping.
    void Solve() override;

private:
    CMurderHunt::Card* ShownCard() const;
    void Layout();
    void Assign(wchar_t symbol, wchar_t letter);
    void Clear(wchar_t symbol);
    // Every symbol holds its letter: the card is deciphered.
    void CheckSolved();
    void Finish(bool skipped);
    const Tile* TileAt(float x, float y) const;
    const Key* KeyAt(float x, float y) const;
    void DrawLetter(wchar_t letter, float cx, float cy, float height, std::uint32_t ink) const;

    aRect m_textRect{60, 120, 725, 300};
    aRect m_alphabetRect{60, 520, 725, 100};
    std::string m_fontName = "text_caption";
    std::uint16_t m_tileWidth = 36;
    std::uint16_t m_tileHeight = 44;
    std::string m_helpId, m_solvedHelpId;
    float m_helpX = 0.0f, m_helpY = 0.0f, m_helpHeight = 18.0f;  // centre and letter height, room pixels
    aFont* m_font = nullptr;  // the GUI server's; it outlives the rooms

    std::int32_t m_shown = -1;
    CCipher m_cipher;
    std::vector<Tile> m_tiles;
    std::vector<Key> m_keys;
    wchar_t m_selected = 0;
};
