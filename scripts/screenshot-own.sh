#!/usr/bin/env bash
# Makes docs/own-morph.png: the window showing a morph of two meshes of one's
# own, halfway, on a virtual screen, saved by the window's own Ctrl+S.
# PAIR="A B" OUT=picture.png takes two mesh files of one's own instead, and
# BUILD=dir a build that holds the program already.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${BUILD:-$root/build-demo}"
out="${OUT:-$root/docs/own-morph.png}"

if [ "${1:-}" != "--on-screen" ]; then
  [ -n "${BUILD:-}" ] && exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-screen
  "$root/scripts/deps.sh"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLANE_BUILD_BENCH=OFF
  cmake --build "$build" --target vorlane -j"$(nproc)"
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-screen
fi

work="$(mktemp -d)"
trap 'kill "$viewer" 2>/dev/null || true; rm -rf "$work"' EXIT
# The pair of the README's other picture: a star-shaped prism and a bumpy ball.
if [ -n "${PAIR:-}" ]; then
  read -r source target <<< "$PAIR"
  source="$(realpath "$source")"; target="$(realpath "$target")"
else
  python3 -c 'import sys; sys.path.insert(0, sys.argv[1]); import make_morph_picture as m
m.star_prism_off(sys.argv[2] + "/star-prism.off"); m.bumpy_ball_stl(sys.argv[2] + "/bumpy-ball.stl")' \
    "$root/docs" "$work"
  source=star-prism.off; target=bumpy-ball.stl
fi
saved="vorlane-$(basename "${source%.*}")-$(basename "${target%.*}")-step10.png"
(cd "$work" && exec "$build/app/vorlane" "$source" "$target") &
viewer=$!
window="$(xdotool search --sync --onlyvisible --name '^Vorlane: ' | head -n 1)"
xdotool windowfocus --sync "$window"
# Wait for the morph (the clock starts with it), stop it, walk to step 10, save.
sleep 3
xdotool key s
for _ in $(seq 20); do xdotool key r; done
for _ in $(seq 10); do xdotool key f; done
xdotool key Next Next Next Next Next Next Next Next Next Next ctrl+s
sleep 1
cp "$work/$saved" "$out"
echo "Wrote $out"
