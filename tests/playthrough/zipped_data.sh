#!/usr/bin/env bash
# Runs a command with the game's data zipped: a private program folder holds
# a link to the replay program, its Game.ini and MoreGames.ini, and
# GameData.zip in place of the GameData folder, made with a "name/" entry
# for every folder (folders) or with none (no-folders, as many archivers
# write them). Every argument that names the replay program is given the
# one in that folder.
# Usage: zipped_data.sh <folders|no-folders> <replay program> <command>...
set -eu
mode="$1"
replay="$2"
shift 2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
src=$(dirname "$replay")
ln "$replay" "$dir/" 2>/dev/null || cp "$replay" "$dir/"
for f in Game.ini MoreGames.ini icon104.png; do
  if [ -e "$src/$f" ]; then ln -s "$(readlink -f "$src/$f")" "$dir/$f"; fi
done
python3 - "$(readlink -f "$src/GameData")" "$dir/GameData.zip" "$mode" <<'PY'
import os, sys, zipfile
src, out, mode = sys.argv[1:4]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for root, dirs, files in os.walk(src, followlinks=True):
        dirs.sort()
        rel = os.path.relpath(root, src)
        if mode == "folders" and rel != ".":
            z.write(root, rel + "/")
        for name in sorted(files):
            z.write(os.path.join(root, name), os.path.normpath(os.path.join(rel, name)))
PY
linked="$dir/$(basename "$replay")"
args=()
for a in "$@"; do
  [ "$a" = "$replay" ] && args+=("$linked") || args+=("$a")
done
"${args[@]}"
