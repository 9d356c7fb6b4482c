#!/usr/bin/env bash
# The network view's delays with a headless station on the simulated device, fresh folders:
# first picture (a player's request to its first decoded picture, the player's own start
# included) on each path, five times, and the stamp-to-client delay of camera 1 (see
# rtsp_stamp_delay.py). The player probes half a second at most (-analyzeduration 500000);
# left to its defaults, ffmpeg first watches about three seconds of pictures to estimate their
# rate, which is shown once for comparison.
#
#   bench/rtsp-latency.sh [OPTIONS]    OPTIONS go to the station
#   OVISTRA_PROGRAM=path/to/ovistra    another program than build/out/ovistra
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${OVISTRA_PROGRAM:-$root/build/out/ovistra}
port=${RTSP_PORT:-18555}
unset DISPLAY WAYLAND_DISPLAY

scratch=$(mktemp -d)
station=
cleanup() {
    if [ -n "$station" ]; then
        kill "$station" 2>/dev/null || true
    fi
    rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/run" && chmod 700 "$scratch/run"
HOME=$scratch XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config \
    XDG_RUNTIME_DIR=$scratch/run "$program" --headless --rtsp="$port" "$@" \
    >"$scratch/events" 2>"$scratch/err" &
station=$!
for _ in $(seq 1 300); do
    grep -q ' rtsp-listening' "$scratch/events" && break
    sleep 0.1
done
grep -q ' rtsp-listening' "$scratch/events" || { cat "$scratch/events" "$scratch/err" >&2; exit 1; }
sleep 3  # past the start-up's own work
url=rtsp://127.0.0.1:$port/

# Milliseconds from a player's start to its first decoded picture of a path.
first_picture() {
    local start end
    start=$(date +%s.%N)
    ffmpeg -nostdin -v error -rtsp_transport tcp "${@:2}" -i "$url$1" -frames:v 1 -f null -
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.0f", (b - a) * 1000 }'
}

for path in camera1 camera2 camera3 camera4 all; do
    times=()
    for _ in 1 2 3 4 5; do
        times+=("$(first_picture "$path" -analyzeduration 500000)")
    done
    echo "first picture $path: ${times[*]} ms"
done
echo "first picture camera1, ffmpeg's own probing: $(first_picture camera1) ms"
python3 "$root/bench/rtsp_stamp_delay.py" "${url}camera1" 10
kill -INT "$station"
wait "$station" || true
station=
