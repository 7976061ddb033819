#!/usr/bin/env bash
# Starts the game offscreen, starts a second copy (which must give up with
# exit code 1), stops the first with SIGTERM after 2 s and checks its exit
# code, the close it logged and the start and stop banners of the log.
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
game="$1"
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home"
log="$XDG_DATA_HOME/Tallowmere/VRK/a2d.log"

"$game" &
pid=$!
sleep 1

second=0
"$game" 2>"$home/second.err" || second=$?
if [ "$second" -ne 1 ]; then
  echo "second copy exited with $second, expected 1"; kill -9 "$pid"; exit 1
fi
grep -q "already running" "$home/second.err" || { echo "second copy said nothing on stderr"; exit 1; }

sleep 1
kill -TERM "$pid"
wait "$pid"
code=$?
[ "$code" -eq 0 ] || { echo "game exited with $code after SIGTERM"; cat "$log"; exit 1; }

grep -q "a2d Engine v1.7 started" "$log" || { echo "no start banner"; cat "$log"; exit 1; }
grep -q "Close request from a stop signal: closing" "$log" || { echo "no close logged"; cat "$log"; exit 1; }
grep -q "a2d Engine stopped" "$log" || { echo "no stop banner"; cat "$log"; exit 1; }
[ "$(grep -c 'a2d Engine v1.7 started' "$log")" -eq 1 ] || { echo "the second copy wrote to the log"; cat "$log"; exit 1; }
echo "ok"
