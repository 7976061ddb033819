#!/usr/bin/env bash
# Checks what a replay of the road left: its log against the rules file, and,
# past the start, its saves with check_saves. Every failure is printed before
# the script fails.
# Rules, one a line ("#" lines are comments), extended regular expressions:
#   need <stages> <regex>  a line must match, at those stages
#                          (comma-separated, or "all")
#   miss <regex>           no line may match
#   allow <regex>          ...unless it also matches this
# Stages: "start" (the road's first part, cut off), "story" (the story case
# won), "findall" (Find All done as well).
# Usage: check_road.sh <check_saves> <rules> <stage> <data folder> <log>
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
check_saves="$1"
rules="$2"
stage="$3"
data="$4"
log="$5"
failed=0

needs=() misses=() allows=()
while IFS= read -r line; do
  case "$line" in
    '#'* | '') ;;
    need\ *)
      read -r _ stages text <<< "$line"
      [[ ",$stages," == *",$stage,"* || "$stages" == all ]] && needs+=("$text") ;;
    miss\ *) misses+=("${line#miss }") ;;
    allow\ *) allows+=("${line#allow }") ;;
    *) echo "$rules: not a rule: $line"; exit 2 ;;
  esac
done < "$rules"

for text in "${needs[@]}"; do
  grep -qE -- "$text" "$log" || { echo "the log lacks '$text'"; failed=1; }
done
# An empty pattern list would match every line.
[ ${#allows[@]} -gt 0 ] || allows=('$^')
missed=$(grep -E -f <(printf '%s\n' "${misses[@]}") "$log" | grep -v -E -f <(printf '%s\n' "${allows[@]}") || true)
if [ -n "$missed" ]; then
  echo "the log holds misses or failures:"
  printf '%s\n' "$missed"
  failed=1
fi

if [ "$stage" != start ]; then
  option=()
  [ "$stage" = findall ] && option=(--find-all)
  "$check_saves" "${option[@]}" "$data/Saved Games/Tallowmere/VRK" "$data" || failed=1
fi
exit "$failed"
