#!/usr/bin/python3
"""Real input into a headless mutter, which has no input device: a remote
desktop session of its own (org.gnome.Mutter.RemoteDesktop), held for as
long as this runs, as mutter ends a session when its caller leaves the bus.

    mutter_input.py WORD...   each in turn: a key pressed and released (an
                              X keysym, as a number or a name: 0xffe1,
                              Shift_L, x), or "move", the pointer moved a
                              little

The session's keyboard and pointer appear with their first event, and a
client gets a device's keymap only then: a Shift comes first, so that the
first real key reaches the client whole.
"""
import sys
import time

from gi.repository import Gio, GLib

KEYSYMS = {"Shift_L": 0xFFE1, "Left": 0xFF51, "Right": 0xFF53, "Escape": 0xFF1B}
NAME = "org.gnome.Mutter.RemoteDesktop"


def keysym(word):
    if word in KEYSYMS:
        return KEYSYMS[word]
    if len(word) == 1:
        return ord(word)
    return int(word, 0)


def call(bus, path, interface, method, args=None):
    return bus.call_sync(NAME, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 5000, None)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    (session,) = call(bus, "/org/gnome/Mutter/RemoteDesktop", NAME, "CreateSession").unpack()
    interface = NAME + ".Session"
    call(bus, session, interface, "Start")
    for word in ["Shift_L"] + sys.argv[1:]:
        if word == "move":
            call(bus, session, interface, "NotifyPointerMotionRelative", GLib.Variant("(dd)", (5.0, 5.0)))
        else:
            for pressed in (True, False):
                call(bus, session, interface, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (keysym(word), pressed)))
                time.sleep(0.1)
        time.sleep(0.3)
    call(bus, session, interface, "Stop")


if __name__ == "__main__":
    main()
