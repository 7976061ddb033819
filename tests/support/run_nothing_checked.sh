#!/usr/bin/env bash
# A test program run with a frame check switched on (A2D_CHECK_FRAMES or
# A2D_WHOLE_FRAMES, from the environment) and a selection of tests that
# draws no frame must fail, and say that it checked nothing.
# Usage: run_nothing_checked.sh <test program> <gtest filter>
set -u
out=$("$1" --gtest_filter="$2" 2>&1)
code=$?
echo "$out"
[ "$code" -eq 1 ] || { echo "exited with $code, 1 expected"; exit 1; }
grep -q "FAILED: the frame checks of this run checked no frame" <<< "$out" || { echo "no word of it"; exit 1; }
