#!/bin/sh
# The runner as a new user meets it: `runner.sh SCENARIO`.
set -eu
. "$(dirname "$0")/harness.sh"

black=0,0,0
white=255,255,255
# The scene before anything moves, at 96 DPI: paddles 145x17 at (80, 0) and
# (80, 312), the ball 17x17 at (104, 224); everything else black.
still_scene=145x329+80+0
game_type_bricks='\001\000\000\000\000\000\000\000\000\000\000\000'

shows_still_scene() { [ "$(box "$1" 1920 1080 0 0)" = "$still_scene" ]; }
# The shapes cover a quarter of a percent of the screen, wherever they are.
shows_black_screen() { [ "$(convert "$1" -format '%[fx:mean < 0.01]' info:)" = 1 ]; }

# The window covers the screen at (0, 0): the white root shows nowhere.
expect_covers_screen() {
  expect "window geometry" "$(geometry "$1")" "0 0 1920 1080"
  if shows_black_screen "$2"; then echo "ok: the screen is black"; else fail "the screen is not black: $2"; fi
}

expect_still_scene() {
  expect "nothing outside the paddles and the ball" "$(box "$1" 1920 1080 0 0)" "$still_scene"
  expect "top paddle" "$(box "$1" 1920 17 0 0)" "145x17+80+0"
  expect "bottom paddle" "$(box "$1" 1920 17 0 312)" "145x17+80+312"
  expect "ball" "$(box "$1" 1920 17 0 224)" "17x17+104+224"
  expect "top paddle is solid white" "$(pixel "$1" 80 0),$(pixel "$1" 224 16)" "$white,$white"
  expect "ball is a white disc" "$(pixel "$1" 112 232),$(pixel "$1" 104 224)" "$white,$black"
  expect "black between top paddle and ball" "$(box "$1" 1920 207 0 17)" none
  expect "black between ball and bottom paddle" "$(box "$1" 1920 71 0 241)" none
}

# expect_ended WHAT PID: the runner has ended, normally, within a few seconds.
expect_ended() {
  if wait_exit "$2"; then
    expect "$1 ends the runner with status 0" "$STATUS" 0
  else
    fail "$1 did not end the runner"
  fi
}

scenario_fresh_directory() {
  dir=$(app_dir fresh)
  expect "no settings file before the first start" "$(bytes "$dir/Settings.dat")" missing
  start "$dir/PellavinRun"
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared"; return; }
  png=$(shot_when fresh shows_black_screen)
  expect_covers_screen "$window" "$png"
  # Once the game plays, the top paddle follows the ball, partly off the screen at the sides.
  expect "a paddle along the top edge" "$(box "$png" 1920 17 0 0 | sed 's/^[0-9]*x17+[0-9]*+0$/paddle/')" paddle
  expect "an empty settings file appears" "$(bytes "$dir/Settings.dat")" ""
  key x
  expect_ended "a key" "$PID"
  expect "the runner never writes the settings" "$(bytes "$dir/Settings.dat")" ""
}

scenario_still_scene() {
  dir=$(app_dir bricks)
  printf "$game_type_bricks" >"$dir/Settings.dat"
  stored=$(bytes "$dir/Settings.dat")
  start "$dir/PellavinRun"
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared"; return; }
  png=$(shot_when still shows_still_scene)
  expect_covers_screen "$window" "$png"
  expect_still_scene "$png"
  key Escape
  expect_ended "Escape" "$PID"
  expect "settings untouched" "$(bytes "$dir/Settings.dat")" "$stored"
}

# A click ends the runner while "Resume on Mouse Click" is on (the default).
scenario_click_ends() {
  dir=$(app_dir click)
  start "$dir/PellavinRun"
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared"; return; }
  shot_when click shows_black_screen >/dev/null
  click 960 540
  expect_ended "a click" "$PID"
}

scenario_awkward_directory_name() {
  dir=$(app_dir "a dir; with spaces;")
  printf "$game_type_bricks" >"$dir/Settings.dat"
  start "$dir/PellavinRun"
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared"; return; }
  png=$(shot_when awkward shows_still_scene)
  expect_still_scene "$png"
  key space
  expect_ended "a key" "$PID"
  rm "$dir/Settings.dat"
  start "$dir/PellavinRun"
  window_of "$PID" >/dev/null
  expect "an empty settings file appears beside it" "$(bytes "$dir/Settings.dat")" ""
  key space
  expect_ended "a key" "$PID"
}

# In a directory the user may not write, the runner still plays: with the
# defaults and one line on stderr saying why when it cannot create the
# settings, and with the stored settings when the file is already there.
scenario_unwritable_directory() {
  dir=$(app_dir readonly)
  chmod 555 "$dir"
  start "$dir/PellavinRun" unprivileged
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared without a settings file"; return; }
  png=$(shot_when readonly-missing shows_black_screen)
  expect_covers_screen "$window" "$png"
  key x
  expect_ended "a key" "$PID"
  expect "no settings file could be made" "$(bytes "$dir/Settings.dat")" missing
  said=$(grep -c 'Settings.dat' "$stderr" || true)
  expect "says once on stderr why it plays with the defaults" "$said" 1
  expect "and the reason is the permission" "$(grep -c 'Settings.dat.*Permission denied' "$stderr" || true)" 1

  chmod 755 "$dir"
  printf "$game_type_bricks" >"$dir/Settings.dat"
  chmod 555 "$dir"
  start "$dir/PellavinRun" unprivileged
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared with a stored settings file"; return; }
  png=$(shot_when readonly-stored shows_still_scene)
  expect_still_scene "$png"
  key x
  expect_ended "a key" "$PID"
  expect "a stored file is read without a word" "$(grep -c 'Settings.dat' "$stderr" || true)" 0
}

run_scenario "$1"
