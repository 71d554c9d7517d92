#!/usr/bin/env bash
# golden_outputs.sh BUILD MESHDIR OUT: runs vorlane-merge over a fixed set of
# jobs and keeps every byte it prints and writes in OUT, with a manifest
# OUT/SHA256SUMS of them all. Two builds that give the same manifest merge,
# prepare and write alike: compare with `diff A/SHA256SUMS B/SHA256SUMS`.
# The jobs: the demo's merge of every pair of catalogue models (counts and
# face lists, also about the demo scene's centres and under --robust), every
# catalogue pair written by the merge for real meshes, the benchmark pairs
# and self-merges in every output form, seeded random star-shaped meshes,
# the real pairs of real_pairs.sh (MESHDIR: CGAL's data/meshes) and a few
# refusals. Each job runs on two threads; THREADS=1 runs them on one.
set -uo pipefail
build="$(realpath "$1")"; meshes="$(realpath "$2")"; out="$3"
tool="$build/tools/vorlane-merge"; pair="$build/bench/vorlane-bench-pair"
threads="${THREADS:-2}"
mkdir -p "$out"; out="$(realpath "$out")"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

# run NAME ARGS...: the tool in a folder of its own; keeps its output,
# messages, status and whatever it wrote.
run() {
  local name="$1"; shift
  local dir="$work/$name"; mkdir -p "$dir"
  (cd "$dir" && "$tool" "$@" > stdout 2> stderr; echo "$?" > status)
  # Where a refusal names a file, name it the same wherever the data lies.
  sed -i "s|$work/||g; s|$meshes/||g" "$dir/stderr" "$dir/stdout"
  mkdir -p "$out/$name"; cp "$dir"/* "$out/$name/"
}

models=(cube rhombic-prism icosahedron pyramid pointed-bar box)
for a in "${models[@]}"; do
  for b in "${models[@]}"; do
    run "demo-$a-$b" "$a" 0 0 0 "$b" 0 0 0
    run "demo-robust-$a-$b" --robust "$a" 0 0 0 "$b" 0 0 0
    run "robust-$a-$b" "$a" "$b" -o out.glb --threads "$threads"
    run "literal-$a-$b" --literal "$a" "$b" -o out.obj --step 10
  done
done
run demo-scene-1 icosahedron -10 -10 -10 cube 20 20 20
run demo-scene-2 cube 20 20 20 icosahedron -10 -10 -10

for level in 2 3 4 5; do
  "$pair" "$level" "$work" > /dev/null
  ico="$work/ico$level.off"; cs="$work/cs$level.off"
  run "bench$level-glb" "$ico" "$cs" -o out.glb --threads "$threads"
  run "bench$level-compress" "$ico" "$cs" -o out.glb --compress --threads "$threads"
  run "bench$level-gltf" "$ico" "$cs" -o out.gltf --threads "$threads"
  run "bench$level-obj0" "$ico" "$cs" -o out.obj --threads "$threads"
  run "bench$level-ply10" "$ico" "$cs" -o out.ply --step 10 --threads "$threads"
  run "bench$level-obj20" "$cs" "$ico" -o out.obj --step 20 --threads "$threads"
  run "bench$level-self" "$ico" "$ico" -o out.glb --threads "$threads"
  run "bench$level-centres" "$ico" "$cs" -o out.glb --source-centre 0.1 0 0 --target-centre 0 0.2 0 --threads "$threads"
done

# Star-shaped meshes of random radii (an icosphere's vertices pushed in and
# out by a seeded generator, so both builds see the same files).
for seed in 1 2 3 4 5 6; do
  awk -v seed="$seed" 'BEGIN {
    srand(seed); t = (1 + sqrt(5)) / 2; n = 0
    split("-1 t 0 1 t 0 -1 -t 0 1 -t 0 0 -1 t 0 1 t 0 -1 -t 0 1 -t t 0 -1 t 0 1 -t 0 -1 -t 0 1", c, " ")
    for (i = 0; i < 12; ++i) { for (k = 0; k < 3; ++k) { v = c[3 * i + k + 1]; x[k] = v == "t" ? t : v == "-t" ? -t : v + 0 }
      r = 0.6 + 0.8 * rand(); l = sqrt(x[0] ^ 2 + x[1] ^ 2 + x[2] ^ 2)
      printf "%.6f %.6f %.6f\n", r * x[0] / l, r * x[1] / l, r * x[2] / l > "/dev/stderr" }
  }' 2> "$work/v$seed" > /dev/null
  { echo OFF; echo "12 20 0"; cat "$work/v$seed"
    printf '3 %s\n' "0 11 5" "0 5 1" "0 1 7" "0 7 10" "0 10 11" "1 5 9" "5 11 4" "11 10 2" "10 7 6" "7 1 8" \
      "3 9 4" "3 4 2" "3 2 6" "3 6 8" "3 8 9" "4 9 5" "2 4 11" "6 2 10" "8 6 7" "9 8 1"; } > "$work/random$seed.off"
done
for seed in 1 2 3; do
  run "random-$seed" "$work/random$seed.off" "$work/random$((seed + 3)).off" -o out.glb --threads "$threads"
  run "random-$seed-cube" "$work/random$seed.off" cube -o out.ply --step 15 --threads "$threads"
  run "random-$seed-self" "$work/random$seed.off" "$work/random$seed.off" -o out.glb --threads "$threads"
done

realpairs=(
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
input() { case "$1" in cube|icosahedron) echo "$1";; *) echo "$meshes/$1.off";; esac; }
for p in "${realpairs[@]}"; do
  read -r a b <<< "$p"
  run "real-$a-$b" "$(input "$a")" "$(input "$b")" -o out.glb --threads "$threads"
done
run real-camel-cow-compress "$meshes/camel.off" "$meshes/cow.off" -o out.glb --compress --threads "$threads"
run real-hand-cube-obj20 "$meshes/hand.off" cube -o out.obj --step 20 --threads "$threads"
run real-dino-ico-ply5 "$meshes/dino.off" icosahedron -o out.ply --step 5 --threads "$threads"
run real-camel-self "$meshes/camel.off" "$meshes/camel.off" -o out.glb --threads "$threads"
run real-bunny-spherical "$meshes/bunny00.off" cube -o out.glb --embedding spherical --threads "$threads"
printf '0 0\n5 7\n' > "$work/landmarks"
run real-landmarks "$meshes/camel.off" "$meshes/cow.off" -o out.glb --landmarks "$work/landmarks" --threads "$threads"

# Refusals: their one line and status.
for m in 3torus elephant mushroom sphere; do
  [ -f "$meshes/$m.off" ] && run "refuse-$m" "$meshes/$m.off" cube -o out.glb --threads "$threads"
done
run refuse-missing "$work/none.off" cube -o out.glb

(cd "$out" && find . -type f ! -name SHA256SUMS | LC_ALL=C sort | xargs sha256sum > SHA256SUMS)
echo "$(wc -l < "$out/SHA256SUMS") files in $out/SHA256SUMS"
