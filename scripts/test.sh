#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   --sanitize   the same in build-asan/ with the address and undefined-behaviour sanitizers
#   --threads    the frame hand-over, switching and shared-block tests in build-tsan/ with the thread
#                sanitizer
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dir=$OVISTRA_ROOT/build
args=()
case "${1:-}" in
    "") ;;
    --sanitize)
        dir=$OVISTRA_ROOT/build-asan
        # -O1 with line tables only: the reports keep their lines, the build takes a quarter less.
        args=(-DOVISTRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVISTRA_BUILD_BENCH=OFF
              "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
              "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
        ;;
    --threads)
        # Our own threads only: the media framework's libraries are not built for the sanitizer.
        ensure_packages "${OVISTRA_PACKAGES[@]}"
        dir=$OVISTRA_ROOT/build-tsan
        cmake -S "$OVISTRA_ROOT" -B "$dir" -G Ninja -DOVISTRA_SANITIZE_THREAD=ON \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVISTRA_BUILD_BENCH=OFF
        cmake --build "$dir" --parallel "$(nproc)" --target media_tests capture_tests \
            shared_block_tests
        export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
        "$dir/tests/app/media/bin/media_tests"
        QT_QPA_PLATFORM=offscreen "$dir/tests/app/capture/bin/capture_tests" \
            --gtest_filter='CameraSwitcher.*'
        "$dir/tests/app/platform/bin/shared_block_tests" --gtest_filter='SharedBlockThreads.*'
        exit 0
        ;;
    *)
        echo "usage: $0 [--sanitize|--threads]" >&2
        exit 2
        ;;
esac

ensure_packages "${OVISTRA_PACKAGES[@]}"
build_tree "$dir" "${args[@]}"
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)"
