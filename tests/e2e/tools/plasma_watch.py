#!/usr/bin/python3
"""Prints, one line each, the signals of a Plasma session's bus that tell
of the screen and of the holds on it, each with the seconds since this
started and the sender's well-known name where it has one:

    0.000 ready
    3.141 org.freedesktop.ScreenSaver /ScreenSaver org.freedesktop.ScreenSaver.ActiveChanged (true,)

Watched: org.freedesktop.ScreenSaver (KWin's locker), org.kde.screensaver,
org.kde.Solid.PowerManagement* (PowerDevil, its PolicyAgent's
InhibitionsChanged among them), org.freedesktop.PowerManagement*,
org.kde.ksmserver, and NameOwnerChanged of well-known names. Ends on
SIGTERM or SIGINT.

    plasma_watch.py [SECONDS]   (ends by itself after SECONDS, if given)
"""
import signal
import sys
import time

from gi.repository import Gio, GLib

INTERFACES = ("org.freedesktop.ScreenSaver", "org.kde.screensaver", "org.kde.Solid.PowerManagement",
              "org.freedesktop.PowerManagement", "org.kde.ksmserver", "org.kde.ScreenBrightness")

began = time.monotonic()
owners = {}


# The name a sender is best known by, where it has several (KWin owns a
# dozen).
PREFERRED = ("org.freedesktop.ScreenSaver", "org.kde.Solid.PowerManagement", "org.kde.ksmserver", "org.kde.KWin")


def known_name(bus, unique):
    names = sorted(name for name, owner in owners.items() if owner == unique)
    for name in PREFERRED:
        if name in names:
            return name
    return names[0] if names else unique


def on_signal(bus, sender, path, interface, member, args):
    if interface == "org.freedesktop.DBus":
        name, old, new = args.unpack()
        if name.startswith(":"):
            return
        if new:
            owners[name] = new
        else:
            owners.pop(name, None)
        print(f"{time.monotonic() - began:.3f} NameOwnerChanged {name} {old or '-'} -> {new or '-'}", flush=True)
        return
    if not interface.startswith(INTERFACES):
        return
    print(f"{time.monotonic() - began:.3f} {known_name(bus, sender)} {path} {interface}.{member} {args.unpack()}",
          flush=True)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    names = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames",
                          None, GLib.VariantType("(as)"), Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
    for name in names:
        if name.startswith(":"):
            continue
        try:
            owners[name] = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                         "GetNameOwner", GLib.Variant("(s)", (name,)), GLib.VariantType("(s)"),
                                         Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
        except GLib.Error:
            pass
    # One subscription for every signal: KWin and PowerDevil send theirs
    # without a destination, so every connection's match sees them.
    bus.signal_subscribe(None, None, None, None, None, Gio.DBusSignalFlags.NONE, on_signal)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGINT, loop.quit)
    if len(sys.argv) > 1:
        GLib.timeout_add(int(float(sys.argv[1]) * 1000), loop.quit)
    print(f"{time.monotonic() - began:.3f} ready", flush=True)
    loop.run()


if __name__ == "__main__":
    main()
