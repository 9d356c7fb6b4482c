#!/usr/bin/env bash
# Installs what is missing, builds everything, installs the station into ~/.local (or
# $OVISTRA_PREFIX) and starts it: in a window where there is a display, headless otherwise,
# until it is closed or stopped (Ctrl+C). Arguments go to the station (see --help).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${OVISTRA_PACKAGES[@]}"
build_tree "$OVISTRA_ROOT/build"
prefix=${OVISTRA_PREFIX:-$HOME/.local}
cmake --install "$OVISTRA_ROOT/build" --prefix "$prefix" >/dev/null
echo "Installed into $prefix; starting the station."
exec "$prefix/bin/ovistra" "$@"
