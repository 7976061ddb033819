#!/usr/bin/env bash
# Makes the demo game's bitmap fonts from DejaVu Sans and Serif: the sans
# face at 11, 16, 18 and 28 px and in bold at 20 px, the game panel's
# caption, clue and list faces of the serif, each an atlas PNG and its font
# description, plus the faces' licence. Usage: tools/make_demo_fonts.sh [output folder]
# (default: data/GameData/Fonts). FONTGEN names a built fontgen to use;
# without it fontgen is built in build/tools. The output is the same on
# every run, so the files can be committed.
set -Eeuo pipefail
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/data/GameData/Fonts}
faces=/usr/share/fonts/truetype/dejavu
face=$faces/DejaVuSans.ttf
licence=/usr/share/doc/fonts-dejavu-core/copyright

if [ -z "${FONTGEN:-}" ]; then
  "$root/scripts/setup"
  cmake -S "$root" -B "$root/build/tools" -DCMAKE_BUILD_TYPE=Release -DA2D_TOOLS=ON >/dev/null
  cmake --build "$root/build/tools" --target fontgen -j3 >/dev/null
  FONTGEN=$root/build/tools/tools/fontgen
fi

mkdir -p "$out"
"$FONTGEN" "$face" 11 "$out/DejaVuSans11"
"$FONTGEN" "$face" 16 "$out/DejaVuSans16"
"$FONTGEN" "$face" 18 "$out/DejaVuSans18"
"$FONTGEN" "$faces/DejaVuSans-Bold.ttf" 20 "$out/DejaVuSansBold20"
"$FONTGEN" "$face" 28 "$out/DejaVuSans28"
"$FONTGEN" "$faces/DejaVuSerif-Bold.ttf" 18 "$out/DejaVuSerifBold18"
"$FONTGEN" "$faces/DejaVuSerif.ttf" 13 "$out/DejaVuSerif13"
"$FONTGEN" "$faces/DejaVuSerif.ttf" 15 "$out/DejaVuSerif15"
# The fonts' own paragraphs, without the packaging's.
sed '/^Files: debian/,$d' "$licence" >"$out/DejaVu-LICENSE.txt"
