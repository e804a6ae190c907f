#!/usr/bin/python3
"""A plain screen locker run on logind's word, as a user's own script would:
on the session's Lock signal (`loginctl lock-session`) it runs the locker
command, and on Unlock it ends it (SIGTERM). Unlike xss-lock it tells logind
nothing: LockedHint stays false all along, unless --hint asks it to set the
hint as xss-lock does (true when the locker starts, false when it ends).
It takes no sleep lock and does not lock before sleep.

  logind_locker.py [--hint] [--session-path PATH] -- COMMAND [ARGUMENT...]
  e.g. logind_locker.py -- i3lock -n

The session is the one logind's GetSessionByPID answers for this process,
unless --session-path names one. Logs on stdout: "locker PID" when the
command starts, "locker gone STATUS" when it ends.
"""
import argparse
import os
import signal
import subprocess
import sys

from gi.repository import Gio, GLib

LOGIN1 = "org.freedesktop.login1"
SESSION = "org.freedesktop.login1.Session"


def main():
    parser = argparse.ArgumentParser(description="A plain locker on logind's Lock signal.")
    parser.add_argument("--hint", action="store_true", help="set LockedHint as xss-lock does")
    parser.add_argument("--session-path", help="the session's object path (GetSessionByPID's answer)")
    parser.add_argument("command", nargs="+", help="the locker, which must not fork (i3lock -n)")
    options = parser.parse_args()
    connection = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    path = options.session_path or connection.call_sync(
        LOGIN1, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "GetSessionByPID",
        GLib.Variant("(u)", (os.getpid(),)), GLib.VariantType("(o)"), Gio.DBusCallFlags.NONE, -1, None).unpack()[0]
    locker = {"process": None}

    def hint(locked):
        if options.hint:
            connection.call_sync(LOGIN1, path, SESSION, "SetLockedHint", GLib.Variant("(b)", (locked,)),
                                 None, Gio.DBusCallFlags.NONE, -1, None)

    def on_locker_gone(pid, status):
        print("locker gone %d" % status, flush=True)
        locker["process"] = None
        hint(False)

    def on_signal(connection, sender, object_path, interface, member, args):
        if member == "Lock" and locker["process"] is None:
            process = subprocess.Popen(options.command)
            locker["process"] = process
            print("locker %d" % process.pid, flush=True)
            hint(True)
            GLib.child_watch_add(GLib.PRIORITY_DEFAULT, process.pid, on_locker_gone)
        elif member == "Unlock" and locker["process"] is not None:
            locker["process"].terminate()

    connection.signal_subscribe(LOGIN1, SESSION, None, path, None, Gio.DBusSignalFlags.NONE, on_signal)
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    print("listening on %s" % path, flush=True)
    loop.run()
    if locker["process"] is not None:
        locker["process"].terminate()


if __name__ == "__main__":
    sys.exit(main())
