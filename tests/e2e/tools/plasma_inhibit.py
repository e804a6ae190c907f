#!/usr/bin/python3
"""A player's hold on the screen, as a video player takes it: Inhibit on
the session bus's org.freedesktop.ScreenSaver (/ScreenSaver, or the path
given), kept for as long as this runs on the connection that took it.
Prints "held COOKIE" once it holds; SIGUSR1 lets go (UnInhibit, then
"released"); SIGTERM ends it without letting go, so that the desktop
sees the holder leave the bus.

    plasma_inhibit.py [APPLICATION [REASON [PATH]]]
"""
import signal
import sys

from gi.repository import Gio, GLib


def main():
    application = sys.argv[1] if len(sys.argv) > 1 else "plasma_inhibit"
    reason = sys.argv[2] if len(sys.argv) > 2 else "Playing a film"
    path = sys.argv[3] if len(sys.argv) > 3 else "/ScreenSaver"
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    (cookie,) = bus.call_sync("org.freedesktop.ScreenSaver", path, "org.freedesktop.ScreenSaver", "Inhibit",
                              GLib.Variant("(ss)", (application, reason)), GLib.VariantType("(u)"),
                              Gio.DBusCallFlags.NONE, 10000, None).unpack()
    print(f"held {cookie}", flush=True)

    def release():
        bus.call_sync("org.freedesktop.ScreenSaver", path, "org.freedesktop.ScreenSaver", "UnInhibit",
                      GLib.Variant("(u)", (cookie,)), None, Gio.DBusCallFlags.NONE, 10000, None)
        print("released", flush=True)
        return GLib.SOURCE_REMOVE

    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, release)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
