#!/usr/bin/python3
"""The windows that KWin manages in a Plasma session (scripts/plasma.sh),
as KWin itself sees them, one JSON object a line on stdout:

    {"caption": "...", "resourceClass": "...", "resourceName": "...",
     "desktopFileName": "...", "pid": 123, "wayland": true,
     "fullScreen": false, "noBorder": false, ...}

For a Wayland window resourceClass is the xdg_toplevel app_id (and
desktopFileName the same, where such a desktop entry exists); for an X11
window (on Xwayland) resourceName and resourceClass are the two halves
of its WM_CLASS ("wayland": false, and a "windowId"). "serverDecorated":
KWin draws the window's decoration (its frame is larger than what the
client drew).

It loads a KWin script through org.kde.KWin /Scripting (loadScript, then
run), which hands each window's properties back to this program over
the session bus (callDBus), and unloads it. Exits 1 when KWin does not
answer within ten seconds.

    plasma_windows.py
"""
import json
import os
import sys
import tempfile

from gi.repository import Gio, GLib

SERVICE_INTERFACE = """
<node>
  <interface name="org.pellavin.WindowList">
    <method name="Window"><arg type="s" direction="in"/></method>
    <method name="Done"/>
  </interface>
</node>
"""

PROPERTIES = ("caption", "resourceClass", "resourceName", "desktopFileName", "windowRole", "windowType", "pid",
              "internalId", "windowId", "fullScreen", "noBorder", "clientSideDecorated", "normalWindow", "dialog",
              "desktopWindow", "dock", "specialWindow", "minimized", "active", "keepAbove", "layer",
              "maximizable", "resizeable", "frameGeometry", "bufferGeometry")

SCRIPT = """
const keys = %(keys)s;
const windows = workspace.clientList();
for (let i = 0; i < windows.length; ++i) {
    const w = windows[i];
    const o = {};
    for (let k = 0; k < keys.length; ++k) {
        let v = w[keys[k]];
        if (v !== undefined && v !== null && typeof v === "object")
            v = v.width !== undefined ? {x: v.x, y: v.y, width: v.width, height: v.height} : String(v);
        if (v !== undefined) o[keys[k]] = v;
    }
    // Only X11 windows have an X window id.
    o.wayland = w.windowId === undefined;
    // KWin's own decoration: on X11 where the window has a border and
    // draws none itself (the frame there is KWin's window, decoration
    // included); on Wayland where the frame is larger than what the
    // client drew.
    o.serverDecorated = !w.noBorder && (o.wayland ? w.frameGeometry.width > w.bufferGeometry.width ||
        w.frameGeometry.height > w.bufferGeometry.height : !w.clientSideDecorated);
    callDBus("%(name)s", "/", "org.pellavin.WindowList", "Window", JSON.stringify(o));
}
callDBus("%(name)s", "/", "org.pellavin.WindowList", "Done");
"""


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    loop = GLib.MainLoop()
    windows = []

    def on_call(connection, sender, path, interface, method, args, invocation):
        if method == "Window":
            windows.append(json.loads(args.unpack()[0]))
        else:
            loop.quit()
        invocation.return_value(None)

    node = Gio.DBusNodeInfo.new_for_xml(SERVICE_INTERFACE)
    bus.register_object("/", node.interfaces[0], on_call, None, None)
    name = bus.get_unique_name()
    directory = os.environ.get("XDG_RUNTIME_DIR") or tempfile.gettempdir()
    with tempfile.NamedTemporaryFile("w", suffix=".js", dir=directory, delete=False) as script:
        script.write(SCRIPT % {"keys": json.dumps(PROPERTIES), "name": name})
    plugin = "plasma_windows_%d" % os.getpid()
    try:
        (number,) = bus.call_sync("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                                  GLib.Variant("(ss)", (script.name, plugin)), GLib.VariantType("(i)"),
                                  Gio.DBusCallFlags.NONE, 10000, None).unpack()
        # KWin 5.27 puts the script at /<number>; later ones at
        # /Scripting/Script<number>.
        for path in ("/Scripting/Script%d" % number, "/%d" % number):
            try:
                bus.call_sync("org.kde.KWin", path, "org.kde.kwin.Script", "run", None, None,
                              Gio.DBusCallFlags.NONE, 10000, None)
                break
            except GLib.Error:
                continue
        timed_out = []
        GLib.timeout_add_seconds(10, lambda: timed_out.append(True) or loop.quit())
        loop.run()
        if timed_out:
            sys.exit("plasma_windows: KWin's script did not answer")
    finally:
        try:
            bus.call_sync("org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                          GLib.Variant("(s)", (plugin,)), None, Gio.DBusCallFlags.NONE, 10000, None)
        except GLib.Error:
            pass
        os.unlink(script.name)
    for window in windows:
        print(json.dumps(window, sort_keys=True))


if __name__ == "__main__":
    main()
