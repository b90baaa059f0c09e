#!/usr/bin/env bash
# Takes the pictures of the 3D view that a person looks at (the sample figure in every colour
# mode, in wireframe, with vertex points and a soft selection, from the side views, with the
# rotation centre marker, while the camera moves, from below without face culling, and a
# camera-slot thumbnail) under Xvfb, as PNG files.
#
#   bash scripts/view-screenshots.sh [BUILD_DIR] [OUT_DIR]
#
# BUILD_DIR defaults to build-view, OUT_DIR to BUILD_DIR/screenshots.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build-view}"
out="${2:-$build/screenshots}"

if [[ ! -f "$build/CMakeCache.txt" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DTARVEL_GUI=ON
fi
cmake --build "$build" --target tarvel_view_tests
mkdir -p "$out"
TARVEL_SCREENSHOT_DIR="$out" xvfb-run -a -s "-screen 0 1280x1024x24" \
  "$build/tests/view/tarvel_view_tests" --gtest_also_run_disabled_tests \
  --gtest_filter='ViewScreenshots.*'
echo "view-screenshots: pictures in $out"
