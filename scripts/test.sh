#!/usr/bin/env bash
# Installs what is missing, then builds with warnings as errors and runs every
# test twice: in a plain build, and in one with AddressSanitizer and
# UndefinedBehaviorSanitizer. Without a display the tests run under Xvfb,
# window and OpenGL tests included.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"

"$root/scripts/deps.sh"

with_display() {
  if [ -n "${DISPLAY:-}" ]; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24" "$@"
  fi
}

build_and_test() {
  local build="$root/$1"
  shift
  echo "=== $(basename "$build")"
  cmake -S "$root" -B "$build" -DVORLANE_WERROR=ON "$@"
  cmake --build "$build" -j"$jobs"
  with_display ctest --test-dir "$build" --output-on-failure -j"$jobs" --timeout 300
}

build_and_test build-test
build_and_test build-sanitize -DVORLANE_SANITIZE=ON -DVORLANE_BUILD_BENCH=OFF

# Fuzzing of the mesh file readers and of prepare and the merge (fuzz/,
# built with clang): 30 s in all here;
# run fuzz/run_fuzz.sh SECONDS by hand for longer.
echo "=== build-fuzz"
bash "$root/fuzz/run_fuzz.sh" 30 "$root/build-fuzz"

echo "All tests passed in both builds; fuzzing found nothing."
