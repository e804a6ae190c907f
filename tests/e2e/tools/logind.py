#!/usr/bin/python3
"""A stand-in for systemd-logind on a private system bus (DBUS_SYSTEM_BUS_ADDRESS):
org.freedesktop.login1 with one user's one graphical session, as lockers,
screensavers and desktops see it. GNOME Shell finds the session (by
XDG_SESSION_ID, or the user's Display), follows its Lock and Unlock and
sets LockedHint; GDM's unlock comes as UnlockSession(s); KWin's locker asks
GetSession(XDG_SESSION_ID or "auto") or GetSessionByPID, obeys Lock and
Unlock and sets LockedHint.

Manager (/org/freedesktop/login1, org.freedesktop.login1.Manager):
  GetSession(s) and GetSessionByPID(u) answer the one session, whatever the
  id ("", "auto", "self") or process; GetUser(u) and GetUserByPID(u) its
  user; ListSessions, ListUsers; LockSession(s),
  UnlockSession(s), LockSessions(), UnlockSessions(), as `loginctl
  lock-session` and `unlock-session` call them; Inhibit(what, who, why, mode)
  hands back the writing end of a pipe, held until the caller closes it (a
  "delay" lock on "sleep" is what lockers take); ListInhibitors; Suspend(b)
  sends PrepareForSleep(true), waits for the "sleep" delay locks to be let go
  (at most --delay-max seconds, as InhibitDelayMaxUSec), "sleeps"
  --sleep seconds, and sends PrepareForSleep(false); CanSuspend answers
  "yes", CanHibernate, CanPowerOff and CanReboot "na".
Session (/org/freedesktop/login1/session/ID escaped as logind does: _31 for
  id 1; also reachable as .../session/auto and .../session/self;
  org.freedesktop.login1.Session): Lock() and Unlock() send the Lock and
  Unlock signals (on the session's own path only, as logind does);
  SetLockedHint(b) and SetIdleHint(b) set LockedHint and IdleHint, and send
  PropertiesChanged when the value changes; Activate, Terminate do
  nothing; the usual properties (Id, Name, User, Display, Type, Class,
  Active, State, LockedHint, IdleHint, ...).
User (/org/freedesktop/login1/user/_UID, also .../user/self and
  .../user/auto; org.freedesktop.login1.User): UID, GID, Name, State,
  Display and Sessions (the one session), IdleHint, Linger, RuntimePath.

Signals to this process do the same without a bus client: SIGUSR1 unlocks
the session (the Unlock signal), SIGUSR2 locks it (Lock), as `loginctl
unlock-session` and `lock-session` do; SIGHUP suspends. SIGTERM ends it.

Logged on stdout, one line each, with the seconds since the start (or since
--since, a time(2) value with a fraction, as `date +%s.%N` prints, to line
it up with a test's log): the name once owned, every call, every signal
sent, every change of a hint and every inhibitor let go:
  0.05 owner of org.freedesktop.login1, session 1 at /org/freedesktop/login1/session/_31
  0.52 call :1.3 /org/freedesktop/login1 Manager.Inhibit ('sleep', 'xss-lock', ...)
  3.10 signal /org/freedesktop/login1/session/_31 Session.Lock
  3.35 hint LockedHint true by :1.3
  9.87 released sleep delay lock of xss-lock (:1.3) after 9.35 s
--get logs property reads too.

  logind.py [--id 1] [--user NAME] [--display :N] [--type x11]
            [--delay-max 5] [--sleep 1] [--get] [--since EPOCH]
"""
import argparse
import os
import pwd
import signal
import sys
import time

from gi.repository import Gio, GLib

MANAGER_PATH = "/org/freedesktop/login1"
MANAGER = "org.freedesktop.login1.Manager"
SESSION = "org.freedesktop.login1.Session"
USER = "org.freedesktop.login1.User"

