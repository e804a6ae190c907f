#!/bin/sh
# The game as a saver in the screensaver frameworks of X11, as a user sets
# it up: xscreensaver 6 with a programs: line, and xsecurelock with
# XSECURELOCK_SAVER. Both refuse to run as root; they, and the game they
# start, run as an unprivileged user whom the X server lets in.
# `saver.sh SCENARIO`.
set -eu
. "$(dirname "$0")/harness.sh"

if [ "$(id -u)" -eq 0 ]; then saver_user=nobody; else saver_user=$(id -un); fi

as_saver_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$saver_home" "$@"
  else
    env HOME="$saver_home" "$@"
  fi
}

# set_up NAME SETTINGS...: the programs in a directory the user can read,
# with the given record; a home of the user's own; the user let onto the
# X server. Sets dir.
set_up() {
  for tool in xscreensaver xscreensaver-command xsecurelock xhost; do
    command -v "$tool" >/dev/null 2>&1 || { fail "$tool is missing (scripts/install-deps installs it)"; return 1; }
  done
  dir=$(app_dir "$1")
  shift
  record "$@" >"$dir/Settings.dat"
  chmod 644 "$dir/Settings.dat"
  saver_home=$e2e_tmp/home
  mkdir -p "$saver_home"
  [ "$(id -u)" -ne 0 ] || chown nobody "$saver_home"
  xhost "+si:localuser:$saver_user" >/dev/null
}

# the_runner: the game the framework started (the process of our copy of
# it); sets RUNNER, or fails when none runs within ten seconds.
runner_running() {
  RUNNER=
  for exe in /proc/[0-9]*/exe; do
    if [ "$(readlink "$exe" 2>/dev/null)" = "$dir/PellavinRun" ]; then
      pid=${exe#/proc/}
      pid=${pid%/exe}
      gone "$pid" || RUNNER=$pid
    fi
  done
  [ -n "$RUNNER" ]
}

the_runner() {
  wait_until runner_running || { fail "the framework started no game"; return 1; }
  e2e_pids="$e2e_pids $RUNNER"
}

# expect_playing_in_framework WHAT: the game draws in the framework's
# window, and has no window of its own.
expect_playing_in_framework() {
  given=$(tr '\0' '\n' <"/proc/$RUNNER/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
  expect "$1: the framework gives the game a window" "$(echo "$given" | grep -c -E '^(0x[0-9a-fA-F]+|[0-9]+)$')" 1
  shows_game() { shows_black_screen "$1" && [ "$(box "$1" 1920 17 0 0)" != none ]; }
  before=$(shot_when "$1-before" shows_game)
  sleep 0.5
  after=$(shot "$1-after")
  moved=$(compare -metric AE "$before" "$after" null: 2>&1 | awk '{ print int($1) }')
  if shows_game "$after" && [ "$moved" -gt 0 ]; then echo "ok: $1: the ball moves"; else
    fail "$1: no game moves: $before, $after"; fi
  # xscreensaver marks its own window with the game's process.
  own=$(xdotool search --pid "$RUNNER" 2>/dev/null | grep -v -x "$(printf %d "$given")" | head -n 1)
  expect "$1: no window of the game's own" "$own" ""
}

# expect_gone_within_a_second WHAT
expect_gone_within_a_second() {
  tries=0
  until gone "$RUNNER"; do
    tries=$((tries + 1))
    [ "$tries" -le 20 ] || { fail "the game plays on a second after $1"; return; }
    sleep 0.05
  done
  echo "ok: the game ends within a second of $1"
}

start_xscreensaver() {
  # One saver, ours, without fades or a lock.
  cat >"$saver_home/.xscreensaver" <<END
mode:		one
selected:	0
lock:		False
splash:		False
fade:		False
unfade:		False
timeout:	0:30:00
programs:	"Pellavin"	$dir/PellavinRun -root	\\n\\

END
  as_saver_user xscreensaver -no-splash >"$artifacts/xscreensaver.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until as_saver_user xscreensaver-command -version >/dev/null 2>&1 ||
    { fail "xscreensaver did not start"; return 1; }
  as_saver_user xscreensaver-command -activate >/dev/null
}

scenario_xscreensaver() {
  set_up xscreensaver 0 0 0 10 0 0 || return
  start_xscreensaver || return
  the_runner || return
  expect_playing_in_framework xscreensaver
  as_saver_user xscreensaver-command -deactivate >/dev/null
  expect_gone_within_a_second "deactivation"
}

scenario_xsecurelock() {
  set_up xsecurelock 0 0 0 10 0 0 || return
  # Unlocking asks no password here: any key, and the lock lets go.
  printf '#!/bin/sh\nexit 0\n' >"$e2e_tmp/auth_any_key"
  chmod 755 "$e2e_tmp/auth_any_key"
  as_saver_user env XSECURELOCK_SAVER="$dir/PellavinRun" XSECURELOCK_AUTH="$e2e_tmp/auth_any_key" \
    xsecurelock >"$artifacts/xsecurelock.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  the_runner || return
  expect_playing_in_framework xsecurelock
  key x
  expect_gone_within_a_second "the unlock"
}

# With Autoplay off the ball waits for an arrow key that the framework,
# which keeps the keyboard, never passes on: the saver shows the top paddle
# steering onto the waiting ball, and plays on.
scenario_manual_play() {
  set_up manual 0 -1 0 10 0 0 || return
  start_xscreensaver || return
  the_runner || return
  waits() { [ "$(box "$1" 1920 1080 0 0)" = 192x1080+33+0 ]; }
  png=$(shot_when manual-waiting waits)
  expect "the top paddle over the waiting ball, the bottom paddle below" "$(box "$png" 1920 1080 0 0)" 192x1080+33+0
  expect "the ball waits in its place" "$(box "$png" 1920 1046 0 17)" 17x17+104+224
  sleep 1
  if gone "$RUNNER"; then fail "the saver ended"; else echo "ok: the saver plays on"; fi
  as_saver_user xscreensaver-command -deactivate >/dev/null
  expect_gone_within_a_second "deactivation"
}

run_scenario "$1"
