#!/bin/sh
# The runner in a Wayland session (sway, headless) as a new user meets it:
# `wayland.sh SCENARIO`. The compositor's background is white, so that
# whatever the game fails to cover shows.
set -eu
. "$(dirname "$0")/harness.sh"

e2e_session=sway
case $1 in *_at_200_percent) e2e_scale=2 ;; esac

# start_on_wayland PATH: the program in the session, its stderr kept; sets PID.
start_on_wayland() {
  stderr=$artifacts/$(basename "$1").stderr
  spawn_as_wayland_user env QT_QPA_PLATFORM=wayland "$1" 2>"$stderr"
  PID=$SPAWNED
  e2e_pids="$e2e_pids $PID"
}

# has_window PID: the compositor shows a window of the process.
has_window() {
  as_wayland_user swaymsg -t get_tree | grep -Eq "\"pid\": ?$1[,}]"
}

# wshot NAME: a screenshot of the whole layout, from its top-left corner.
wshot() {
  png=$artifacts/$1.png
  as_wayland_user grim - >"$png"
  echo "$png"
}

# wshot_when NAME CONDITION...: as shot_when, with the compositor's screenshots.
wshot_when() { shots_until wshot "$@"; }

# wkey KEY: a press and, a moment later, its release. wtype joins as a new
# keyboard: the pause before lets the game take it before the press comes.
wkey() {
  as_wayland_user wtype -s 300 -P "$1" -s 100 -p "$1"
}

# A pointer of the session's own, where it has none: hold_pointer X Y W H
# keeps it at (X, Y) of a W x H layout until release_pointer.
hold_pointer() {
  spawn_as_wayland_user "$E2E_TOOLS/wl_pointer" hold "$@"
  pointer=$SPAWNED
  e2e_pids="$e2e_pids $pointer"
  sleep 0.3
}

release_pointer() {
  kill "$pointer" 2>/dev/null || true
  wait "$pointer" 2>/dev/null || true
}

# The still scene, exact, with the pointer held over the game: an arrow
# would show beside the ball.
still_scene() {
  scene=$1
  dir=$(app_dir still)
  record 1 0 0 10 0 0 >"$dir/Settings.dat"
  hold_pointer 700 500 1920 1080
  start_on_wayland "$dir/PellavinRun"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  shows_scene() { [ "$(box "$1" 1920 1080 0 0)" = "$scene" ]; }
  png=$(wshot_when still shows_scene)
  expect "the still scene, and no pointer over it" "$(box "$png" 1920 1080 0 0)" "$scene"
  release_pointer
  wkey Escape
  expect_ended "Escape" "$PID"
}

# At 100 % the scene is the X server's; at 200 % every edge in device pixels
# is twice as far, and the bottom paddle ends on its row 657.
scenario_still_scene() { still_scene 145x329+80+0; }
scenario_still_scene_at_200_percent() { still_scene 290x658+160+0; }

# At 200 % an arrow puts the bottom paddle on an odd device pixel: 1000
# twips right of 160 is 293.3, so it stands at 293, 290 wide, on the last 34
# rows. The compositor places surfaces on whole logical pixels, two device
# pixels each, and it must still land exactly there.
scenario_arrow_at_200_percent() {
  dir=$(app_dir arrow)
  record 0 -1 0 10 0 0 >"$dir/Settings.dat"
  start_on_wayland "$dir/PellavinRun"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  served() { [ "$(box "$1" 1920 34 0 1046)" = 290x34+160+1046 ]; }
  png=$(wshot_when served served)
  expect "the served paddle on the last rows" "$(box "$png" 1920 34 0 1046)" 290x34+160+1046
  wkey Right
  pushed() { [ "$(box "$1" 1920 34 0 1046)" = 290x34+293+1046 ]; }
  png=$(wshot_when pushed pushed)
  expect "the paddle one push right, from an odd device pixel" "$(box "$png" 1920 34 0 1046)" 290x34+293+1046
  expect "and solid white" "$(pixel "$png" 293 1046),$(pixel "$png" 582 1079)" "255,255,255,255,255,255"
  wkey x
  expect_ended "a key" "$PID"
}

