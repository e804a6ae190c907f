#!/bin/sh
# The idle watcher in a KDE Plasma 5.27 session (scripts/plasma.sh: KWin,
# ksmserver, PowerDevil), started as the session's autostart starts it: as
# the session's user, with its environment (XDG_CURRENT_DESKTOP=KDE).
# `plasma_desktop.sh SCENARIO`, or `plasma_desktop.sh all` to run them side
# by side. The
# session has no input device: its own SimulateUserActivity is the input
# (it resets KWin's idle time, and the X server's on X11).
set -eu
. "$(dirname "$0")/idle_harness.sh"
. "$(dirname "$0")/../../scripts/plasma.sh"
. "$(dirname "$0")/../../scripts/players.sh"

plasma_tools=$(dirname "$0")/tools

# The harness's cleanup ends the desktop: here the whole session.
stop_desktop() {
  stop_player
  stop_plasma
}

# in_plasma start_plasma|start_plasma_x11 NAME: the session, and the watcher
# in it once it watches its settings (its first delay counts from about
# then: there is no input before).
in_plasma() {
  "$1" "$plasma_tools" || { fail "Plasma did not start (scripts/install-deps installs it)"; return 1; }
  echo "Plasma ($PLASMA_SESSION_TYPE) up in $PLASMA_START_SECONDS s"
  dir=$(idle_dir "$2")
  spawn_as_plasma_user "$dir/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
  WATCHER=$SPAWNED
  e2e_pids="$e2e_pids $WATCHER"
  wait_until watching_settings || { fail "the watcher watches no settings"; return 1; }
}

bus() {
  as_plasma_user dbus-send --session --print-reply=literal --reply-timeout=5000 "$@"
}

input() {
  bus --dest=org.freedesktop.ScreenSaver /ScreenSaver org.freedesktop.ScreenSaver.SimulateUserActivity >/dev/null
}

powerdevil_holds() {
  bus --dest=org.kde.Solid.PowerManagement.PolicyAgent /org/kde/Solid/PowerManagement/PolicyAgent \
    org.kde.Solid.PowerManagement.PolicyAgent.HasInhibition uint32:4 | grep -q "boolean $1"
}

# The pids of org.freedesktop.ScreenSaver's owner and of any program queued
# for it.
screensaver_owners() {
  for name in $(bus --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListQueuedOwners \
    string:org.freedesktop.ScreenSaver | grep -o ':[0-9.]*'); do
    bus --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID \
      string:"$name" | awk '{ print $2 }'
  done | sort | tr '\n' ' '
}

# let_go HOLDER: the hold is let go, and PowerDevil says so.
let_go() {
  kill -USR1 "$1"
  wait_until grep -q released "$artifacts/holder.out" && for_up_to 30 powerdevil_holds false
}

hold_then_release() {
  spawn_as_plasma_user /usr/bin/python3 "$plasma_tools/plasma_inhibit.py" pellavin-test "Playing a film" \
    >"$artifacts/holder.out" 2>&1
  holder=$SPAWNED
  e2e_pids="$e2e_pids $holder"
  wait_until grep -q held "$artifacts/holder.out" || { fail "the player's hold was refused"; return 1; }
  marked input
  for_up_to 30 powerdevil_holds true || { fail "PowerDevil never owned up to the hold"; return 1; }
  no_game_until "$dir" "$past_due" || return 1
  marked let_go "$holder" || { fail "PowerDevil kept the hold"; return 1; }
  game_a_delay_after_mark "$dir"
}

# expect_name_left_to OWNER_PID: the session's locker keeps
# org.freedesktop.ScreenSaver, and the watcher is not even queued for it.
expect_name_left_to() {
  expect "org.freedesktop.ScreenSaver's owner, and those queued for it" "$(screensaver_owners)" "$1 "
}

# Wayland: a player's hold; the lock over the game ends it, and none comes
# while the screen stays locked.
scenario_wayland() {
  in_plasma start_plasma wayland || return
  hold_then_release || return
  expect_name_left_to "$COMPOSITOR_PID"
  watch_end "$GAME"
  marked plasma_lock || { fail "the screen did not lock"; return; }
  ended_within "the lock" || return
  no_game_until "$dir" "$past_due" || return
  plasma_unlock || fail "the screen did not unlock"
  expect "what the watcher said" "$(cat "$artifacts/PellavinIdle.stderr")" ""
}

# Wayland: mpv holds KWin's idle time off while it plays (an idle
# inhibitor, no D-Bus), a film longer than the delay: no game while it
# plays; a game a full delay after its end.
scenario_wayland_film() {
  in_plasma start_plasma wayland_film || return
  _player_kind=plasma
  _player_film $((past_due + 10)) || { fail "no film to play"; return; }
  marked spawn_as_plasma_user mpv --no-config --no-terminal --vo=wlshm --ao=null "$_player_dir/film.y4m" \
    >"$artifacts/mpv.log" 2>&1
  PLAYER_PID=$SPAWNED
  watch_end "$PLAYER_PID"
  no_game_until "$dir" "$past_due" || return
  ! gone "$PLAYER_PID" || { fail "the film ended before the delay had passed: $(cat "$artifacts/mpv.log")"; return; }
  for_up_to $((minute + 60)) gone "$PLAYER_PID" || { fail "the film never ended"; return; }
  wait_until grep -q ended_at "$ENDS" || { fail "the film's end went unseen"; return; }
  # mpv lets go of its inhibitor as it quits, milliseconds before its end.
  MARK=$(awk '/ended_at/ { print $2 }' "$ENDS")
  MARK_FROM=$((MARK - 1000))
  game_a_delay_after_mark "$dir"
}

# X11 (ksmserver keeps org.freedesktop.ScreenSaver there): a player's hold.
scenario_x11() {
  in_plasma start_plasma_x11 x11 || return
  hold_then_release || return
  expect_name_left_to "$KSMSERVER_PID"
  expect "what the watcher said" "$(cat "$artifacts/PellavinIdle.stderr")" ""
}

scenarios="wayland wayland_film x11"

if [ "$1" = all ]; then run_all; else run_scenario "$1"; fi
