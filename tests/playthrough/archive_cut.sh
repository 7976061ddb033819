#!/usr/bin/env bash
# The game's data archive cut short on disk while the game runs. The first
# replay makes a save. The second cuts GameData.zip to half its size when
# the game first opens Player.save (a preload; the menu's look at it): Play
# then reads what is gone, and the game ends with the reinstall message, as
# at a start on damaged data: no crash report, the save byte for byte, no
# copy kept. With the archive whole again, Play goes on with that save.
# Usage: archive_cut.sh <replay program> <open shim> <first recording>
#                       <again recording>
set -u
replay="$1"
shim="$2"
first="$3"
again="$4"
. "$(dirname "$0")/fresh_home.sh"
archive="$(dirname "$replay")/GameData.zip"
run() {
  rm -f "$log"
  "$@" "$replay" --draw-every 8 "$recording"
}

recording="$first" run
[ $? -eq 0 ] || fail "the first replay failed"
[ -f "$saves/Player.save" ] || fail "no Player.save to start from"
cp "$saves/Player.save" "$home/before.save"
cp "$archive" "$home/whole.zip"

recording="$again" run env LD_PRELOAD="$shim" A2D_FAIL_OPEN_NAME=Player.save A2D_CUT_FILE="$archive" \
  ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
code=$?
[ "$(stat -c %s "$archive")" -lt "$(stat -c %s "$home/whole.zip")" ] || fail "the archive was not cut"
[ $code -eq 4 ] || fail "the replay exited with $code, not 4 (the game ends before its recording)"
grep -q "GameData.zip changed on disk while it was open" "$log" || fail "the change was not seen"
grep -q "Error! Game error. Please reinstall." "$log" || fail "no reinstall message"
grep -q "a2d Engine stopped" "$log" || fail "the game did not stop cleanly"
ls "$user" | grep -q '^crash_' && fail "a crash report was written: $(ls "$user")"
cmp -s "$saves/Player.save" "$home/before.save" || fail "Player.save changed"
ls -A "$saves" | grep -q '\.bad' && fail "a copy was kept: $(ls -A "$saves")"

cp "$home/whole.zip" "$archive"
recording="$again" run
[ $? -eq 0 ] || fail "the replay on the whole archive failed"
grep -q "Load investigation: 1chapter" "$log" || fail "Play did not go on with the saved game"
echo "ok"