# With the defaults the game plays; a key ends it.
scenario_key_ends() {
  dir=$(app_dir play)
  : >"$dir/Settings.dat"
  start_on_wayland "$dir/PellavinRun"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  black() { [ "$(convert "$1" -format '%[fx:mean < 0.01]' info:)" = 1 ]; }
  before=$(wshot_when playing black)
  sleep 0.5
  after=$(wshot playing-after)
  moved=$(compare -metric AE "$before" "$after" null: 2>&1 | awk '{ print int($1) }')
  if black "$after" && [ "$moved" -gt 0 ]; then echo "ok: the game plays full-screen"; else fail "no game plays: $before, $after"; fi
  expect "a paddle on the bottom edge" "$(box "$after" 1920 17 0 1063 | sed 's/^145x17+[0-9]*+1063$/paddle/')" paddle
  wkey x
  expect_ended "a key" "$PID"
}

# fullscreen_on OUTPUT PID [focused]: the compositor shows a full-screen
# window of the process on that output, as large as the output (and gives
# it the keyboard).
fullscreen_on() {
  as_wayland_user swaymsg -t get_tree | python3 -c '
import json, sys
output, pid = sys.argv[1], int(sys.argv[2])
def find(node, on=None):
    if node.get("type") == "output":
        on = node
    if node.get("pid") == pid and node.get("fullscreen_mode") == 1 and on["name"] == output:
        return node["rect"] == on["rect"] and (len(sys.argv) < 4 or node["focused"])
    return any(find(child, on) for child in node.get("nodes", []) + node.get("floating_nodes", []))
sys.exit(0 if find(json.load(sys.stdin)) else 1)' "$@"
}

