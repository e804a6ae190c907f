#!/usr/bin/python3
"""A screenshot of a KWin session's active screen, through its own
org.kde.KWin.ScreenShot2 (KWin must be started with
KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1: it otherwise answers only the
programs that its desktop files allow). Writes a binary PPM.

    kwin_screenshot.py OUT.ppm
"""
import os
import sys

from gi.repository import Gio, GLib

QIMAGE_RGB32, QIMAGE_ARGB32, QIMAGE_ARGB32_PREMULTIPLIED = 4, 5, 6


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    read_end, write_end = os.pipe()
    fds = Gio.UnixFDList.new()
    index = fds.append(write_end)
    os.close(write_end)
    reply, _ = bus.call_with_unix_fd_list_sync(
        "org.kde.KWin", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureActiveScreen",
        GLib.Variant("(a{sv}h)", ({"native-resolution": GLib.Variant("b", True)}, index)),
        GLib.VariantType("(a{sv})"), Gio.DBusCallFlags.NONE, 10000, fds, None)
    fds = None  # closes our copy of the write end, so the read below ends
    (info,) = reply.unpack()
    data = b""
    with os.fdopen(read_end, "rb") as pipe:
        data = pipe.read()
    width, height, stride, form = info["width"], info["height"], info["stride"], info["format"]
    if form not in (QIMAGE_RGB32, QIMAGE_ARGB32, QIMAGE_ARGB32_PREMULTIPLIED):
        sys.exit(f"kwin_screenshot: image format {form} is not one this reads")
    rgb = bytearray()
    for row in range(height):
        line = data[row * stride: row * stride + width * 4]
        # 32-bit pixels 0xAARRGGBB, little-endian: B, G, R, A in memory.
        rgb += bytes(b for i in range(0, len(line), 4) for b in (line[i + 2], line[i + 1], line[i]))
    with open(sys.argv[1], "wb") as out:
        out.write(b"P6\n%d %d\n255\n" % (width, height) + bytes(rgb))


if __name__ == "__main__":
    main()
