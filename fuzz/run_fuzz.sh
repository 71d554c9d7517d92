#!/bin/sh
# Builds the fuzzers with clang and runs them for SECONDS (default 30) in
# all, a quarter each: the mesh readers' and the glTF reader's from their
# seed corpora, prepare and the merge's, and landmark files through the whole
# path; a crash, leak, hang or broken promise fails.
#   fuzz/run_fuzz.sh [SECONDS] [BUILD_DIR]
# Inputs it finds go to BUILD_DIR/corpus, merge-corpus, gltf-corpus and
# landmark-corpus, so longer runs can resume; a
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
half=$(( (seconds + 3) / 4 ))
echo "fuzzing the mesh readers for $half s"
./mesh_reader_fuzzer -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
  -dict="$root/fuzz/mesh_reader.dict" -artifact_prefix="$build/" -print_final_stats=1 \
  corpus seeds > fuzz.log 2>&1 || { tail -n 60 fuzz.log; echo "fuzzing found a failure: see $build"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' fuzz.log || true
mkdir -p merge-corpus
echo "fuzzing prepare and the merge for $half s"
./merge_fuzzer -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len=512 \
  -artifact_prefix="$build/" -print_final_stats=1 \
  merge-corpus > merge-fuzz.log 2>&1 || { tail -n 60 merge-fuzz.log; echo "fuzzing found a failure: see $build"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' merge-fuzz.log || true
mkdir -p gltf-seeds gltf-corpus
./gltf_seeds gltf-seeds
echo "fuzzing the glTF reader for $half s"
./gltf_reader_fuzzer -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$build/" -print_final_stats=1 \
  gltf-corpus gltf-seeds > gltf-fuzz.log 2>&1 || { tail -n 60 gltf-fuzz.log; echo "fuzzing found a failure: see $build"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' gltf-fuzz.log || true
mkdir -p landmark-corpus
echo "fuzzing landmark files for $half s"
./landmark_fuzzer -max_total_time="$half" -timeout=10 -rss_limit_mb=2048 -max_len=256 \
  -artifact_prefix="$build/" -print_final_stats=1 \
  landmark-corpus > landmark-fuzz.log 2>&1 || { tail -n 60 landmark-fuzz.log; echo "fuzzing found a failure: see $build"; exit 1; }
grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' landmark-fuzz.log || true
echo "fuzzing passed: no crash, leak or hang"
