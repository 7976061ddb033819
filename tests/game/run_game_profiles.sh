#!/usr/bin/env bash
# Runs the game offscreen twice in a fresh XDG_DATA_HOME, each run stopped by
# SIGTERM after 2 s: the first writes "_profiles.dat" into the saved-games
# folder, the second loads it. Nothing may be written outside the user and
# saved-games folders, nor beside the binary.
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
game="$1"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
mkdir -p "$TMPDIR"
user="$XDG_DATA_HOME/Tallowmere/VRK"
saves="$XDG_DATA_HOME/Saved Games/Tallowmere/VRK"
log="$user/a2d.log"
program=$(dirname "$game")
before=$(ls -A "$program")

run() {
  "$game" &
  local pid=$!
  sleep 2
  kill -TERM "$pid"
  wait "$pid"
  local code=$?
  [ "$code" -eq 0 ] || { echo "game exited with $code"; cat "$log"; exit 1; }
}

run
[ -f "$saves/_profiles.dat" ] || { echo "no _profiles.dat after the first run"; cat "$log"; exit 1; }
grep -q "ProfilesManager::Load(). No '.*_profiles.dat' yet" "$log" || { echo "first run did not start fresh"; cat "$log"; exit 1; }
run
grep -q "ProfilesManager::Load(). 1 profiles from '.*_profiles.dat', current 'Player'" "$log" ||
  { echo "second run did not load the list"; cat "$log"; exit 1; }

unexpected=$(cd "$home" && find . -type f ! -path "./.local/share/Tallowmere/VRK/*" \
  ! -path "./.local/share/Saved Games/Tallowmere/VRK/*")
[ -z "$unexpected" ] || { echo "files written elsewhere: $unexpected"; exit 1; }
[ "$(ls -A "$program")" = "$before" ] || { echo "files written beside the binary"; exit 1; }
echo "ok"
