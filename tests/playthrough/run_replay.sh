#!/usr/bin/env bash
# Replays a recording with the replay program in a fresh user folder,
# offscreen, with the sound written to a file, and checks how it ended: the
# exit code (0 unless another is expected, then with the given log line), the
# replay's start and end lines, sound that is not silence, the expected number
# of "Screenshot saved" lines and each screenshot a 24-bit 1024 x 768 bitmap,
# and, given a checker and its probe file, the screenshots' probe points
# (those of the shots expected). A command after them checks what the run
# left: it gets the data folder (XDG_DATA_HOME) and the log appended.
# Usage: run_replay.sh [--draw-every N] <replay program> <recording>
#                      <screenshots expected> [<exit code> <log line>
#                      [<shot checker> <probe file> [<check command>...]]]
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
draw=()
if [ "${1:-}" = "--draw-every" ]; then
  draw=(--draw-every "$2")
  shift 2
fi
replay="$1"
recording="$2"
shots="$3"
expected_code="${4:-0}"
expected_line="${5:-}"
checker="${6:-}"
probes="${7:-}"
shift $(($# < 7 ? $# : 7))
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
mkdir -p "$TMPDIR"
# A test may send the sound elsewhere (an unpaced device to /dev/null).
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="${SDL_DISKAUDIOFILE:-$home/audio.raw}"
log="$XDG_DATA_HOME/Tallowmere/VRK/a2d.log"

fail() {
  echo "$*"
  [ -f "$log" ] && cat "$log"
  exit 1
}

started=$(date +%s)
code=0
"$replay" "${draw[@]}" "$recording" || code=$?
echo "replay: exit code $code after $(($(date +%s) - started)) s"
[ "$code" -eq "$expected_code" ] || fail "the replay exited with $code, not $expected_code"
[ -f "$log" ] || fail "no log at $log"
if [ -n "$expected_line" ]; then
  grep -qF "$expected_line" "$log" || fail "no line '$expected_line'"
fi
# A recording that cannot be read stops the replay before it starts.
if [ "$expected_code" -ne 2 ]; then
  grep -q "Replay: playing '$recording'" "$log" || fail "no start line"
  grep -q "Replay: finished after .* exit code $expected_code\$" "$log" || fail "no end line"
fi

# The menu plays music and ambience: the sound file holds more than silence.
if [ "$expected_code" -eq 0 ]; then
  audio="$SDL_DISKAUDIOFILE"
  [ -s "$audio" ] && [ "$(tr -d '\000' < "$audio" | head -c 1 | wc -c)" -eq 1 ] || fail "the sound written is silent"
fi

saved=$(sed -n 's/.*\tScreenshot saved: //p' "$log")
count=$(printf '%s' "$saved" | grep -c . || true)
[ "$count" -eq "$shots" ] || fail "$count screenshots saved, $shots expected"
# A bottom-up 24-bit bitmap: 54 header bytes and 1024 rows of 3072 bytes.
while IFS= read -r shot; do
  [ -n "$shot" ] || continue
  [ -f "$shot" ] || fail "no screenshot at $shot"
  size=$(stat -c %s "$shot")
  read -r width height < <(od -An -t d4 -j 18 -N 8 "$shot")
  bits=$(od -An -t u2 -j 28 -N 2 "$shot" | tr -d ' ')
  [ "$width $height $bits $size" = "1024 768 24 2359350" ] ||
    fail "$shot: ${width}x${height}, $bits bits, $size bytes"
done <<< "$saved"
if [ -n "$checker" ]; then
  "$checker" "$probes" "$XDG_DATA_HOME/Tallowmere/VRK/ScreenShots" "$shots" || fail "the screenshots miss their probes"
fi
if [ $# -gt 0 ]; then
  "$@" "$XDG_DATA_HOME" "$log" || fail "$(basename "$1") failed"
fi
echo "ok"
