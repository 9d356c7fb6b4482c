#!/bin/sh
# cmake --install puts the plugin into the GStreamer folder of the prefix, where GStreamer finds
# it. Everything lands below a scratch folder, even for an absolute plugin folder.
set -eu
build=$1
folder=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
prefix=/opt/fieldmend-install-test
DESTDIR="$scratch/dest" cmake --install "$build" --prefix "$prefix" --component fieldmend >/dev/null
case $folder in
/*) installed=$scratch/dest$folder ;;
*) installed=$scratch/dest$prefix/$folder ;;
esac
[ -f "$installed/libgstfieldmend.so" ] || { echo "no plugin in $installed"; exit 1; }
mkdir "$scratch/no-plugins"
GST_REGISTRY_1_0="$scratch/registry.bin" GST_PLUGIN_SYSTEM_PATH_1_0="$scratch/no-plugins" \
    GST_PLUGIN_PATH="$installed" gst-inspect-1.0 fieldmend | grep -q "Deinterlace Filter"
