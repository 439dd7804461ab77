#!/bin/sh
# zevctl against simulators on pseudo-terminals: a download at the line rate
# and unpaced, its CPU time and wake-ups, and sixteen ports against one.
#
#   bench/download_pty.sh BIN_DIR [what...]
#   what: line:N  unpaced:N  cpu:N  ports:COUNT:transmit|download|erase[:N]
#
# Each figure is one run; the floor is the process start (zevctl show), the
# line time of the request and the stream at 1920 bytes a second, and the
# download's own waits: a 20 ms quiet-line watch before each of its two
# frames, the password check's 5 x 50 ms and its 20 ms reply probe, and the
# 300 ms pause that ends the stream (the 180 ms after the request is covered
# by the stream's line time).
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

now() { date +%s.%N; }
calc() { awk "BEGIN { printf \"%.3f\", $1 }"; }

# start_sims COUNT SIM_ARGS...: leaves the devices in $DEVICES
start_sims() {
    count=$1
    shift
    DEVICES=""
    i=0
    while [ "$i" -lt "$count" ]; do
        out="$WORK/sim$i.$(now)"
        "$BIN/zev-scanner-sim" --quiet --password 1234 "$@" >"$out" 2>/dev/null &
        SIMS="$SIMS $!"
        tries=0
        while ! grep -q '^DEVICE ' "$out" 2>/dev/null; do
            tries=$((tries + 1))
            [ "$tries" -lt 500 ] || { echo "no simulator" >&2; exit 1; }
            sleep 0.01
        done
        DEVICES="$DEVICES $(sed -n 's/^DEVICE //p' "$out")"
        i=$((i + 1))
    done
}

stop_sims() {
    for pid in $SIMS; do kill "$pid" 2>/dev/null || true; done
    for pid in $SIMS; do wait "$pid" 2>/dev/null || true; done
    SIMS=""
}

# run_zevctl ARGS...: wall seconds in $WALL, user+system CPU in $CPU,
# voluntary context switches in $WAKES
run_zevctl() {
    t0=$(now)
    /usr/bin/time -f '%U %S %w' -o "$WORK/rusage" "$BIN/zevctl" "$@" >/dev/null 2>"$WORK/stderr" || {
        echo "zevctl $* failed:" >&2
        cat "$WORK/stderr" >&2
        exit 1
    }
    t1=$(now)
    WALL=$(calc "$t1 - $t0")
    CPU=$(awk 'END { printf "%.3f", $1 + $2 }' "$WORK/rusage")
    WAKES=$(awk 'END { print $3 }' "$WORK/rusage")
}

port_args() {
    args=""
    for d in $DEVICES; do args="$args --port $d"; done
    echo "$args"
}

process_start() {
    run_zevctl show "$BIN/Default.mag"
    START=$WALL
}

download_once() { # records, sim args...
    records=$1
    shift
    start_sims 1 --records "$records" "$@"
    # shellcheck disable=SC2046
    run_zevctl $(port_args) --password 1234 download -o "$WORK/out.txt" --raw "$WORK/raw" --no-archive
    stop_sims
    BYTES=$(wc -c <"$WORK/raw")
}

waits=0.610 # 20 + 250 + 20 + 20 + 300 ms

for what in "$@"; do
    case $what in
    line:*)
        n=${what#line:}
        process_start
        download_once "$n"
        floor=$(calc "$START + $waits + (13 + $BYTES) / 1920")
        echo "download $n records at the line rate ($BYTES bytes): $WALL s, floor $floor s, ratio $(calc "$WALL / $floor"); zevctl CPU $CPU s, $WAKES voluntary context switches"
        ;;
    unpaced:*)
        n=${what#unpaced:}
        download_once "$n" --pace 0
        run_zevctl assemble "$WORK/raw"
        floor=$(calc "$WALL + $waits")
        download_once "$n" --pace 0
        echo "download $n records unpaced ($BYTES bytes): $WALL s, assemble + waits $floor s, ratio $(calc "$WALL / $floor"); zevctl CPU $CPU s, $WAKES voluntary context switches"
        ;;
    cpu:*)
        n=${what#cpu:}
        download_once "$n"
        echo "download $n records at the line rate: CPU $CPU s, $WAKES voluntary context switches, wall $WALL s"
        ;;
    ports:*)
        portsArg=${what#ports:}
        count=${portsArg%%:*}
        rest=${portsArg#*:}
        cmd=${rest%%:*}
        n=40
        [ "$rest" = "$cmd" ] || n=${rest#*:}
        for p in 1 "$count"; do
            start_sims "$p" --records "$n"
            case $cmd in
            transmit) set -- transmit "$BIN/Default.mag" ;;
            download) mkdir -p "$WORK/dir$p"; set -- download -o "$WORK/dir$p" --no-archive ;;
            erase) set -- erase --yes ;;
            esac
            # shellcheck disable=SC2046
            run_zevctl $(port_args) --password 1234 "$@"
            stop_sims
            eval "wall$p=$WALL cpu$p=$CPU"
        done
        eval "w=\$wall$count c=\$cpu$count"
        echo "$cmd ($n records) on $count ports vs 1: wall $w s vs $wall1 s (ratio $(calc "$w / $wall1")), CPU per port $(calc "$c / $count") s vs $cpu1 s (ratio $(calc "$c / $count / $cpu1"))"
        ;;
    *)
        echo "unknown: $what" >&2
        exit 1
        ;;
    esac
done
