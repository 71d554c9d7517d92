#!/usr/bin/env bash
# real_pairs.sh BUILD MESHDIR: merges a fixed list of real closed genus-0
# meshes (CGAL's example data, data/meshes of Debian's libcgal-demo) in
# pairs and each against a built-in model, with default options on every
# core; times each with /usr/bin/time, checks each .glb with
# vorlane-check-morph and prints a Markdown table. A merge that takes more
# than LIMIT seconds (30 by default) is stopped and listed as skipped.
# Exits 1 when any merge fails or any check does not hold; DETAILS=FILE
# collects what the checker says about each failing result.
set -uo pipefail
build="$(realpath "$1")"; meshes="$(realpath "$2")"; limit="${LIMIT:-30}"
merge="$build/tools/vorlane-merge"; check="$build/bench/vorlane-check-morph"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# Mostly shapes no inner point sees whole (animals, figures, parts), from
# a few dozen triangles to about 75,000.
pairs=(
  "dino cow" "camel triceratops" "hand homer" "man diplodocus" "bear bull"
  "cactus tripod" "fandisk retinal" "u cross" "dragknob part" "triceratops dino"
  "homer man" "bull armadillo" "spool blobby" "bear_bis fandisk_large" "hand cactus"
  "diplodocus cow" "cube-meshed hand" "oblong homer" "retinal triceratops" "star camel"
  "bunny00 camel" "armadillo bunny00"
  "armadillo cube" "icosahedron bunny00" "camel cube" "cow icosahedron" "cube dino"
  "hand icosahedron" "homer cube" "man icosahedron" "triceratops cube" "icosahedron bull"
  "cactus cube" "u icosahedron" "tripod cube" "fandisk icosahedron" "bear cube"
  "diplodocus icosahedron" "part cube"
)
builtin() { case "$1" in cube|icosahedron) return 0;; *) return 1;; esac; }
input() { if builtin "$1"; then echo "$1"; else echo "$meshes/$1.off"; fi; }
field() { awk -v key="$1" '{for (i = 1; i < NF; ++i) if ($i == key) print $(i + 1)}'; }

echo "| pair | maps | crossings | vertices out | faces out | wall s | peak MB | flat0/flat20 | dist0/dist20 | verdict |"
echo "|---|---|---:|---:|---:|---:|---:|---|---|---|"
failed=0
for pair in "${pairs[@]}"; do
  read -r a b <<< "$pair"
  source=$(input "$a"); target=$(input "$b")
  timeout "$limit" /usr/bin/time -f "%e %M" -o "$work/time" "$merge" "$source" "$target" -o "$work/out.glb" --threads 0 \
    > "$work/summary" 2> "$work/error"
  status=$?
  if [ "$status" = 124 ]; then
    echo "| $a → $b | | | | | > $limit | | | | skipped (over $limit s) |"
    continue
  fi
  if [ "$status" != 0 ]; then
    echo "| $a → $b | | | | | | | | | merge failed: $(tail -n 1 "$work/error" | sed "s|$meshes/||g; s/|/\\\\|/g") |"
    failed=1
    continue
  fi
  read -r wall peak < "$work/time"
  summary=$(cat "$work/summary")
  maps="$(echo "$summary" | field embeddings) $(echo "$summary" | awk '{print $NF}')"
  line=$("$check" "$source" "$target" "$work/out.glb" 2> "$work/check-error")
  checked=$?
  verdict=ok
  if [ "$checked" != 0 ]; then
    verdict="FAIL: $(echo "$line" | tr ' ' '\n' | grep -E '^(closed|oriented)=no|^genus=[^0]|^flat(0|20)=[1-9]' | paste -sd ' ')"
    for d in dist0 dist20; do
      value=$(echo "$line" | tr ' ' '\n' | sed -n "s/^$d=//p")
      awk -v v="$value" 'BEGIN {exit !(v + 0 >= 1e-5)}' && verdict="$verdict $d=$value"
    done
    [ -n "$line" ] || verdict="FAIL: $(tail -n 1 "$work/check-error")"
    [ -n "${DETAILS:-}" ] && sed "s|^|$a → $b: |" "$work/check-error" >> "$DETAILS"
    failed=1
  fi
  flat="$(echo "$line" | tr ' ' '\n' | sed -n 's/^flat0=//p')/$(echo "$line" | tr ' ' '\n' | sed -n 's/^flat20=//p')"
  dist="$(echo "$line" | tr ' ' '\n' | sed -n 's/^dist0=//p')/$(echo "$line" | tr ' ' '\n' | sed -n 's/^dist20=//p')"
  echo "| $a → $b | $maps | $(echo "$summary" | field crossings) | $(echo "$summary" | field vertices) |" \
       "$(echo "$summary" | field faces) | $wall | $((peak / 1024)) | $flat | $dist | $verdict |"
done
exit "$failed"
