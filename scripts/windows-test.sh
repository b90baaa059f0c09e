#!/usr/bin/env bash
# Cross-builds the core, the batch tool and the core tests for 64-bit Windows with Debian's
# MinGW-w64, runs the tests under Wine, and checks that `tarvel-batch apply` under Wine writes
# the same target files and manifest, byte for byte, as the Linux batch tool on the sample
# figure.
#   bash scripts/windows-test.sh
# Builds in build-windows/ (GoogleTest from Debian's source package in build-windows/gtest/);
# the Linux batch tool comes from build/ (built there when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh --windows

dir=build-windows
toolchain=$root/cmake/mingw-w64.cmake
gtest=$root/$dir/gtest
if [[ ! -f $gtest/lib/cmake/GTest/GTestConfig.cmake ]]; then
  cmake -S /usr/src/googletest -B "$dir/googletest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$gtest" >/dev/null
  cmake --build "$dir/googletest-build"
  cmake --install "$dir/googletest-build" >/dev/null
fi
# The JSON library is headers only: the host's serves, from a folder that holds only it.
mkdir -p "$dir/json-include"
ln -sfn /usr/include/nlohmann "$dir/json-include/nlohmann"
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTARVEL_JSON_INCLUDE="$root/$dir/json-include" \
  -DGTest_DIR="$gtest/lib/cmake/GTest" -DTARVEL_GUI=OFF -DTARVEL_BENCHMARKS=OFF \
  -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
cmake --build "$dir" --target tarvel_tests tarvel-batch tarvel_layer_mesh tarvel_layer_stack \
  tarvel_layer_commands

# A Wine of our own, quiet, without the Mono and Gecko installers.
export WINEPREFIX=$root/$dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineboot --init >/dev/null 2>&1 || true

echo "== core tests under Wine"
wine "$dir/tests/tarvel_tests.exe" --gtest_brief=1
echo "== each layer of the core linked alone, under Wine"
for layer in mesh stack commands; do wine "$dir/tests/tarvel_layer_$layer.exe"; done

echo "== tarvel-batch apply, Linux and Windows"
if [[ ! -x build/src/tarvel-batch ]]; then
  [[ -f build/CMakeCache.txt ]] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
  cmake --build build --target tarvel-batch
fi
work=$dir/apply
rm -rf "$work"
mkdir -p "$work"
cp samples/figure.obj tests/data/every_kind.stk "$work/"
# Both run in the same folder with the same relative names, so the files may name them.
# The stack holds one command of every kind, made on the tests' small figure: the selections of
# groups and materials the sample figure lacks are reported on standard error and skipped.
# (No --project: a project stores its own full path, which differs between the systems.)
(cd "$work" && "$root/build/src/tarvel-batch" apply every_kind.stk figure.obj --out linux --quiet)
(cd "$work" && wine "$root/$dir/src/tarvel-batch.exe" apply every_kind.stk figure.obj \
  --out windows --quiet)
count=$(find "$work/linux" -name '*.obj' | wc -l)
((count > 0)) || { echo "windows: the Linux batch tool wrote no targets" >&2; exit 1; }
diff -r "$work/linux" "$work/windows"
echo "windows ok: $count targets and the manifest byte-identical"
