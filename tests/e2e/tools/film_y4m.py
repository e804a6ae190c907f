#!/usr/bin/python3
"""Writes a short film in YUV4MPEG2, which players read with no codec at all:
a white bar that sweeps across a grey field, one step a frame, so that each
frame differs from the last. Uncompressed, so it is small only when it is:
160x120 at 10 frames a second is 28,800 bytes a frame, 2.9 MB for 10 s.

  film_y4m.py OUTPUT [SECONDS [FPS [WIDTHxHEIGHT]]]    (defaults: 10 10 160x120)

OUTPUT "-" writes to stdout (a player can read the film from a pipe, or
OUTPUT can be a FIFO): the film is made as the player reads it, so a long one
costs no disk. The writer ends quietly when the player goes away.
"""
import os
import sys


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10
    fps = int(sys.argv[3]) if len(sys.argv) > 3 else 10
    width, height = (int(n) for n in (sys.argv[4] if len(sys.argv) > 4 else "160x120").split("x"))
    if width % 2 or height % 2:
        sys.exit("film_y4m: width and height must be even (4:2:0 chroma)")
    frames = max(1, round(seconds * fps))
    chroma = bytes([128]) * (width // 2 * height // 2)
    out = sys.stdout.buffer if sys.argv[1] == "-" else open(sys.argv[1], "wb")
    with out:
        out.write(b"YUV4MPEG2 W%d H%d F%d:1 Ip A1:1 C420jpeg\n" % (width, height, fps))
        bar = max(2, width // 16)
        for n in range(frames):
            x = n * 2 % width
            row = bytearray([96]) * width
            row[x:x + bar] = bytes([235]) * len(row[x:x + bar])
            out.write(b"FRAME\n")
            out.write(bytes(row) * height)
            out.write(chroma)
            out.write(chroma)


if __name__ == "__main__":
    try:
        main()
    except BrokenPipeError:
        # The player went away before the film's end (stopped, or killed):
        # nothing to say.
        os.close(1)
        sys.exit(0)
