#!/usr/bin/python3
"""A player's hold, as a video player takes one: Inhibit on
org.freedesktop.ScreenSaver, whoever owns it (gnome-settings-daemon's proxy
in a GNOME session, which hands it to the session manager as an idle
inhibitor). Says "held COOKIE" on stdout once it holds; SIGUSR1 lets go
with UnInhibit ("released"), SIGTERM leaves without it, as a player that
ends: the service is to drop the hold of a caller gone from the bus.

    gnome_screensaver_hold.py [APPLICATION [REASON]]
"""
import signal
import sys

from gi.repository import Gio, GLib

NAME = "org.freedesktop.ScreenSaver"


def call(bus, method, args):
    return bus.call_sync(NAME, "/org/freedesktop/ScreenSaver", NAME, method, args, None,
                         Gio.DBusCallFlags.NONE, 10000, None).unpack()


def main():
    application = sys.argv[1] if len(sys.argv) > 1 else "gnome_screensaver_hold"
    reason = sys.argv[2] if len(sys.argv) > 2 else "Playing a film"
    loop = GLib.MainLoop()
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    (cookie,) = call(bus, "Inhibit", GLib.Variant("(ss)", (application, reason)))
    print("held", cookie, flush=True)

    def release():
        call(bus, "UnInhibit", GLib.Variant("(u)", (cookie,)))
        print("released", flush=True)
        return GLib.SOURCE_REMOVE

    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, release)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
