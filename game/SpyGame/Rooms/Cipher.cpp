#include "game/SpyGame/Rooms/Cipher.h"

#include <algorithm>
#include <numeric>

#include "engine/util/a_log.h"
#include "game/SpyGame/items/SpyResources.h"

// ------------------------------------------------------------------ alphabet

wchar_t CCipherAlphabet::Fold(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return wchar_t(c + (L'a' - L'A'));
    if (c >= 0x0410 && c <= 0x042F)  // А..Я
        return wchar_t(c + 0x20);
    if (c >= 0x0400 && c <= 0x040F)  // Ѐ..Џ, Ё among them
        return wchar_t(c + 0x50);
    return c;
}

void CCipherAlphabet::Assign(const std::wstring& text, const std::string& source)
{
    m_letters.clear();
    m_index.clear();
    std::size_t dropped = 0;
    for (wchar_t c : text) {
        if (c <= L' ' || c == 0x7F || c == 0xA0)
            continue;
        if (std::uint32_t(c) > 0xFFFF || Contains(c)) {
            ++dropped;
            continue;
        }
        m_index.emplace(Fold(c), m_letters.size());
        m_letters.push_back(c);
    }
    if (dropped && !source.empty())
        a_log("CDecrypt. Alphabet '%s': %u repeated or unusable letters dropped", source.c_str(), unsigned(dropped));
}

std::size_t CCipherAlphabet::Find(wchar_t c) const
{
    const auto it = m_index.find(Fold(c));
    return it == m_index.end() ? npos : it->second;
}

wchar_t CCipherAlphabet::Letter(wchar_t c) const
{
    const std::size_t i = Find(c);
    return i == npos ? 0 : m_letters[i];
}

// ------------------------------------------------------------------ cipher

void CCipher::Build(const CCipherAlphabet& alphabet, const std::wstring& text, std::uint32_t seed, std::int32_t given)
{
    m_alphabet = alphabet;
    m_text = text;
    const std::size_t n = alphabet.Size();
    m_permutation.resize(n);
    std::iota(m_permutation.begin(), m_permutation.end(), std::size_t(0));
    // Sattolo's shuffle: each draw lies strictly below i, which makes one
    // cycle of all n letters.
    CCipherRandom random(seed);
    for (std::size_t i = n; i-- > 1;)
        std::swap(m_permutation[i], m_permutation[std::size_t(random.Next()) % i]);
    m_inverse.assign(n, 0);
    for (std::size_t i = 0; i < n; ++i)
        m_inverse[m_permutation[i]] = i;

    std::vector<std::size_t> counts(n, 0);
    for (wchar_t c : text) {
        const std::size_t i = alphabet.Find(c);
        if (i != CCipherAlphabet::npos)
            ++counts[i];
    }
    m_symbols.clear();
    std::vector<std::size_t> used;
    for (std::size_t i = 0; i < n; ++i)
        if (counts[m_inverse[i]])
            m_symbols.push_back(alphabet.GetLetters()[i]);
    for (std::size_t i = 0; i < n; ++i)
        if (counts[i])
            used.push_back(i);
    std::stable_sort(used.begin(), used.end(), [&](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
    m_given.clear();
    const std::size_t reveal = given <= 0 ? 0 : std::min(used.size(), std::size_t(given));
    for (std::size_t k = 0; k < reveal; ++k)
        m_given.push_back(alphabet.GetLetters()[m_permutation[used[k]]]);
    m_playable = n >= 2 && !used.empty();
}

wchar_t CCipher::Encode(wchar_t plain) const
{
    const std::size_t i = m_alphabet.Find(plain);
    return i == CCipherAlphabet::npos ? 0 : m_alphabet.GetLetters()[m_permutation[i]];
}

wchar_t CCipher::Decode(wchar_t symbol) const
{
    const std::size_t i = m_alphabet.Find(symbol);
    return i == CCipherAlphabet::npos ? 0 : m_alphabet.GetLetters()[m_inverse[i]];
}

bool CCipher::IsGiven(wchar_t symbol) const
{
    const wchar_t s = m_alphabet.Letter(symbol);
    return s && std::find(m_given.begin(), m_given.end(), s) != m_given.end();
}

CCipherAlphabet LoadCipherAlphabet(const CSpyResources& res, bool log)
{
    CCipherAlphabet alphabet;
    if (const std::wstring* text = res.FindString(kCipherAlphabetKey, std::string()))
        alphabet.Assign(*text, log ? kCipherAlphabetKey : "");
    else if (log)
        a_log("CDecrypt. No string '%s': the puzzle has no letters", kCipherAlphabetKey);
    return alphabet;
}
