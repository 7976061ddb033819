#!/usr/bin/env bash
# Damaged saves, where the file system refuses hard links (a preload): a
# sparse Player.save of 1,000,000,000 bytes, over what a save may hold, and
# a Find All save that is a symbolic link to a damaged file elsewhere (on
# another file system where /dev/shm is one). Play starts nothing and says
# where the save went: renamed aside at once, in no room; Find All's "No" to
# starting again does the same for its save's target, beside that target,
# and removes the link; Play then begins a new game, which is saved.
# Usage: damaged_save.sh <replay program> <preload> <recording>
#                        <shot checker> <probe file>
set -u
replay="$1"
shim="$2"
recording="$3"
checker="$4"
probes="$5"
. "$(dirname "$0")/fresh_home.sh"
elsewhere="$home/elsewhere"
if [ -d /dev/shm ] && [ -w /dev/shm ] && [ "$(stat -c %d /dev/shm)" != "$(stat -c %d "$home")" ]; then
  elsewhere=$(mktemp -d /dev/shm/a2d-elsewhere-XXXXXX)
  trap 'rm -rf "$home" "$elsewhere"' EXIT
fi
mkdir -p "$saves" "$elsewhere"
elsewhere=$(realpath "$elsewhere")
# The player list: "Player", who has won the story (Find All is open, its
# tip seen), written as the game writes it: header, one length-prefixed
# record, a CRC-32 at the end (taken from gzip's trailer).
record='Player\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\244\160\275\076\161\075\212\076\063\063\263\076\1\0\1\1'
printf "VRKP\1\0\0\0\1\0\0\0\0\0\0\0\053\0\0\0$record" > "$home/list"
{ cat "$home/list"; gzip -c < "$home/list" | tail -c 8 | head -c 4; } > "$saves/_profiles.dat"
printf 'VRKS damaged' > "$saves/Player.save"
truncate -s 1000000000 "$saves/Player.save"
printf 'VRKS\001\000\001\000damaged Find All' > "$elsewhere/fa.dat"
cp "$elsewhere/fa.dat" "$home/fa.before"
ln -s "$elsewhere/fa.dat" "$saves/Player.saveFA"
fa_inode=$(stat -c %i "$elsewhere/fa.dat")
inode=$(stat -c %i "$saves/Player.save")
blocks=$(stat -c %b "$saves/Player.save")

LD_PRELOAD="$shim" A2D_FAIL_LINK=1 ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" \
  "$replay" --draw-every 8 "$recording"
code=$?
[ "$code" -eq 0 ] || fail "the replay exited with $code, not 0"

grep -q "over 1000000000 bytes\|too large for a save" "$log" || fail "Play did not find the save too large"
grep -q "The player is told: load_unusable_game, load_kept_as, Player.save.bad$" "$log" ||
  fail "the player was not told where the save went"
grep -qF "The player is told: load_unusable_game, load_kept_at_find_all, $elsewhere/fa.dat.bad" "$log" ||
  fail "the player was not told where the Find All save went"
# Renamed, not copied: the same file, no more room.
[ "$(stat -c %i "$saves/Player.save.bad")" = "$inode" ] || fail "Player.save.bad is not the damaged file"
[ "$(stat -c %b "$saves/Player.save.bad")" = "$blocks" ] || fail "setting Player.save aside took room"
[ "$(stat -c %s "$saves/Player.save.bad")" = 1000000000 ] || fail "Player.save.bad is not whole"
# The link was followed: its target is renamed beside itself, not copied,
# nor moved out of its folder; the link is gone.
[ "$(stat -c %i "$elsewhere/fa.dat.bad")" = "$fa_inode" ] || fail "fa.dat.bad is not the Find All save's target"
cmp -s "$elsewhere/fa.dat.bad" "$home/fa.before" || fail "fa.dat.bad does not hold the target's bytes"
[ "$(ls "$elsewhere")" = "fa.dat.bad" ] || fail "the target's folder holds $(ls "$elsewhere")"
[ -e "$saves/Player.saveFA" ] || [ -L "$saves/Player.saveFA" ] && fail "the Find All save's link was left"
ls "$saves" | grep -q saveFA && fail "the saved-games folder holds a Find All save: $(ls "$saves")"
# The new game was written.
grep -q "Load investigation: 1chapter" "$log" || fail "Play did not begin a new game"
size=$(stat -c %s "$saves/Player.save" 2>/dev/null || echo 0)
[ "$size" -gt 24 ] && [ "$size" -lt 1000000 ] || fail "the new game's save was not written ($size bytes)"
grep -q "Cannot write" "$log" && fail "a save was refused"

"$checker" "$probes" "$user/ScreenShots" || fail "the screenshot is not as expected"
echo "ok"
