#!/bin/sh
# The idle watcher in a session left alone: `idle.sh SCENARIO`, or
# `idle.sh all` to run every scenario side by side, each on its own server.
set -eu
. "$(dirname "$0")/idle_harness.sh"

# The delay passes: a game by itself; a key ends it; the next comes a full
# delay after the key.
scenario_comes_on() {
  dir=$(idle_dir comes_on)
  watch_in "$dir"
  mark
  game_a_delay_after_mark "$dir" || return
  expect_game_shows on_time
  end_game_with_key
  game_a_delay_after_mark "$dir" || return
  expect_game_shows after_key
  expect "one game at a time" "$(runners "$dir" | wc -l)" 1
}

# Input half-way pushes the game back; so does a client that resets the
# screensaver, as players do.
scenario_input_pushes_back() {
  dir=$(idle_dir input_pushes_back)
  watch_in "$dir"
  mark
  sleep $((minute / 2))
  mark
  no_game_until "$dir" $((minute / 2)) || return
  marked xset s reset
  game_a_delay_after_mark "$dir" || return
}

# switch_off DIR: "Enable Screensaver" off, as the panel stores it, once
# the watcher watches its settings: it ends by itself, saying why.
switch_off() {
  wait_until watching_settings || { fail "the watcher watches no settings"; return 1; }
  record 0 0 0 1 0 1 | dd of="$1/Settings.dat" conv=notrunc status=none
  expect_switched_off running
}

expect_switched_off() {
  wait_exit "$WATCHER" || fail "a watcher $1 with Enable Screensaver off went on"
  expect "its status" "${STATUS:-}" 0
  expect "what it says" "$(grep -c '"Enable Screensaver" is off' "$artifacts/PellavinIdle.stderr")" 1
}

# Switched off, the watcher running ends, and one started with it off ends
# at once; no game, and the settings as stored.
scenario_switched_off() {
  dir=$(idle_dir switched_off)
  watch_in "$dir"
  switch_off "$dir" || return
  watch_in "$dir"
  expect_switched_off started
  expect "no game" "$(runners "$dir")" ""
  expect "Settings.dat as written, untouched" "$(bytes "$dir/Settings.dat")" "00 00 00 00 00 00 01 00 00 00 01 00"
}

# A client that suspends the screensaver holds the game off for as long as
# it does; a full delay after it lets go, the game comes.
scenario_suspended() {
  dir=$(idle_dir suspended)
  "$E2E_BIN/screensaver_suspender" >"$artifacts/suspender.out" 2>&1 &
  suspender=$!
  e2e_pids="$e2e_pids $suspender"
  wait_until grep -q suspended "$artifacts/suspender.out" || { fail "the stand-in did not suspend the screensaver"; return; }
  watch_in "$dir"
  mark
  no_game_until "$dir" "$past_due" || return
  marked kill "$suspender"
  game_a_delay_after_mark "$dir" || return
}

# A game already running from the directory (a Preview) when the delay
# passes: no second one, and the next a full delay after it ends.
scenario_preview_running() {
  dir=$(idle_dir preview_running)
  start "$dir/PellavinRun"
  preview=$PID
  watch_in "$dir"
  mark
  sleep $((minute + late / 1000))
  expect "the one game running" "$(runners "$dir" | tr '\n' ' ')" "$preview "
  GAME=$preview
  end_game_with_key
  game_a_delay_after_mark "$dir"
}

