#!/bin/sh
# The runner as a new user meets it: `runner.sh SCENARIO`.
set -eu
. "$(dirname "$0")/harness.sh"

black=0,0,0
white=255,255,255
# The scene before anything moves, at 96 DPI: paddles 145x17 at (80, 0) and
# (80, 312), the ball 17x17 at (104, 224); everything else black.
still_scene=145x329+80+0

shows_still_scene() { [ "$(box "$1" 1920 1080 0 0)" = "$still_scene" ]; }

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

# expect_playing WHAT PID: the runner is still there and its game moves:
# two screenshots half a second apart differ, and both are the game's.
expect_playing() {
  before=$(shot "$1-before")
  sleep 0.5
  after=$(shot "$1-after")
  moved=$(compare -metric AE "$before" "$after" null: 2>&1 | awk '{ print int($1) }')
  if [ ! -e "/proc/$2" ]; then
    fail "the runner has gone $1"
  elif ! shows_black_screen "$after"; then
    fail "the game is not on the screen $1: $after"
  elif [ "$moved" -eq 0 ]; then
    fail "nothing moves $1: $before, $after"
  else
    echo "ok: the game goes on $1"
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
  expect "a paddle on the bottom edge" "$(box "$png" 1920 17 0 1063 | sed 's/^145x17+[0-9]*+1063$/paddle/')" paddle
  expect "an empty settings file appears" "$(bytes "$dir/Settings.dat")" ""
  expect_playing "with the defaults" "$PID"
  key x
  expect_ended "a key" "$PID"
  expect "the runner never writes the settings" "$(bytes "$dir/Settings.dat")" ""
}

