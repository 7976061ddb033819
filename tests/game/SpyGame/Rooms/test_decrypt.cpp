// The decrypt puzzle and the puzzle shells on the test game: the cipher,
// play by clicks, the skip, the record and a Cyrillic alphabet.
#include <gtest/gtest.h>

#include "engine/util/a_random.h"
#include "special_fixture.h"

using roomtest::SpecialRooms;
using Calls = std::vector<std::string>;

namespace {

class DecryptRoom : public SpecialRooms {
protected:
    void SetUp() override
    {
        SpecialRooms::SetUp();
        if (HasFatalFailure())
            return;
        addBoards();
        loadCase("hunt1");
        startCase("hunt1", false, "Attic");
    }
    const CCipher& cipher() { return decrypt().GetCipher(); }
    void rightClick(const CDecrypt::Tile& tile)
    {
        float x = 0, y = 0, w = 0, h = 0;
        decrypt().GetTileRect(tile, x, y, w, h);
        mouse.push(2, int(x + w / 2), int(y + h / 2));
        frame();
        decrypt().Update(0.02f, false);
        moveTo(0, 0);
    }
    const CDecrypt::Tile& tileOf(wchar_t symbol)
    {
        for (const CDecrypt::Tile& tile : decrypt().GetTiles())
            if (tile.symbol == symbol)
                return tile;
        ADD_FAILURE() << "no tile";
        return decrypt().GetTiles().front();
    }
    void solveByClicks()
    {
        for (wchar_t symbol : cipher().GetSymbols())
            if (!cipher().IsGiven(symbol))
                give(symbol, cipher().Decode(symbol));
    }
};

} // namespace

TEST_F(DecryptRoom, TheSeededCipherRevealedLettersAndPlayByClicks)
{
    a_srand(77);
    const int next = a_rand();
    a_srand(77);
    CDecrypt& d = decrypt();
    d.Entry(0);
    EXPECT_EQ(a_rand(), next);  // the game's generator is not drawn from
    ASSERT_EQ(d.GetShownCard(), 0);
    const CCipher& c = cipher();
    // One cycle through the 26 letters: none stands for itself.
    std::size_t at = 0, length = 0;
    do {
        at = c.GetPermutation()[at];
        ++length;
    } while (at != 0 && length <= 26);
    EXPECT_EQ(length, 26u);
    std::wstring meet;
    for (wchar_t ch : std::wstring(L"MEET"))
        meet += c.Encode(ch);
    EXPECT_EQ(meet, L"LNNZ");  // seed 4711, the same on every run
    // M, E and T come 4 times each: the earliest letter is revealed.
    EXPECT_EQ(c.GetGiven(), std::vector<wchar_t>{c.Encode(L'E')});
    EXPECT_EQ(c.GetSymbols().size(), 8u);
    EXPECT_EQ(d.GetTiles().size(), 20u);
    EXPECT_EQ(d.GetKeys().size(), 26u);
    // The help line says what to do until the card is deciphered.
    ASSERT_TRUE(d.GetHelpLine());
    EXPECT_EQ(*d.GetHelpLine(), L"Give each symbol its letter.");

    const wchar_t m = c.Encode(L'M'), t = c.Encode(L'T'), e = c.Encode(L'E');
    EXPECT_EQ(d.GetGuess(e), L'E');
    give(m, L'T');
    EXPECT_EQ(d.GetSelected(), m);
    EXPECT_EQ(d.GetGuess(m), L'T');
    give(t, L'T');  // the letter moves
    EXPECT_EQ(d.GetGuess(t), L'T');
    EXPECT_EQ(d.GetGuess(m), 0);
    give(m, L'E');  // revealed elsewhere
    give(e, L'X');  // revealed itself
    EXPECT_EQ(d.GetGuess(m), 0);
    EXPECT_EQ(d.GetGuess(e), L'E');
    give(m, L'M');
    EXPECT_TRUE(d.IsLetterUsed(L'M'));
    rightClick(tileOf(m));
    rightClick(tileOf(e));
    EXPECT_EQ(d.GetGuess(m), 0);
    EXPECT_EQ(d.GetGuess(e), L'E');
    EXPECT_FALSE(d.IsSolved());

    ctx.take();
    solveByClicks();
    EXPECT_TRUE(d.IsSolved());
    ASSERT_TRUE(d.GetHelpLine());
    EXPECT_EQ(*d.GetHelpLine(), L"Deciphered.");
    EXPECT_EQ(d.GetPuzzleComplete(), 1);
    EXPECT_EQ(hunt->GetCard(0)->state, CMurderHunt::Deciphered);
    EXPECT_EQ(hunt->PeekCounter(), 0);
    EXPECT_TRUE(item("Attic", "MH_CONTAINER").IsShowingMagicStars());
    EXPECT_EQ(ctx.take(), (Calls{"ShowSkipBonusRound(0)", "StartContinueMagicStars()"}));
    // Solved: input stops and a skip does nothing.
    give(m, L'Z');
    EXPECT_EQ(d.GetGuess(m), L'M');
    d.ClickAtFocusedItem();
    EXPECT_TRUE(ctx.take().empty());
    EXPECT_EQ(hunt->PeekCounter(), 0);
}

