#!/bin/sh
# A run-time error in a game that runs without a toolkit (the helper beside
# it shows the box): the game's window and its hold on the keyboard make way
# for the box, which says what the box always said, and the game ends once
# it is dismissed, or at once on a signal, box and all.
# `runtime_error.sh SCENARIO`.
set -eu
. "$(dirname "$0")/harness.sh"

# start_failing_game NAME: the failing game in a fresh directory, where
# Settings.dat is a directory; sets DIR and PID, and WINDOW once the
# game's window shows.
start_failing_game() {
  DIR=$(app_dir "$1")
  cp "$E2E_TOOLS/failing_game" "$DIR/"
  mkdir "$DIR/Settings.dat"
  start "$DIR/failing_game"
  WINDOW=$(window_of "$PID")
  [ -n "$WINDOW" ] || { fail "the game showed no window"; return 1; }
}

# the_box: sets BOX, the error's box on the screen (titled as the game's
# window is), and HELPER, its process.
the_box() {
  box_shows() {
    BOX=$(xdotool search --onlyvisible --name '^FailingGame$' 2>/dev/null | grep -v -x "$WINDOW" | head -n 1)
    [ -n "$BOX" ]
  }
  wait_until box_shows || { fail "no box showed"; return 1; }
  HELPER=$(xdotool getwindowpid "$BOX")
  e2e_pids="$e2e_pids $HELPER"
}

scenario_settings_directory() {
  start_failing_game directory || return
  the_box || return
  shot box >/dev/null
  expect "the game's window has made way" "$(shows "$WINDOW" && echo shows || echo gone)" gone
  expect "the box is the helper beside the game" "$(readlink "/proc/$HELPER/exe")" "$DIR/PellavinMessageBox"
  expected=$(printf "16\nFailingGame\nRun-time error '75':\n\nPath/File access error\n\n%s: Is a directory" \
    "$DIR/Settings.dat")
  expect "the box's style, title and text" "$(tr '\0' '\n' <"/proc/$HELPER/cmdline" | tail -n +2)" "$expected"
  expect "the error is on stderr too" "$(cat "$stderr")" \
    "FailingGame: Run-time error '75': Path/File access error ($DIR/Settings.dat: Is a directory)"
  # The game no longer holds the keyboard: the key reaches the box.
  key Return
  if wait_exit "$PID"; then expect "the game ends after the box, with status 1" "$STATUS" 1; else
    fail "the game did not end after the box"; fi
  expect "and the box has gone" "$(gone "$HELPER" && echo gone)" gone
}

scenario_signal_takes_the_box() {
  start_failing_game signal || return
  the_box || return
  kill -TERM "$PID"
  if wait_exit "$PID"; then expect "SIGTERM ends the game while its box shows" "$STATUS" 143; else
    fail "SIGTERM did not end the game while its box showed"; fi
  if wait_gone "$HELPER"; then echo "ok: the box goes with the game"; else fail "the box stayed"; fi
}

run_scenario "$1"
