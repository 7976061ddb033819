#!/usr/bin/env bash
# A test program run with a frame check switched on (A2D_CHECK_FRAMES or
# A2D_WHOLE_FRAMES, from the environment) must fail, and say why, when the
# check saw no frame: of the whole selection of tests, or of a test that
# drew frames in part. Each line given must be in its output; one starting
# with "!" must not.
# Usage: run_nothing_checked.sh <test program> <gtest filter> <line>...
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
code=0
out=$("$1" --gtest_filter="$2" 2>&1) || code=$?
echo "$out"
[ "$code" -eq 1 ] || { echo "exited with $code, 1 expected"; exit 1; }
shift 2
for line in "$@"; do
  if [ "${line:0:1}" = "!" ]; then
    ! grep -qF -- "${line:1}" <<< "$out" || { echo "a line says '${line:1}'"; exit 1; }
  else
    grep -qF -- "$line" <<< "$out" || { echo "no line says '$line'"; exit 1; }
  fi
done