TEST_F(DecryptRoom, SkipCountsOnceAndCardsChosenByLeaveValue)
{
    CDecrypt& d = decrypt();
    d.Entry(0);
    ctx.take();
    d.ClickAtFocusedItem();
    d.ClickAtFocusedItem();
    EXPECT_EQ(ctx.take(), (Calls{"ShowSkipBonusRound(0)", "StartContinueMagicStars()"}));
    EXPECT_EQ(hunt->PeekCounter(), 1);
    EXPECT_EQ(hunt->GetCard(0)->state, CMurderHunt::Deciphered);
    for (wchar_t symbol : cipher().GetSymbols())
        EXPECT_EQ(d.GetGuess(symbol), cipher().Decode(symbol));

    // hunt2's text is one letter, all revealed: solved as it shows, no skip
    // counted. v = k + 1 shows a begun card k, else the current card.
    loadCase("hunt2");
    startCase("hunt2", true, "Cellar");
    d.Entry(0);
    EXPECT_EQ(d.GetShownCard(), 1);
    EXPECT_TRUE(d.IsSolved());
    EXPECT_EQ(hunt->PeekCounter(), 1);
    EXPECT_EQ(logged("card [c2] Seed 'many' is no number"), 1u);
    d.Entry(1);
    EXPECT_EQ(d.GetShownCard(), 0);
    d.Entry(3);
    EXPECT_EQ(d.GetShownCard(), 1);
}

TEST_F(DecryptRoom, GuessesSurviveSavingAndACyrillicAlphabetPlays)
{
    CDecrypt& d = decrypt();
    d.Entry(0);
    const wchar_t m = cipher().Encode(L'M'), t = cipher().Encode(L'T');
    give(m, L'M');
    give(t, L'A');
    const std::string path = test_env::home() + "/decrypt.save";
    roomtest::save(rooms, path);
    resetForStart("hunt1", false);
    EXPECT_EQ(d.GetGuess(m), 0);
    ASSERT_TRUE(roomtest::restore(rooms, path));
    d.Entry(0);
    EXPECT_EQ(d.GetGuess(m), L'M');
    EXPECT_EQ(d.GetGuess(t), L'A');

    // Repeated letters drop; lower-case text matches upper-case letters.
    const std::string alphabet = test_env::home() + "/ru_main.txt", texts = test_env::home() + "/ru_hunt.txt";
    test_env::writeFile(alphabet, "decrypt_alphabet = \"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯа\"\n");
    test_env::writeFile(texts, "cipher_c1 = \"Встреча в полночь.\"\n");
    locale.loadFile(alphabet);
    locale.loadFile(texts, "MurderHunt");
    startCase("hunt1", false, "Attic");
    d.Entry(0);
    EXPECT_EQ(logged("1 repeated or unusable letters dropped"), 1u);
    const CCipher& c = cipher();
    EXPECT_EQ(c.GetAlphabet().Size(), 33u);
    EXPECT_EQ(c.GetSymbols().size(), 12u);
    EXPECT_EQ(c.GetGiven(), std::vector<wchar_t>{c.Encode(L'В')});
    EXPECT_EQ(d.GetTiles()[1].ch, L'с');
    EXPECT_EQ(d.GetTiles()[1].symbol, c.Encode(L'С'));
    EXPECT_EQ(c.Decode(d.GetTiles()[1].symbol), L'С');
    solveByClicks();
    EXPECT_EQ(hunt->GetCard(0)->state, CMurderHunt::Deciphered);
    EXPECT_EQ(hunt->PeekCounter(), 0);
}

TEST_F(DecryptRoom, ShellsSolveOnlyWhenSkippedAndPuzzlesDefaultTheirFlags)
{
    CRoomBase& jigsaw = room("Jigsaw");
    EXPECT_EQ(jigsaw.GetClassName(), "Picture");
    // The puzzles' own flags default to on; Jigsaw's data turns Continue off.
    EXPECT_TRUE(jigsaw.AreHintsDisabled() && jigsaw.CanSkipBonusRound() && !jigsaw.HasContinueButton());
    EXPECT_TRUE(decrypt().AreHintsDisabled() && decrypt().CanSkipBonusRound() && decrypt().HasContinueButton());
    ctx.take();
    EXPECT_EQ(click(jigsaw, 50, 50), 9);
    EXPECT_EQ(jigsaw.GetPuzzleComplete(), 0);
    jigsaw.ClickAtFocusedItem();
    jigsaw.ClickAtFocusedItem();
    EXPECT_EQ(jigsaw.GetPuzzleComplete(), 1);
    EXPECT_EQ(ctx.take(), (Calls{"ShowSkipBonusRound(0)", "StartContinueMagicStars()"}));
    for (const char* kind : {"ChoppedMessage", "ClueMatching"})
        EXPECT_EQ(CRoomFactory::Create(kind)->GetClassName(), kind);
}
