#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. It writes
# Temp.txt and its face dumps into build-demo/run.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-demo"

"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLANE_BUILD_BENCH=OFF
cmake --build "$build" --target vorlane -j"$(nproc)"

mkdir -p "$build/run"
cd "$build/run"
if [ -n "${DISPLAY:-}" ]; then
  exec "$build/app/vorlane"
fi
echo "No display is set: the demo runs on a virtual screen (Xvfb) where it cannot be seen." >&2
echo "Set DISPLAY to watch it; Ctrl+C stops it." >&2
exec xvfb-run -a -s "-screen 0 1280x1024x24" "$build/app/vorlane"
