#!/usr/bin/env bash
# Unchanged frames skipped against every frame drawn whole: replays a
# recording twice side by side in fresh user folders, once as the game runs
# (frames drawn only where they changed, each such frame checked against a
# whole redraw of it: A2D_CHECK_FRAMES) and once with every frame drawn whole
# (A2D_WHOLE_FRAMES). Both must take the expected number of screenshots,
# byte-identical pair by pair, and the first must have drawn frames in part
# and left frames as they were; each run's check must have dealt with frames
# (compared them, or drawn them whole where they would have been skipped).
# It prints the shares.
# Usage: replay_skip.sh <replay program> <recording> <screenshots expected>
set -u
replay="$1"
recording="$2"
shots="$3"
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

fail() {
  echo "$*"
  for run in skip whole; do
    log=$(find "$top/$run" -name a2d.log 2>/dev/null | head -n 1)
    [ -n "$log" ] && { echo "---- log of the $run run"; cat "$log"; }
  done
  exit 1
}

pids=()
for run in skip whole; do
  home="$top/$run"
  mkdir -p "$home/tmp"
  (
    export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
    export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
    if [ "$run" = skip ]; then export A2D_CHECK_FRAMES=1; else export A2D_WHOLE_FRAMES=1; fi
    exec "$replay" "$recording"
  ) &
  pids+=($!)
done
started=$(date +%s)
for pid in "${pids[@]}"; do
  wait "$pid" || fail "a run exited with $?"
done
echo "replay_skip: both runs ended after $(($(date +%s) - started)) s"

folder=.local/share/Tallowmere/VRK
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
