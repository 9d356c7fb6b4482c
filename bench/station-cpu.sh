#!/usr/bin/env bash
# The station's CPU use with four simulated cameras, headless, in fresh folders.
#
# First the steady state: user+system time of the process from /proc over 20 s, starting 5 s
# after capture-started, as a share of one core, and the statistics line of that run. Then a
# whole `--headless --duration 20` run, start-up included, timed by the shell.
#
#   bench/station-cpu.sh [OPTIONS]     OPTIONS go to the station (for example
#                                      --set Distime=40 --set Intervaltime=0); with --window
#                                      the station paints its window offscreen instead of
#                                      running headless
#   OVISTRA_PROGRAM=path/to/ovistra    another program than build/out/ovistra
#   STATION_CPU_CLIENTS=COMMAND        with --rtsp[=PORT]: COMMAND URL runs beside the steady
#                                      state from before the settling time on (URL from the
#                                      rtsp-listening line), for example bench/rtsp-clients.sh
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${OVISTRA_PROGRAM:-$root/build/out/ovistra}
measure_s=20
settle_s=5

if [ ! -x "$program" ]; then
    echo "No station at $program: build it first (./scripts/test.sh or cmake --build build)." >&2
    exit 1
fi

mode=--headless
for option in "$@"; do
    [ "$option" = --window ] && mode=
done
# Never a real display: the window, if any, is painted into memory.
unset DISPLAY WAYLAND_DISPLAY

scratch=$(mktemp -d)
station=
clients=
cleanup() {
    if [ -n "$clients" ]; then
        kill "$clients" 2>/dev/null || true
    fi
    if [ -n "$station" ]; then
        kill "$station" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

# A fresh home, data, config and runtime folder for one run.
fresh_env() {
    local home=$scratch/$1
    mkdir -p "$home/run"
    chmod 700 "$home/run"
    echo HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" \
        XDG_RUNTIME_DIR="$home/run"
}

cpu_ticks() {
    # utime and stime, fields 14 and 15 of /proc/PID/stat (after the command name's parentheses).
    sed 's/^.*) //' "/proc/$1/stat" | awk '{print $12 + $13}'
}

events=$scratch/steady.events
: >"$events"
# shellcheck disable=SC2046
env $(fresh_env steady) "$program" $mode "$@" >"$events" 2>"$scratch/steady.err" &
station=$!
for _ in $(seq 1 300); do
    grep -q ' capture-started' "$events" && break
    if ! kill -0 "$station" 2>/dev/null; then
        echo "The station ended before capture started:" >&2
        cat "$events" "$scratch/steady.err" >&2
        exit 1
    fi
    sleep 0.1
done
grep -q ' capture-started' "$events" || { echo "No capture-started within 30 s." >&2; exit 1; }
if [ -n "${STATION_CPU_CLIENTS:-}" ]; then
    url=$(grep -m1 -o 'rtsp-listening url=[^ ]*' "$events" | cut -d= -f2- || true)
    [ -n "$url" ] || { echo "No rtsp-listening line: give --rtsp." >&2; exit 1; }
    $STATION_CPU_CLIENTS "$url" >"$scratch/clients.out" 2>&1 &
    clients=$!
fi
sleep "$settle_s"
hz=$(getconf CLK_TCK)
before=$(cpu_ticks "$station")
sleep "$measure_s"
after=$(cpu_ticks "$station")
if [ -n "$clients" ]; then
    kill "$clients"
    wait "$clients" || true
    clients=
    grep -c ' rtsp-client ' "$events" | sed 's/^/rtsp clients seen: /'
fi
kill -INT "$station"
wait "$station" || true
station=
awk -v d=$((after - before)) -v hz="$hz" -v s="$measure_s" \
    'BEGIN { printf "cpu %.1f%% of one core\n", 100 * d / hz / s }'
grep -m1 ' capture-started' "$events" | cut -d' ' -f2-
grep ' statistics' "$events" | cut -d' ' -f2-

# The whole run, start-up and shutdown included.
TIMEFORMAT='%R %U %S'
times=$( { time env $(fresh_env whole) "$program" $mode --duration "$measure_s" "$@" \
    >"$scratch/whole.events" 2>"$scratch/whole.err"; } 2>&1 )
read -r real user sys <<<"$times"
awk -v r="$real" -v u="$user" -v s="$sys" \
    'BEGIN { printf "whole run: %.1f%% of one core (%.2f s user, %.2f s system in %.2f s)\n", 100 * (u + s) / r, u, s, r }'
grep ' statistics' "$scratch/whole.events" | cut -d' ' -f2-
