#!/usr/bin/env bash
# Runs a demo-data tool into a temporary folder and compares every file it
# writes with the committed one, byte for byte.
#
# Usage: check_generated.sh [--tampered] REFERENCE_DIR COMMAND [ARG...]
# The output folder is passed to COMMAND as its last argument. With
# --tampered the comparison runs against a copy of REFERENCE_DIR with one
# byte of one generated file changed, and must find the difference.
set -Eeuo pipefail
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR

tampered=0
if [ "${1:-}" = "--tampered" ]; then
  tampered=1
  shift
fi
reference=$1
shift

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out=$work/out
mkdir -p "$out"
"$@" "$out" >"$work/tool.log" 2>&1 || {
  cat "$work/tool.log"
  echo "the tool failed" >&2
  exit 1
}

files=$(cd "$out" && find . -type f | sort)
if [ -z "$files" ]; then
  echo "the tool wrote nothing" >&2
  exit 1
fi

if [ "$tampered" = 1 ]; then
  copy=$work/reference
  mkdir -p "$copy"
  (cd "$reference" && echo "$files" | xargs cp --parents -t "$copy")
  # Not a pipe into head: under pipefail the writer may die of SIGPIPE once
  # head has its line, and the script with it.
  first=${files%%$'\n'*}
  # The middle byte, inverted.
  size=$(stat -c %s "$copy/$first")
  offset=$((size / 2))
  byte=$(od -An -tu1 -j "$offset" -N1 "$copy/$first" | tr -d ' ')
  printf "$(printf '\\%03o' $((255 - byte)))" | dd of="$copy/$first" bs=1 seek="$offset" conv=notrunc status=none
  reference=$copy
fi

status=0
while IFS= read -r f; do
  if [ ! -f "$reference/$f" ]; then
    echo "not committed: ${f#./}" >&2
    status=1
  elif ! cmp -s "$out/$f" "$reference/$f"; then
    echo "differs from the committed file: ${f#./}" >&2
    status=1
  fi
done <<<"$files"

if [ "$tampered" = 1 ]; then
  if [ "$status" = 0 ]; then
    echo "a changed byte went unnoticed" >&2
    exit 1
  fi
  exit 0
fi
exit "$status"
