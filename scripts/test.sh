#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs all tests.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
if [[ "${1:-}" == "--sanitize" ]]; then
  dir=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVEL_SANITIZE=ON -DTARVEL_BENCHMARKS=OFF)
fi
cmake -S . -B "$dir" -G Ninja "${flags[@]}"
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j2
