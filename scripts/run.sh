#!/usr/bin/env bash
# Installs what the build needs, builds, and opens the bundled sample figure in the window.
# Without a display it prints the figure's summary with the batch tool instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
figure=${1:-samples/figure.obj}
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "run.sh: no display; showing the figure with the batch tool" >&2
  exec build/src/tarvel-batch info "$figure"
fi
exec build/src/app/tarvel "$figure"
