#!/usr/bin/env bash
# The determinism check: replays a recording twice, each time in a fresh
# user folder as run_replay.sh does, and compares what the two runs left:
# every save and every screenshot must be byte-identical (the log, with its
# wall-clock banners, and the lock file are left out). The first run draws
# every frame, the second only the frames that take a screenshot, so the
# game's state is shown not to depend on which frames are drawn.
# Usage: replay_twice.sh <replay program> <recording>
set -u
pids=()
replay="$1"
recording="$2"
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

fail() {
  echo "$*"
  for run in 1 2; do
    log=$(find "$top/$run" -name a2d.log 2>/dev/null | head -n 1)
    [ -n "$log" ] && { echo "---- log of run $run"; cat "$log"; }
  done
  exit 1
}

# The two runs go side by side: the stepped clock makes their pace irrelevant.
for run in 1 2; do
  home="$top/$run"
  mkdir -p "$home/tmp"
  (
    export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
    export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$home/tmp/audio.raw"
    if [ "$run" -eq 1 ]; then exec "$replay" "$recording"; fi
    exec "$replay" --draw-every 1000000 "$recording"
  ) &
  pids[$run]=$!
done
started=$(date +%s)
for run in 1 2; do
  wait "${pids[$run]}"
  code=$?
  [ "$code" -eq 0 ] || fail "run $run exited with $code"
  # What the game wrote, by path under the user folder.
  (cd "$top/$run" && find . -path ./tmp -prune -o -type f ! -name a2d.log ! -name '*.lock' -print | LC_ALL=C sort) \
    > "$top/files$run"
done
echo "replay_twice: both runs ended after $(($(date +%s) - started)) s"
drew=$(grep -ho 'Replay: drew [0-9]* of [0-9]* frames' "$top/2/.local/share/Tallowmere/VRK/a2d.log")
[ -n "$drew" ] || fail "run 2 did not skip drawing"
echo "run 2: ${drew#Replay: }"

diff "$top/files1" "$top/files2" > /dev/null || fail "the runs left other files: $(diff "$top/files1" "$top/files2")"
grep -q '\.bmp$' "$top/files1" || fail "no screenshot was taken"
grep -q '\.save$' "$top/files1" || fail "no game was saved"
grep -q '_profiles\.dat$' "$top/files1" || fail "no profile was saved"
while IFS= read -r file; do
  cmp -s "$top/1/$file" "$top/2/$file" || fail "$file differs between the runs"
done < "$top/files1"
echo "ok: $(wc -l < "$top/files1") files identical"
