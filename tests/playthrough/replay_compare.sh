#!/usr/bin/env bash
# The determinism check: replays a recording three times side by side, each
# in a fresh user folder as run_replay.sh does, and compares what the runs
# left: every save and every screenshot must be byte-identical (the log,
# with its wall-clock banners, and the lock file are left out).
#   whole: every 4th frame and those that take a screenshot drawn whole
#          (A2D_WHOLE_FRAMES): drawing all of them whole made the check
#          four times as long, and the shots run shows the state does not
#          depend on which frames are drawn;
#   skip:  every frame drawn where it differs from the one on screen, as the
#          game draws;
#   shots: only the frames that take a screenshot drawn.
# So skipping what did not change gives the pixels of a whole redraw, and the
# game's state does not depend on which frames are drawn.
# Usage: replay_compare.sh <replay program> <recording>
set -u
replay="$1"
recording="$2"
runs=(whole skip shots)
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

fail() {
  echo "$*"
  for run in "${runs[@]}"; do
    log=$(find "$top/$run" -name a2d.log 2>/dev/null | head -n 1)
    [ -n "$log" ] && { echo "---- log of the $run run"; cat "$log"; }
  done
  exit 1
}

# The stepped clock makes the runs' pace irrelevant.
declare -A pids
for run in "${runs[@]}"; do
  home="$top/$run"
  mkdir -p "$home/tmp"
  (
    export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
    export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$home/tmp/audio.raw"
    case "$run" in
      whole) A2D_WHOLE_FRAMES=1 exec "$replay" --draw-every 4 "$recording" ;;
      skip) exec "$replay" "$recording" ;;
      shots) exec "$replay" --draw-every 1000000 "$recording" ;;
    esac
  ) &
  pids[$run]=$!
done
started=$(date +%s)
for run in "${runs[@]}"; do
  wait "${pids[$run]}"
  code=$?
  [ "$code" -eq 0 ] || fail "the $run run exited with $code"
  # What the game wrote, by path under the user folder.
  (cd "$top/$run" && find . -path ./tmp -prune -o -type f ! -name a2d.log ! -name '*.lock' -print | LC_ALL=C sort) \
    > "$top/files-$run"
done
echo "replay_compare: the runs ended after $(($(date +%s) - started)) s"

logline() { grep -ho "$2" "$top/$1/.local/share/Tallowmere/VRK/a2d.log"; }
drawn='Frames drawn whole [0-9]*, in part [0-9]*, not at all [0-9]*'
whole=$(logline whole "$drawn")
grep -q ", in part 0, not at all 0$" <<< "$whole" || fail "the whole run drew a frame in part or left one as it was: $whole"
skip=$(logline skip "$drawn")
grep -q ", in part [1-9][0-9]*, not at all [1-9][0-9]*$" <<< "$skip" ||
  fail "the skip run drew no frame in part or left none as it was: $skip"
shots=$(logline shots 'Replay: drew [0-9]* of [0-9]* frames')
[ -n "$shots" ] || fail "the shots run drew every frame"
echo "whole: $whole"
echo "skip:  $skip"
echo "shots: ${shots#Replay: }"

grep -q '\.bmp$' "$top/files-whole" || fail "no screenshot was taken"
grep -q '\.save$' "$top/files-whole" || fail "no game was saved"
grep -q '_profiles\.dat$' "$top/files-whole" || fail "no profile was saved"
for run in skip shots; do
  diff "$top/files-whole" "$top/files-$run" > /dev/null ||
    fail "the $run run left other files: $(diff "$top/files-whole" "$top/files-$run")"
  while IFS= read -r file; do
    cmp -s "$top/whole/$file" "$top/$run/$file" || fail "$file differs between the whole and $run runs"
  done < "$top/files-whole"
done
echo "ok: $(wc -l < "$top/files-whole") files identical in the three runs"
