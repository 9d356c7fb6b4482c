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

# A card the station would take, by the names it looks for.
capture_card_present() {
    local name
    for name in /sys/class/video4linux/*/name; do
        [[ -r $name ]] || continue
        case "$(<"$name")" in
            "USB 2.0 A/V Converter"* | "USB 2820 Device"* | "USB 2820 Video"*) return 0 ;;
        esac
    done
    return 1
}

# Without a card and without arguments, the simulated device shows what an alarm does: detection
# on camera 2, something crossing it from 20 s to 23 s, a recording and the alarm sound. The
# settings hold for this run only.
if [[ $# -eq 0 ]] && ! capture_card_present; then
    set -- --detect --sim-motion 2:20-23 --set MotionDetectCamera=2 --set DetectingAction=3 \
        --set SenseMode=50
    echo "No capture card: the simulated device runs, with an alarm on camera 2 after 20 s ($*)."
fi
exec "$prefix/bin/ovistra" "$@"
