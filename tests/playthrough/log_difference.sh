#!/usr/bin/env bash
# Where two replays of one recording part: the first line at which their
# logs differ, with the lines around it from both. Replays run on the stepped
# clock, so their logs agree line by line, stamps included, once the lines
# that differ between any two runs are dropped (the wall-clock date and the
# machine's memory and disk figures in the start banner, the frame counts
# that depend on how frames were drawn) and each run's user folder is
# written "~". Exits 0 when the logs agree, 1 when they differ, 2 when one
# cannot be read.
# Usage: log_difference.sh <name> <log> <user folder> <name> <log> <user folder>
set -Eu
# A command that fails where nothing handles it is named, with its line and status.
trap '_status=$?; echo "${0##*/}: line $LINENO: $BASH_COMMAND: exit status $_status$( ((_status > 128)) && echo " (SIG$(kill -l $_status))")" >&2' ERR
[ $# -eq 6 ] || { echo "usage: $0 <name> <log> <user folder> <name> <log> <user folder>" >&2; exit 2; }
names=("$1" "$4") logs=("$2" "$5") homes=("$3" "$6")
context=4
for log in "${logs[@]}"; do
  [ -r "$log" ] || { echo "no log at $log"; exit 2; }
done

# "<line number><TAB><line>" for each line compared.
compared() {
  awk -v home="$2" '
    /^[0-9:.]*\t *(Launched on|Memory Load|Free Physical Memory|Free Virtual Memory|Pagefile Used): / { next }
    /^[0-9:.]*\t *Drive [^ ]*: / { next }
    /Frames drawn whole [0-9]*, in part [0-9]*, not at all [0-9]*$/ { next }
    /Frames compared with a whole redraw [0-9]* \(differing [0-9]*\), drawn whole for comparison [0-9]*$/ { next }
    /\tReplay: drew [0-9]* of [0-9]* frames$/ { next }
    {
      line = $0
      if (home != "")
        for (at = index(line, home); at > 0; at = index(line, home))
          line = substr(line, 1, at - 1) "~" substr(line, at + length(home))
      print NR "\t" line
    }' "$1"
}

# The numbers of the first lines that differ, "end" past the last line.
read -r first second < <(awk -F'\t' '
  NR == FNR { a[++na] = substr($0, length($1) + 2); an[na] = $1; next }
  { b[++nb] = substr($0, length($1) + 2); bn[nb] = $1 }
  END {
    for (i = 1; i <= na || i <= nb; ++i)
      if (i > na || i > nb || a[i] != b[i]) {
        print (i > na ? "end" : an[i]), (i > nb ? "end" : bn[i])
        exit
      }
  }' <(compared "${logs[0]}" "${homes[0]}") <(compared "${logs[1]}" "${homes[1]}") || true)

if [ -z "${first:-}" ]; then
  echo "The logs of the ${names[0]} and ${names[1]} runs agree (wall-clock, memory, disk and frame-count lines left out)."
  exit 0
fi

at=("$first" "$second")
where() { [ "$1" = end ] && echo "after its last line" || echo "at line $1"; }
echo "The logs part: the ${names[0]} run's $(where "$first"), the ${names[1]} run's $(where "$second")."
for i in 0 1; do
  log="${logs[$i]}" line="${at[$i]}"
  total=$(wc -l < "$log")
  [ "$line" = end ] && line=$((total + 1))
  from=$((line > context ? line - context : 1)) to=$((line + context))
  echo "---- the ${names[$i]} run's log, lines $from-$((to < total ? to : total)) of $total"
  awk -v from="$from" -v to="$to" -v mark="$line" \
    'NR >= from && NR <= to { printf "%s %5d  %s\n", NR == mark ? ">" : " ", NR, $0 }' "$log"
  [ "$line" -gt "$total" ] && echo ">        (the log ends here)"
done
exit 1
