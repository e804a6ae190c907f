#!/bin/sh
# The user's lock always wins: every screen locker locks the screen over a
# game, one the idle watcher started and then a Preview, as the user or
# xss-lock starts the locker (on the X server's screen saver, on logind's
# Lock, before sleep). The lock is judged by the X server, not by the
# locker's word: a probe's keyboard grab refused, the locker's window on top
# (tests/e2e/tools/lock_probe) and the game gone. `lock.sh SCENARIO`.
set -eu
# The watcher's minute, short: its game comes seconds after the last input.
E2E_IDLE_MINUTE=${E2E_LOCK_MINUTE:-3}
. "$(dirname "$0")/idle_harness.sh"
. "$(dirname "$0")/../../scripts/plasma.sh"
. "$(dirname "$0")/../../scripts/gnome_session.sh"

tools=$(dirname "$0")/tools

# The lockers refuse root: they, the games and the watcher run as one
# user (nobody, when we are root), let onto the X server, with a home of
# their own.
as_user() { $unprivileged env HOME="$e2e_tmp/home" "$@"; }

# spawn_as_user LOG COMMAND...: in the background, its output in LOG; sets
# SPAWNED.
spawn_as_user() {
  _log=$1
  shift
  $unprivileged env HOME="$e2e_tmp/home" "$@" >>"$_log" 2>&1 &
  SPAWNED=$!
  e2e_pids="$e2e_pids $SPAWNED"
}

setup() {
  mkdir -p "$e2e_tmp/home"
  [ -z "$unprivileged" ] || chown nobody "$e2e_tmp/home" "$XDG_RUNTIME_DIR"
  xhost "+si:localuser:$(as_user id -un)" >/dev/null
  dir=$(idle_dir "$1")
}

# The game of the scenario's directory that runs now; sets GAME.
the_game() { GAME=$(runners "$dir" | head -n 1); [ -n "$GAME" ]; }

# game_plays: a game shows, and has the keyboard's focus: its keys are its
# own. (A probe's grab would end it, as a locker's does.)
game_plays() {
  wait_until the_game || { fail "no game came"; return 1; }
  game_has_focus() {
    focus=$(xdotool getwindowfocus 2>/dev/null) && [ "$(xdotool getwindowpid "$focus" 2>/dev/null)" = "$GAME" ]
  }
  wait_until game_has_focus || { fail "the game does not have the keyboard's focus"; return 1; }
}

# watchers_game: the watcher starts a game a minute of its own after input
# (at INPUT_AT).
watchers_game() {
  spawn_as_user "$artifacts/PellavinIdle.stderr" "$dir/PellavinIdle"
  WATCHER=$SPAWNED
  wait_until watching_settings || { fail "the watcher watches no settings"; return 1; }
  mark
  INPUT_AT=$MARK
  game_plays
}

# preview_game: the game as the control panel's Preview starts it, at a
# click on Preview (the input at INPUT_AT).
preview_game() {
  [ -z "${WATCHER:-}" ] || { kill "$WATCHER"; wait_gone "$WATCHER" || fail "the watcher did not end"; }
  WATCHER=
  mark
  INPUT_AT=$MARK
  spawn_as_user "$artifacts/PellavinRun.stderr" "$dir/PellavinRun"
  game_plays
}

# locked_by NAME PROGRAM: the X server says PROGRAM has locked the screen:
# its window on top and the game gone, seconds after the lock was asked for
# (the mark; `lock_patience` seconds at most), and then a probe's keyboard
# grab refused (asked only then: granted, it would end the game itself);
# its screenshot is NAME. (Under a compositor, GNOME Shell's window is on
# top all along: there the game's end and the grab tell.)
locked_by() {
  locked() { gone "$GAME" && "$E2E_TOOLS/lock_probe" | grep -q "^top [0-9]* $1"; }
  looks=0
  until locked "$2"; do
    looks=$((looks + 1))
    [ "$looks" -lt $((${lock_patience:-10} * 10)) ] ||
      { fail "no lock by $2 over the game: $("$E2E_TOOLS/lock_probe"), the game $(gone "$GAME" || echo "still ")playing"; return 1; }
    sleep 0.1
  done
  lock_ms=$(($(now_ms) - MARK_FROM))
  wait_until grep -q ended_at "$ENDS" || true
  game_ms=$(($(awk '/ended_at/ { print $2 }' "$ENDS") - MARK_FROM))
  expect "$2 holds the keyboard" "$("$E2E_TOOLS/lock_probe" --grab | head -n 1)" "keyboard taken"
  png=$(shot "$1")
  echo "ok: $2 on top, the game gone, within $lock_ms ms of the lock asked for; the game ended after $game_ms ms ($png)"
}

