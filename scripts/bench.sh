#!/usr/bin/env bash
# Builds and runs the benchmarks, our kernels beside whichever peer libraries are installed.
#   --peers   install the peer libraries first (OpenCV, libyuv, swscale)
# Further arguments go to every benchmark program (for example --benchmark_filter=Erode).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

if [ "${1:-}" = --peers ]; then
    shift
    ensure_packages "${OVISTRA_PACKAGES[@]}" "${OVISTRA_PEER_PACKAGES[@]}"
else
    ensure_packages "${OVISTRA_PACKAGES[@]}"
fi
dir=$OVISTRA_ROOT/build
build_tree "$dir"
for program in vigimot_bench conversion_bench grey_plane_bench deinterlace_bench video_view_bench; do
    if [ -x "$dir/bench/$program" ]; then
        "$dir/bench/$program" "$@"
    fi
done
# Fieldmend in a real pipeline, beside GStreamer's own deinterlacer.
"$OVISTRA_ROOT/bench/fieldmend_pipeline.sh" "$dir"
