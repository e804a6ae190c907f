#!/usr/bin/python3
"""A stand-in for a desktop's own locker on the session bus, as KDE's, Xfce's
and LXQt's announce themselves: it owns org.freedesktop.ScreenSaver and
answers GetActive, active from the start (the screen locked). SIGUSR1
unlocks it, with ActiveChanged, as the user's password would. Says "active"
or "inactive" on stdout at each change.
"""
import signal
import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.freedesktop.ScreenSaver">
    <method name="GetActive"><arg type="b" direction="out"/></method>
    <signal name="ActiveChanged"><arg type="b"/></signal>
  </interface>
</node>
"""
PATH = "/org/freedesktop/ScreenSaver"

state = {"active": True}


def on_call(connection, sender, path, interface, method, args, invocation):
    invocation.return_value(GLib.Variant("(b)", (state["active"],)))


def set_active(connection, active):
    state["active"] = active
    connection.emit_signal(None, PATH, "org.freedesktop.ScreenSaver", "ActiveChanged", GLib.Variant("(b)", (active,)))
    print("active" if active else "inactive", flush=True)
    return GLib.SOURCE_CONTINUE


def main():
    loop = GLib.MainLoop()
    connection = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object(PATH, node.interfaces[0], on_call, None, None)
    Gio.bus_own_name_on_connection(connection, "org.freedesktop.ScreenSaver", Gio.BusNameOwnerFlags.NONE,
                                   lambda connection, name: set_active(connection, True),
                                   lambda *_: sys.exit("screensaver_owner: the name is taken"))
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, set_active, connection, False)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
