#!/usr/bin/env bash
# Unchanged frames skipped against every frame drawn whole: replays a
# recording twice side by side in fresh user folders, once as the game runs
# (frames drawn only where they changed, each such frame checked against a
# whole redraw of it: A2D_CHECK_FRAMES) and once with every frame drawn whole
# (A2D_WHOLE_FRAMES). Both must take the expected number of screenshots,
# byte-identical pair by pair, and the first must have drawn frames in part
# and left frames as they were; each run's check must have dealt with frames
# (compared them, or drawn them whole where they would have been skipped).
# It prints the shares. A failure names the run (skip or whole) and shows
# where the two logs first part.
# Usage: replay_skip.sh <replay program> <recording> <screenshots expected>
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
replay="$1"
recording="$2"
shots="$3"
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

folder=.local/share/Tallowmere/VRK
runs=(skip whole)

fail() {
  echo "replay_skip: $*"
  local logs=() run
  for run in "${runs[@]}"; do
    logs+=("$run" "$top/$run/$folder/a2d.log" "$top/$run")
  done
  "$(dirname "$0")/log_difference.sh" "${logs[@]}" || true
  for run in "${runs[@]}"; do
    [ -f "$top/$run/$folder/a2d.log" ] || continue
    echo "---- the last lines of the $run run's log"
    tail -n 8 "$top/$run/$folder/a2d.log"
  done
  exit 1
}

pids=()
for run in "${runs[@]}"; do
  home="$top/$run"
  mkdir -p "$home/tmp"
  (
    export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
    export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
    # Both switches, so that one from the caller cannot take the other's place.
    if [ "$run" = skip ]; then
      export A2D_CHECK_FRAMES=1 A2D_WHOLE_FRAMES=0
    else
      export A2D_WHOLE_FRAMES=1 A2D_CHECK_FRAMES=0
    fi
    exec "$replay" "$recording"
  ) &
  pids+=($!)
done
started=$(date +%s)
failed=""
for i in 0 1; do
  code=0
  wait "${pids[$i]}" || code=$?
  [ "$code" -eq 0 ] || failed="${failed:+$failed; }the ${runs[$i]} run exited with $code"
done
echo "replay_skip: both runs ended after $(($(date +%s) - started)) s"
[ -z "$failed" ] || fail "$failed"

log="$top/skip/$folder/a2d.log"
wholeLog="$top/whole/$folder/a2d.log"
! grep -q "Frame check:" "$log" || fail "frames drawn in part or skipped differ from a whole redraw"
grep -q "Frames compared with a whole redraw [1-9]" "$log" || fail "no frame was compared with a whole redraw"
grep -q "drawn whole for comparison [1-9]" "$wholeLog" ||
  fail "A2D_WHOLE_FRAMES drew no frame whole that would have been drawn in part or left as it was"
count=0
for shot in "$top/whole/$folder/ScreenShots"/*.bmp; do
  [ -f "$shot" ] || continue
  count=$((count + 1))
  cmp -s "$shot" "$top/skip/$folder/ScreenShots/$(basename "$shot")" || fail "$(basename "$shot") differs"
done
[ "$count" -eq "$shots" ] || fail "$count screenshots, $shots expected"
[ "$(ls "$top/skip/$folder/ScreenShots" | wc -l)" -eq "$shots" ] || fail "the runs took other screenshots"

read -r whole part none < <(sed -n 's/.*Frames drawn whole \([0-9]*\), in part \([0-9]*\), not at all \([0-9]*\).*/\1 \2 \3/p' "$log")
[ -n "${none:-}" ] || fail "no frame count in the log"
[ "$part" -gt 0 ] && [ "$none" -gt 0 ] || fail "no frame was drawn in part or left as it was"
grep -q "Frames drawn whole [0-9]*, in part 0, not at all 0" "$wholeLog" || fail "frames were skipped with A2D_WHOLE_FRAMES"
total=$((whole + part + none))
awk -v w="$whole" -v p="$part" -v n="$none" -v t="$total" 'BEGIN {
  printf "ok: %d screenshots identical; of %d frames %.1f%% drawn whole, %.1f%% in part, %.1f%% not at all\n",
         '"$count"', t, 100 * w / t, 100 * p / t, 100 * n / t }'
