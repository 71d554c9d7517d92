#!/usr/bin/env bash
# Makes docs/screenshot.png: the demo on a virtual screen, halfway through its
# morphs, with the light moved back so that the shadows fall on the floor.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-demo"
out="$root/docs/screenshot.png"

if [ "${1:-}" != "--on-screen" ]; then
  "$root/scripts/deps.sh"
  if [ "$(dpkg-query -W -f='${Status}' imagemagick 2>/dev/null)" != "install ok installed" ]; then
    as_root=()
    [ "$(id -u)" -ne 0 ] && as_root=(sudo)
    DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y --no-install-recommends imagemagick
  fi
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLANE_BUILD_BENCH=OFF
  cmake --build "$build" --target vorlane -j"$(nproc)"
  # A screen of its own, so that no other window covers the demo.
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-screen
fi

work="$(mktemp -d)"
trap 'kill "$demo" 2>/dev/null || true; rm -rf "$work"' EXIT
(cd "$work" && exec "$build/app/vorlane") &
demo=$!
window="$(xdotool search --sync --onlyvisible --name '^Vorlane$' | head -n 1)"
xdotool windowfocus --sync "$window"
# Fifty Page Down presses move the light 250 units back; S then stops the
# timer about halfway between the two models.
xdotool key --delay 5 --repeat 50 Next
sleep 0.5
xdotool key s
sleep 0.5
import -window "$window" "$out"
echo "Wrote $out"
