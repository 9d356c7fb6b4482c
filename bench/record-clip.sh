#!/usr/bin/env bash
# The clip the recording benchmark feeds each simulated camera: 60 s of 640x480 at 25 fps, a
# still picture with a ball moving over it and light snow noise, raw I420 in AVI (about 690 MB).
#
#   bench/record-clip.sh OUT.avi [PHOTO]    PHOTO: any picture file GStreamer can decode; without
#                                           one a still test card stands in for the photograph
#
# Then, for example:
#   bench/station-cpu.sh --record all --set TimeStamp=15 \
#       --set FrameRate1=25 --set FrameRate2=25 --set FrameRate3=25 --set FrameRate4=25 \
#       --sim-input 1=OUT.avi --sim-input 2=OUT.avi --sim-input 3=OUT.avi --sim-input 4=OUT.avi
set -euo pipefail

if [ $# -lt 1 ] || [ $# -gt 2 ]; then
    sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
out=$1
frames=1500
size=video/x-raw,width=640,height=480

if [ $# -eq 2 ]; then
    still=(filesrc "location=$2" ! decodebin ! videoconvert ! videoscale ! "$size")
else
    still=(videotestsrc pattern=smpte num-buffers=1 ! "$size")
fi

gst-launch-1.0 -q -e \
    compositor name=mix sink_1::alpha=1 sink_2::alpha=0.07 \
    ! videoconvert ! "video/x-raw,format=I420,width=640,height=480,framerate=25/1" \
    ! avimux ! filesink "location=$out" \
    "${still[@]}" ! imagefreeze "num-buffers=$frames" ! "$size,framerate=25/1" ! mix.sink_0 \
    videotestsrc pattern=ball background-color=0x00000000 "num-buffers=$frames" \
    ! "video/x-raw,format=AYUV,width=640,height=480,framerate=25/1" ! mix.sink_1 \
    videotestsrc pattern=snow "num-buffers=$frames" \
    ! "video/x-raw,format=AYUV,width=640,height=480,framerate=25/1" ! mix.sink_2
echo "$out: $(stat -c %s "$out") bytes"
