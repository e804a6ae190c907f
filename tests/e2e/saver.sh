#!/bin/sh
# The game as a saver in the screensaver frameworks of X11, as a user sets
# it up: xscreensaver 6 with a programs: line, and xsecurelock with
# XSECURELOCK_SAVER. Both refuse to run as root; they, and the game they
# start, run as an unprivileged user whom the X server lets in.
# `saver.sh SCENARIO`.
set -eu
. "$(dirname "$0")/harness.sh"

as_saver_user() { $unprivileged env HOME="$e2e_tmp/home" "$@"; }

# saver_in FRAMEWORK SETTINGS...: the programs in a directory the user can
# read, with the given record; a home of the user's own; the user let onto
# the X server; the framework started, with our game as its only saver,
# and the game it starts found: sets dir and RUNNER, or fails.
saver_in() {
  for tool in xscreensaver xscreensaver-command xsecurelock xhost; do
    command -v "$tool" >/dev/null 2>&1 || { fail "$tool is missing (scripts/install-deps installs it)"; return 1; }
  done
  dir=$(app_dir "$1")
  record "$2" "$3" "$4" "$5" "$6" "$7" >"$dir/Settings.dat"
  chmod 644 "$dir/Settings.dat"
  mkdir -p "$e2e_tmp/home"
  [ -z "$unprivileged" ] || chown nobody "$e2e_tmp/home"
  xhost "+si:localuser:$(as_saver_user id -un)" >/dev/null
  "start_$1" || return
  runner_running() { RUNNER=$(running "$dir/PellavinRun" | head -n 1) && [ -n "$RUNNER" ]; }
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

# expect_gone_after WHAT: the game ends when the framework tells it to
# (within the ten seconds a busy machine may take to say so and to look).
expect_gone_after() {
  if wait_gone "$RUNNER"; then echo "ok: the game ends on $1"; else fail "the game plays on ten seconds after $1"; fi
}

start_xscreensaver() {
  # One saver, ours, without fades or a lock.
  cat >"$e2e_tmp/home/.xscreensaver" <<END
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

# Unlocking asks no password here: any key, and the lock lets go.
start_xsecurelock() {
  printf '#!/bin/sh\nexit 0\n' >"$e2e_tmp/auth_any_key"
  chmod 755 "$e2e_tmp/auth_any_key"
  as_saver_user env XSECURELOCK_SAVER="$dir/PellavinRun" XSECURELOCK_AUTH="$e2e_tmp/auth_any_key" \
    xsecurelock >"$artifacts/xsecurelock.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
}

scenario_xscreensaver() {
  saver_in xscreensaver 0 0 0 10 0 0 || return
  expect_playing_in_framework xscreensaver
  as_saver_user xscreensaver-command -deactivate >/dev/null
  expect_gone_after "deactivation"
}

scenario_xsecurelock() {
  saver_in xsecurelock 0 0 0 10 0 0 || return
  expect_playing_in_framework xsecurelock
  key x
  expect_gone_after "the unlock"
}

# With Autoplay off the game plays as with it on: the framework keeps the
# keyboard, so no arrow key could ever start the ball.
scenario_manual_play() {
  saver_in xscreensaver 0 -1 0 10 0 0 || return
  expect_playing_in_framework manual-play
  as_saver_user xscreensaver-command -deactivate >/dev/null
  expect_gone_after "deactivation"
}

run_scenario "$1"
