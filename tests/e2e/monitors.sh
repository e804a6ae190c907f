#!/bin/sh
# The runner on an X screen shown by several monitors (RandR monitors on one
# Xvfb screen, as a desktop with two displays has them): `monitors.sh LAYOUT`.
# The game covers the primary monitor exactly, from its corner; every other
# monitor is black, without a pointer; a click there is a click on the game,
# and a key ends it with every cover gone. Whatever no monitor shows keeps
# the white root.
set -eu
. "$(dirname "$0")/harness.sh"

# LAYOUT: the X screen's size; the other monitor, which keeps the screen's
# own output; the primary.
layout() {
  case $1 in
  primary_right) echo 3840x1080 1920x1080+0+0 1920x1080+1920+0 ;;
  primary_below) echo 1920x2160 1920x1080+0+0 1920x1080+0+1080 ;;
  other_size) echo 3200x1080 1280x1024+0+0 1920x1080+1280+0 ;;
  # The other monitor above and left of the primary: at a negative origin
  # as the game's window sees it.
  negative_origin) echo 3200x1280 1280x1024+0+0 1920x1080+1280+200 ;;
  hotplug) echo 3840x1080 1920x1080+0+0 1920x1080+0+0 ;;
  esac
}

set -- "$1" $(layout "$1")
e2e_screen=$2
other=$3
primary=$4

# monitor NAME GEOMETRY OUTPUT: a RandR monitor; a name starting with * is primary.
monitor() {
  size=${2%%+*}
  xrandr --setmonitor "$1" "${size%x*}/500x${size#*x}/300+${2#*+}" "$3" >/dev/null
}

width_of() { g=${1%%+*}; echo "${g%x*}"; }
height_of() { g=${1%%+*}; echo "${g#*x}"; }
x_of() { g=${1#*+}; echo "${g%+*}"; }
y_of() { echo "${1##*+}"; }

# area PNG GEOMETRY [BACKGROUND]: what is not BACKGROUND within a monitor.
area() {
  box "$1" "$(width_of "$2")" "$(height_of "$2")" "$(x_of "$2")" "$(y_of "$2")" "${3:-black}"
}

still_scene_on_primary() {
  echo "145x329+$(($(x_of "$primary") + 80))+$(y_of "$primary")"
}

shows_game_on_primary() { [ "$(area "$1" "$primary")" = "$(still_scene_on_primary)" ]; }
cover_shows() { [ "$(area "$1" "$other")" = none ]; }
cover_gone() { [ "$(area "$1" "$other" white)" = none ]; }

set_up_monitors() {
  command -v xrandr >/dev/null 2>&1 || { fail "xrandr is missing (scripts/install-deps installs it)"; return 1; }
  monitor other "$other" screen
  monitor '*primary' "$primary" none
}

# The runner with the still scene and clicks as given; sets PID.
start_still_runner() {
  record 1 0 "$1" 10 0 0 >"$dir/Settings.dat"
  start "$dir/PellavinRun"
  [ -n "$(window_of "$PID")" ] || { fail "no window appeared"; return 1; }
}

# windows_of PID: where the program's windows are, "X,Y,WIDTH,HEIGHT" each,
# in order.
windows_of() {
  for window in $(xdotool search --onlyvisible --pid "$1" 2>/dev/null); do
    geometry "$window" | tr ' ' ,
  done | sort | tr '\n' ' '
}

as_window() { echo "$(x_of "$1"),$(y_of "$1"),$(width_of "$1"),$(height_of "$1")"; }

expect_pointer_hidden_over_cover() {
  xdotool mousemove $(($(x_of "$other") + 100)) $(($(y_of "$other") + 100))
  expect "no pointer over the cover" "$("$E2E_TOOLS/x_pointer")" hidden
}

click_cover() {
  xdotool mousemove $(($(x_of "$other") + 300)) $(($(y_of "$other") + 200)) click 1
}

# Any other part of the screen, beside the monitors, keeps the white root.
expect_root_shows_outside_monitors() {
  case $1 in
  other_size) expect "below the smaller monitor" "$(pixel "$2" 640 1050)" "$white" ;;
  negative_origin)
    expect "right of the smaller monitor, above the primary" "$(pixel "$2" 1500 100)" "$white"
    expect "below the smaller monitor" "$(pixel "$2" 640 1200)" "$white"
    ;;
  esac
}

white=255,255,255

scenario_layout() {
  set_up_monitors || return
  dir=$(app_dir "$1")
  start_still_runner 0 || return
  png=$(shot_when "$1-game" shows_game_on_primary)
  expect "one window on each monitor, exactly" "$(windows_of "$PID")" \
    "$(printf '%s\n' "$(as_window "$primary")" "$(as_window "$other")" | sort | tr '\n' ' ')"
  expect "the still scene from the primary's corner" "$(area "$png" "$primary")" "$(still_scene_on_primary)"
  expect "the other monitor is black" "$(area "$png" "$other")" none
  expect_root_shows_outside_monitors "$1" "$png"
  expect_pointer_hidden_over_cover
  click_cover
  expect_ended "a click on the cover" "$PID"

  start_still_runner -1 || return
  shot_when "$1-clicks-off" shows_game_on_primary >/dev/null
  click_cover
  sleep 0.5
  if [ -e "/proc/$PID" ]; then echo "ok: with clicks off a click on the cover does nothing"; else fail "a click on the cover ended the game with clicks off"; fi
  key x
  expect_ended "a key" "$PID"
  expect "every cover has gone" "$(area "$(shot "$1-after")" "$other" white)" none
}

scenario_primary_right() { scenario_layout primary_right; }
scenario_primary_below() { scenario_layout primary_below; }
scenario_other_size() { scenario_layout other_size; }
scenario_negative_origin() { scenario_layout negative_origin; }

# Monitors that come and go while the game plays: each new one is covered,
# a removed one loses its cover, and the game stays where it is.
scenario_hotplug() {
  monitor '*primary' "$primary" screen
  dir=$(app_dir hotplug)
  start_still_runner 0 || return
  shot_when hotplug-one shows_game_on_primary >/dev/null
  other=1920x1080+1920+0
  expect "no cover before the second monitor" "$(area "$(shot hotplug-before)" "$other" white)" none
  monitor added "$other" none
  png=$(shot_when hotplug-added cover_shows)
  expect "the added monitor is covered" "$(area "$png" "$other")" none
  expect "the game stays on the primary" "$(area "$png" "$primary")" "$(still_scene_on_primary)"
  expect_pointer_hidden_over_cover
  xrandr --delmonitor added >/dev/null
  png=$(shot_when hotplug-removed cover_gone)
  expect "the removed monitor's cover goes" "$(area "$png" "$other" white)" none
  expect "the game plays on" "$(area "$png" "$primary")" "$(still_scene_on_primary)"
  key x
  expect_ended "a key" "$PID"
}

run_scenario "$1"
