#!/usr/bin/env bash
# replay_skip.sh on a stand-in replay program that writes a game's log in a
# second: the two runs agreeing pass; a run that exits with 3 after its log
# parted from the other's, and runs whose logs agree but whose screenshots
# differ, fail and say which run and where the logs part.
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# The stand-in: the start banner (its wall-clock and memory lines differ
# between the runs), a few stamped lines, a screenshot under the run's own
# folder, the frame counts for the way it draws. FAKE_CASE=exit makes the
# skip run enter another room and exit with 3; FAKE_CASE=shot makes its
# screenshot differ.
cat > "$work/replay" <<'EOF'
#!/usr/bin/env bash
folder="$XDG_DATA_HOME/Tallowmere/VRK"
mkdir -p "$folder/ScreenShots"
skip=
[ "${A2D_CHECK_FRAMES:-0}" != 0 ] && skip=1
room=Hall
[ -n "$skip" ] && [ "$FAKE_CASE" = exit ] && room=Study
{
  printf '00:00:00.000\tLaunched on: 08.12.2026, 01:%02d:%02d\n' $((RANDOM % 60)) $((RANDOM % 60))
  printf '00:00:00.000\t         Memory Load: %d%%\n' $((RANDOM % 100))
  printf '00:00:00.000\tFree Physical Memory: %d of 24682404 KB\n' $RANDOM
  printf '00:00:00.000\t             Drive /: fixed <ext4>, /dev/vda, %d of 258019 MB free\n' $RANDOM
  printf '00:00:00.000\tReplay: playing the recording\n'
  for i in 1 2 3 4 5 6; do printf '00:00:0%d.000\tFind %d\n' "$i" "$i"; done
  printf '00:00:07.000\tEnter room: %s\n' "$room"
  printf '00:00:07.500\tScreenshot saved: %s\n' "$folder/ScreenShots/ScreenShot000.bmp"
  for i in 8 9; do printf '00:00:0%d.000\tFind %d\n' "$i" "$i"; done
  if [ -n "$skip" ]; then
    printf '00:00:09.990\taGraphServer. Frames drawn whole 3, in part 40, not at all 957\n'
    printf '00:00:09.990\taGraphServer. Frames compared with a whole redraw 997 (differing 0), drawn whole for comparison 0\n'
  else
    printf '00:00:09.990\taGraphServer. Frames drawn whole 1000, in part 0, not at all 0\n'
    printf '00:00:09.990\taGraphServer. Frames compared with a whole redraw 0 (differing 0), drawn whole for comparison 997\n'
  fi
} > "$folder/a2d.log"
picture="BM picture"
[ -n "$skip" ] && [ "$FAKE_CASE" = shot ] && picture="BM another picture"
printf '%s' "$picture" > "$folder/ScreenShots/ScreenShot000.bmp"
[ "$room" = Study ] && exit 3
exit 0
EOF
chmod +x "$work/replay"

# Runs the case; fails the test unless the exit code is as expected and
# every pattern appears in the output.
expect() {
  local case="$1" code="$2" out got pattern ok=1
  shift 2
  got=0
  out=$(FAKE_CASE="$case" "$here/replay_skip.sh" "$work/replay" recording 1 2>&1) || got=$?
  [ "$got" -eq "$code" ] || { echo "FAIL $case: exit code $got, not $code"; ok=0; }
  for pattern in "$@"; do
    grep -qF -- "$pattern" <<< "$out" || { echo "FAIL $case: no '$pattern'"; ok=0; }
  done
  [ "$ok" -eq 1 ] || { status=1; echo "---- output of $case"; echo "$out"; }
}

expect agree 0 "ok: 1 screenshots identical; of 1000 frames 0.3% drawn whole, 4.0% in part, 95.7% not at all"
expect exit 1 "replay_skip: the skip run exited with 3" \
  "The logs part: the skip run's at line 12, the whole run's at line 12." \
  ">    12  00:00:07.000	Enter room: Study" ">    12  00:00:07.000	Enter room: Hall" \
  "     11  00:00:06.000	Find 6" "     14  00:00:08.000	Find 8" \
  "---- the last lines of the skip run's log"
expect shot 1 "replay_skip: ScreenShot000.bmp differs" \
  "The logs of the skip and whole runs agree (wall-clock, memory, disk and frame-count lines left out)."
[ "$status" -eq 0 ] && echo "ok: replay_skip.sh passes agreeing runs and reports the run and the line where they part"
exit $status
