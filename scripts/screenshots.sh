#!/usr/bin/env bash
# Builds the window program and takes pictures of it under Xvfb: the main window on the sample
# figure with a stack of a few commands, each dialog, the About window, the guide and the splash.
#   bash scripts/screenshots.sh [OUTDIR]     (default: build/screenshots)
# BUILD_DIR chooses the build folder (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
out=${1:-$build/screenshots}
if [[ ! -d "$build" ]]; then
  bash scripts/setup.sh
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target tarvel_screenshots
rm -rf "$out"
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1400x900x24" "$build/src/app/tarvel_screenshots" "$out" \
  samples/figure.obj
echo "pictures in $out"
