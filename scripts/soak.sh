#!/usr/bin/env bash
# A long headless run, as a station on a desk lives: four cameras, circular recording on a small
# disk, motion on camera 2 every few minutes, a schedule on camera 3. Samples the station's
# resident memory, open files and threads every 10 s; fails on growth beyond a small bound or on
# any lost recording (an AVI that does not play, an entry left open).
#   scripts/soak.sh MINUTES [DISK_MB]      (built program from build/out, or OVISTRA_PROGRAM)
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

minutes=${1:?usage: soak.sh MINUTES [DISK_MB]}
disk_mb=${2:-60}
program=${OVISTRA_PROGRAM:-$OVISTRA_ROOT/build/out/ovistra}
[ -x "$program" ] || { echo "no station at $program: run ./scripts/test.sh first" >&2; exit 2; }

work=$(mktemp -d /tmp/ovistra-soak.XXXXXX)
mkdir -m 0700 "$work/run"
export HOME=$work XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/run
export OVISTRA_AUDIO_SINK=fake OVISTRA_LINK_BLOCK=/ovistra-soak-$$
unset DISPLAY WAYLAND_DISPLAY

seconds=$((minutes * 60))
motions=()
for ((at = 90; at + 5 < seconds; at += 240)); do
    motions+=(--sim-motion "2:$at-$((at + 3))")
done
stamp() { date -d "@$(($(date +%s) + $1))" +%Y%m%d%H%M%S; }
# Camera 3's schedule: from the second minute to the middle of the run.
schedule=(--set ScheduleCamera=4 --set "Camera3Schedule=$(stamp 60)"
          --set "Camera3EndSchedule=$(stamp $((seconds / 2)))")

"$program" --headless --events --sim-disk "$disk_mb" --record 1,4 --detect "${motions[@]}" \
    "${schedule[@]}" --set RecordMode=1 --set MotionDetectCamera=2 --set DetectingAction=1 \
    --set SenseMode=50 --duration "$seconds" >"$work/events.txt" 2>"$work/errors.txt" &
pid=$!

samples=$work/samples.csv
echo "seconds,rss_kb,open_files,threads" >"$samples"
start=$(date +%s)
while kill -0 "$pid" 2>/dev/null; do
    if [ -r "/proc/$pid/status" ]; then
        rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
        threads=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
        files=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l)
        [ -n "$rss" ] && echo "$(($(date +%s) - start)),$rss,$files,$threads" >>"$samples"
    fi
    sleep 10
done
wait "$pid"
code=$?

failures=()
[ "$code" -eq 0 ] || failures+=("the station ended with exit code $code")

# Growth from the end of the first two minutes (everything set up) to the end.
read -r base_rss base_files base_threads < <(awk -F, 'NR > 1 && $1 >= 120 {print $2, $3, $4; exit}' "$samples")
read -r max_rss max_files max_threads < <(awk -F, 'NR > 1 && $1 >= 120 {
    if ($2 > r) r = $2; if ($3 > f) f = $3; if ($4 > t) t = $4 } END {print r, f, t}' "$samples")
if [ -n "${base_rss:-}" ]; then
    [ $((max_rss - base_rss)) -le 30720 ] || failures+=("memory grew by $(((max_rss - base_rss) / 1024)) MB")
    [ $((max_files - base_files)) -le 16 ] || failures+=("open files grew by $((max_files - base_files))")
    [ $((max_threads - base_threads)) -le 8 ] || failures+=("threads grew by $((max_threads - base_threads))")
fi

# Every recording plays, and a second start finds no entry left open.
files=0
bad=0
while IFS= read -r -d '' avi; do
    files=$((files + 1))
    if ! gst-launch-1.0 -q filesrc location="$avi" ! avidemux ! fakesink >/dev/null 2>&1; then
        bad=$((bad + 1))
        failures+=("does not play: $avi")
    fi
done < <(find "$work/Videos" -name '*.avi' -print0 2>/dev/null)
"$program" --headless --events --duration 0.5 >"$work/restart.txt" 2>&1 || true
if grep -q " recording-repaired\| recording-lost" "$work/restart.txt"; then
    failures+=("entries were left open: $(grep -c ' recording-repaired\| recording-lost' "$work/restart.txt")")
fi

count() { grep -c " $1" "$work/events.txt" || true; }
echo "soak: $minutes min, record disk $disk_mb MB, folder $work"
echo "  recordings started $(count recording-started), stopped $(count recording-stopped)," \
    "failed $(count recording-failed); alarms $(count alarm-started); disk low $(count disk-low);" \
    "AVI files $files, not playing $bad"
echo "  resident memory ${base_rss:-?} -> ${max_rss:-?} kB (peak after 2 min)," \
    "open files ${base_files:-?} -> ${max_files:-?}, threads ${base_threads:-?} -> ${max_threads:-?}"
echo "  samples: $samples"
if [ ${#failures[@]} -gt 0 ]; then
    printf '  FAILED: %s\n' "${failures[@]}"
    exit 1
fi
echo "  passed"
