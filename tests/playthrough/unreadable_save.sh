#!/usr/bin/env bash
# A save that cannot be opened is left alone. The first replay makes a save.
# The game then starts twice with the opens of Player.save failing with
# EACCES (a preload): first the menu's look at it and Play's open both fail:
# Play starts nothing, a notice says why, and the save stays byte for byte
# with no copy beside it; then only the menu's look fails: Play goes on with
# the saved game, and saving it again makes no ".bad" copy either.
# Usage: unreadable_save.sh <replay program> <open-failing preload>
#                           <first recording> <refused recording>
#                           <again recording> <shot checker> <probe file>
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
replay="$1"
shim="$2"
first="$3"
refused="$4"
again="$5"
checker="$6"
probes="$7"
. "$(dirname "$0")/fresh_home.sh"
# A replay to its end (Exit), the opens of Player.save failing that often.
run() {
  local recording="$1" failures="$2"
  rm -f "$log"
  local code=0
  if [ "$failures" -gt 0 ]; then
    LD_PRELOAD="$shim" A2D_FAIL_OPEN_NAME=Player.save A2D_FAIL_OPEN_COUNT="$failures" \
      ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0" "$replay" --draw-every 8 "$recording" || code=$?
  else
    "$replay" --draw-every 8 "$recording" || code=$?
  fi
  [ "$code" -eq 0 ] || fail "$(basename "$recording"): the replay exited with $code, not 0"
}
kept() { ls -A "$saves" | grep -c '\.bad' || true; }

run "$first" 0
[ -f "$saves/Player.save" ] || fail "no Player.save to start from"
cp "$saves/Player.save" "$home/before.save"

run "$refused" 2
grep -q "cannot be read (Permission denied); it is left as it is" "$log" || fail "Play's open did not fail"
grep -q "cannot be read now: no game starts" "$log" || fail "Play did not refuse the save it cannot read"
grep -q "The player is told: load_failed_game, load_error_denied" "$log" || fail "the player was not told"
grep -q "Load investigation" "$log" && fail "a game was loaded over the save"
cmp -s "$saves/Player.save" "$home/before.save" || fail "Player.save changed"
[ "$(kept)" -eq 0 ] || fail "a copy was kept: $(ls -A "$saves")"

run "$again" 1
grep -q "Load investigation: 1chapter" "$log" || fail "Play did not go on with the saved game"
cmp -s "$saves/Player.save" "$home/before.save" && fail "the game was not saved again"
[ "$(kept)" -eq 0 ] || fail "the menu's failed look made a copy: $(ls -A "$saves")"

"$checker" "$probes" "$user/ScreenShots" || fail "the screenshots are not as expected"
echo "ok"
