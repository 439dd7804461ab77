#!/usr/bin/env bash
# The whole test suite: installs what is missing, builds with the sanitizers, runs every test headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug -DZEV_SANITIZE=ON -DZEV_WERROR=ON
cmake --build build-test
cd build-test
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --parallel 2 "$@"
