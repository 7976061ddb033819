#!/usr/bin/env bash
# The determinism check: replays a recording several times side by side,
# each in a fresh user folder as run_replay.sh does, and compares what the
# runs left: every save and every screenshot must be byte-identical (the
# log, with its wall-clock banners, and the lock file are left out).
#   whole:    only the frames that take a screenshot drawn, each drawn whole
#             (A2D_WHOLE_FRAMES);
#   skip:     every frame drawn where it differs from the one on screen, as
#             the game draws;
#   shots:    only the frames that take a screenshot drawn, where they differ
#             from the last one drawn;
#   unpaced:  as skip, the sound device taking its sound as fast as it can;
#   slowed:   as skip, the sound device taking a buffer every 200 ms, ten
#             times slower than it plays;
#   starved:  as skip, the replay sharing one processor with a busy loop.
# So skipping what did not change gives the pixels of a whole redraw, the
# game's state does not depend on which frames are drawn, and neither the
# game nor what it draws depends on the pace of the sound device or of the
# machine: the skip, unpaced, slowed and starved runs also count the same
# frames drawn whole, in part and not at all.
# Usage: replay_compare.sh <replay program> <recording>
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
replay="$1"
recording="$2"
runs=(whole skip shots unpaced slowed starved)
# The runs draw as the game does unless told otherwise here, whatever the caller set.
unset A2D_WHOLE_FRAMES A2D_CHECK_FRAMES
paced=(skip unpaced slowed starved)
top=$(mktemp -d)
busy=""
trap '[ -n "$busy" ] && kill "$busy" 2>/dev/null; rm -rf "$top"' EXIT
# The starved run's processor: the first this script may use.
cpu=$(sed -n 's/^Cpus_allowed_list:[[:space:]]*\([0-9]*\).*/\1/p' /proc/self/status)
# Bounded, should the script itself be killed.
taskset -c "$cpu" timeout 900 sh -c 'while :; do :; done' &
busy=$!

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
      whole) A2D_WHOLE_FRAMES=1 exec "$replay" --draw-every 1000000 "$recording" ;;
      skip) exec "$replay" "$recording" ;;
      shots) exec "$replay" --draw-every 1000000 "$recording" ;;
      # Unpaced, the disk driver would write gigabytes of silence.
      unpaced) SDL_DISKAUDIODELAY=0 SDL_DISKAUDIOFILE=/dev/null exec "$replay" "$recording" ;;
      slowed) SDL_DISKAUDIODELAY=200 exec "$replay" "$recording" ;;
      starved) exec taskset -c "$cpu" "$replay" "$recording" ;;
    esac
  ) &
  pids[$run]=$!
done
started=$(date +%s)
for run in "${runs[@]}"; do
  code=0
  wait "${pids[$run]}" || code=$?
  [ "$code" -eq 0 ] || fail "the $run run exited with $code"
  # What the game wrote, by path under the user folder.
  (cd "$top/$run" && find . -path ./tmp -prune -o -type f ! -name a2d.log ! -name '*.lock' -print | LC_ALL=C sort) \
    > "$top/files-$run"
done
echo "replay_compare: the runs ended after $(($(date +%s) - started)) s"
kill "$busy" 2>/dev/null
busy=""

logline() { grep -ho "$2" "$top/$1/.local/share/Tallowmere/VRK/a2d.log"; }
drawn='Frames drawn whole [0-9]*, in part [0-9]*, not at all [0-9]*'
whole=$(logline whole "$drawn")
grep -q ", in part 0, not at all 0$" <<< "$whole" || fail "the whole run drew a frame in part or left one as it was: $whole"
skip=$(logline skip "$drawn")
grep -q ", in part [1-9][0-9]*, not at all [1-9][0-9]*$" <<< "$skip" ||
  fail "the skip run drew no frame in part or left none as it was: $skip"
for run in "${paced[@]}"; do
  counted=$(logline "$run" "$drawn")
  [ "$counted" = "$skip" ] || fail "the $run run drew other frames than the skip run: $counted"
done
shots=$(logline shots 'Replay: drew [0-9]* of [0-9]* frames')
[ -n "$shots" ] || fail "the shots run drew every frame"
echo "whole: $whole"
echo "skip, unpaced, slowed, starved:  $skip"
echo "shots: ${shots#Replay: }"

grep -q '\.bmp$' "$top/files-whole" || fail "no screenshot was taken"
grep -q '\.save$' "$top/files-whole" || fail "no game was saved"
grep -q '_profiles\.dat$' "$top/files-whole" || fail "no profile was saved"
for run in "${runs[@]:1}"; do
  diff "$top/files-whole" "$top/files-$run" > /dev/null ||
    fail "the $run run left other files: $(diff "$top/files-whole" "$top/files-$run")"
  while IFS= read -r file; do
    cmp -s "$top/whole/$file" "$top/$run/$file" || fail "$file differs between the whole and $run runs"
  done < "$top/files-whole"
done
echo "ok: $(wc -l < "$top/files-whole") files identical in the ${#runs[@]} runs"
