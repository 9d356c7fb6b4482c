#!/usr/bin/env python3
"""Stamp-to-client delay of the station's network view.

A stamped camera's picture carries the station's clock to the second, burnt in when the
server takes the picture. This player decodes the stamp's corner of every picture as it
arrives and notes the wall clock when the stamp changes: the picture that first shows a new
second left the station at that second's start, so the arrival's distance past the whole
second is the delay (valid below one second; the first-picture time bounds it).

    rtsp_stamp_delay.py rtsp://HOST:PORT/camera1 [CHANGES]
"""
import statistics
import subprocess
import sys
import time

# The seconds of the stamp "yyyy-mm-dd(hh:mm:ss)" in the picture's top left corner: inverted
# pixels on a grey sky differ from the sky by a few tens of levels only.
LEFT, WIDTH, HEIGHT = 88, 48, 14
THRESHOLD, PIXELS = 16, 8


def main():
    url = sys.argv[1]
    wanted = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    player = subprocess.Popen(
        ["ffmpeg", "-nostdin", "-v", "error", "-rtsp_transport", "tcp", "-fflags", "nobuffer",
         "-flags", "low_delay", "-i", url, "-vf",
         f"crop={WIDTH}:{HEIGHT}:{LEFT}:0,format=gray", "-f", "rawvideo", "-"],
        stdout=subprocess.PIPE)
    size = WIDTH * HEIGHT
    previous = None
    delays = []
    frames = 0
    try:
        while len(delays) < wanted:
            picture = player.stdout.read(size)
            arrived = time.time()
            if len(picture) < size:
                break
            frames += 1
            # Skip the first pictures: they may have waited in the connection's start-up.
            if previous is not None and frames > 10:
                flipped = sum(1 for a, b in zip(picture, previous) if abs(a - b) > THRESHOLD)
                if flipped > PIXELS:
                    delays.append(arrived - int(arrived))
            previous = picture
    finally:
        player.kill()
    if not delays:
        print("no stamp change seen", file=sys.stderr)
        return 1
    print(f"stamp-to-client delay over {len(delays)} second changes: "
          f"median {statistics.median(delays) * 1000:.0f} ms, "
          f"max {max(delays) * 1000:.0f} ms ({frames} pictures)")
    return 0


if __name__ == "__main__":
    sys.exit(main())
