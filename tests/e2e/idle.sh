#!/bin/sh
# The idle watcher in a session left alone: `idle.sh SCENARIO`, or
# `idle.sh all` to run every scenario side by side, each on its own server.
# E2E_IDLE_MINUTE is the length of a minute in seconds (60, the real one,
# unless a slower build shortens it through the watcher's test-only knob).
set -eu
. "$(dirname "$0")/harness.sh"

minute=${E2E_IDLE_MINUTE:-60}
# A game is judged by its own start, the kernel's record of it, however late
# a busy machine lets the test look: it must start a delay after the mark,
# no sooner than `early` before and no later than `late` after, in
# milliseconds. The watcher's own reaction takes tens of them.
early=1000
late=5000
# How long the test goes on looking for a game that is due, past `late`:
# what load delays most is the test's own looking.
patience=60000
# Seconds after the mark up to which no game may start where something
# holds it off: well past the moment it would otherwise have started.
past_due=$((minute + 10))

# The watcher's test-only knob, only for a minute that is not a real one.
if [ "$minute" -ne 60 ]; then
  export PELLAVIN_IDLE_MINUTE_MS=$((minute * 1000))
fi

# now_ms: milliseconds on the kernel's boot clock, the clock of a process's
# start time in /proc.
now_ms() { awk '{ printf "%d\n", $1 * 1000 }' /proc/uptime; }
tick_ms=$((1000 / $(getconf CLK_TCK)))

# started_ms PID: when the process started, on that clock; nothing once it
# has gone.
started_ms() { sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | awk -v tick="$tick_ms" '{ print $20 * tick }'; }

# marked COMMAND...: the command makes input, or what counts as input: the
# moment a delay counts from lies between MARK_FROM and MARK.
marked() {
  MARK_FROM=$(now_ms)
  marked_status=0
  "$@" || marked_status=$?
  MARK=$(now_ms)
  return "$marked_status"
}

mark() { marked xdotool mousemove_relative -- 1 1; }

# since_mark: whole seconds since the mark.
since_mark() { echo $((($(now_ms) - MARK) / 1000)); }

# runners DIR: the pids of the games running from that directory.
runners() { running "$1/PellavinRun"; }

# game_seen DIR: a game from DIR runs; sets GAME, and GAME_AT, its start in
# milliseconds after the mark's earliest moment.
game_seen() {
  for GAME in $(runners "$1"); do
    started=$(started_ms "$GAME")
    [ -z "$started" ] || { GAME_AT=$((started - MARK_FROM)); return 0; }
  done
  GAME=
  return 1
}

# no_game_until DIR SECONDS: no game starts sooner than SECONDS after the
# mark; returns once that time has passed, or at a game that started later.
no_game_until() {
  while [ $(($(now_ms) - MARK)) -lt $(($2 * 1000)) ]; do
    if game_seen "$1"; then
      if [ "$GAME_AT" -lt $(($2 * 1000)) ]; then
        fail "a game started $GAME_AT ms after the mark, before $2 s"
        return 1
      fi
      break
    fi
    sleep 0.5
  done
  echo "ok: no game for $2 s"
}

# game_due DIR MILLISECONDS: a game starts that long after the mark, give or
# take `early` and `late`; sets GAME.
game_due() {
  until game_seen "$1"; do
    if [ $(($(now_ms) - MARK)) -gt $(($2 + late + patience)) ]; then
      fail "no game by $((($2 + late + patience) / 1000)) s after the mark"
      return 1
    fi
    sleep 0.2
  done
  # The input came between MARK_FROM and MARK: due in that span, a delay on.
  behind=$((GAME_AT - (MARK - MARK_FROM) - $2))
  if [ "$GAME_AT" -lt $(($2 - early)) ]; then
    fail "a game started $GAME_AT ms after the mark, $(($2 - GAME_AT)) ms before it was due"
    return 1
  elif [ "$behind" -gt "$late" ]; then
    fail "the game started $GAME_AT ms after the mark, $behind ms after it was due"
    return 1
  fi
  echo "ok: the game started $GAME_AT ms after the mark ($(((MARK - MARK_FROM))) ms long), due at $2 ms"
}

# game_a_delay_after_mark DIR: a game a delay after the mark; sets GAME.
game_a_delay_after_mark() { game_due "$1" $((minute * 1000)); }

# expect_game_shows NAME: the runner's black screen, by screenshot.
expect_game_shows() {
  png=$(shot_when "$1" shows_black_screen)
  if shows_black_screen "$png"; then echo "ok: the game shows"; else fail "the game does not show: $png"; fi
}

