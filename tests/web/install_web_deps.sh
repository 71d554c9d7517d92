#!/bin/sh
# Installs three.js and playwright-core from npm into DIR (default: the
# current directory), unless the pinned versions are there already. The
# browser is Debian's chromium, never one that playwright would download.
set -e
dir=${1:-.}
three=0.187.0
playwright=1.65.2
installed() {
  grep -q "\"version\": \"$2\"" "$dir/node_modules/$1/package.json" 2>/dev/null
}
if installed three $three && installed playwright-core $playwright; then
  exit 0
fi
mkdir -p "$dir"
PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm install --prefix "$dir" --no-audit --no-fund --no-save --loglevel=error \
  three@$three playwright-core@$playwright
