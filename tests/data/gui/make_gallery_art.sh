#!/usr/bin/env bash
# Draws the widget galleries' pictures into a folder (default: this one).
# MAKE_DEMO_ART names a built make_demo_art (default: the test build's).
set -Eeuo pipefail
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
here=$(cd "$(dirname "$0")" && pwd)
tool=${MAKE_DEMO_ART:-$here/../../../build/test/tools/make_demo_art}
exec "$tool" "${1:-$here}" "$here/gallery_art.txt"
