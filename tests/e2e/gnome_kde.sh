#!/bin/sh
# The game on the compositors of the two big desktops, as their users meet
# it: `gnome_kde.sh SCENARIO`. GNOME's mutter 43 runs in a window of the
# private Xvfb (the only mutter whose screen can be read, and which the X
# server's keyboard reaches); GNOME Shell 43 runs headless, takes its own
# screenshots and gets keys through its remote desktop interface; KDE's
# KWin 5.27 runs headless, takes its own screenshots and has no input at
# all. All as an unprivileged user.
set -eu
. "$(dirname "$0")/harness.sh"

# start_game NAME: the game in the desktop, Autoplay off (in the file beside
# it, which the desktop's user reads as the administrator's defaults: ours,
# not one that user or any other may change), its protocol traced; sets PID.
start_game() {
  dir=$(app_dir "$1")
  record 0 -1 0 10 0 0 >"$dir/Settings.dat"
  chmod 644 "$dir/Settings.dat"
  stderr=$artifacts/PellavinRun.stderr
  spawn_as_desktop_user env WAYLAND_DEBUG=1 "$dir/PellavinRun" 2>"$stderr"
  PID=$SPAWNED
  e2e_pids="$e2e_pids $PID"
}

# pointer_hidden TRACE: every time the pointer came in, the game's next
# word on it was "no image".
pointer_hidden() {
  awk '/wl_pointer@[0-9]+\.enter\(/ { entered++; waiting = 1 }
    waiting && /-> wl_pointer@[0-9]+\.set_cursor\([0-9]+, nil,/ { hidden++; waiting = 0 }
    END { exit !(entered > 0 && hidden == entered) }' "$1"
}

# scene PNG: the served game, autoplay off, shows the paddles on the
# output's top and bottom edges (the top one follows the waiting ball), and
# the ball where it waits: the game covers the output.
scene() {
  echo "$(box "$1" 1920 17 0 0 | sed 's/^145x17+[0-9]*+0$/top/')" \
    "$(box "$1" 1920 1046 0 17)" "$(box "$1" 1920 17 0 1063)"
}
served_scene="top 17x17+104+224 145x17+80+1063"

# mutter: full screen, the pointer hidden over it, a key ends it. (A held
# arrow's repeats, which the game makes itself at the seat's rate,
# wayland.sh's arrow_held sees on sway.)
scenario_mutter() {
  start_mutter_nested || skip "mutter cannot run here (scripts/install-deps installs it)"
  start_game mutter
  served() { [ "$(scene "$1")" = "$served_scene" ]; }
  xdotool mousemove 700 500
  png=$(shot_when served served)
  expect "full screen, and no pointer over it" "$(scene "$png")" "$served_scene"
  if shows_black_screen "$png"; then echo "ok: black"; else fail "the desktop shows through: $png"; fi
  if wait_until pointer_hidden "$stderr"; then echo "ok: the game hides the pointer"; else
    fail "the game left the pointer showing: $stderr"; fi
  xdotool key x
  expect_ended "a key" "$PID"
}

# GNOME Shell: full screen over its top bar; behind its shield, which
# GNOME Shell keeps asking for frames behind, the game rests, and plays on
# once the shield has gone; a key ends the game.
scenario_gnome_shell() {
  command -v gnome-shell >/dev/null 2>&1 || skip "GNOME Shell is missing (scripts/install-deps installs it)"
  start_gnome_shell "$(dirname "$0")/tools" || { fail "GNOME Shell did not start"; return; }
  start_game gnome_shell
  png=$artifacts/served.png
  served() { gnome_screenshot "$png" && [ "$(scene "$png")" = "$served_scene" ]; }
  wait_until served || true
  expect "full screen" "$(scene "$png")" "$served_scene"
  if shows_black_screen "$png"; then echo "ok: black"; else fail "not black: $png"; fi
  gnome_shield on || { fail "the shield did not come"; return; }
  expect_resting "behind the shield" "$PID"
  gnome_shield off || { fail "the shield did not go"; return; }
  woke=$(wakeups "$PID" 2)
  if [ "$woke" -gt 30 ]; then echo "ok: it plays on once the shield has gone ($woke wake-ups in 2 s)"; else
    fail "it rests on once the shield has gone: $woke wake-ups in 2 s"; fi
  as_desktop_user /usr/bin/python3 "$(dirname "$0")/tools/mutter_input.py" x
  expect_ended "a key" "$PID"
}

# KWin: full screen; a signal ends the game as a session's end does.
scenario_kwin() {
  KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 start_kwin || skip "KWin cannot run here (scripts/install-deps installs it)"
  start_game kwin
  kwin_shot() {
    as_desktop_user /usr/bin/python3 "$(dirname "$0")/tools/kwin_screenshot.py" "$XDG_RUNTIME_DIR/screen.ppm" &&
      convert "$XDG_RUNTIME_DIR/screen.ppm" "$artifacts/$1.png" && echo "$artifacts/$1.png"
  }
  served() { png=$(kwin_shot served) && [ "$(scene "$png")" = "$served_scene" ]; }
  wait_until served || true
  expect "full screen" "$(scene "$png")" "$served_scene"
  if shows_black_screen "$png"; then echo "ok: black"; else fail "not black: $png"; fi
  kill -TERM "$PID"
  if wait_exit "$PID"; then expect "SIGTERM ends it" "$STATUS" 143; else fail "SIGTERM did not end the game"; fi
}

# The control panel on each desktop's Wayland compositor, as its user,
# readable by a screen reader (whose bus the session starts on demand).
# start_panel DIR SPAWNER: sets PID.
start_panel() {
  "$2" env QT_QPA_PLATFORM=wayland QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$1/Pellavin" 2>"$artifacts/Pellavin.stderr"
  PID=$SPAWNED
  e2e_pids="$e2e_pids $PID"
}

panel_title="Pellavin Control Panel"

# title_bar: what a screen reader finds in the dialog before the form: the
# controls of a title bar of its own (role and name), one line. The
# dialog's own name and role come first.
title_bar() {
  as_desktop_user /usr/bin/python3 "$(dirname "$0")/screen_reader.py" tree Pellavin >"$artifacts/tree.txt" 2>&1
  awk -F ' [|] ' 'NR == 2 { printf "%s | %s: ", $1, $2 } /^    filler/ { fillers++; next }
    fillers == 1 && /^      [^ ]/ { sub(/^ */, "", $1); printf "%s | %s; ", $1, $2 }' "$artifacts/tree.txt"
}

# No toolkit decorations, whose buttons do nothing on a fixed dialog: the
# toolkit's decoration plugin is not even loaded.
expect_no_toolkit_decoration() {
  if grep -q wayland-decoration-client "/proc/$PID/maps"; then fail "the toolkit's decorations are loaded"; else
    echo "ok: no toolkit decorations"; fi
}

# GNOME Shell (no server-side decorations): the panel's own title bar, the
# caption and a close button only; with the menu entry installed for the
# user, GNOME Shell knows the window as that entry's app, "Pellavin" in
# its top bar.
scenario_panel_gnome_shell() {
  command -v gnome-shell >/dev/null 2>&1 || skip "GNOME Shell is missing (scripts/install-deps installs it)"
  start_gnome_shell "$(dirname "$0")/tools" || { fail "GNOME Shell did not start"; return; }
  dir=$(app_dir panel_gnome_shell)
  # The menu entry and icon, as `cmake --install --prefix ~/.local` puts them.
  share=$XDG_RUNTIME_DIR/.local/share
  mkdir -p "$share/applications" "$share/icons/hicolor/scalable/apps"
  sed "s|@panel@|$dir/Pellavin|g" "$(dirname "$0")/../../desktop/pellavin.desktop.in" \
    >"$share/applications/pellavin.desktop"
  cp "$(dirname "$0")/../../desktop/pellavin.svg" "$share/icons/hicolor/scalable/apps/"
  [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$XDG_RUNTIME_DIR/.local"
  start_panel "$dir" spawn_as_desktop_user
  # GNOME Shell reads a new menu entry seconds later, and then knows the
  # window anew; a slow machine maps and focuses the window later still.
  expected='"app-id": "pellavin.desktop" "has-focus": true "wm-class": "pellavin" '
  shell_window() {
    window=$(as_desktop_user /usr/bin/python3 "$(dirname "$0")/tools/gnome_shell_windows.py" |
      grep "\"title\": \"$panel_title\"" | grep -o '"app-id": "[^"]*"\|"has-focus": [a-z]*\|"wm-class": "[^"]*"' |
      tr '\n' ' ')
    [ "$window" = "$expected" ]
  }
  tries=0
  until shell_window || [ "$tries" -ge 60 ]; do tries=$((tries + 1)); sleep 0.5; done
  expect "GNOME Shell's window: its app, focus and app id" "$window" "$expected"
  gnome_screenshot "$artifacts/panel.png" || fail "no screenshot"
  expect "the title bar, as a screen reader finds it" "$(title_bar)" \
    "  dialog | '$panel_title': label | '$panel_title'; push button | 'Close'; "
  expect_no_toolkit_decoration
}

# KWin: its own decoration, and no title bar of the panel's; no maximize
# (a fixed dialog); the app id names the menu entry.
scenario_panel_kwin() {
  KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 start_kwin || skip "KWin cannot run here (scripts/install-deps installs it)"
  dir=$(app_dir panel_kwin)
  start_panel "$dir" spawn_as_desktop_user
  kwin_window() {
    window=$(as_desktop_user /usr/bin/python3 "$(dirname "$0")/tools/plasma_windows.py" |
      grep "\"caption\": \"$panel_title\"")
  }
  wait_until kwin_window || { fail "no window: $(cat "$artifacts/Pellavin.stderr")"; return; }
  expect "KWin's window: its desktop entry, app id, decoration, and no maximize or resizing" "$(echo "$window" |
    grep -o '"desktopFileName": "[^"]*"\|"resourceClass": "[^"]*"\|"serverDecorated": [a-z]*\|"maximizable": [a-z]*\|"resizeable": [a-z]*' |
    tr '\n' ' ')" '"desktopFileName": "pellavin" "maximizable": false "resizeable": false "resourceClass": "pellavin" "serverDecorated": true ' 
  { as_desktop_user /usr/bin/python3 "$(dirname "$0")/tools/kwin_screenshot.py" "$XDG_RUNTIME_DIR/screen.ppm" &&
    convert "$XDG_RUNTIME_DIR/screen.ppm" "$artifacts/panel.png"; } || fail "no screenshot"
  expect "no title bar of its own, as a screen reader finds it" "$(title_bar)" "  dialog | '$panel_title': "
  expect_no_toolkit_decoration
}

# sway: the app id; it floats (of a fixed size), with sway's title bar
# (which the harness's configuration leaves off) for the screenshot.
scenario_panel_sway() {
  start_sway || skip "sway cannot run here (scripts/install-deps installs it)"
  dir=$(app_dir panel_sway)
  start_panel "$dir" spawn_as_wayland_user
  sway_window() { as_wayland_user swaymsg -t get_tree | grep -q "\"name\": \"$panel_title\""; }
  wait_until sway_window || { fail "no window: $(cat "$artifacts/Pellavin.stderr")"; return; }
  expect "the app ids in sway" "$(as_wayland_user swaymsg -t get_tree | grep -o '"app_id": "[^"]*"')" \
    '"app_id": "pellavin"'
  as_wayland_user swaymsg "[app_id=\"^pellavin\$\" floating] border normal" >/dev/null ||
    fail "the panel does not float"
  sleep 0.5
  as_wayland_user grim - >"$artifacts/panel.png" || fail "no screenshot"
  expect_no_toolkit_decoration
}

run_scenario "$1"
