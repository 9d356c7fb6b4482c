#!/usr/bin/env bash
# Four players on the station's network view, one per camera, each decoding every picture to
# nothing at the server's own rate, until this script is ended (SIGTERM or SIGINT).
#
#   bench/rtsp-clients.sh rtsp://[USER:PASSWORD@]HOST:PORT/
#
# With bench/station-cpu.sh:
#   STATION_CPU_CLIENTS=bench/rtsp-clients.sh bench/station-cpu.sh --rtsp=8554
set -euo pipefail

base=${1:?usage: rtsp-clients.sh rtsp://HOST:PORT/}
players=()
stop() {
    for player in "${players[@]}"; do
        kill "$player" 2>/dev/null || true
    done
    wait || true
    exit 0
}
trap stop TERM INT

for camera in 1 2 3 4; do
    ffmpeg -nostdin -v error -rtsp_transport tcp -i "${base}camera$camera" -f null - &
    players+=($!)
done
wait