# A second watcher in the same session says so and leaves, before it
# connects to anything: an X server that does not answer does not hold it
# up. Signals end a watcher at once; the end of the session ends it too, and no settings
# file is ever made.
scenario_one_per_session() {
  dir=$(app_dir one_per_session)
  for signal in TERM:15 INT:2 HUP:1; do
    number=${signal#*:}
    signal=${signal%:*}
    watch_in "$dir"
    wait_until grep -q 'default settings' "$artifacts/PellavinIdle.stderr" || fail "no word of the missing settings"
    if [ "$signal" = TERM ]; then
      status=0
      kill -STOP "$XVFB_PID"
      timeout 60 "$dir/PellavinIdle" 2>"$artifacts/second.stderr" || status=$?
      kill -CONT "$XVFB_PID"
      expect "the second watcher's status" "$status" 1
      expect "what it says" "$(grep -c 'is watching this session already' "$artifacts/second.stderr")" 1
    fi
    kill -s "$signal" "$WATCHER"
    wait_exit "$WATCHER" || fail "SIG$signal did not end the watcher"
    expect "status after SIG$signal" "$STATUS" $((128 + number))
  done
  watch_in "$dir"
  wait_until grep -q 'default settings' "$artifacts/PellavinIdle.stderr" || fail "the watcher did not start again"
  stop_xvfb
  wait_exit "$WATCHER" || fail "the watcher outlived its X server"
  expect "status when the session ended" "$STATUS" 0
  expect "what it says" "$(grep -c 'the session has ended' "$artifacts/PellavinIdle.stderr")" 1
  expect "no settings file made" "$(bytes "$dir/Settings.dat")" missing
  status=0
  env -u DISPLAY -u WAYLAND_DISPLAY "$dir/PellavinIdle" 2>"$artifacts/nowhere.stderr" || status=$?
  expect "status without a session" "$status" 1
  expect "what it says" "$(grep -c 'no graphical session' "$artifacts/nowhere.stderr")" 1
}

# A compositor with no idle protocol (weston): a clear message and a
# nonzero status.
scenario_no_idle_protocol() {
  command -v weston >/dev/null 2>&1 || { fail "weston is missing (scripts/install-deps installs it)"; return; }
  dir=$(app_dir no_idle_protocol)
  weston --backend=headless-backend.so --use-pixman --socket=pellavin-weston >"$artifacts/weston.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until test -S "$XDG_RUNTIME_DIR/pellavin-weston" || { fail "weston did not start"; return; }
  status=0
  WAYLAND_DISPLAY=pellavin-weston "$dir/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr" || status=$?
  expect "status" "$status" 1
  expect "what it says" "$(grep -c 'Wayland session: .* offers no idle notification' "$artifacts/PellavinIdle.stderr")" 1
}

# A desktop's locker owns org.freedesktop.ScreenSaver and says the screen
# is locked: no game. The user's input (the password), then the unlock: a
# game a full delay after the input. The input comes first, as it does at a
# real lock. Input just after the unlock could reach the watcher only after
# it has asked for the idle time, and the game would count from the mark
# before, over a minute ago, and come at once.
scenario_desktop_locker() {
  dir=$(idle_dir desktop_locker)
  start_session_bus || return
  : >"$artifacts/locker.out"
  /usr/bin/python3 "$(dirname "$0")/tools/screensaver_owner.py" >"$artifacts/locker.out" 2>&1 &
  locker=$!
  e2e_pids="$e2e_pids $locker"
  wait_until grep -q '^active' "$artifacts/locker.out" || { fail "the stand-in locker did not start"; return; }
  watch_in "$dir"
  mark
  no_game_until "$dir" "$past_due" || return
  mark
  kill -USR1 "$locker"
  wait_until grep -q inactive "$artifacts/locker.out" || { fail "the stand-in did not unlock"; return; }
  game_a_delay_after_mark "$dir"
}

# The X server's own screen saver over the watcher's game ends it at once,
# and none comes while it is on; input (xset s reset) and a game a full
# delay later. The watcher is given a WAYLAND_DISPLAY left over from
# another session: it goes on to DISPLAY. Its own org.freedesktop.ScreenSaver
# says the game shows, and SetActive brings and ends one.
scenario_x_screen_saver() {
  dir=$(idle_dir x_screen_saver)
  start_session_bus || return
  WAYLAND_DISPLAY=wayland-gone watch_in "$dir"
  mark
  game_a_delay_after_mark "$dir" || return
  expect "GetActive while the game shows" "$(screensaver GetActive)" "boolean true"
  watch_end "$GAME"
  marked xset s activate
  ended_within "the X server's screen saver" || return
  no_game_until "$dir" "$past_due" || return
  marked xset s reset
  game_a_delay_after_mark "$dir" || return
  expect "what it said of WAYLAND_DISPLAY" "$(grep -c 'wayland-gone.*watching the X server of DISPLAY instead' \
    "$artifacts/PellavinIdle.stderr")" 1
  screensaver SetActive boolean:false >/dev/null
  wait_gone "$GAME" || fail "SetActive(false) did not end the game"
  expect "SetActive(true) brings the game" "$(screensaver SetActive boolean:true)" "boolean true"
  game_seen "$dir" || fail "no game after SetActive(true)"
  expect_game_shows set_active
  key x
  wait_gone "$GAME" || fail "a key did not end the game"
}

# On sway (org_kde_kwin_idle), as an unprivileged user: sway will not run
# as root.
scenario_sway() {
  command -v sway >/dev/null 2>&1 && command -v grim >/dev/null 2>&1 && command -v wtype >/dev/null 2>&1 ||
    { fail "sway, grim or wtype is missing (scripts/install-deps installs them)"; return; }
  dir=$(idle_dir sway)
  runtime=$e2e_tmp/sway-runtime
  mkdir -m 700 "$runtime"
  as_user=
  if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$runtime"
    as_user="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
  fi
  printf 'output * bg #ffffff solid_color\n' >"$e2e_tmp/sway.config"
  chmod 644 "$e2e_tmp/sway.config"
  env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    $as_user sway -c "$e2e_tmp/sway.config" >"$artifacts/sway.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until sh -c "ls '$runtime' | grep -q '^wayland-[0-9]*\$'" || { fail "sway did not start"; return; }
  socket=$(ls "$runtime" | grep '^wayland-[0-9]*$' | head -n 1)
  in_sway() { env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" $as_user "$@"; }
  env -u DISPLAY XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$socket" $as_user "$dir/PellavinIdle" \
    2>"$artifacts/PellavinIdle.stderr" &
  e2e_pids="$e2e_pids $!"
  marked in_sway wtype -P Shift_L -s 100 -p Shift_L
  game_a_delay_after_mark "$dir" || return
  sleep 1  # for the game to draw
  png=$artifacts/sway_on_time.png
  in_sway grim - >"$png"
  if shows_black_screen "$png"; then echo "ok: the game shows"; else fail "the game does not show: $png"; fi
  # A new virtual keyboard's keymap must reach the game before its key.
  in_sway wtype -s 300 -P x -s 100 -p x
  wait_gone "$GAME" || fail "a key did not end the game"
}

# A game a delay after input, on mutter's idle monitor; a second watcher
# in the session is refused; a key ends the game, and the next comes a full
# delay after the key; mutter ending ends the watcher.
scenario_mutter() {
  start_mutter || { fail "mutter did not start (scripts/install-deps installs it)"; return; }
  dir=$(idle_dir mutter)
  watch_in_desktop "$dir"
  marked mutter_input Shift_L
  game_a_delay_after_mark "$dir" || return
  status=0
  as_desktop_user "$dir/PellavinIdle" 2>"$artifacts/second.stderr" || status=$?
  expect "the second watcher's status" "$status" 1
  expect "what it says" "$(grep -c 'is watching this session already' "$artifacts/second.stderr")" 1
  marked end_game mutter_input x
  game_a_delay_after_mark "$dir" || return
  kill "$COMPOSITOR_PID"
  wait_exit "$WATCHER" || fail "the watcher outlived mutter"
  expect "status when mutter ended" "$STATUS" 0
  expect "what it said" "$(grep -c '^PellavinIdle: ' "$artifacts/PellavinIdle.stderr")" 1
  expect "that the session ended" "$(grep -c '^PellavinIdle: the session has ended$' "$artifacts/PellavinIdle.stderr")" 1
}

# On mutter, "Enable Screensaver" switched off ends the watcher, and no
# game comes.
scenario_mutter_switched_off() {
  start_mutter || { fail "mutter did not start (scripts/install-deps installs it)"; return; }
  dir=$(idle_dir mutter_switched_off)
  watch_in_desktop "$dir"
  marked mutter_input Shift_L
  switch_off "$dir" || return
  no_game_until "$dir" "$past_due"
}

# GNOME's session manager (a stand-in) inhibits idleness: no game; once the
# inhibitor goes, a game a full delay later.
release() {
  kill -USR1 "$1"
  wait_until grep -q released "$artifacts/session_manager.out" || { fail "the stand-in did not release"; return 1; }
}

scenario_mutter_inhibited() {
  start_mutter || { fail "mutter did not start (scripts/install-deps installs it)"; return; }
  dir=$(idle_dir mutter_inhibited)
  spawn_as_desktop_user /usr/bin/python3 "$desktop_tools/session_manager.py" >"$artifacts/session_manager.out" 2>&1
  manager=$SPAWNED
  e2e_pids="$e2e_pids $manager"
  wait_until grep -q inhibited "$artifacts/session_manager.out" || { fail "the stand-in session manager did not start"; return; }
  watch_in_desktop "$dir"
  marked mutter_input Shift_L
  no_game_until "$dir" "$past_due" || return
  marked release "$manager" || return
  game_a_delay_after_mark "$dir"
}

# GNOME Shell, whose screen shield is what GNOME shows at its "Blank Screen"
# time; here it comes a quarter of a delay after the mark, and no sooner
# than 8 s: a shield right after input is the user's own lock, not a blank.
blank=$((minute / 4))
[ "$blank" -ge 8 ] || blank=8

start_shell() {
  started=$(now_ms)
  start_gnome_shell "$desktop_tools" || { fail "GNOME Shell did not start (scripts/install-deps installs it)"; return 1; }
  echo "GNOME Shell up in $(($(now_ms) - started)) ms"
  dir=$(idle_dir "$1")
  watch_in_desktop "$dir"
  marked mutter_input Shift_L
}

shield() {
  if gnome_shield "$1"; then echo "ok: the shield $1 $(since_mark) s after the mark"; else
    fail "the shield did not turn $1"; return 1; fi
}

# The shield before the delay: no game while it stays, and the watcher says
# once that the desktop blanks before the Time Delay.
scenario_gnome_shield_first() {
  start_shell gnome_shield_first || return
  no_game_until "$dir" "$blank" || return
  shield on || return
  no_game_until "$dir" $((2 * minute)) || return
  expect "said once that the desktop blanks first" "$(grep -c 'Time Delay' "$artifacts/PellavinIdle.stderr")" 1
}

# A game, then the shield over it: the game ends once the shield is there
# (GNOME Shell takes its time to bring it over a full-screen game), and none
# comes while the shield stays.
scenario_gnome_game_then_shield() {
  start_shell gnome_game_then_shield || return
  game_a_delay_after_mark "$dir" || return
  expect_shell_shows_game on_time
  watch_end "$GAME"
  marked shield on || return
  ended_within "the shield" || return
  # Ended, not fallen: a game that loses its compositor says so.
  expect "what the game said" "$(grep -v '^PellavinIdle: ' "$artifacts/PellavinIdle.stderr")" ""
  no_game_until "$dir" $((minute * 3 / 2))
}

# The shield before the delay and gone after it: the game waits for input,
# and comes a full delay after the key.
scenario_gnome_shield_off_key() {
  start_shell gnome_shield_off_key || return
  no_game_until "$dir" "$blank" || return
  shield on || return
  no_game_until "$dir" "$past_due" || return
  marked shield off || return
  no_game_until "$dir" 3 || return
  marked mutter_input Shift_L
  game_a_delay_after_mark "$dir" || return
  expect_shell_shows_game after_key
}

# KDE's compositor, KWin (both idle protocols; no input device, so the
# delay counts from the watcher's request): a game a delay later. (How the
# game shows on KWin, gnome_kde.sh sees.)
scenario_kwin() {
  start_kwin || { fail "KWin did not start (scripts/install-deps installs kwin-wayland)"; return; }
  dir=$(idle_dir kwin)
  marked watcher_asks "$dir" || return
  game_a_delay_after_mark "$dir" || return
  kill "$COMPOSITOR_PID"
  wait_exit "$WATCHER" || fail "the watcher outlived KWin"
  expect "status when KWin ended" "$STATUS" 0
}

scenarios="comes_on input_pushes_back switched_off suspended preview_running one_per_session no_idle_protocol sway
  mutter mutter_switched_off mutter_inhibited kwin desktop_locker x_screen_saver gnome_shield_first
  gnome_game_then_shield gnome_shield_off_key"

if [ "$1" = all ]; then run_all; else run_scenario "$1"; fi
