#pragma once
// What the player is told when a save or the player list could not be
// written: Main.txt string ids, a heading for each and a reason in plain
// words for each write error.

// The headings.
constexpr const char* kSaveFailedGameText = "save_failed_game";
constexpr const char* kSaveFailedPlayersText = "save_failed_players";
// The reason when the player list on disk could not be read at start-up,
// so this run leaves it alone.
constexpr const char* kSaveErrorListUnreadText = "save_error_list_unread";
// The reason when the save is larger than a save may be.
constexpr const char* kSaveErrorTooLargeText = "save_error_too_large";

// The reason for an errno value of a failed write.
const char* SaveErrorTextId(int error);
