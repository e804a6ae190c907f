#!/usr/bin/python3
"""The windows that GNOME Shell tracks, as it sees them, one JSON object a
line on stdout: {"id": ..., "app-id": "pellavin.desktop", "title": "...",
"wm-class": "...", "has-focus": true, "width": 349, "height": 320, ...}.
"app-id" is the desktop entry GNOME Shell found for the window (the app
its top bar names), or "window:N" where it found none.

It asks org.gnome.Shell.Introspect.GetWindows, which answers only the
desktop portal's backend: this program owns that name for it, as
gnome_shell_screenshot.py owns the screenshot tool's.

    gnome_shell_windows.py
"""
import json
import time

from gi.repository import Gio, GLib

DO_NOT_QUEUE, PRIMARY_OWNER = 4, 1


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    (owned,) = bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                             GLib.Variant("(su)", ("org.freedesktop.impl.portal.desktop.gnome", DO_NOT_QUEUE)),
                             GLib.VariantType("(u)"), Gio.DBusCallFlags.NONE, 10000, None).unpack()
    if owned != PRIMARY_OWNER:
        raise SystemExit("gnome_shell_windows: the portal's name is taken")
    # GNOME Shell learns of the new owner from the bus, a moment later.
    for attempt in range(20):
        try:
            (windows,) = bus.call_sync("org.gnome.Shell.Introspect", "/org/gnome/Shell/Introspect",
                                       "org.gnome.Shell.Introspect", "GetWindows", None,
                                       GLib.VariantType("(a{ta{sv}})"), Gio.DBusCallFlags.NONE, 10000,
                                       None).unpack()
            break
        except GLib.Error as error:
            if attempt == 19 or "not allowed" not in error.message:
                raise SystemExit(f"gnome_shell_windows: {error.message}")
            time.sleep(0.1)
    for number, properties in sorted(windows.items()):
        print(json.dumps(dict(properties, id=number), sort_keys=True))


if __name__ == "__main__":
    main()