scenario_still_scene() {
  dir=$(app_dir bricks)
  record 1 0 0 0 0 0 >"$dir/Settings.dat"
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
  record 1 0 0 0 0 0 >"$dir/Settings.dat"
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
# defaults (autoplay, a click ends it) and one line on stderr saying why
# when it cannot create the settings, and with the stored settings when the
# file is already there.
scenario_unwritable_directory() {
  dir=$(app_dir readonly)
  chmod 555 "$dir"
  start "$dir/PellavinRun" unprivileged
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared without a settings file"; return; }
  png=$(shot_when readonly-missing shows_black_screen)
  expect_covers_screen "$window" "$png"
  expect_playing "without a settings file" "$PID"
  click 960 540
  expect_ended "a click, as by default," "$PID"
  expect "no settings file could be made" "$(bytes "$dir/Settings.dat")" missing
  said=$(grep -c 'Settings.dat' "$stderr" || true)
  expect "says once on stderr why it plays with the defaults" "$said" 1
  expect "and the reason is the permission" "$(grep -c 'Settings.dat.*Permission denied' "$stderr" || true)" 1

  chmod 755 "$dir"
  record 1 0 0 0 0 0 >"$dir/Settings.dat"
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

# With clicks off (any nonzero NoResumeOnClick) neither one click nor a
# thousand in a burst end the game.
scenario_clicks_off() {
  dir=$(app_dir clicks-off)
  for setting_and_clicks in -1:1000 5:1; do
    no_resume_on_click=${setting_and_clicks%:*}
    clicks=${setting_and_clicks#*:}
    record 0 0 "$no_resume_on_click" 10 0 0 >"$dir/Settings.dat"
    start "$dir/PellavinRun"
    window=$(window_of "$PID")
    [ -n "$window" ] || { fail "no window appeared"; return; }
    shot_when "clicks-off$no_resume_on_click" shows_black_screen >/dev/null
    xdotool mousemove 960 540 click --repeat "$clicks" --delay 0 1
    expect_playing "after $clicks click(s) with NoResumeOnClick $no_resume_on_click" "$PID"
    key x
    expect_ended "a key" "$PID"
  done
}

# 10 000 arrow key-downs: the bottom paddle goes 5001 steps left, far off the
# screen, and 4999 back, and ends exactly two steps (133 px) left of where it
# started, partly off the screen; the game goes on. Autoplay is off, so the
# ball waits for the first arrow, and the runner is stopped while the keys
# are sent, so that the ball cannot fall out past the paddle while they are
# on their way: the runner then takes them all in one burst. One screenshot
# shows it all, taken before the ball, now moving, can fall out.
scenario_arrow_storm() {
  dir=$(app_dir arrows)
  record 0 -1 0 10 0 0 >"$dir/Settings.dat"
  start "$dir/PellavinRun"
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared"; return; }
  png=$(shot_when arrows-before shows_black_screen)
  expect "the ball waits" "$(box "$png" 1920 1046 0 17)" 17x17+104+224
  kill -STOP "$PID"
  xdotool key --delay 0 --repeat 5001 --repeat-delay 0 Left
  xdotool key --delay 0 --repeat 4999 --repeat-delay 0 Right
  kill -CONT "$PID"
  # The lowest rows, below any ball that bounces off the paddle.
  paddle_back() { [ "$(box "$1" 1920 12 0 1068)" = 92x12+0+1068 ]; }
  png=$(shot_when arrows-after paddle_back)
  expect "the paddle, 2 steps left and partly off the screen" "$(box "$png" 1920 12 0 1068)" 92x12+0+1068
  if ! shows_black_screen "$png"; then
    fail "the runner has gone after 10 000 arrows: $png"
  elif [ "$(box "$png" 1920 17 0 224)" = 17x17+104+224 ]; then
    fail "the ball still waits after 10 000 arrows: $png"
  else
    echo "ok: the game goes on after 10 000 arrows"
  fi
  key x
  expect_ended "a key, or the ball lost past the paddle," "$PID"
}

# Only red and green mixtures: every fill is a colour whose blue byte is 0
# or 1, the outlines stay white.
scenario_random_colors() {
  dir=$(app_dir colors)
  record 0 0 0 10 1 0 >"$dir/Settings.dat"
  start "$dir/PellavinRun"
  window=$(window_of "$PID")
  [ -n "$window" ] || { fail "no window appeared"; return; }
  # Colours as "R G B", one a line, black and white left out.
  colours() {
    convert "$1" -depth 8 -unique-colors txt:- |
      sed -n 's/^[^(]*(\([0-9]*\),\([0-9]*\),\([0-9]*\)).*/\1 \2 \3/p' | grep -v -x -e '0 0 0' -e '255 255 255'
  }
  recoloured() { [ -n "$(colours "$1")" ]; }
  for moment in first-bounces later; do
    png=$(shot_when "colors-$moment" recoloured)
    expect "a random colour shows ($moment)" "$(colours "$png" | head -n 1 | sed 's/.*/some/')" some
    expect "no colour with blue above 1 ($moment)" "$(colours "$png" | awk '$3 > 1' | head -n 3 | tr '\n' ' ')" ""
    top_paddle=$(box "$png" 1920 17 0 0 | sed 's/.*+\([0-9]*\)+0$/\1/')
    expect "the top paddle's outline stays white ($moment)" "$(pixel "$png" "$top_paddle" 0)" "$white"
    sleep 2
  done
  key x
  expect_ended "a key" "$PID"
}

# A session's end and the user's Ctrl+C end the runner at once, even when
# started in the background of a script, which ignores SIGINT.
scenario_signals() {
  dir=$(app_dir signals)
  for signal in TERM:143 INT:130 HUP:129; do
    start "$dir/PellavinRun"
    window=$(window_of "$PID")
    [ -n "$window" ] || { fail "no window appeared"; return; }
    shot_when "signal-${signal%:*}" shows_black_screen >/dev/null
    kill -s "${signal%:*}" "$PID"
    if wait_exit "$PID"; then
      expect "SIG${signal%:*} ends the runner" "$STATUS" "${signal#*:}"
    else
      fail "SIG${signal%:*} did not end the runner"
    fi
  done
}

# Under the X server's own screen saver nobody sees the game: it rests and
# draws nothing; once the saver goes, it plays on.
scenario_screen_saver() {
  dir=$(app_dir saver)
  start "$dir/PellavinRun"
  [ -n "$(window_of "$PID")" ] || { fail "no window appeared"; return; }
  expect_playing "before the screen saver" "$PID"
  xset s activate
  expect_resting "under the screen saver" "$PID"
  expect "nothing drawn meanwhile" "$(compare -metric AE "$(shot saver-on)" "$(shot saver-still-on)" null: 2>&1)" 0
  xset s reset
  expect_playing "once the screen saver has gone" "$PID"
  key x
  expect_ended "a key" "$PID"
}

# When the X server goes, so does the game, saying why.
scenario_server_gone() {
  dir=$(app_dir gone)
  start "$dir/PellavinRun"
  [ -n "$(window_of "$PID")" ] || { fail "no window appeared"; return; }
  stop_xvfb
  if wait_exit "$PID"; then
    expect "the game ends with status 1" "$STATUS" 1
    expect "and says why" "$(cat "$stderr")" "PellavinRun: the X server has gone"
  else
    fail "the game plays on after its X server has gone"
  fi
}

# Over ssh, say: no display that can be reached. The runner, and the panel
# that starts it, say so in one line that names the variables tried, and
# end with status 1, no core dump (which an abort would leave as status
# 134); the panel makes no settings file, as its dialog never loaded.
scenario_no_display() {
  dir=$(app_dir none)
  for program in Pellavin PellavinRun; do
    for way in "-u WAYLAND_DISPLAY -u DISPLAY" "-u WAYLAND_DISPLAY DISPLAY=:999" "WAYLAND_DISPLAY=nowhere DISPLAY=:999"; do
      status=0
      # shellcheck disable=SC2086
      env -u QT_QPA_PLATFORM $way "$dir/$program" 2>"$artifacts/stderr" || status=$?
      expect "$program's status with $way" "$status" 1
      expect "one line" "$(wc -l <"$artifacts/stderr")" 1
      expect "it names both variables" \
        "$(grep -c "^$program: no display to show on: WAYLAND_DISPLAY .*, and DISPLAY " "$artifacts/stderr")" 1
    done
    [ "$program" = PellavinRun ] || expect "no settings file made" "$(bytes "$dir/Settings.dat")" missing
  done
}

run_scenario "$1"
