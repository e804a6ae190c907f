#!/bin/sh
# Keys reach the game by the keyboard's focus under the window managers
# people use, and under none: the game the idle watcher starts and a
# Preview each get the focus as they show, though the user last clicked in
# another window; the arrows move the paddle and any other key ends the
# game, and none of them reaches the window behind it (xev, standing for a
# terminal or a chat). `keys.sh WINDOW_MANAGER`.
set -eu
# The watcher's minute, short: its game comes seconds after the last input.
E2E_IDLE_MINUTE=${E2E_KEYS_MINUTE:-3}
. "$(dirname "$0")/idle_harness.sh"

# start_window_manager NAME: the window manager, with its own defaults, on
# a session bus of the scenario's own (without the accessibility bus it
# would start there); returns once it manages the screen.
start_window_manager() {
  mkdir -p "$e2e_tmp/wm"
  printf 'font pango:monospace 8\n' >"$e2e_tmp/wm/i3.conf"
  case $1 in
  none) return 0 ;;
  openbox) set -- openbox --sm-disable ;;
  xfwm4) set -- xfwm4 --replace ;;
  marco) set -- marco --replace ;;
  mutter) set -- mutter --x11 --replace ;;
  kwin) set -- kwin_x11 --replace ;;
  i3) set -- i3 -c "$e2e_tmp/wm/i3.conf" ;;
  esac
  command -v "$1" >/dev/null 2>&1 || { fail "$1 is missing (scripts/install-deps installs it)"; return 1; }
  start_session_bus || return 1
  HOME=$e2e_tmp/wm XDG_CONFIG_HOME=$e2e_tmp/wm NO_AT_BRIDGE=1 GTK_A11Y=none "$@" >"$artifacts/window_manager.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  managed() { wmctrl -m >/dev/null 2>&1; }
  # mutter and KWin take a while to start on a busy machine.
  wait_until managed || wait_until managed || { fail "the window manager did not start"; return 1; }
}

# behind: xev's window, where the user last clicked; its key presses are
# counted. Where no window manager gives the focus on a click, the window
# takes it itself.
behind() {
  if [ -z "${XEV:-}" ]; then
    xev -event keyboard >"$artifacts/xev.log" 2>&1 &
    XEV=$!
    e2e_pids="$e2e_pids $XEV"
  fi
  xev_window() { XEV_WINDOW=$(xdotool search --onlyvisible --name "^Event Tester$" 2>/dev/null | tail -n 1) && [ -n "$XEV_WINDOW" ]; }
  wait_until xev_window || { fail "xev's window did not show"; return 1; }
  xev_focused() { xdotool getwindowfocus 2>/dev/null | grep -qx "$XEV_WINDOW"; }
  # A window manager busy with the game's end may miss a click: clicked again.
  clicks=0
  until xev_focused; do
    clicks=$((clicks + 1))
    [ "$clicks" -le 10 ] || { fail "xev did not get the focus"; return 1; }
    eval "$(xdotool getwindowgeometry --shell "$XEV_WINDOW")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
    [ "$wm" != none ] || xdotool windowfocus "$XEV_WINDOW"
    sleep 0.5
  done
}

# keys_reach GAME NAME: the game has the focus once it shows; two presses
# of the right arrow move the paddle, and x ends the game; xev hears none.
keys_reach() {
  game_focused() {
    focus=$(xdotool getwindowfocus 2>/dev/null) && [ "$(xdotool getwindowpid "$focus" 2>/dev/null)" = "$1" ]
  }
  wait_until game_focused "$1" || { fail "$2: the game does not have the focus"; return 1; }
  before=$(shot_when "$2_before" shows_black_screen)
  shows_black_screen "$before" || fail "$2: the game does not show: $before"
  paddle() { box "$1" 1920 60 0 1020; }
  at_first=$(paddle "$before")
  key Right
  key Right
  moved() { [ "$(paddle "$1")" != "$at_first" ]; }
  after=$(shot_when "$2_after" moved)
  moved "$after" || fail "$2: the arrows did not move the paddle from $at_first"
  echo "ok: $2: the arrows moved the paddle from $at_first to $(paddle "$after")"
  key x
  wait_gone "$1" || { fail "$2: a key did not end the game"; return 1; }
  expect "$2: key presses that reached the window behind" "$(grep -c KeyPress "$artifacts/xev.log" || true)" 0
}

scenario() {
  wm=$1
  dir=$(app_dir "$1")
  record 0 -1 0 1 0 0 >"$dir/Settings.dat"  # the ball waits for an arrow
  start_window_manager "$1" || return
  behind || return
  watch_in "$dir"
  wait_until watching_settings || { fail "the watcher watches no settings"; return; }
  mark
  wait_until game_seen "$dir" || { fail "the watcher started no game"; return; }
  keys_reach "$GAME" watchers_game
  kill "$WATCHER"
  wait_gone "$WATCHER" || fail "the watcher did not end"
  behind || return
  start "$dir/PellavinRun"
  keys_reach "$PID" preview
  wait_exit "$PID" && expect "the Preview's end" "$STATUS" 0
}

for wm in none openbox xfwm4 marco mutter kwin i3; do
  eval "scenario_$wm() { scenario $wm; }"
done

run_scenario "$1"
