#!/usr/bin/env bash
# Installs what the build needs, builds, and opens the bundled sample figure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec build/src/tarvel-batch info "${1:-samples/figure.obj}"
