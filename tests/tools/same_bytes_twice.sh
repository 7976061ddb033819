#!/usr/bin/env bash
# Runs a demo-data tool twice, each time into a fresh folder, and checks
# that both runs wrote the same files with the same bytes.
#
# Usage: same_bytes_twice.sh TOOL [ARG...]
# The output folder is passed to TOOL as its first argument.
set -Eeuo pipefail
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
tool=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in 1 2; do
  mkdir -p "$work/$run"
  "$tool" "$work/$run" "$@"
done
if [ -z "$(find "$work/1" -type f)" ]; then
  echo "the tool wrote nothing" >&2
  exit 1
fi
diff -r "$work/1" "$work/2"
