#!/usr/bin/python3
"""What a screen reader hears from a program, read over the accessibility bus.

  screen_reader.py apps                     the applications on the bus, one a line
  screen_reader.py tree APP                 APP's objects, indented by depth
  screen_reader.py keys APP KEY...          presses each key (xdotool) and prints,
                                            after it, what was announced
  screen_reader.py act APP NAME ACTION      runs the action of the object so named
  screen_reader.py write APP NAME TEXT      puts TEXT in the text box so named

An object reads as "role | 'name' | states". After a key, "focus: OBJECT" is
the object that took the focus, "checked: 'name' 1" (or 0) a check mark
that came or went. Waits up to ten seconds for APP to appear.
"""
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

QUIET_MS = 300     # no further announcement for this long: the key's effect is over
PATIENCE_MS = 3000  # nothing at all for this long: the key announced nothing


def describe(acc):
    states = sorted(pyatspi.stateToString(s) for s in acc.getState().getStates())
    return f"{acc.getRoleName()} | {acc.name!r} | {' '.join(states)}"


def applications():
    return [app for app in pyatspi.Registry.getDesktop(0) if app is not None]


def find_application(name):
    for _ in range(50):
        for app in applications():
            if app.name == name:
                return app
        time.sleep(0.2)
    sys.exit(f"screen_reader: no application {name!r} on the accessibility bus")


def walk(acc, depth=0):
    yield depth, acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child, depth + 1)


def print_tree(app):
    for depth, acc in walk(app):
        print("  " * depth + describe(acc))


def find_object(app, name):
    for _, acc in walk(app):
        if acc.name == name:
            return acc
    sys.exit(f"screen_reader: nothing is named {name!r}")


def act(app, name, action):
    actions = find_object(app, name).queryAction()
    for i in range(actions.nActions):
        if actions.getName(i) == action:
            actions.doAction(i)
            return
    sys.exit(f"screen_reader: {name!r} has no action {action!r}")


def write(app, name, text):
    if not find_object(app, name).queryEditableText().setTextContents(text):
        sys.exit(f"screen_reader: {name!r} refused the text {text!r}")


def press_keys(app, keys):
    heard = []
    state = {"since_last": 0, "waited": 0}

    def on_event(event):
        if event.host_application is None or event.host_application.name != app.name:
            return
        if event.type == "object:state-changed:focused" and event.detail1 == 1:
            heard.append("focus: " + describe(event.source))
        elif event.type == "object:state-changed:checked":
            heard.append(f"checked: {event.source.name!r} {event.detail1}")
        else:
            return
        state["since_last"] = 0

    def next_key():
        for line in heard:
            print(line)
        heard.clear()
        if not keys:
            pyatspi.Registry.stop()
            return
        key = keys.pop(0)
        print("key " + key, flush=True)
        state.update(since_last=0, waited=0)
        subprocess.run(["xdotool", "key", key], check=True)
        GLib.timeout_add(50, wait_for_announcements)

    def wait_for_announcements():
        state["since_last"] += 50
        state["waited"] += 50
        if (heard and state["since_last"] >= QUIET_MS) or state["waited"] >= PATIENCE_MS:
            next_key()
            return False
        return True

    pyatspi.Registry.registerEventListener(on_event, "object:state-changed:focused", "object:state-changed:checked")
    # The program learns of the new listener over the bus: give it a moment.
    GLib.timeout_add(1000, lambda: next_key() and False)
    pyatspi.Registry.start()


def main(argv):
    if argv[:1] == ["apps"]:
        for app in applications():
            print(app.name)
    elif len(argv) == 2 and argv[0] == "tree":
        print_tree(find_application(argv[1]))
    elif len(argv) >= 3 and argv[0] == "keys":
        press_keys(find_application(argv[1]), argv[2:])
    elif len(argv) == 4 and argv[0] == "act":
        act(find_application(argv[1]), argv[2], argv[3])
    elif len(argv) == 4 and argv[0] == "write":
        write(find_application(argv[1]), argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
