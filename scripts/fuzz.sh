#!/usr/bin/env bash
# Runs every fuzz target under libFuzzer for a while (default 60 s each).
# usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
seconds=${1:-60}
cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
  -DZEV_FUZZ=ON -DZEV_BENCH=OFF
targets=$(sed -n 's/^zev_add_fuzz(\([a-z_]*\).*/\1/p' tests/fuzz/CMakeLists.txt)
cmake --build build-fuzz --target $targets
for t in $targets; do
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  build-fuzz/bin/$t -max_total_time="$seconds" -max_len=65536 "$work" tests/fuzz/corpus/$t
done
