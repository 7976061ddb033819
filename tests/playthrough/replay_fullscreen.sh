#!/usr/bin/env bash
# The replay with a Game.ini that asks for full screen (Windowed=0, and a
# value that is not a number, which means the same): it runs in a window,
# says so once in the log, and replays the recording to its end.
# Usage: replay_fullscreen.sh <replay program> <recording>
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
here=$(dirname "$0")
replay="$1"
recording="$2"
folder=$(dirname "$replay")
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT
status=0
for value in 0 full; do
  program="$top/$value"
  mkdir -p "$program"
  # A copy, not a link: the program folder is where the binary really is.
  cp "$replay" "$program/"
  for f in GameData MoreGames.ini icon104.png; do ln -s "$(readlink -f "$folder/$f")" "$program/$f"; done
  sed "s/^Windowed=.*/Windowed=$value/" "$(readlink -f "$folder/Game.ini")" > "$program/Game.ini"
  echo "== Windowed=$value"
  "$here/run_replay.sh" --draw-every 8 "$program/$(basename "$replay")" "$recording" 1 0 \
    "cMain. Full screen is not available to this run: the game runs in a window" || status=1
done
exit $status
