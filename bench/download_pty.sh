#!/bin/sh
# zevctl against simulators on pseudo-terminals: a download at the line rate
# and unpaced, its CPU time and wake-ups, and sixteen ports against one.
#
#   bench/download_pty.sh BIN_DIR [what...]
#   what: line:N  unpaced:N  cpu:N  ports:COUNT:transmit|download|erase[:N]
#   REPEAT=n (default 3): runs of each, the median reported
#
# The downloads measure the exchange: the records go to stdout (/dev/null)
# and not to the store (--no-ledger), so no file is synced to the disk
# (bench_ledger measures the store). The floor is the process start (zevctl
# show), the line time of the request and the stream at 1920 bytes a second,
# and the download's own waits: a 20 ms quiet-line watch before each of its
# two frames, the password check's 5 x 50 ms and its 20 ms reply probe, and
# the 300 ms pause that ends the stream (the 180 ms after the request is
# covered by the stream's line time).
set -eu
BIN=$(cd "$1" && pwd)
shift
WORK=$(mktemp -d)
SIMS=""
cleanup() {
    for pid in $SIMS; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

REPEAT=${REPEAT:-3}
now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.4f\", $1 }"; }
median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# start_sims COUNT SIM_ARGS...: leaves the devices in $DEVICES
start_sims() {
    count=$1
    shift
    DEVICES=""
    i=0
    while [ "$i" -lt "$count" ]; do
        out="$WORK/sim$i.$(now)"
        "$BIN/zev-scanner-sim" --password 1234 "$@" >"$out" 2>"$out.log" &
        SIMS="$SIMS $!"
        tries=0
        while ! grep -q '^DEVICE ' "$out" 2>/dev/null; do
            tries=$((tries + 1))
            [ "$tries" -lt 500 ] || { echo "no simulator" >&2; exit 1; }
            sleep 0.01
        done
        DEVICES="$DEVICES $(sed -n 's/^DEVICE //p' "$out")"
        LOG="$out.log"
        i=$((i + 1))
    done
}

stop_sims() {
    for pid in $SIMS; do kill "$pid" 2>/dev/null || true; done
    for pid in $SIMS; do wait "$pid" 2>/dev/null || true; done
    SIMS=""
}

# run_zevctl ARGS...: wall seconds in $WALL, user+system CPU in $CPU,
# voluntary context switches in $WAKES (getrusage of the process, to the microsecond)
run_zevctl() {
    python3 - "$BIN/zevctl" "$@" >"$WORK/rusage" 2>"$WORK/stderr" <<'EOF_PY' || {
import os, subprocess, sys, time
t0 = time.monotonic()
p = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL, stderr=sys.stderr)
_, status, u = os.wait4(p.pid, 0)
print("%.4f %.4f %d" % (time.monotonic() - t0, u.ru_utime + u.ru_stime, u.ru_nvcsw))
sys.exit(os.waitstatus_to_exitcode(status))
EOF_PY
        echo "zevctl $* failed:" >&2
        cat "$WORK/stderr" >&2
        exit 1
    }
    read -r WALL CPU WAKES <"$WORK/rusage"
}

port_args() {
    args=""
    for d in $DEVICES; do args="$args --port $d"; done
    echo "$args"
}

# medians FUNCTION ARGS...: FUNCTION (which sets $WALL, $CPU and $WAKES) run
# REPEAT times; the medians left in them
medians() {
    fn=$1
    shift
    walls="" cpus="" wakes=""
    r=0
    while [ "$r" -lt "$REPEAT" ]; do
        "$fn" "$@"
        walls="$walls $WALL" cpus="$cpus $CPU" wakes="$wakes $WAKES"
        r=$((r + 1))
    done
    WALL=$(echo "$walls" | median) CPU=$(echo "$cpus" | median) WAKES=$(echo "$wakes" | median)
}

process_start() {
    medians run_zevctl show "$BIN/Default.mag"
    START=$WALL
}

download_once() { # records, sim args...
    records=$1
    shift
    start_sims 1 --records "$records" "$@"
    # shellcheck disable=SC2046
    run_zevctl --no-ledger $(port_args) --password 1234 download --no-archive
    stop_sims
    BYTES=$(sed -n 's/.*-> \([0-9]*\) bytes from.*/\1/p' "$LOG" | tail -1)
}

ports_once() { # ports, records, command
    start_sims "$1" --records "$2"
    case $3 in
    transmit) set -- transmit "$BIN/Default.mag" ;;
    download) mkdir -p "$WORK/dir$1"; set -- download -o "$WORK/dir$1" --no-archive ;;
    erase) set -- erase --yes ;;
    esac
    # shellcheck disable=SC2046
    run_zevctl --no-ledger $(port_args) --password 1234 "$@"
    stop_sims
}

waits=0.610 # 20 + 250 + 20 + 20 + 300 ms

for what in "$@"; do
    case $what in
    line:*)
        n=${what#line:}
        process_start
        medians download_once "$n"
        floor=$(calc "$START + $waits + (13 + $BYTES) / 1920")
        echo "download $n records at the line rate ($BYTES bytes): $WALL s, floor $floor s (start $START s), ratio $(calc "$WALL / $floor"); zevctl CPU $CPU s, $WAKES voluntary context switches (medians of $REPEAT)"
        ;;
    unpaced:*)
        n=${what#unpaced:}
        start_sims 1 --records "$n" --pace 0
        # shellcheck disable=SC2046
        run_zevctl --no-ledger $(port_args) --password 1234 download --no-archive --raw "$WORK/raw"
        stop_sims
        medians run_zevctl assemble "$WORK/raw"
        floor=$(calc "$WALL + $waits")
        medians download_once "$n" --pace 0
        echo "download $n records unpaced ($BYTES bytes): $WALL s, assemble + waits $floor s, ratio $(calc "$WALL / $floor"); zevctl CPU $CPU s, $WAKES voluntary context switches (medians of $REPEAT)"
        ;;
    cpu:*)
        n=${what#cpu:}
        medians download_once "$n"
        echo "download $n records at the line rate: CPU $CPU s, $WAKES voluntary context switches, wall $WALL s (medians of $REPEAT)"
        ;;
    ports:*)
        portsArg=${what#ports:}
        count=${portsArg%%:*}
        rest=${portsArg#*:}
        cmd=${rest%%:*}
        n=40
        [ "$rest" = "$cmd" ] || n=${rest#*:}
        process_start
        startCpu=$CPU
        # One port and all of them in turns, so a change in the machine's
        # load falls on both alike.
        walls1="" cpus1="" wallsN="" cpusN="" many=$count
        r=0
        while [ "$r" -lt "$REPEAT" ]; do
            ports_once 1 "$n" "$cmd"
            walls1="$walls1 $WALL" cpus1="$cpus1 $CPU"
            ports_once "$many" "$n" "$cmd"
            wallsN="$wallsN $WALL" cpusN="$cpusN $CPU"
            r=$((r + 1))
        done
        wall1=$(echo "$walls1" | median) cpu1=$(echo "$cpus1" | median)
        w=$(echo "$wallsN" | median) c=$(echo "$cpusN" | median)
        echo "$cmd ($n records) on $many ports vs 1: wall $w s vs $wall1 s (ratio $(calc "$w / $wall1")); CPU $c s vs $cpu1 s, per port $(calc "$c / $many") s (ratio $(calc "$c / $many / $cpu1")); without the process start ($startCpu s) per port $(calc "($c - $startCpu) / $many") s vs $(calc "$cpu1 - $startCpu") s (medians of $REPEAT)"
        ;;
    *)
        echo "unknown: $what" >&2
        exit 1
        ;;
    esac
done
