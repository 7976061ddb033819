#pragma once
// What the player is told when a save or the player list could not be
// written, or a saved game could not be read: Main.txt string ids, a heading
// for each and a reason in plain words for each error.
#include <string>

// The headings.
constexpr const char* kSaveFailedGameText = "save_failed_game";
constexpr const char* kSaveFailedPlayersText = "save_failed_players";
// The reason when the player list on disk could not be read at start-up,
// so this run leaves it alone.
constexpr const char* kSaveErrorListUnreadText = "save_error_list_unread";
// The reason when the save is larger than a save may be.
constexpr const char* kSaveErrorTooLargeText = "save_error_too_large";
// The reason when the save on disk could not be read in this run, so this
// run leaves it alone.
constexpr const char* kSaveErrorLeftUnreadText = "save_error_left_unread";
// The reason when a damaged save could not be set aside.
constexpr const char* kSaveErrorNotSetAsideText = "save_error_not_set_aside";
// The heading when Play finds a save it cannot read now, and the reasons.
constexpr const char* kLoadFailedGameText = "load_failed_game";
// The heading when Play finds a save this game cannot continue (damaged, or
// another version's), and the reason once it is set aside: "%s" is the
// name it was given. When it could not be set aside, SaveErrorTextId says
// why.
constexpr const char* kLoadUnusableGameText = "load_unusable_game";
constexpr const char* kLoadKeptAsText = "load_kept_as";
// The reason for a Find All save set aside: Find All starts anew, not Play.
constexpr const char* kLoadKeptAsFindAllText = "load_kept_as_find_all";
// The same two where the file was kept outside the saved-games folder (the
// save was a link to a file elsewhere): "%s" is then its whole path.
constexpr const char* kLoadKeptAtText = "load_kept_at";
constexpr const char* kLoadKeptAtFindAllText = "load_kept_at_find_all";

// The reason for an errno value of a failed read.
const char* LoadErrorTextId(int error);

// The reason for an errno value of a failed write, or of WriteErrorOf.
const char* SaveErrorTextId(int error);

// A failed write's error as the player is to be told it: where the file is
// a symbolic link into another folder, a folder's refusal or absence is
// that folder's (beside SaveLoadSystem's kLeftUnread and kNotSetAside).
constexpr int kErrorLinkFolderRefused = -3;
constexpr int kErrorLinkFolderMissing = -4;
int WriteErrorOf(const std::string& path, int error);
