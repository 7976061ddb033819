#!/usr/bin/env bash
# Draws the widget galleries' pictures into a folder (default: this one).
# MAKE_DEMO_ART names a built make_demo_art (default: the test build's).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tool=${MAKE_DEMO_ART:-$here/../../../build/test/tools/make_demo_art}
exec "$tool" "${1:-$here}" "$here/gallery_art.txt"
