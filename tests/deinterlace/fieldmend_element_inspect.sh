#!/bin/sh
# gst-inspect-1.0 finds the element through GST_PLUGIN_PATH, from the build folder's plugin.
set -eu
folder=$1
file=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/no-plugins"
out=$(GST_REGISTRY_1_0="$scratch/registry.bin" GST_PLUGIN_SYSTEM_PATH_1_0="$scratch/no-plugins" \
      GST_PLUGIN_PATH="$folder" gst-inspect-1.0 fieldmend)
echo "$out" | grep -Eq "Long-name +Deinterlace Filter$" || { echo "no long name"; exit 1; }
echo "$out" | grep -Eq "Rank +none \(0\)$" || { echo "rank is not none"; exit 1; }
echo "$out" | grep -Eq "Filename +$file$" || { echo "not the build folder's plugin"; exit 1; }
echo "$out" | grep -q "SINK template: 'sink'" || { echo "no sink pad"; exit 1; }
echo "$out" | grep -q "SRC template: 'src'" || { echo "no source pad"; exit 1; }