MANAGER_XML = """
<node>
  <interface name="org.freedesktop.login1.Manager">
    <method name="GetSession"><arg type="s" direction="in"/><arg type="o" direction="out"/></method>
    <method name="GetSessionByPID"><arg type="u" direction="in"/><arg type="o" direction="out"/></method>
    <method name="GetUser"><arg type="u" direction="in"/><arg type="o" direction="out"/></method>
    <method name="GetUserByPID"><arg type="u" direction="in"/><arg type="o" direction="out"/></method>
    <method name="ListSessions"><arg type="a(susso)" direction="out"/></method>
    <method name="ListUsers"><arg type="a(uso)" direction="out"/></method>
    <method name="LockSession"><arg type="s" direction="in"/></method>
    <method name="UnlockSession"><arg type="s" direction="in"/></method>
    <method name="LockSessions"/>
    <method name="UnlockSessions"/>
    <method name="Inhibit">
      <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="h" direction="out"/>
    </method>
    <method name="ListInhibitors"><arg type="a(ssssuu)" direction="out"/></method>
    <method name="Suspend"><arg type="b" direction="in"/></method>
    <method name="CanSuspend"><arg type="s" direction="out"/></method>
    <method name="CanHibernate"><arg type="s" direction="out"/></method>
    <method name="CanPowerOff"><arg type="s" direction="out"/></method>
    <method name="CanReboot"><arg type="s" direction="out"/></method>
    <signal name="PrepareForSleep"><arg type="b"/></signal>
    <signal name="PrepareForShutdown"><arg type="b"/></signal>
    <signal name="SessionNew"><arg type="s"/><arg type="o"/></signal>
    <signal name="SessionRemoved"><arg type="s"/><arg type="o"/></signal>
    <property name="BlockInhibited" type="s" access="read"/>
    <property name="DelayInhibited" type="s" access="read"/>
    <property name="InhibitDelayMaxUSec" type="t" access="read"/>
    <property name="PreparingForSleep" type="b" access="read"/>
    <property name="PreparingForShutdown" type="b" access="read"/>
    <property name="IdleHint" type="b" access="read"/>
    <property name="NAutoVTs" type="u" access="read"/>
  </interface>
</node>
"""

SESSION_XML = """
<node>
  <interface name="org.freedesktop.login1.Session">
    <method name="Lock"/>
    <method name="Unlock"/>
    <method name="SetLockedHint"><arg type="b" direction="in"/></method>
    <method name="SetIdleHint"><arg type="b" direction="in"/></method>
    <method name="Activate"/>
    <method name="Terminate"/>
    <signal name="Lock"/>
    <signal name="Unlock"/>
    <property name="Id" type="s" access="read"/>
    <property name="User" type="(uo)" access="read"/>
    <property name="Name" type="s" access="read"/>
    <property name="Timestamp" type="t" access="read"/>
    <property name="TimestampMonotonic" type="t" access="read"/>
    <property name="VTNr" type="u" access="read"/>
    <property name="Seat" type="(so)" access="read"/>
    <property name="TTY" type="s" access="read"/>
    <property name="Display" type="s" access="read"/>
    <property name="Remote" type="b" access="read"/>
    <property name="RemoteHost" type="s" access="read"/>
    <property name="RemoteUser" type="s" access="read"/>
    <property name="Service" type="s" access="read"/>
    <property name="Desktop" type="s" access="read"/>
    <property name="Scope" type="s" access="read"/>
    <property name="Leader" type="u" access="read"/>
    <property name="Audit" type="u" access="read"/>
    <property name="Type" type="s" access="read"/>
    <property name="Class" type="s" access="read"/>
    <property name="Active" type="b" access="read"/>
    <property name="State" type="s" access="read"/>
    <property name="IdleHint" type="b" access="read"/>
    <property name="IdleSinceHint" type="t" access="read"/>
    <property name="IdleSinceHintMonotonic" type="t" access="read"/>
    <property name="LockedHint" type="b" access="read"/>
  </interface>
</node>
"""

USER_XML = """
<node>
  <interface name="org.freedesktop.login1.User">
    <property name="UID" type="u" access="read"/>
    <property name="GID" type="u" access="read"/>
    <property name="Name" type="s" access="read"/>
    <property name="State" type="s" access="read"/>
    <property name="Display" type="(so)" access="read"/>
    <property name="Sessions" type="a(so)" access="read"/>
    <property name="IdleHint" type="b" access="read"/>
    <property name="Linger" type="b" access="read"/>
    <property name="RuntimePath" type="s" access="read"/>
  </interface>
</node>
"""

START = [time.time()]


def log(text):
    print("%.2f %s" % (time.time() - START[0], text), flush=True)


