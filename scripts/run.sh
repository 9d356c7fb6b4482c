#!/usr/bin/env bash
# Installs what is missing, builds everything, installs the station into ~/.local (or
# $OVISTRA_PREFIX) and starts it: in a window where there is a display, headless otherwise,
# until it is closed or stopped (Ctrl+C). Arguments go to the station (see --help).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

ensure_packages "${OVISTRA_PACKAGES[@]}"
prefix=${OVISTRA_PREFIX:-$HOME/.local}
# Fieldmend goes where GStreamer looks for a user's own plugins, so no root is needed.
build_tree "$OVISTRA_ROOT/build" -DFIELDMEND_PLUGIN_DIR="$prefix/share/gstreamer-1.0/plugins"
cmake --install "$OVISTRA_ROOT/build" --prefix "$prefix" >/dev/null
echo "Installed into $prefix; starting the station."
exec "$prefix/bin/ovistra" "$@"
