#!/bin/sh
# The control panel as a screen reader meets it: `accessibility.sh SCENARIO`.
# The scenario runs on a session bus of its own, which ends with it, with
# the accessibility bus beside it as on a desktop; screen_reader.py reads
# what a screen reader would hear.
set -eu
if [ -z "${E2E_SESSION_BUS:-}" ]; then
  command -v dbus-run-session >/dev/null 2>&1 ||
    { echo "FAIL: dbus-run-session is missing (scripts/install-deps installs it)"; exit 1; }
  E2E_SESSION_BUS=1 exec dbus-run-session -- sh "$0" "$@"
fi
. "$(dirname "$0")/harness.sh"

bus_launcher=/usr/libexec/at-spi-bus-launcher
reader="$(dirname "$0")/screen_reader.py"

screen_reader() {
  /usr/bin/python3 "$reader" "$@"
}

# start_accessibility_bus: the accessibility bus, and programs started from
# now on that use it as if a screen reader had asked for it.
start_accessibility_bus() {
  [ -x "$bus_launcher" ] || { fail "$bus_launcher is missing (scripts/install-deps installs at-spi2-core)"; return 1; }
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { fail "pyatspi is missing (scripts/install-deps installs python3-pyatspi)"; return 1; }
  # It ends when the session bus does.
  "$bus_launcher" --launch-immediately >"$artifacts/bus-launcher.log" 2>&1 &
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON
}

hidden() { ! shows "$1"; }
holds() { [ "$(bytes "$1")" = "$2" ]; }

# expect_heard WHAT ACTUAL EXPECTED: as expect, for many lines; shows the
# difference.
expect_heard() {
  if [ "$2" = "$3" ]; then
    echo "ok: $1"
  else
    fail "$1, differs from what is expected (-) by (+):"
    printf '%s\n' "$3" >"$e2e_tmp/expected"
    printf '%s\n' "$2" >"$e2e_tmp/actual"
    diff -u "$e2e_tmp/expected" "$e2e_tmp/actual" | tail -n +3 || true
  fi
}

# The dialog as it opens on an empty settings file. Frames are panels that
# hold their controls; "Bricks" is hidden and absent.
tree="application | 'Pellavin' | enabled sensitive showing visible
  dialog | 'Pellavin Control Panel' | active enabled sensitive showing visible
    panel | 'Screensaver' | enabled sensitive showing visible
      radio button | 'Pong' | checked enabled focusable focused sensitive showing visible
    panel | 'Screensaver Settings' | enabled sensitive showing visible
      check box | 'Autoplay' | checked enabled focusable sensitive showing visible
      check box | 'Resume on Mouse Click' | checked enabled focusable sensitive showing visible
      check box | 'Enable Random Colors' | enabled focusable sensitive showing visible
      push button | 'Preview' | enabled focusable sensitive showing visible
    panel | 'Time Delay' | enabled sensitive showing visible
      radio button | '5 Minutes' | enabled focusable sensitive showing visible
      radio button | '10 Minutes' | checked enabled focusable sensitive showing visible
      radio button | '30 Minutes' | enabled focusable sensitive showing visible
      radio button | 'Custom' | enabled focusable sensitive showing visible
      text | 'Custom delay in minutes' | editable enabled focusable sensitive showing visible
      label | ' Minutes' | enabled read only sensitive showing visible
    push button | 'Close' | enabled focusable sensitive showing visible
    check box | 'Enable Screensaver' | checked enabled focusable sensitive showing visible
    push button | 'Save' | enabled focusable sensitive showing visible"

# Each tab stop as it is announced when it takes the focus.
stop() {
  printf 'key %s\nfocus: %s | %s | %senabled focusable focused sensitive showing visible\n' "$1" "$2" "$3" "${4:-}"
}

scenario_dialog() {
  start_accessibility_bus || return
  dir=$(app_dir a11y)
  start "$dir/Pellavin"
  [ -n "$(window_of "$PID" "Pellavin Control Panel")" ] || { fail "the dialog did not show"; return; }
  expect_heard "the tree" "$(screen_reader tree Pellavin)" "$tree"

  # Keyboard only: the whole round of tab stops and back to the first, one
  # step back, then to "30 Minutes", chosen with Space.
  expect_heard "the focus walks the tab order, each step announced once" \
    "$(screen_reader keys Pellavin Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab shift+Tab \
      Tab Tab Tab Tab Tab Tab space)" \
    "$(stop Tab "push button" "'Close'"
      stop Tab "push button" "'Save'"
      stop Tab "radio button" "'5 Minutes'"
      stop Tab "radio button" "'10 Minutes'" "checked "
      stop Tab "radio button" "'30 Minutes'"
      stop Tab "radio button" "'Custom'"
      stop Tab text "'Custom delay in minutes'" "editable "
      stop Tab "check box" "'Autoplay'" "checked "
      stop Tab "check box" "'Resume on Mouse Click'" "checked "
      stop Tab "check box" "'Enable Random Colors'"
      stop Tab "push button" "'Preview'"
      stop Tab "check box" "'Enable Screensaver'" "checked "
      stop Tab "radio button" "'Pong'" "checked "
      stop shift+Tab "check box" "'Enable Screensaver'" "checked "
      stop Tab "radio button" "'Pong'" "checked "
      stop Tab "push button" "'Close'"
      stop Tab "push button" "'Save'"
      stop Tab "radio button" "'5 Minutes'"
      stop Tab "radio button" "'10 Minutes'" "checked "
      stop Tab "radio button" "'30 Minutes'"
      echo "key space"
      echo "checked: '30 Minutes' 1"
      echo "checked: '10 Minutes' 0")"
  screen_reader act Pellavin Save Press
  wait_until holds "$dir/Settings.dat" "00 00 00 00 00 00 1e 00 00 00 00 00"
  expect "the delay chosen by keyboard is saved" "$(bytes "$dir/Settings.dat")" "00 00 00 00 00 00 1e 00 00 00 00 00"

  # What a screen reader's user does through the reader's own commands
  # reaches the settings as a click or typing would.
  screen_reader act Pellavin "Enable Random Colors" Toggle
  screen_reader write Pellavin "Custom delay in minutes" 45
  screen_reader act Pellavin Save Press
  wait_until holds "$dir/Settings.dat" "00 00 00 00 00 00 2d 00 01 00 00 00"
  expect "a box toggled and a delay written by the reader are saved" "$(bytes "$dir/Settings.dat")" \
    "00 00 00 00 00 00 2d 00 01 00 00 00"

  # The game, started by "Preview", stays out of a listener's way: it joins
  # no bus, so it offers nothing to read or to focus.
  screen_reader act Pellavin Preview Press
  game=$(timeout 10 xdotool search --sync --onlyvisible --classname '^PellavinRun$' 2>/dev/null | head -n 1)
  [ -n "$game" ] || { fail "Preview showed no game"; return; }
  png=$(shot_when preview shows_black_screen)
  shows_black_screen "$png" || fail "the game does not show: $png"
  sleep 1
  expect "the applications a reader finds while the game plays" "$(screen_reader apps | tr '\n' ' ')" "Pellavin "
  key x
  wait_until hidden "$game" || fail "a key did not end the game"
}

run_scenario "$1"
