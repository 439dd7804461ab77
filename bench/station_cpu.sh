#!/bin/sh
# CPU time of zevctl watch serving 16 ports: first 16 empty cradles (the ports
# are there, no scanner answers), then 16 docked scanners with nothing to
# collect. Reads the process's user and system time from /proc before and
# after SECONDS of watching (default 600), after a warm-up in which the docked
# scanners are collected once.
#
#   bench/station_cpu.sh BIN_DIR [SECONDS]
set -eu
bin=$1
seconds=${2:-600}
ports=16
work=$(mktemp -d)
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
sims=""
watcher=""
cleanup() {
    [ -n "$watcher" ] && kill "$watcher" 2>/dev/null || true
    for p in $sims; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

ticks() { # user + system time of a process, in clock ticks
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

measure() { # $1: the label, $2: extra simulator option (or nothing)
    sims=""
    args=""
    i=1
    while [ $i -le $ports ]; do
        "$bin/zev-scanner-sim" --quiet --link "$work/tty$i" --machine-id "B$i" $2 >/dev/null 2>&1 &
        sims="$sims $!"
        args="$args --port $work/tty$i"
        i=$((i + 1))
    done
    sleep 2
    # shellcheck disable=SC2086
    "$bin/zevctl" watch $args --password 1234 2>"$work/watch.log" &
    watcher=$!
    sleep 10
    start=$(ticks "$watcher")
    sleep "$seconds"
    end=$(ticks "$watcher")
    hz=$(getconf CLK_TCK)
    awk -v l="$1" -v t=$((end - start)) -v hz="$hz" -v s="$seconds" -v n=$ports 'BEGIN {
        printf "%s: %.2f s of CPU in %d s over %d ports: %.3f %% of one core\n", l, t / hz, s, n, 100 * t / hz / s }'
    kill -TERM "$watcher"
    wait "$watcher" || true
    watcher=""
    for p in $sims; do kill "$p" 2>/dev/null || true; done
    sims=""
    sleep 1
}

measure "16 empty cradles" --undocked
measure "16 docked idle scanners" ""