# watch_end PID: the moment the process ends is kept from now on; then
# ended_within WHAT tells whether it came soon enough.
watch_end() {
  ENDS=$artifacts/ended.$1
  : >"$ENDS"
  /usr/bin/python3 "$(dirname "$0")/tools/ended_at.py" "$1" >"$ENDS" 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until grep -q watching "$ENDS" || fail "cannot watch process $1"
}

# ended_within WHAT: the game watched has ended, no sooner than WHAT, which
# ends it, was asked for, and no later than `late` after it came (the mark).
ended_within() {
  wait_gone "$GAME" && wait_until grep -q ended_at "$ENDS" || { fail "$1 did not end the game"; return 1; }
  ended_at=$(awk '/ended_at/ { print $2 }' "$ENDS")
  ended=$((ended_at - MARK))
  if [ "$ended_at" -lt "$MARK_FROM" ]; then
    fail "the game ended $((MARK_FROM - ended_at)) ms before $1 was asked for"
  elif [ "$ended" -gt "$late" ]; then
    fail "the game ended $ended ms after $1 came"
  else
    echo "ok: the game ended $((ended_at - MARK_FROM)) ms after $1 was asked for; the test saw it after $((MARK - MARK_FROM)) ms"
    return 0
  fi
  return 1
}

# end_game_with_key: a key ends the game, and the delay counts from its end.
end_game_with_key() { marked end_game key x; }

# end_game INPUT...: the input, a key, ends the game.
end_game() {
  "$@"
  wait_gone "$GAME" || fail "a key did not end the game"
}

# idle_dir NAME [NoScreensaver]: a directory with the programs and a delay
# of one minute stored.
idle_dir() {
  dir=$(app_dir "$1")
  record 0 0 0 1 0 "${2:-0}" >"$dir/Settings.dat"
  echo "$dir"
}

watch_in() {
  start "$1/PellavinIdle"
  WATCHER=$PID
}

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

# watching_settings: the watcher has read its settings and watches them.
watching_settings() { ls -l "/proc/$WATCHER/fd" 2>/dev/null | grep -q inotify; }

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

# A session bus of the scenario's own, where the watcher offers its
# org.freedesktop.ScreenSaver (or finds another program's).
start_session_bus() {
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS" >/dev/null 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until test -S "$XDG_RUNTIME_DIR/bus" || { fail "the session bus did not start"; return 1; }
}

screensaver() {
  dbus-send --session --print-reply=literal --dest=org.freedesktop.ScreenSaver /ScreenSaver \
    "org.freedesktop.ScreenSaver.$@" | tr -s ' ' | sed 's/^ //'
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

# GNOME's compositor, mutter, as an unprivileged user with a session bus of
# its own; input through its remote desktop interface.
desktop_tools=$(dirname "$0")/tools

mutter_input() {
  as_desktop_user /usr/bin/python3 "$desktop_tools/mutter_input.py" "$@" || fail "no input reached mutter"
}

# watch_in_desktop DIR: the watcher in the desktop session, as its user.
watch_in_desktop() {
  spawn_as_desktop_user "$1/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
  WATCHER=$SPAWNED
  e2e_pids="$e2e_pids $WATCHER"
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

# expect_shell_shows_game NAME: the runner's black screen, by GNOME Shell's
# screenshot (not behind the shield, which is black too).
expect_shell_shows_game() {
  png=$artifacts/$1.png
  shell_shows_game() { gnome_screenshot "$png" && shows_black_screen "$png"; }
  if wait_until shell_shows_game; then echo "ok: the game shows"; else fail "the game does not show: $png"; fi
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

# watcher_asks DIR: the watcher in the desktop, once it has read its
# settings and watches them: the moment it asks for its first delay.
watcher_asks() {
  watch_in_desktop "$1"
  wait_until watching_settings || { fail "the watcher watches no settings"; return 1; }
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

# Every scenario at once, each its own process on its own server: they
# spend most of their time waiting for minutes to pass.
run_all() {
  logs=$(mktemp -d)
  trap 'rm -rf "$logs"' EXIT
  for scenario in $scenarios; do
    sh "$0" "$scenario" >"$logs/$scenario" 2>&1 &
    echo "$!" >"$logs/$scenario.pid"
  done
  failed=0
  skipped=0
  for scenario in $scenarios; do
    status=0
    wait "$(cat "$logs/$scenario.pid")" || status=$?
    echo "=== $scenario: status $status"
    cat "$logs/$scenario"
    case $status in
    0) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
    esac
  done
  [ "$failed" -eq 0 ] || { echo "$failed scenario(s) failed"; exit 1; }
  [ "$skipped" -lt "$(echo "$scenarios" | wc -w)" ] || exit 77
}

if [ "$1" = all ]; then run_all; else run_scenario "$1"; fi
