#!/usr/bin/env bash
# whole_run.sh BUILD [LEVELS] [RUNS]: times vorlane-merge from two OFF files
# to a .glb for the benchmark pairs (levels 6 7 8 by default, 5 runs each),
# alternating one thread and every core, with /usr/bin/time; prints medians
# of wall, user and system seconds and of peak memory. The OFF files are
# written once into a temporary folder by vorlane-bench-pair. The centres are
# given, so the kernel's centre is not searched; CENTRE=kernel searches it.
# PAIR="A B" times two mesh files of one's own instead (say two real meshes
# that need spherical maps), with the tool's default options.
set -euo pipefail
build="$(realpath "$1")"; levels="${2:-6 7 8}"; runs="${3:-5}"
tool="$build/tools/vorlane-merge"; pair="$build/bench/vorlane-bench-pair"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
centres=(--source-centre 0 0 0 --target-centre 0 0 0)
[ "${CENTRE:-}" = kernel ] && centres=()
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR + 1) / 2)]}'; }
printf '%-6s %-8s %8s %8s %8s %9s\n' level threads wall user sys peak-MB
if [ -n "${PAIR:-}" ]; then
  read -r first second <<< "$PAIR"
  levels=pair centres=()
  ln -s "$(realpath "$first")" "$work/icopair.off"
  ln -s "$(realpath "$second")" "$work/cspair.off"
fi
for level in $levels; do
  [ "$level" = pair ] || "$pair" "$level" "$work"
  for run in $(seq "$runs"); do
    for threads in 1 0; do
      /usr/bin/time -f "%e %U %S %M" -o "$work/t" "$tool" "$work/ico$level.off" "$work/cs$level.off" \
        -o "$work/out.glb" --threads "$threads" ${centres[@]+"${centres[@]}"} > /dev/null
      echo "$threads $(cat "$work/t")" >> "$work/times$level"
    done
  done
  for threads in 1 0; do
    rows=$(awk -v t="$threads" '$1 == t' "$work/times$level")
    printf '%-6s %-8s %8s %8s %8s %9s\n' "$level" "$([ "$threads" = 0 ] && echo all || echo 1)" \
      "$(echo "$rows" | awk '{print $2}' | median)" "$(echo "$rows" | awk '{print $3}' | median)" \
      "$(echo "$rows" | awk '{print $4}' | median)" "$(echo "$rows" | awk '{print int($5 / 1024)}' | median)"
  done
  rm -f "$work/ico$level.off" "$work/cs$level.off"
done
