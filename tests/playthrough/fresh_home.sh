# Sourced by the playthrough scripts: a fresh user folder for the replays,
# removed on exit, offscreen with silent sound; the game's folders in it, and
# fail, which prints its message and the log (less the widget lines), then
# exits with 1.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/.local/share" TMPDIR="$home/tmp"
mkdir -p "$TMPDIR"
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
user="$XDG_DATA_HOME/Tallowmere/VRK"
log="$user/a2d.log"
saves="$XDG_DATA_HOME/Saved Games/Tallowmere/VRK"

fail() {
  echo "$*"
  [ -f "$log" ] && grep -v "Created new" "$log"
  exit 1
}
