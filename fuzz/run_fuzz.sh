#!/bin/sh
# Builds the fuzzers with clang and runs them for SECONDS (default 30) in
# all, a fifth each: the mesh readers', the glTF morph reader's and glTF
# input meshes' from their seed corpora, prepare and the merge's, and
# landmark files through the whole path; a crash, leak, hang or broken
# promise fails.
#   fuzz/run_fuzz.sh [SECONDS] [BUILD_DIR]
# Inputs it finds go to BUILD_DIR/corpus, merge-corpus, gltf-corpus,
# gltf-mesh-corpus and landmark-corpus, so longer runs can resume; a
# failing input is saved as BUILD_DIR/crash-* (or leak-*, timeout-*).
set -eu
seconds=${1:-30}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-fuzz}
command -v clang++ > /dev/null || { echo "run_fuzz.sh: clang++ not found (Debian: clang libclang-rt-dev)"; exit 1; }

cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$build.log" 2>&1 ||
  { cat "$build.log"; exit 1; }
cmake --build "$build" -j 2 >> "$build.log" 2>&1 || { cat "$build.log"; exit 1; }

mkdir -p "$build/seeds" "$build/corpus"
"$build/mesh_reader_seeds" "$build/seeds"
cd "$build"
half=$(( (seconds + 4) / 5 ))
# fuzz NAME WHAT LOG MAX_LEN [OPTIONS] CORPUS...: one fuzzer for $half s.
fuzz() {
  name=$1; what=$2; log=$3; length=$4; shift 4
  echo "fuzzing $what for $half s"
  "./$name" -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len="$length" \
    -artifact_prefix="$build/" -print_final_stats=1 "$@" > "$log" 2>&1 ||
    { tail -n 60 "$log"; echo "fuzzing found a failure: see $build"; exit 1; }
  grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
}
mkdir -p merge-corpus gltf-seeds gltf-corpus gltf-mesh-corpus landmark-corpus
./gltf_seeds gltf-seeds
fuzz mesh_reader_fuzzer "the mesh readers" fuzz.log 8192 -dict="$root/fuzz/mesh_reader.dict" corpus seeds
fuzz merge_fuzzer "prepare and the merge" merge-fuzz.log 512 merge-corpus
fuzz gltf_reader_fuzzer "the glTF reader" gltf-fuzz.log 65536 gltf-corpus gltf-seeds
fuzz gltf_mesh_fuzzer "glTF input meshes" gltf-mesh-fuzz.log 65536 gltf-mesh-corpus gltf-seeds
fuzz landmark_fuzzer "landmark files" landmark-fuzz.log 256 landmark-corpus
echo "fuzzing passed: no crash, leak or hang"
