#!/usr/bin/python3
"""A stand-in for GNOME's session manager on the session bus (the real one
needs a whole login session): it owns org.gnome.SessionManager and answers
IsInhibited as gnome-session does, for one inhibitor that holds idleness
(flag 8) from the start. SIGUSR1 removes it, with InhibitorRemoved, as a
player that ends its film does. Says "inhibited" or "released" on stdout
at each change.
"""
import signal
import sys

from gi.repository import Gio, GLib

INTERFACE = """
<node>
  <interface name="org.gnome.SessionManager">
    <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
    <signal name="InhibitorAdded"><arg type="o"/></signal>
    <signal name="InhibitorRemoved"><arg type="o"/></signal>
  </interface>
</node>
"""
PATH = "/org/gnome/SessionManager"
INHIBITOR = "/org/gnome/SessionManager/Inhibitor1"
IDLE = 8

state = {"inhibited": True}


def on_call(connection, sender, path, interface, method, args, invocation):
    (flags,) = args.unpack()
    invocation.return_value(GLib.Variant("(b)", (state["inhibited"] and bool(flags & IDLE),)))


def set_inhibited(connection, inhibited):
    state["inhibited"] = inhibited
    member = "InhibitorAdded" if inhibited else "InhibitorRemoved"
    connection.emit_signal(None, PATH, "org.gnome.SessionManager", member, GLib.Variant("(o)", (INHIBITOR,)))
    print("inhibited" if inhibited else "released", flush=True)
    return GLib.SOURCE_CONTINUE


def main():
    loop = GLib.MainLoop()
    connection = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    node = Gio.DBusNodeInfo.new_for_xml(INTERFACE)
    connection.register_object(PATH, node.interfaces[0], on_call, None, None)

    def acquired(connection, name):
        set_inhibited(connection, True)

    Gio.bus_own_name_on_connection(connection, "org.gnome.SessionManager", Gio.BusNameOwnerFlags.NONE,
                                   acquired, lambda *_: sys.exit("session_manager: the name is taken"))
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, set_inhibited, connection, False)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()


if __name__ == "__main__":
    main()
