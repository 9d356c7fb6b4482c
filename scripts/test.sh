#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
#   --sanitize   the same in build-asan/ with the address and undefined-behaviour sanitizers
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dir=$OVISTRA_ROOT/build
args=()
case "${1:-}" in
    "") ;;
    --sanitize)
        dir=$OVISTRA_ROOT/build-asan
        args=(-DOVISTRA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DOVISTRA_BUILD_BENCH=OFF)
        ;;
    *)
        echo "usage: $0 [--sanitize]" >&2
        exit 2
        ;;
esac

ensure_packages "${OVISTRA_PACKAGES[@]}"
build_tree "$dir" "${args[@]}"
ctest --test-dir "$dir" --output-on-failure --parallel "$(nproc)"
