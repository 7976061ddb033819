#!/usr/bin/env bash
# scripts/play's path without a display: the game under Xvfb takes a
# screenshot with Print Screen and stops. Checks the exit code, the printed
# paths and that the screenshot is a 1024 x 768 BMP, in a fresh user folder.
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
source_dir="$1"
game="$2"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home"
unset SDL_AUDIODRIVER

out=$(xvfb-run -a -s "-screen 0 1280x1024x24" "$source_dir/scripts/headless-screenshot" "$game" 2>&1)
code=$?
echo "$out"
[ "$code" -eq 0 ] || { echo "headless-screenshot exited with $code"; exit 1; }
# With no sound driver named the game's own lines are all a newcomer sees.
if grep -q "ALSA" <<<"$out"; then echo "the sound library's errors reached the terminal"; exit 1; fi

shot=$(sed -n 's/^Screenshot: //p' <<<"$out")
log=$(sed -n 's/^Log: //p' <<<"$out")
[ -f "$shot" ] || { echo "no screenshot at '$shot'"; exit 1; }
[ "$log" = "$XDG_DATA_HOME/Tallowmere/VRK/a2d.log" ] || { echo "log printed as '$log'"; exit 1; }
[ "$(head -c 2 "$shot")" = "BM" ] || { echo "the screenshot is no BMP"; exit 1; }
size=$(od -An -tu4 -j18 -N8 "$shot" | awk '{print $1 "x" $2}')
[ "$size" = "1024x768" ] || { echo "the screenshot is $size"; exit 1; }
# Print Screen waits for the main menu: the screenshot follows the flow's line.
awk '/CGameFlow. Main menu/ { menu = 1 } /Screenshot saved/ && menu { shot = 1 } END { exit !shot }' "$log" ||
  { echo "no screenshot after the main menu showed"; exit 1; }
grep -q "a2d Engine stopped" "$log" || { echo "no clean stop in the log"; exit 1; }
echo "ok"
