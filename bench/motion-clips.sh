#!/usr/bin/env bash
# Counts the alarms the station raises on five labelled clips, each played to simulated camera 1
# for the clip's length, headless, in fresh folders:
#
#   crossing    a dark-clad person walks along a lit wall        must alarm
#   light       a still scene, the light off and on every 4 s      must not
#   dark-noise  a dark still scene with strong sensor noise        must not
#   car-right   a car drives in the right half, zone: left half    must not
#   foliage     a tree on the right sways, zone: left half         must not
#
# Each clip runs with the default motion settings and again at "Auto" (SenseMode 0); where the
# Debian package "motion" is installed, that daemon reads the same file with its default
# detection settings (the zone given as its mask) and its events are counted beside ours.
#
#   bench/motion-clips.sh [SECONDS]         clip length, 20 by default
#   OVISTRA_BUILD=path/to/build             another build folder than build/
#   MOTION_CLIPS_DIR=folder                 make the clips there and keep them (else a temporary
#                                           folder); existing clips of the same length are reused
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${OVISTRA_BUILD:-$root/build}
program=$build/out/ovistra
maker=$build/bench/motion_clip_maker
seconds=${1:-20}
zone_left="0,0,320,480"

for needed in "$program" "$maker"; do
    if [ ! -x "$needed" ]; then
        echo "No $needed: build it first (ninja -C build ovistra motion_clip_maker)." >&2
        exit 1
    fi
done
command -v gst-launch-1.0 >/dev/null || { echo "gst-launch-1.0 is missing." >&2; exit 1; }
unset DISPLAY WAYLAND_DISPLAY

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
clips=${MOTION_CLIPS_DIR:-$scratch/clips}
mkdir -p "$clips"

# name expected zone
cases=(
    "crossing alarm -"
    "light none -"
    "dark-noise none -"
    "car-right none $zone_left"
    "foliage none $zone_left"
)

make_clip() {
    local kind=$1 out=$clips/$1-${seconds}s.avi
    if [ ! -s "$out" ]; then
        "$maker" "$kind" "$seconds" |
            gst-launch-1.0 -q fdsrc fd=0 blocksize=460800 \
                ! rawvideoparse format=i420 width=640 height=480 framerate=25/1 \
                ! jpegenc quality=85 ! avimux ! filesink "location=$out.part"
        mv "$out.part" "$out"
    fi
    echo "$out"
}

# The station on one clip; prints the number of alarms camera 1 raised and, in brackets, the
# second of the clip each began (counted from detection start, to the second).
station_alarms() {
    local clip=$1 zone=$2 run
    shift 2
    run=$(mktemp -d "$scratch/run.XXXX")
    mkdir -p "$run/run" && chmod 700 "$run/run"
    local zone_set=()
    [ "$zone" != - ] && zone_set=(--set "MotionZones1=$zone")
    HOME=$run XDG_DATA_HOME=$run/data XDG_CONFIG_HOME=$run/config XDG_RUNTIME_DIR=$run/run \
        OVISTRA_AUDIO_SINK=fake \
        "$program" --headless --detect --duration "$seconds" --sim-input "1=$clip" \
        --set MotionDetectCamera=1 --set DetectingAction=0 "${zone_set[@]}" "$@" \
        >"$run/events" 2>"$run/err" || true
    if ! grep -q ' detection-started' "$run/events"; then
        echo "error"
        return
    fi
    awk '
        function second(stamp) { split(substr(stamp, 12), t, ":"); return t[1] * 3600 + t[2] * 60 + t[3] }
        / detection-started/ { start = second($1) }
        / alarm-started camera=1( |$)/ { n++; at = at (at == "" ? "" : ",") (second($1) - start) }
        END { printf "%d%s\n", n, n ? " (" at "s)" : "" }' "$run/events"
}

# The daemon on one clip, its detection settings left at their defaults; prints its events.
daemon_events() {
    local clip=$1 zone=$2 dir
    if ! command -v motion >/dev/null; then
        echo "n/a"
        return
    fi
    dir=$(mktemp -d "$scratch/daemon.XXXX")
    mkdir -p "$dir/out"
    {
        echo "daemon off"
        echo "log_file $dir/log"
        echo "target_dir $dir/out"
        echo "netcam_url file://$clip"
        echo "width 640"
        echo "height 480"
        echo "framerate 25"
        echo "picture_output off"
        echo "movie_output off"
        echo "webcontrol_port 0"
        echo "stream_port 0"
        echo "on_event_start echo event >> $dir/events"
    } >"$dir/conf"
    if [ "$zone" != - ]; then
        # The zone as the daemon's mask: white is watched.
        IFS=, read -r x y w h <<<"$zone"
        head -c 640 /dev/zero >"$dir/row-out"
        { head -c "$x" /dev/zero; head -c "$w" /dev/zero | tr '\0' '\377';
          head -c $((640 - x - w)) /dev/zero; } >"$dir/row-in"
        {
            printf 'P5\n640 480\n255\n'
            for ((row = 0; row < 480; ++row)); do
                if ((row >= y && row < y + h)); then cat "$dir/row-in"; else cat "$dir/row-out"; fi
            done
        } >"$dir/mask.pgm"
        echo "mask_file $dir/mask.pgm" >>"$dir/conf"
    fi
    # It plays the file in real time and then from the start again: stop it at the clip's end.
    timeout --signal=INT "$((seconds + 2))" motion -n -c "$dir/conf" >/dev/null 2>&1 || true
    if [ -f "$dir/events" ]; then
        wc -l <"$dir/events"
    else
        echo 0
    fi
}

printf '%-11s %-9s %-12s %-14s %-14s %s\n' clip expected zone defaults auto motion
for entry in "${cases[@]}"; do
    read -r kind expected zone <<<"$entry"
    clip=$(make_clip "$kind")
    defaults=$(station_alarms "$clip" "$zone")
    auto=$(station_alarms "$clip" "$zone" --set SenseMode=0)
    daemon=$(daemon_events "$clip" "$zone")
    printf '%-11s %-9s %-12s %-14s %-14s %s\n' "$kind" "$expected" "$zone" "$defaults" "$auto" \
        "$daemon"
done