# pointer_hidden_at_last TRACE: after the last time the pointer entered one
# of the program's windows, the program's last word on it was "no image".
pointer_hidden_at_last() {
  awk '/wl_pointer@[0-9]+\.enter\(/ { entered = 1; last = "" }
    entered && /-> wl_pointer@[0-9]+\.set_cursor\(/ { last = $0 }
    END { exit !(entered && last ~ /set_cursor\([0-9]+, nil,/) }' "$1"
}

# A second output, left of the first: the game's window keeps the first;
# the second gets a black window of the game's own, which hides the pointer,
# and a click on it is a click on the game. (sway shows a window that fills
# an output straight from its buffer, and its screenshots of such an output
# are not reliable: the second output is judged from the compositor's tree
# and the pointer from what the game asks of the compositor.)
scenario_two_outputs() {
  as_wayland_user swaymsg create_output >/dev/null
  as_wayland_user swaymsg -- output HEADLESS-2 mode 1280x1024 position -1280 0 >/dev/null
  dir=$(app_dir two)
  record 1 0 0 10 0 0 >"$dir/Settings.dat"
  # The layout runs from x -1280 to 1920; the pointer waits on the second output.
  hold_pointer 600 500 3200 1080
  trace=$artifacts/protocol.log
  spawn_as_wayland_user env QT_QPA_PLATFORM=wayland WAYLAND_DEBUG=1 "$dir/PellavinRun" 2>"$trace"
  PID=$SPAWNED
  e2e_pids="$e2e_pids $PID"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  # In the screenshot the second output comes first.
  shows_scene() { [ "$(box "$1" 1920 1080 1280 0)" = 145x329+1360+0 ]; }
  png=$(wshot_when two shows_scene)
  expect "the game on the first output" "$(box "$png" 1920 1080 1280 0)" 145x329+1360+0
  if wait_until fullscreen_on HEADLESS-2 "$PID"; then echo "ok: a window of the game covers the second output"; else
    fail "nothing of the game covers the second output"; fi
  if wait_until pointer_hidden_at_last "$trace"; then echo "ok: the pointer is hidden over the cover"; else
    fail "the game left the pointer showing over the cover: $trace"; fi
  release_pointer
  as_wayland_user "$E2E_TOOLS/wl_pointer" click 700 300 3200 1080
  expect_ended "a click on the second output" "$PID"
}

# pushes PNG: how many pushes right of where it was served the bottom paddle
# stands, each 1000 twips (66.7 pixels); "none" when it stands elsewhere.
pushes() {
  box "$1" 1920 17 0 1063 | awk -F'[x+]' '{
    for (k = 0; k <= 25; k++) if ($1 == 145 && $4 == 1063 && int((1200 + 1000 * k) / 15 + 0.5) == $3) found = k + 1
  } END { print found ? found - 1 : "none" }'
}

# Held down, an arrow comes again at the seat's rate (sway's: 25 a second
# after 600 ms), each time a push of its own, until it is let go; a click
# on the game then ends it.
scenario_arrow_held() {
  dir=$(app_dir held)
  record 0 -1 0 10 0 0 >"$dir/Settings.dat"
  start_on_wayland "$dir/PellavinRun"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  served() { [ "$(pushes "$1")" = 0 ]; }
  wshot_when served served >/dev/null
  as_wayland_user wtype -s 300 -P Right -s 1000 -p Right
  # The last push shows with the compositor's next frame.
  sleep 0.2
  held=$(pushes "$(wshot held)")
  if [ "$held" != none ] && [ "$held" -ge 3 ]; then echo "ok: the held arrow pushed $held times"; else
    fail "the held arrow did not come again: $held push(es)"; fi
  sleep 0.5
  expect "let go, it comes no more" "$(pushes "$(wshot released)")" "$held"
  as_wayland_user "$E2E_TOOLS/wl_pointer" click 700 300 1920 1080
  expect_ended "a click on the game" "$PID"
}

# An output plugged in while the game plays gets its cover, whose keys are
# the game's. (sway 1.7 cannot unplug a headless output.)
scenario_output_added() {
  dir=$(app_dir added)
  record 1 0 0 10 0 0 >"$dir/Settings.dat"
  start_on_wayland "$dir/PellavinRun"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  as_wayland_user swaymsg create_output >/dev/null
  as_wayland_user swaymsg -- output HEADLESS-2 mode 1280x1024 position 1920 0 >/dev/null
  if wait_until fullscreen_on HEADLESS-2 "$PID"; then echo "ok: the new output gets a cover"; else
    fail "nothing of the game covers the new output"; fi
  shows_scene() { [ "$(box "$1" 1920 1080 0 0)" = 145x329+80+0 ]; }
  png=$(wshot_when after shows_scene)
  expect "the game plays on on the first output" "$(box "$png" 1920 1080 0 0)" 145x329+80+0
  as_wayland_user swaymsg focus output HEADLESS-2 >/dev/null
  wait_until fullscreen_on HEADLESS-2 "$PID" focused || fail "the cover did not take the keyboard"
  wkey Escape
  expect_ended "Escape on the cover" "$PID"
}

# Behind swaylock nobody sees the game, moving or still: it rests; once the
# lock has gone (here, ended), it plays on.
scenario_locked() {
  dir=$(app_dir locked)
  for settings in autoplay waiting; do
    if [ "$settings" = waiting ]; then record 0 -1 0 10 0 0 >"$dir/Settings.dat"; else : >"$dir/Settings.dat"; fi
    start_on_wayland "$dir/PellavinRun"
    wait_until has_window "$PID" || { fail "no window appeared"; return; }
    spawn_as_wayland_user swaylock -u -c 000000
    lock=$SPAWNED
    e2e_pids="$e2e_pids $lock"
    expect_resting "behind swaylock ($settings)" "$PID"
    kill "$lock"
    wait "$lock" 2>/dev/null || true
    if [ "$settings" = autoplay ]; then
      before=$(wshot "unlocked")
      sleep 0.5
      moved=$(compare -metric AE "$before" "$(wshot unlocked-after)" null: 2>&1 | awk '{ print int($1) }')
      if [ "$moved" -gt 0 ]; then echo "ok: the game plays on"; else fail "nothing moves once unlocked: $before"; fi
    fi
    wkey x
    expect_ended "a key" "$PID"
  done
}

# When the compositor goes, so does the game, as on an X server that goes.
scenario_compositor_gone() {
  dir=$(app_dir gone)
  : >"$dir/Settings.dat"
  start_on_wayland "$dir/PellavinRun"
  wait_until has_window "$PID" || { fail "no window appeared"; return; }
  stop_sway
  if wait_exit "$PID"; then
    expect "the game ends with status 1" "$STATUS" 1
    expect "and says why, in one line" "$(cat "$stderr")" "PellavinRun: the Wayland compositor has gone"
  else
    fail "the game plays on after its compositor has gone"
  fi
}

run_scenario "$1"
