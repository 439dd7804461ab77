#!/usr/bin/env bash
# Builds the program and starts it against the scanner simulator on COM 1.
# With --real it starts the program alone, for a scanner on a real serial port;
# any other arguments go to the program (for example --com 1=/dev/ttyUSB0).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEV_TESTS=OFF -DZEV_BENCH=OFF
cmake --build build

if [ "${1:-}" = "--real" ]; then
  shift
  exec build/bin/zev-setting "$@"
fi

password=1234
link="${TMPDIR:-/tmp}/zev-sim-com1-$$"
log="${TMPDIR:-/tmp}/zev-sim-$$.log"
build/bin/zev-scanner-sim --password "$password" --records 25 --link "$link" 2>"$log" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null || true; rm -f "$log"' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done
echo "Scanner simulator on $link (COM 1), log in with password: $password"
echo "Its log of frames and replies: $log"
build/bin/zev-setting --com 1="$link" "$@"
