#!/usr/bin/env bash
# Runs the fuzz targets under AddressSanitizer and UndefinedBehaviorSanitizer, one after the
# other, each for SECONDS, starting from a seed corpus of valid files that the program makes.
#   scripts/fuzz.sh [SECONDS] [TARGET...]
# Targets: object_stream obj_reader target_geometry stack_file stack_json project_file
# (default: all).
# Builds in build-fuzz/ with clang; the corpus grows in build-fuzz/fuzz-work/corpus/ between
# runs. An input that crashes, hangs or breaks an invariant is copied to
# tests/data/fuzz/<target>/, where the test suite runs it again once it is mended; the script
# then exits with status 1.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(object_stream obj_reader target_geometry stack_file stack_json project_file)
fi

bash scripts/setup.sh
dir=build-fuzz
source scripts/compiler-cache.sh
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${cache_flags[@]}" \
  -DTARVEL_FUZZ=ON -DTARVEL_GUI=OFF -DTARVEL_TESTS=OFF -DTARVEL_BENCHMARKS=OFF \
  -DTARVEL_WERROR="${TARVEL_WERROR:-OFF}" >/dev/null
cmake --build "$dir" --target fuzz_make_seeds "${targets[@]/#/fuzz_}"

work=$dir/fuzz-work
seeds=$work/seeds
rm -rf "$seeds"
"$dir/fuzz/fuzz_make_seeds" "$seeds"
# The committed golden files are valid inputs too.
cp tests/data/*.stk "$seeds/stack_file/"
cp tests/data/*.vnx "$seeds/project_file/"

failed=0
for t in "${targets[@]}"; do
  corpus=$work/corpus/$t
  crashes=$work/crashes/$t
  mkdir -p "$corpus" "$crashes"
  echo "== fuzz_$t for ${seconds}s"
  set +e
  "$dir/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$crashes/" -print_final_stats=1 "$corpus" "$seeds/$t" \
    >"$work/$t.log" 2>&1
  status=$?
  set -e
  grep -E "^(stat::number_of_executed_units|stat::new_units_added|Done)" "$work/$t.log" || true
  shopt -s nullglob
  found=("$crashes"/crash-* "$crashes"/timeout-* "$crashes"/oom-* "$crashes"/leak-*)
  shopt -u nullglob
  if ((status != 0 || ${#found[@]} > 0)); then
    failed=1
    echo "fuzz_$t FAILED (status $status); log: $work/$t.log"
    tail -n 40 "$work/$t.log"
    mkdir -p "tests/data/fuzz/$t"
    for f in "${found[@]}"; do
      cp "$f" "tests/data/fuzz/$t/"
      echo "kept $(basename "$f") in tests/data/fuzz/$t/"
    done
    rm -f "${found[@]}"
  fi
done
exit $failed