# lock_over WAY NAME PROGRAM: the locker comes the way asked, over the game
# that plays; then it goes, as a typed password ends it.
lock_over() {
  watch_end "$GAME"
  # xss-lock runs no second locker while it has not yet reaped its first.
  [ -z "${XSS_LOCK:-}" ] || wait_until reaped_its_locker || { fail "xss-lock kept its last locker"; return 1; }
  case $1 in
  hand) marked spawn_as_user "$artifacts/locker.log" $locker ;;
  saver) marked xset s activate ;;
  logind) marked kill -USR2 "$LOGIND" ;;
  timeout) MARK_FROM=$((INPUT_AT + xscreensaver_timeout * 1000)) MARK=$MARK_FROM ;;
  idle) MARK_FROM=$((INPUT_AT + gnome_idle * 1000)) MARK=$MARK_FROM ;;
  command) marked as_user xscreensaver-command -lock >/dev/null ;;
  mate) marked as_user mate-screensaver-command --lock ;;
  plasma) marked plasma_lock ;;
  sleep)
    wait_until awake || { fail "the machine did not wake, or xss-lock took no new sleep lock"; return 1; }
    marked kill -HUP "$LOGIND"
    ;;
  esac
  locked_by "$2" "$3" || return 1
  unlock "$3"
}

# reaped_its_locker: xss-lock has no child, not even one that has ended.
reaped_its_locker() { [ -z "$(cat /proc/"$XSS_LOCK"/task/*/children 2>/dev/null)" ]; }

# awake: the machine has woken from its last sleep, and xss-lock holds its
# sleep lock again.
awake() {
  log=$artifacts/logind.log
  [ "$(grep -c 'PrepareForSleep (True' "$log")" -eq "$(grep -c 'PrepareForSleep (False' "$log")" ] &&
    [ "$(grep -c 'Manager.Inhibit' "$log")" -gt "$(grep -c 'released sleep' "$log")" ]
}

# unlock PROGRAM: the locker (and what it started) ends; a locker that
# runs all along (DAEMON, started by RESTART) starts again.
unlock() {
  case $1 in
  xscreensaver | mate-screensave)
    kill "$DAEMON"
    wait_gone "$DAEMON" || fail "$1 did not end"
    $RESTART
    return
    ;;
  gnome-shell)
    gnome_unlock || fail "GNOME Shell did not unlock"
    return
    ;;
  kscreenlocker_g)
    plasma_unlock || fail "Plasma did not unlock"
    return
    ;;
  esac
  # With all it started: xsecurelock's helpers would outlive it, and its
  # placeholders of process groups take no SIGTERM. Only the one on this
  # scenario's X server: a locker on another's is that scenario's own.
  for pid in $(on_this_display "$(command -v "$1")"); do
    family=$(descendants "$pid")
    kill "$pid" 2>/dev/null || true
    [ -z "$family" ] || kill -9 $family 2>/dev/null || true
    for member in $family "$pid"; do wait_gone "$member" || fail "$1 did not end"; done
  done
  xset s reset
}

# on_this_display PROGRAM: the processes running PROGRAM with this
# scenario's DISPLAY.
on_this_display() {
  for pid in $(running "$1"); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "DISPLAY=$DISPLAY"; then echo "$pid"; fi
  done
}

