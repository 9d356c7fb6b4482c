#!/usr/bin/env bash
# Shared by the set-up scripts: installing missing Debian packages and building with CMake.
# Nothing here ever prompts: CI runs as root without standard input.
set -euo pipefail

OVISTRA_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What the build and the tests need.
OVISTRA_PACKAGES=(
    g++ cmake ninja-build pkg-config binutils
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-tools-dev qt6-qpa-plugins libqt6opengl6-dev
    libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav gstreamer1.0-tools
    libgstrtspserver-1.0-dev gstreamer1.0-plugins-ugly ffmpeg
    dbus-daemon
)

# Libraries the benchmarks measure beside our kernels; never needed by the build or the tests.
OVISTRA_PEER_PACKAGES=(libopencv-dev libyuv-dev libswscale-dev libpostproc-dev)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo -n "$@"
    else
        echo "Need root (or sudo) to install: $*" >&2
        return 1
    fi
}

# Installs the named packages that dpkg does not list as installed.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if [ ${#missing[@]} -eq 0 ]; then
        return 0
    fi
    echo "Installing missing packages: ${missing[*]}"
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q </dev/null
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
        "${missing[@]}" </dev/null
}

# Configures and builds into the given folder; further arguments go to CMake.
build_tree() {
    local dir=$1
    shift
    cmake -S "$OVISTRA_ROOT" -B "$dir" -G Ninja "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
