#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   --sanitize   the same in build-asan/ with the address and undefined-behaviour sanitizers
#   --threads    the tests that start our threads (switching, grabbers, shared block, recorders,
#                sound player) in build-tsan/ with the thread sanitizer
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dir=$OVISTRA_ROOT/build
args=()
ctest_args=()
case "${1:-}" in
    "") ;;
    --sanitize)
        dir=$OVISTRA_ROOT/build-asan
        # -O1 with line tables only: the reports keep their lines, the build takes a quarter less.
        args=(-DOVISTRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVISTRA_BUILD_BENCH=OFF
              "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
              "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
        # The whole-program runs are the slowest cases and wait mostly on the station's clock;
        # they run once, in the plain pass, while every test inside one process runs here too.
        ctest_args=(--exclude-regex '^StationProcess\.')
        ;;
    --threads)
        # The media framework's libraries are not built for the sanitizer: its own memory accesses
        # are left out, its slice allocator gives way to malloc so reuse is seen, and our code
        # marks where it hands objects through the framework (framework_hand_over.h).
        ensure_packages "${OVISTRA_PACKAGES[@]}"
        dir=$OVISTRA_ROOT/build-tsan
        cmake -S "$OVISTRA_ROOT" -B "$dir" -G Ninja -DOVISTRA_SANITIZE_THREAD=ON \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVISTRA_BUILD_BENCH=OFF
        cmake --build "$dir" --parallel "$(nproc)" --target media_tests camera_switcher_tests \
            shared_block_tests recording_tests sound_player_tests alarm_log_tests
        export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1"
        export G_SLICE=always-malloc QT_QPA_PLATFORM=offscreen OVISTRA_AUDIO_SINK=fake
        "$dir/tests/app/media/bin/media_tests"
        "$dir/tests/app/capture/bin/camera_switcher_tests"
        "$dir/tests/app/platform/bin/shared_block_tests" --gtest_filter='SharedBlockThreads.*'
        "$dir/tests/app/recording/bin/recording_tests"
        "$dir/tests/app/motion/bin/sound_player_tests"
        "$dir/tests/app/alarms/bin/alarm_log_tests"
        exit 0
        ;;
    *)
        echo "usage: $0 [--sanitize|--threads]" >&2
        exit 2
        ;;
esac

ensure_packages "${OVISTRA_PACKAGES[@]}"
build_tree "$dir" "${args[@]}"
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)" "${ctest_args[@]}"
