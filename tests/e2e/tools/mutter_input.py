#!/usr/bin/python3
"""Real input into a headless mutter, which has no input device: a remote
desktop session of its own (org.gnome.Mutter.RemoteDesktop), held for as
long as this runs, as mutter ends a session when its caller leaves the bus.

    mutter_input.py KEY...    each in turn pressed and released: Shift_L,
                              Escape, or a character's own key (x)

The session's keyboard appears with its first event, and a
client gets a device's keymap only then: a Shift comes first, so that the
first real key reaches the client whole.
"""
import sys
import time

from gi.repository import Gio, GLib

KEYSYMS = {"Shift_L": 0xFFE1, "Escape": 0xFF1B}
NAME = "org.gnome.Mutter.RemoteDesktop"


def call(bus, path, interface, method, args=None):
    return bus.call_sync(NAME, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 5000, None)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    (session,) = call(bus, "/org/gnome/Mutter/RemoteDesktop", NAME, "CreateSession").unpack()
    interface = NAME + ".Session"
    call(bus, session, interface, "Start")
    for key in ["Shift_L"] + sys.argv[1:]:
        keysym = KEYSYMS.get(key) or ord(key)
        for pressed in (True, False):
            call(bus, session, interface, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym, pressed)))
            time.sleep(0.1)
        time.sleep(0.3)
    call(bus, session, interface, "Stop")


if __name__ == "__main__":
    main()
