#!/bin/sh
# Installs the Khronos glTF validator from npm into DIR (default: the
# current directory), unless it is there already.
set -e
dir=${1:-.}
if [ -f "$dir/node_modules/gltf-validator/package.json" ]; then
  exit 0
fi
mkdir -p "$dir"
npm install --prefix "$dir" --no-audit --no-fund --no-save --loglevel=error gltf-validator@2.0.0-dev.3.10
