#!/usr/bin/env bash
# A case stopped by SIGTERM in play, then the game started again. The first
# replay plays into the study, finds three objects and waits; once its
# screenshot is saved the test sends SIGTERM, and the game saves as the
# in-game menu's "save and exit" does before it stops. The second replay,
# in the same user folder, presses Play: the study comes back with the three
# objects found (its screenshot's probe points).
# Usage: close_saves.sh <replay program> <first recording> <second recording>
#                       <shot checker> <probe file>
set -u
replay="$1"
first="$2"
second="$3"
checker="$4"
probes="$5"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
mkdir -p "$TMPDIR"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
user="$XDG_DATA_HOME/Tallowmere/VRK"
log="$user/a2d.log"

fail() {
  echo "$*"
  [ -f "$log" ] && cat "$log"
  exit 1
}

"$replay" --draw-every 8 "$first" &
pid=$!
for _ in $(seq 1 1500); do
  grep -q "Screenshot saved" "$log" 2>/dev/null && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
if ! grep -q "Screenshot saved" "$log" 2>/dev/null; then
  kill -9 "$pid" 2>/dev/null
  fail "the first replay never reached its screenshot"
fi
kill -TERM "$pid"
wait "$pid"
code=$?
# 4: the game quit with the recording's long wait still to play.
[ "$code" -eq 4 ] || fail "the first replay exited with $code after SIGTERM, not 4"
grep -q "The game stops in play: saved as from the in-game menu" "$log" || fail "nothing was saved at the stop"
grep -q "a2d Engine stopped" "$log" || fail "no stop banner after SIGTERM"

rm -rf "$user/ScreenShots"
"$replay" --draw-every 8 "$second"
code=$?
[ "$code" -eq 3 ] || fail "the second replay exited with $code, not 3"
grep -q "Load investigation: 1chapter" "$log" || fail "Play did not load the case"
"$checker" "$probes" "$user/ScreenShots" 1 || fail "the study is not as it was left"
echo "ok"
