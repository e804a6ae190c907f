#!/usr/bin/python3
"""A stand-in for GDM on the system bus: GNOME Shell, which believes that
logind manages the seats, makes its screen shield only when
org.gnome.DisplayManager answers with its Version there. Owns the name and
answers that, until SIGTERM.
"""
import signal
import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.gnome.DisplayManager.Manager">
    <property name="Version" type="s" access="read"/>
  </interface>
</node>
"""


def main():
    loop = GLib.MainLoop()
    connection = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object("/org/gnome/DisplayManager/Manager", node.interfaces[0], None,
                               lambda *_: GLib.Variant("s", "43.0"), None)
    Gio.bus_own_name_on_connection(connection, "org.gnome.DisplayManager", Gio.BusNameOwnerFlags.NONE,
                                   None, lambda *_: sys.exit("display_manager: the name is taken"))
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
