#!/usr/bin/env bash
# A case stopped by SIGTERM, then the game started again, in stages that
# share one user folder. Each stage replays a recording; a stage given a
# screenshot count is stopped once the screenshots taken so far reach it,
# and the game must then save as the in-game menu's "save and exit" does
# before it stops (exit code 4: the recording's long wait was still to play).
# A stage given end=<exit code> runs to its end instead. Screenshots keep
# their numbers across the stages, and every one is checked at its probe
# points at the end.
# Usage: close_saves.sh <replay program> <shot checker> <probe file>
#                       <recording>:<screenshots>|<recording>:end=<exit code>...
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
replay="$1"
checker="$2"
probes="$3"
shift 3
. "$(dirname "$0")/fresh_home.sh"
shots() { ls "$user/ScreenShots" 2>/dev/null | grep -c '\.bmp$' || true; }

for stage in "$@"; do
  recording="${stage%:*}"
  until="${stage##*:}"
  name=$(basename "$recording" .input)
  rm -f "$log"
  "$replay" --draw-every 8 "$recording" &
  pid=$!
  if [ "${until%%=*}" = end ]; then
    code=0
    wait "$pid" || code=$?
    [ "$code" -eq "${until#end=}" ] || fail "$name: the replay exited with $code, not ${until#end=}"
    continue
  fi
  for _ in $(seq 1 3000); do
    [ "$(shots)" -ge "$until" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.2
  done
  if [ "$(shots)" -lt "$until" ]; then
    kill -9 "$pid" 2>/dev/null
    fail "$name: the replay never reached its screenshot $until"
  fi
  # The screenshot is written before the frame ends: the stop comes after it.
  sleep 0.5
  kill -TERM "$pid"
  code=0
  wait "$pid" || code=$?
  [ "$code" -eq 4 ] || fail "$name: the replay exited with $code after SIGTERM, not 4"
  grep -q "CSpyMain. The game stops in play: saved as from the in-game menu" "$log" ||
    fail "$name: nothing was saved at the stop"
  grep -q "a2d Engine stopped" "$log" || fail "$name: no stop banner after SIGTERM"
  [ -f "$saves/Player.save" ] || fail "$name: no Player.save after the stop"
done

"$checker" "$probes" "$user/ScreenShots" || fail "the screenshots are not as the game was left"
echo "ok"
