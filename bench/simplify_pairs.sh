#!/usr/bin/env bash
# simplify_pairs.sh BUILD MESHDIR [EXTRA...]: merges real pairs of CGAL's
# example meshes and simplifies each to the two inputs' triangles together
# (vorlane-simplify-bench, one thread, processor seconds), EXTRA passed on
# (say --tolerance 0.001); checks each written .glb with vorlane-check-morph
# (closed, oriented, genus 0, no flat triangle; vertices within 1 % of the
# diagonal) and prints a Markdown table. Hausdorff distances are two-way,
# sampled on both surfaces, over each input's diagonal.
set -uo pipefail
build="$(realpath "$1")"; meshes="$(realpath "$2")"; shift 2
bench="$build/bench/vorlane-simplify-bench"; check="$build/bench/vorlane-check-morph"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
pairs=(
  "dino cow" "camel triceratops" "hand homer" "man diplodocus" "bear bull"
  "camel cow" "triceratops dino" "homer man" "bull armadillo" "diplodocus cow"
  "armadillo bunny00" "bunny00 camel"
)
field() { awk -v key="$1" '{for (i = 1; i < NF; ++i) if ($i == key) print $(i + 1)}'; }
echo "| pair | triangles before | after | Hausdorff start | Hausdorff end | merge job s | merge stage s | simplify s | check |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---|"
failed=0
for pair in "${pairs[@]}"; do
  read -r a b <<< "$pair"
  line=$("$bench" "$meshes/$a.off" "$meshes/$b.off" "$@" -o "$work/out.glb" 2> "$work/error")
  if [ $? != 0 ]; then
    echo "| $a → $b | | | | | | | | failed: $(tail -n 1 "$work/error") |"; failed=1; continue
  fi
  verdict=$("$check" "$meshes/$a.off" "$meshes/$b.off" "$work/out.glb" --within 0.01 2> /dev/null)
  if [ $? = 0 ]; then verdict=ok; else failed=1; fi
  echo "| $a → $b | $(echo "$line" | field before) | $(echo "$line" | field after) | $(echo "$line" | field hausdorff0) |" \
       "$(echo "$line" | field hausdorff20) | $(echo "$line" | field job_s) | $(echo "$line" | field merge_s) |" \
       "$(echo "$line" | field simplify_s) | $verdict |"
done
exit "$failed"