def bus_path_escape(text):
    """sd_bus_path_encode's escaping: letters stay, and digits but a first one; the rest is _XX."""
    return "".join(c if c.isascii() and (c.isalpha() or (c.isdigit() and i > 0)) else "_%02x" % ord(c)
                   for i, c in enumerate(text)) or "_"


class Login1:
    def __init__(self, options, connection, loop):
        self.options = options
        self.connection = connection
        self.loop = loop
        self.id = options.id
        self.path = MANAGER_PATH + "/session/" + bus_path_escape(options.id)
        try:
            user = pwd.getpwnam(options.user) if options.user else pwd.getpwuid(os.getuid())
        except KeyError:
            sys.exit("logind: no user %s" % options.user)
        self.uid, self.gid, self.user_name = user.pw_uid, user.pw_gid, user.pw_name
        self.user_path = "%s/user/_%d" % (MANAGER_PATH, self.uid)
        self.locked = False
        self.idle = False
        self.idle_since = 0
        self.preparing_for_sleep = False
        self.inhibitors = {}  # read end of the pipe -> (what, who, why, mode, sender, since, watch)
        self.sleep_wait = None
        manager = Gio.DBusNodeInfo.new_for_xml(MANAGER_XML).interfaces[0]
        session = Gio.DBusNodeInfo.new_for_xml(SESSION_XML).interfaces[0]
        connection.register_object(MANAGER_PATH, manager, self.on_manager_call, self.on_manager_get, None)
        for path in {self.path, MANAGER_PATH + "/session/auto", MANAGER_PATH + "/session/self"}:
            connection.register_object(path, session, self.on_session_call, self.on_session_get, None)
        user_interface = Gio.DBusNodeInfo.new_for_xml(USER_XML).interfaces[0]
        for path in (self.user_path, MANAGER_PATH + "/user/self", MANAGER_PATH + "/user/auto"):
            connection.register_object(path, user_interface, None, self.on_user_get, None)

    # The manager.

    def on_manager_call(self, connection, sender, path, interface, method, args, invocation):
        log("call %s %s Manager.%s %s" % (sender, path, method, tuple(args.unpack())))
        if method in ("GetSession", "GetSessionByPID"):
            invocation.return_value(GLib.Variant("(o)", (self.path,)))
        elif method in ("GetUser", "GetUserByPID"):
            invocation.return_value(GLib.Variant("(o)", (self.user_path,)))
        elif method == "ListSessions":
            invocation.return_value(GLib.Variant("(a(susso))", (
                [(self.id, self.uid, self.user_name, "seat0", self.path)],)))
        elif method == "ListUsers":
            invocation.return_value(GLib.Variant("(a(uso))", ([(self.uid, self.user_name, self.user_path)],)))
        elif method in ("LockSession", "LockSessions"):
            self.emit_session("Lock")
            invocation.return_value(None)
        elif method in ("UnlockSession", "UnlockSessions"):
            self.emit_session("Unlock")
            invocation.return_value(None)
        elif method == "Inhibit":
            self.inhibit(sender, args.unpack(), invocation)
        elif method == "ListInhibitors":
            invocation.return_value(GLib.Variant("(a(ssssuu))", (
                [(what, who, why, mode, self.uid, 0)
                 for what, who, why, mode, _, _, _ in self.inhibitors.values()],)))
        elif method == "Suspend":
            invocation.return_value(None)
            self.suspend()
        elif method.startswith("Can"):
            invocation.return_value(GLib.Variant("(s)", ("yes" if method == "CanSuspend" else "na",)))

    def on_manager_get(self, connection, sender, path, interface, name):
        if self.options.get:
            log("get %s Manager.%s" % (sender, name))
        inhibited = lambda mode: ":".join(sorted({what for what, _, _, m, _, _, _ in self.inhibitors.values() if m == mode}))
        return {
            "BlockInhibited": lambda: GLib.Variant("s", inhibited("block")),
            "DelayInhibited": lambda: GLib.Variant("s", inhibited("delay")),
            "InhibitDelayMaxUSec": lambda: GLib.Variant("t", int(self.options.delay_max * 1e6)),
            "PreparingForSleep": lambda: GLib.Variant("b", self.preparing_for_sleep),
            "PreparingForShutdown": lambda: GLib.Variant("b", False),
            "IdleHint": lambda: GLib.Variant("b", self.idle),
            "NAutoVTs": lambda: GLib.Variant("u", 6),
        }[name]()

    def inhibit(self, sender, args, invocation):
        what, who, why, mode = args
        read_end, write_end = os.pipe()
        fds = Gio.UnixFDList.new()
        fds.append(write_end)  # a copy: ours goes at once, so that only the caller holds the pipe
        os.close(write_end)
        watch = GLib.unix_fd_add_full(GLib.PRIORITY_DEFAULT, read_end, GLib.IOCondition.HUP | GLib.IOCondition.ERR,
                                      self.on_inhibitor_released)
        self.inhibitors[read_end] = (what, who, why, mode, sender, time.monotonic(), watch)
        invocation.return_value_with_unix_fd_list(GLib.Variant("(h)", (0,)), fds)

    def on_inhibitor_released(self, read_end, condition):
        what, who, _, mode, sender, since, _ = self.inhibitors.pop(read_end)
        os.close(read_end)
        log("released %s %s lock of %s (%s) after %.2f s" % (what, mode, who, sender, time.monotonic() - since))
        if self.sleep_wait is not None and not self.sleep_delayed():
            GLib.source_remove(self.sleep_wait)
            self.sleep_wait = None
            self.sleep()
        return GLib.SOURCE_REMOVE

    def sleep_delayed(self):
        return any("sleep" in what.split(":") and mode == "delay"
                   for what, _, _, mode, _, _, _ in self.inhibitors.values())

    def suspend(self):
        if self.preparing_for_sleep:
            return
        self.preparing_for_sleep = True
        self.emit(MANAGER_PATH, MANAGER, "PrepareForSleep", GLib.Variant("(b)", (True,)))
        if self.sleep_delayed():
            self.sleep_wait = GLib.timeout_add(int(self.options.delay_max * 1000), self.on_delay_over)
        else:
            self.sleep()

    def on_delay_over(self):
        log("the sleep delay locks outlast %.1f s: sleeping anyway" % self.options.delay_max)
        self.sleep_wait = None
        self.sleep()
        return GLib.SOURCE_REMOVE

    def sleep(self):
        log("sleeping %.1f s" % self.options.sleep)
        GLib.timeout_add(int(self.options.sleep * 1000), self.wake)

    def wake(self):
        self.preparing_for_sleep = False
        self.emit(MANAGER_PATH, MANAGER, "PrepareForSleep", GLib.Variant("(b)", (False,)))
        return GLib.SOURCE_REMOVE

    # The session.

    def on_session_call(self, connection, sender, path, interface, method, args, invocation):
        log("call %s %s Session.%s %s" % (sender, path, method, tuple(args.unpack())))
        if method in ("Lock", "Unlock"):
            self.emit_session(method)
        elif method == "SetLockedHint" and args.unpack()[0] != self.locked:
            self.locked = args.unpack()[0]
            log("hint LockedHint %s by %s" % (str(self.locked).lower(), sender))
            self.changed({"LockedHint": GLib.Variant("b", self.locked)})
        elif method == "SetIdleHint" and args.unpack()[0] != self.idle:
            self.idle = args.unpack()[0]
            self.idle_since = int(time.time() * 1e6)
            log("hint IdleHint %s by %s" % (str(self.idle).lower(), sender))
            self.changed({"IdleHint": GLib.Variant("b", self.idle),
                          "IdleSinceHint": GLib.Variant("t", self.idle_since)})
        invocation.return_value(None)

    def on_session_get(self, connection, sender, path, interface, name):
        if self.options.get:
            log("get %s Session.%s" % (sender, name))
        return {
            "Id": GLib.Variant("s", self.id),
            "User": GLib.Variant("(uo)", (self.uid, self.user_path)),
            "Name": GLib.Variant("s", self.user_name),
            "Timestamp": GLib.Variant("t", 0),
            "TimestampMonotonic": GLib.Variant("t", 0),
            "VTNr": GLib.Variant("u", 7 if self.options.type in ("x11", "wayland") else 0),
            "Seat": GLib.Variant("(so)", ("seat0", MANAGER_PATH + "/seat/seat0")),
            "TTY": GLib.Variant("s", ""),
            "Display": GLib.Variant("s", self.options.display or ""),
            "Remote": GLib.Variant("b", False),
            "RemoteHost": GLib.Variant("s", ""),
            "RemoteUser": GLib.Variant("s", ""),
            "Service": GLib.Variant("s", "lightdm"),
            "Desktop": GLib.Variant("s", ""),
            "Scope": GLib.Variant("s", "session-%s.scope" % self.id),
            "Leader": GLib.Variant("u", os.getpid()),
            "Audit": GLib.Variant("u", 0),
            "Type": GLib.Variant("s", self.options.type),
            "Class": GLib.Variant("s", "user"),
            "Active": GLib.Variant("b", True),
            "State": GLib.Variant("s", "active"),
            "IdleHint": GLib.Variant("b", self.idle),
            "IdleSinceHint": GLib.Variant("t", self.idle_since),
            "IdleSinceHintMonotonic": GLib.Variant("t", 0),
            "LockedHint": GLib.Variant("b", self.locked),
        }[name]

    # The user.

    def on_user_get(self, connection, sender, path, interface, name):
        if self.options.get:
            log("get %s User.%s" % (sender, name))
        return {
            "UID": GLib.Variant("u", self.uid),
            "GID": GLib.Variant("u", self.gid),
            "Name": GLib.Variant("s", self.user_name),
            "State": GLib.Variant("s", "active"),
            "Display": GLib.Variant("(so)", (self.id, self.path)),
            "Sessions": GLib.Variant("a(so)", [(self.id, self.path)]),
            "IdleHint": GLib.Variant("b", self.idle),
            "Linger": GLib.Variant("b", False),
            "RuntimePath": GLib.Variant("s", os.environ.get("XDG_RUNTIME_DIR", "/run/user/%d" % self.uid)),
        }[name]

    def emit_session(self, member):
        self.emit(self.path, SESSION, member, None)

    def changed(self, values):
        self.connection.emit_signal(None, self.path, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                    GLib.Variant("(sa{sv}as)", (SESSION, values, [])))

    def emit(self, path, interface, member, args):
        log("signal %s %s.%s%s" % (path, interface.rsplit(".", 1)[1], member, " %s" % (args.unpack(),) if args else ""))
        self.connection.emit_signal(None, path, interface, member, args)

    def on_unix_signal(self, number):
        if number == signal.SIGUSR1:
            self.emit_session("Unlock")
        elif number == signal.SIGUSR2:
            self.emit_session("Lock")
        elif number == signal.SIGHUP:
            self.suspend()
        else:
            self.loop.quit()
        return GLib.SOURCE_CONTINUE


