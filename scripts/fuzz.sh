#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ and runs each for SECONDS (default 30), one
# per core at a time, from a seed corpus our own writers make; then checks that a planted
# out-of-bounds read is found within the same time. Ends with one line per target: executions
# and crashes.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds=${1:-30}
dir=$OVISTRA_ROOT/build-fuzz
ensure_packages "${OVISTRA_PACKAGES[@]}" clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S "$OVISTRA_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DOVISTRA_FUZZ=ON -DOVISTRA_BUILD_TESTS=OFF -DOVISTRA_BUILD_BENCH=OFF >/dev/null
cmake --build "$dir" --parallel "$(nproc)" --target fuzz_targets

bin=$dir/fuzz
rm -rf "$dir/seeds"
"$bin/make_seeds" "$dir/seeds"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
targets=(recording_list key_file custom_settings dib avi_scan)
# One target per core at a time; each gets its SECONDS of one core.
run_target() {
    local target=$1 corpus=$dir/corpus/$1 code=0
    mkdir -p "$corpus"
    "$bin/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$dir/$target-" "$corpus" "$dir/seeds/$target" \
        >"$dir/$target.log" 2>&1 || code=$?
    echo "$code" >"$dir/$target.status"
}
for target in "${targets[@]}"; do
    while (($(jobs -rp | wc -l) >= $(nproc))); do
        wait -n || true
    done
    run_target "$target" &
done
wait
summary=()
status=0
for target in "${targets[@]}"; do
    log=$dir/$target.log
    crashes=0
    if [[ $(cat "$dir/$target.status") != 0 ]]; then
        crashes=1
        status=1
        tail -40 "$log" >&2
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    summary+=("$target: ${runs:-0} executions in ${seconds} s, crashes=$crashes")
done

# The planted fault must be found: a crash report naming an out-of-bounds read.
planted=$dir/planted.log
rm -rf "$dir/corpus-planted" && mkdir -p "$dir/corpus-planted"
if "$bin/fuzz_planted" -max_total_time="$seconds" -artifact_prefix="$dir/planted-" \
    "$dir/corpus-planted" "$dir/seeds/recording_list" >"$planted" 2>&1; then
    summary+=("planted out-of-bounds read: NOT found in ${seconds} s")
    status=1
elif grep -q "heap-buffer-overflow\|stack-buffer-overflow\|global-buffer-overflow" "$planted"; then
    summary+=("planted out-of-bounds read: found (#$(grep -o '^#[0-9]*' "$planted" | tail -1 | tr -d '#') executions)")
else
    tail -20 "$planted" >&2
    summary+=("planted fault: the target failed otherwise")
    status=1
fi
printf '%s\n' "${summary[@]}"
exit $status
