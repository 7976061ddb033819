#!/usr/bin/env bash
# Configures every option set the README documents, each into a fresh folder
# (configure only, no build), side by side, and fails on any error or CMake
# warning. The sanitizer pair that cannot be combined must be refused.
# Usage: configure_options.sh <source folder> [<cmake>]
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
src="$1"
cmake="${2:-cmake}"
top=$(mktemp -d)
trap 'rm -rf "$top"' EXIT

sets=(
  "game|-DCMAKE_BUILD_TYPE=Release"
  "tests|-DCMAKE_BUILD_TYPE=Debug -DA2D_TESTS=ON -DA2D_SANITIZE=ON"
  "tests_release|-DCMAKE_BUILD_TYPE=Debug -DA2D_TESTS=ON -DA2D_SANITIZE=ON -DA2D_WERROR=ON -DA2D_RELEASE_BUILD=$top/replay"
  "tsan|-DCMAKE_BUILD_TYPE=RelWithDebInfo -DA2D_TSAN=ON"
  "tsan_tests|-DCMAKE_BUILD_TYPE=RelWithDebInfo -DA2D_TESTS=ON -DA2D_TSAN=ON"
  "bench|-DCMAKE_BUILD_TYPE=Release -DA2D_BENCH=ON"
  "tools|-DCMAKE_BUILD_TYPE=Release -DA2D_TOOLS=ON"
  "replay|-DCMAKE_BUILD_TYPE=Release -DA2D_REPLAY=ON -DA2D_WERROR=ON"
)
# The fuzz build needs clang, which scripts/fuzz installs on demand.
if command -v clang >/dev/null && command -v clang++ >/dev/null; then
  sets+=("fuzz|-DCMAKE_BUILD_TYPE=RelWithDebInfo -DA2D_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
else
  echo "skipped: fuzz (no clang here)"
fi

pids=() names=()
for entry in "${sets[@]}"; do
  name=${entry%%|*}
  read -r -a args <<< "${entry#*|}"
  "$cmake" -S "$src" -B "$top/$name" "${args[@]}" > "$top/$name.log" 2>&1 &
  pids+=($!) names+=("$name")
done
"$cmake" -S "$src" -B "$top/both" -DA2D_SANITIZE=ON -DA2D_TSAN=ON > "$top/both.log" 2>&1 &
both=$!

failed=0
for i in "${!pids[@]}"; do
  name=${names[$i]}
  if ! wait "${pids[$i]}"; then
    echo "FAILED: $name"; cat "$top/$name.log"; failed=1
  elif grep -q "CMake \(Error\|Warning\)" "$top/$name.log"; then
    echo "FAILED: $name configured with a CMake error or warning"; cat "$top/$name.log"; failed=1
  else
    echo "ok: $name"
  fi
done
if wait "$both"; then
  echo "FAILED: A2D_SANITIZE with A2D_TSAN was accepted"; failed=1
elif ! grep -q "cannot be combined" "$top/both.log"; then
  echo "FAILED: A2D_SANITIZE with A2D_TSAN failed for another reason"; cat "$top/both.log"; failed=1
else
  echo "ok: A2D_SANITIZE with A2D_TSAN refused"
fi
exit $failed
