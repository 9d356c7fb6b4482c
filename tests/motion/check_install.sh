#!/bin/sh
# An installed vigimot is found through pkg-config and serves a C program.
set -eu
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name vigimot.pc)
[ -n "$pc" ] || { echo "no vigimot.pc installed"; exit 1; }
export PKG_CONFIG_PATH=$(dirname "$pc")
[ "$(pkg-config --modversion vigimot)" = 1.0.0.1 ] || { echo "wrong version"; exit 1; }
# shellcheck disable=SC2046
cc -std=c11 -Wall -Werror -o "$prefix/client" "$source" $(pkg-config --cflags --libs vigimot)
LD_LIBRARY_PATH=$(pkg-config --variable=libdir vigimot) "$prefix/client"
