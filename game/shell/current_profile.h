#pragma once
// The record of one player profile, and the game-wide record of the profile
// in use (Get). ProfilesManager copies the selected profile into it and back
// into its list before it writes the list or selects another.
#include <cstdint>
#include <string>

struct CurrentProfile {
    static constexpr const char* kDefaultName = "Player";
    static constexpr float kDefaultSoundVolume = 0.37f;
    static constexpr float kDefaultMusicVolume = 0.27f;
    static constexpr float kDefaultAmbientVolume = 0.35f;
    // Certificate tiers run from 1 (best) to kMaxTier; 0 means none yet.
    static constexpr std::int32_t kMaxTier = 4;
    // storyWon of a record from a list written before the mark was kept:
    // the game derives it from the player's saves once.
    static constexpr std::uint8_t kStoryNotRecorded = 2;
    // Bits of tipsShown: the main menu's first-time tips.
    static constexpr std::uint8_t kTipFindAllOpen = 1;
    static constexpr std::uint8_t kTipMHRibbon = 2;
    static constexpr std::uint8_t kTipFARibbon = 4;

    std::string name = kDefaultName;  // Windows-1251
    std::int32_t mhTier = 0;
    std::int32_t mhCount = 0;
    std::int32_t faTier = 0;
    std::int32_t faCount = 0;
    // 0 while the Find All game is not completed; 1.0 once its certificate was shown.
    float faCompleted = 0.0f;
    float soundVolume = kDefaultSoundVolume;
    float musicVolume = kDefaultMusicVolume;
    float ambientVolume = kDefaultAmbientVolume;
    std::uint8_t showTips = 1;
    std::uint8_t fullscreen = 1;
    // 1 once the story was won (Find All is open from then on), else 0 or
    // kStoryNotRecorded.
    std::uint8_t storyWon = 0;
    // The first-time tips the player has seen (kTip* bits; others kept as read).
    std::uint8_t tipsShown = 0;

    // Record a certificate when none is recorded, when the recorded tier
    // number is higher than the new one, or when the recorded count is
    // higher than the new count. True when the new values were stored.
    bool StoreMHCertificate(std::int32_t tier, std::int32_t count);
    bool StoreFACertificate(std::int32_t tier, std::int32_t count);

    // The profile in use ("Player" with the defaults until one is selected).
    static CurrentProfile& Get();
};
