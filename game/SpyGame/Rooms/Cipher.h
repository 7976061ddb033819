#pragma once
// The letter-substitution cipher of the decrypt puzzle: its alphabet, its
// own random generator and the enciphered text. Main thread only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// The puzzle's letters, in the order and case the data gives them. Letters
// match ignoring case (Latin and Cyrillic).
class CCipherAlphabet {
public:
    static constexpr std::size_t npos = std::size_t(-1);

    // Repeated letters (ignoring case), blanks, control characters and
    // characters beyond 16 bits are dropped; with a source the drops are
    // logged naming it.
    void Assign(const std::wstring& text, const std::string& source);
    const std::wstring& GetLetters() const { return m_letters; }
    std::size_t Size() const { return m_letters.size(); }
    // The index of the letter c matches, or npos.
    std::size_t Find(wchar_t c) const;
    bool Contains(wchar_t c) const { return Find(c) != npos; }
    // c as the alphabet writes it, or 0 when it is no letter of it.
    wchar_t Letter(wchar_t c) const;

    // Lower case for Latin and Cyrillic capitals; other characters as they are.
    static wchar_t Fold(wchar_t c);

private:
    std::wstring m_letters;
    std::unordered_map<wchar_t, std::size_t> m_index;  // folded letter -> index
};

// The engine's generator formula with a state of its own, so that the
// cipher never depends on (or disturbs) the game's random draws.
class CCipherRandom {
public:
    explicit CCipherRandom(std::uint32_t seed) : m_state(seed) {}
    // 0..32767.
    int Next()
    {
        m_state = m_state * 214013u + 2531011u;
        return int((m_state >> 16) & 0x7FFF);
    }

private:
    std::uint32_t m_state;
};

// A plain text under a permutation of the alphabet drawn from a seed.
class CCipher {
public:
    // Given: how many of the text's most frequent letters are revealed
    // (ties: the earlier letter of the alphabet); more than it has: all.
    void Build(const CCipherAlphabet& alphabet, const std::wstring& text, std::uint32_t seed, std::int32_t given);

    // At least two letters and one of them in the text: it can be played.
    bool IsPlayable() const { return m_playable; }
    const CCipherAlphabet& GetAlphabet() const { return m_alphabet; }
    const std::wstring& GetText() const { return m_text; }
    // Per alphabet index, the index of the symbol that stands for it; one
    // cycle through every letter, so no letter stands for itself.
    const std::vector<std::size_t>& GetPermutation() const { return m_permutation; }
    // The symbol for a plain letter, the plain letter of a symbol (both in
    // the alphabet's case); 0 for characters outside the alphabet.
    wchar_t Encode(wchar_t plain) const;
    wchar_t Decode(wchar_t symbol) const;
    // The symbols the text uses, in alphabet order, and those revealed.
    const std::vector<wchar_t>& GetSymbols() const { return m_symbols; }
    bool IsGiven(wchar_t symbol) const;
    const std::vector<wchar_t>& GetGiven() const { return m_given; }

private:
    CCipherAlphabet m_alphabet;
    std::wstring m_text;
    std::vector<std::size_t> m_permutation;
    std::vector<std::size_t> m_inverse;
    std::vector<wchar_t> m_symbols;
    std::vector<wchar_t> m_given;
    bool m_playable = false;
};

struct CSpyResources;

// The Main.txt string of the alphabet.
constexpr const char* kCipherAlphabetKey = "decrypt_alphabet";
// The alphabet of the string table; drops are logged when log is set.
CCipherAlphabet LoadCipherAlphabet(const CSpyResources& res, bool log);
