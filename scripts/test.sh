#!/usr/bin/env bash
# Installs what the build needs, builds everything and runs all tests.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer and UndefinedBehaviorSanitizer in build-asan/
#   scripts/test.sh --release   the core and its tests optimised as a packager builds them
#                               (Release, -O3) in build-release/
#   scripts/test.sh --clang     the core and its tests built with clang in build-clang/
# Warnings are errors when the environment says TARVEL_WERROR=ON (CI does).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
case "${1:-}" in
  "") ;;
  --sanitize)
    dir=build-asan
    flags=(-DCMAKE_BUILD_TYPE=Debug -DTARVEL_SANITIZE=ON -DTARVEL_BENCHMARKS=OFF)
    ;;
  --release)
    dir=build-release
    flags=(-DCMAKE_BUILD_TYPE=Release -DTARVEL_GUI=OFF -DTARVEL_BENCHMARKS=OFF)
    ;;
  --clang)
    dir=build-clang
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEL_GUI=OFF -DTARVEL_BENCHMARKS=OFF
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    ;;
  *)
    echo "usage: scripts/test.sh [--sanitize | --release | --clang]" >&2
    exit 2
    ;;
esac
flags+=(-DTARVEL_WERROR="${TARVEL_WERROR:-OFF}")
source scripts/compiler-cache.sh
cmake -S . -B "$dir" -G Ninja "${flags[@]}" "${cache_flags[@]}"
cmake --build "$dir"
ctest --test-dir "$dir" --output-on-failure -j2