# descendants PID: the processes PID started, and theirs.
descendants() {
  for child in $(cat /proc/"$1"/task/*/children 2>/dev/null); do
    echo "$child"
    descendants "$child"
  done
}

# lock_both WAY PROGRAM: the locker over the watcher's game, then over a Preview.
lock_both() {
  watchers_game || return
  lock_over "$1" "watchers_game" "$2" || return
  preview_game || return
  lock_over "$1" "preview" "$2"
}

i3lock_command="i3lock -n -c 2a5599"
xsecurelock_command=xsecurelock

# xss_lock LOCKER: xss-lock runs the locker on the X server's screen
# saver, on logind's Lock and before sleep.
xss_lock() {
  user=$(as_user id -un)
  start_logind --user "$user" --display "$DISPLAY" --type x11 --sleep 1 || return 1
  spawn_as_user "$artifacts/xss-lock.log" xss-lock --verbose -- $1
  XSS_LOCK=$SPAWNED
  wait_until grep -q "Inhibit" "$artifacts/logind.log" || { fail "xss-lock took no sleep lock"; return 1; }
}

scenario_i3lock() {
  setup i3lock
  locker=$i3lock_command
  lock_both hand i3lock
}

scenario_xsecurelock() {
  setup xsecurelock
  locker=$xsecurelock_command
  lock_both hand xsecurelock
}

# xscreensaver 6, as the user starts it; it locks at once when it blanks:
# after `xscreensaver_timeout` seconds without input, or when told to.
xscreensaver_timeout=8
start_xscreensaver() {
  printf 'mode: blank\nlock: True\nlockTimeout: 0:00:00\ntimeout: 0:00:%02d\nsplash: False\nfade: False\nunfade: False\n' \
    "$1" >"$e2e_tmp/home/.xscreensaver"
  RESTART="start_xscreensaver $1"
  xscreensaver_gone() { ! as_user xscreensaver-command -version >/dev/null 2>&1; }
  wait_until xscreensaver_gone || fail "the last xscreensaver's window stayed"
  spawn_as_user "$artifacts/xscreensaver.log" xscreensaver -no-splash -verbose
  DAEMON=$SPAWNED
  xscreensaver_up() { as_user xscreensaver-command -version >/dev/null 2>&1; }
  wait_until xscreensaver_up || fail "xscreensaver did not start"
}

scenario_xscreensaver_timeout() {
  setup xscreensaver_timeout
  start_xscreensaver "$xscreensaver_timeout"
  lock_both timeout xscreensaver
}

scenario_xscreensaver_command() {
  setup xscreensaver_command
  start_xscreensaver 59
  lock_both command xscreensaver
}

# mate-screensaver, MATE's locker, on a session bus of the user's own.
start_mate_screensaver() {
  spawn_as_user "$artifacts/mate-screensaver.log" mate-screensaver --no-daemon
  DAEMON=$SPAWNED
  RESTART=start_mate_screensaver
  mate_up() { as_user mate-screensaver-command --query >/dev/null 2>&1; }
  wait_until mate_up || fail "mate-screensaver did not start"
}

scenario_mate_screensaver() {
  setup mate_screensaver
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  spawn_as_user /dev/null dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS"
  wait_until test -S "$XDG_RUNTIME_DIR/bus" || { fail "the session bus did not start"; return; }
  start_mate_screensaver
  # Its command-line name, as the kernel keeps it, is cut at 15 characters.
  lock_both mate mate-screensave
}

# The harness's cleanup ends the desktop too.
stop_desktop() {
  stop_plasma
  stop_gnome_session
}

# A whole GNOME session on X11 (scripts/gnome_session.sh: gnome-session,
# GNOME Shell as the window manager and compositor of its own X server),
# which goes idle by itself `gnome_idle` seconds after the last input and
# locks with its shield. On a busy machine the shield takes a while.
gnome_idle=12
scenario_gnome_shell_x11() {
  GNOME_SESSION_TYPE=x11 start_gnome_session "$tools" "$gnome_idle" ||
    { fail "GNOME did not start (scripts/install-deps installs it)"; return; }
  echo "GNOME Shell (X11) up in $SESSION_START_SECONDS s"
  setup gnome_shell_x11
  lock_patience=40
  lock_both idle gnome-shell
}

# KDE Plasma on X11 (scripts/plasma.sh: its own X server, KWin, ksmserver
# with the screen locker), locked as the user's Meta+L locks it.
scenario_plasma_x11() {
  start_plasma_x11 "$tools" || { fail "Plasma did not start (scripts/install-deps installs it)"; return; }
  echo "Plasma (X11) up in $PLASMA_START_SECONDS s"
  setup plasma_x11
  # Its greeter shows the lock; its name, as the kernel keeps it, is cut at 15 characters.
  lock_both plasma kscreenlocker_g
}

for way in saver logind sleep; do
  eval "scenario_i3lock_$way() { setup i3lock_$way; xss_lock \"\$i3lock_command\" && lock_both $way i3lock; }"
  eval "scenario_xsecurelock_$way() { setup xsecurelock_$way; xss_lock \"\$xsecurelock_command\" && lock_both $way xsecurelock; }"
done

run_scenario "$1"