def main():
    parser = argparse.ArgumentParser(description="A stand-in for systemd-logind on a private system bus.")
    parser.add_argument("--id", default="1", help="the session's id (1)")
    parser.add_argument("--user", help="the session's user (the one running this)")
    parser.add_argument("--display", default=os.environ.get("DISPLAY", ""), help="its X display ($DISPLAY)")
    parser.add_argument("--type", default="x11", help="x11, wayland or tty (x11)")
    parser.add_argument("--delay-max", type=float, default=5, help="seconds a delay lock may hold sleep off (5)")
    parser.add_argument("--sleep", type=float, default=1, help="seconds a suspend lasts (1)")
    parser.add_argument("--get", action="store_true", help="log property reads too")
    parser.add_argument("--since", type=float, help="log times from this time(2) value, not from the start")
    options = parser.parse_args()
    if options.since is not None:
        START[0] = options.since
    loop = GLib.MainLoop()
    connection = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    login1 = Login1(options, connection, loop)
    owned = {"now": False, "ever": False}

    def on_acquired(*_):
        owned.update(now=True, ever=True)
        log("owner of org.freedesktop.login1, session %s at %s" % (login1.id, login1.path))

    def on_lost(*_):
        # Also when the bus itself goes away first, as it may at the end of a test.
        print("logind: %s org.freedesktop.login1" % ("lost" if owned["ever"] else "could not own"),
              file=sys.stderr, flush=True)
        owned["now"] = False
        loop.quit()

    Gio.bus_own_name_on_connection(connection, "org.freedesktop.login1", Gio.BusNameOwnerFlags.NONE,
                                   on_acquired, on_lost)
    for number in (signal.SIGUSR1, signal.SIGUSR2, signal.SIGHUP, signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, number, login1.on_unix_signal, number)
    loop.run()
    return 0 if owned["ever"] else 1


if __name__ == "__main__":
    sys.exit(main())
