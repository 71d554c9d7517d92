#!/usr/bin/env bash
# Installs the Debian packages that building, the demo and the tests need,
# and only those missing. Debian 12; run as root or with sudo available.
set -euo pipefail

packages=(
  build-essential cmake
  qt6-base-dev libqt6opengl6-dev libgl-dev libglu1-mesa-dev libx11-dev
  libgtest-dev libgmock-dev libbenchmark-dev libgmp-dev libopenmesh-dev libtinygltf-dev libeigen3-dev libspectra-dev
  nlohmann-json3-dev libmeshoptimizer-dev libpng-dev
  xvfb xauth xdotool x11-utils
  clang libclang-rt-dev
  pybind11-dev python3-dev python3-numpy python3-pytest blender libcgal-demo
  chromium  # tests/web plays written morphs in three.js, headless
)
# The glTF validator runs on node; some machines carry a node of their own
# that brings npm with it, so ask only for what is not on the path.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

missing=()
for package in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "deps.sh: missing ${missing[*]}; run as root to install them" >&2; exit 1; }
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
