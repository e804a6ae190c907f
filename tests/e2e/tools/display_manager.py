#!/usr/bin/python3
"""A stand-in for GDM on a private system bus: GNOME Shell, which believes
that logind manages the seats, makes its screen shield only when
org.gnome.DisplayManager answers with its Version there
(scripts/desktops.sh needs no more).

It also lets the lock screen be unlocked, as a user does
(scripts/gnome_session.sh): once a key wakes the lock screen, GNOME Shell
asks for the reauthentication channel, a peer-to-peer connection with
GDM's UserVerifier, opened on that first question in $XDG_RUNTIME_DIR.
There it asks for the password and, when the answer is PASSWORD, says
VerificationComplete and unlocks the session through logind
(UnlockSessions; its stand-in is logind.py), as GDM does. Without this
channel GNOME Shell asks again and again, and its message queue holds up
every unlock, SetActive(false) too, for minutes. SIGUSR1 completes every
conversation in progress without a password, as a fingerprint would. The
interfaces are libgdm's own. Runs until SIGTERM; logs nothing.

    display_manager.py [PASSWORD]   ("pellavin" by default)
"""
import os
import signal
import sys
import tempfile

import gi

gi.require_version("Gdm", "1.0")
from gi.repository import Gdm, Gio, GLib  # noqa: E402

MANAGER_PATH = "/org/gnome/DisplayManager/Manager"
SESSION_PATH = "/org/gnome/DisplayManager/Session"
PASSWORD_SERVICE = "gdm-password"


class UserVerifier:
    """One lock screen's conversation: the services it began, waiting."""

    def __init__(self, connection, password):
        self.connection = connection
        self.password = password
        self.services = set()
        interface = Gdm.user_verifier_interface_info()
        connection.register_object(SESSION_PATH, interface, self.on_call, None, None)

    def emit(self, member, *args):
        signature = "(" + "s" * len(args) + ")"
        self.connection.emit_signal(None, SESSION_PATH, Gdm.user_verifier_interface_info().name, member,
                                    GLib.Variant(signature, args))

    def on_call(self, connection, sender, path, interface, method, args, invocation):
        invocation.return_value(None)
        if method in ("BeginVerification", "BeginVerificationForUser"):
            service = args.unpack()[0]
            if service != PASSWORD_SERVICE:
                self.emit("ServiceUnavailable", service, "")
                return
            self.services.add(service)
            self.emit("ConversationStarted", service)
            self.emit("SecretInfoQuery", service, "Password:")
        elif method == "AnswerQuery":
            service, answer = args.unpack()
            if answer == self.password:
                self.complete(service)
            else:
                self.emit("Problem", service, "Sorry, that didn't work. Please try again.")
                self.emit("VerificationFailed", service)
        elif method == "Cancel":
            self.services.clear()

    def complete(self, service):
        self.services.discard(service)
        self.emit("VerificationComplete", service)
        # As GDM does, the unlock itself goes through logind (where there is one).
        Gio.bus_get_sync(Gio.BusType.SYSTEM, None).call(
            "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "UnlockSessions",
            None, None, Gio.DBusCallFlags.NONE, -1, None, None)


def main():
    password = sys.argv[1] if len(sys.argv) > 1 else "pellavin"
    loop = GLib.MainLoop()
    verifiers = []
    servers = []

    def on_new_connection(server, connection):
        verifier = UserVerifier(connection, password)
        verifiers.append(verifier)
        connection.connect("closed", lambda *_: verifiers.remove(verifier))
        return True

    def channel():
        if not servers:
            directory = os.environ.get("XDG_RUNTIME_DIR") or tempfile.gettempdir()
            server = Gio.DBusServer.new_sync("unix:dir=" + directory, Gio.DBusServerFlags.NONE,
                                             Gio.dbus_generate_guid(), None, None)
            server.connect("new-connection", on_new_connection)
            server.start()
            servers.append(server)
        return servers[0].get_client_address()

    def on_manager_call(connection, sender, path, interface, method, args, invocation):
        if method in ("OpenReauthenticationChannel", "OpenSession"):
            invocation.return_value(GLib.Variant("(s)", (channel(),)))
        else:
            invocation.return_value(None)

    bus = Gio.bus_get_sync(Gio.BusType.SYSTEM, None)
    bus.register_object(MANAGER_PATH, Gdm.manager_interface_info(), on_manager_call,
                        lambda *_: GLib.Variant("s", "43.0"), None)
    Gio.bus_own_name_on_connection(bus, "org.gnome.DisplayManager", Gio.BusNameOwnerFlags.NONE,
                                   None, lambda *_: sys.exit("display_manager: the name is taken"))

    def fingerprint():
        for verifier in verifiers:
            for service in list(verifier.services):
                verifier.complete(service)
        return GLib.SOURCE_CONTINUE

    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, fingerprint)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()
    for server in servers:
        server.stop()


if __name__ == "__main__":
    main()
