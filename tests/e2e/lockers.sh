#!/bin/sh
# The idle watcher among the real lockers and players of a session:
# `lockers.sh SCENARIO`, or `lockers.sh all` to run them side by side.
set -eu
. "$(dirname "$0")/idle_harness.sh"
. "$(dirname "$0")/../../scripts/players.sh"

tools=$(dirname "$0")/tools

# lock: logind asks the session's locker to lock (loginctl lock-session);
# sets LOCKER, the i3lock that comes, once its window shows.
lock() {
  lockers=$(grep -c '^locker [0-9]' "$artifacts/locker.log" || true)
  kill -USR2 "$LOGIND"
  new_locker() { [ "$(grep -c '^locker [0-9]' "$artifacts/locker.log")" -gt "$lockers" ]; }
  wait_until new_locker || { fail "no locker came at the Lock"; return 1; }
  LOCKER=$(sed -n 's/^locker \([0-9]*\)$/\1/p' "$artifacts/locker.log" | tail -n 1)
  e2e_pids="$e2e_pids $LOCKER"
  i3lock_shows() { xdotool search --onlyvisible --name '^i3lock$' >/dev/null 2>&1; }
  wait_until i3lock_shows || { fail "i3lock's window did not show"; return 1; }
}

# expect_i3lock_covers NAME: i3lock's colour all over the screenshot.
expect_i3lock_covers() {
  i3lock_covers() { [ "$(box "$1" 1920 1080 0 0 '#2a5599')" = none ]; }
  png=$(shot_when "$1" i3lock_covers)
  i3lock_covers "$png" || fail "i3lock does not cover the screen: $png"
}

# The locker goes as a typed password ends it: no Unlock, no hint.
# i3lock's child, which keeps its window on top, goes with it.
locker_goes() {
  helpers_of_locker=$(cat /proc/"$LOCKER"/task/*/children 2>/dev/null || true)
  kill "$LOCKER"
  for pid in "$LOCKER" $helpers_of_locker; do wait_gone "$pid" || fail "i3lock did not end"; done
  wait_until grep -q 'locker gone' "$artifacts/locker.log" || fail "the locker did not see i3lock end"
}

# A locker that tells logind nothing (LockedHint stays false): its Lock
# holds the game off until the user is back, and no longer; a Lock over a
# game ends it.
scenario_locker_without_hint() {
  command -v i3lock >/dev/null 2>&1 || { fail "i3lock is missing (scripts/install-deps installs it)"; return; }
  dir=$(idle_dir locker_without_hint)
  start_logind || return
  /usr/bin/python3 "$tools/logind_locker.py" -- i3lock -n -c 2a5599 >"$artifacts/locker.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until grep -q listening "$artifacts/locker.log" || { fail "the locker did not start"; return; }
  watch_in "$dir"
  mark
  # The watcher follows the session once it asks for its LockedHint.
  wait_until grep -q 'Session.LockedHint' "$artifacts/logind.log" || { fail "the watcher did not find the session"; return; }
  lock || return
  expect_i3lock_covers locked
  no_game_until "$dir" "$past_due" || return
  locker_goes
  expect "LockedHint never set" "$(grep -c 'hint LockedHint' "$artifacts/logind.log" || true)" 0
  mark
  game_a_delay_after_mark "$dir" || return
  expect_game_shows after_lock
  watch_end "$GAME"
  marked lock || return
  ended_within "the Lock" || return
  expect_i3lock_covers locked_over_game
  locker_goes
}

# xscreensaver and the watcher share a session bus as its user, who runs
# the bus too; as root that is nobody, let onto the X server.
as_user() { $unprivileged env HOME="$e2e_tmp/home" "$@"; }

# spawn_as_user COMMAND...: in the background, its output in the file
# $output; sets SPAWNED, the command's own process.
spawn_as_user() {
  $unprivileged env HOME="$e2e_tmp/home" "$@" >>"$output" 2>&1 &
  SPAWNED=$!
  e2e_pids="$e2e_pids $SPAWNED"
}

bus() {
  as_user dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    "org.freedesktop.DBus.$@" 2>/dev/null | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# owner: "UNIQUE-NAME PROGRAM" of org.freedesktop.ScreenSaver's owner, by
# its process; "none" when it has none.
owner() {
  unique=$(bus GetNameOwner string:org.freedesktop.ScreenSaver) && [ -n "$unique" ] || { echo none; return; }
  pid=$(bus GetConnectionUnixProcessID "string:$unique" | awk '{ print $NF }')
  echo "$unique $(basename "$(readlink "/proc/$pid/exe")")"
}

# expect_owner WHAT PROGRAM: the name is PROGRAM's, and no one waits for
# it; sets OWNER to its unique name.
expect_owner() {
  owned_by() { [ "$(owner | cut -d ' ' -f 2)" = "$1" ]; }
  wait_until owned_by "$2" || true
  OWNER=$(owner | cut -d ' ' -f 1)
  expect "$1: org.freedesktop.ScreenSaver's owner" "$(owner | cut -d ' ' -f 2)" "$2"
  expect "$1: its queue" "$(bus ListQueuedOwners string:org.freedesktop.ScreenSaver)" "array [ $OWNER ]"
}

# The watcher once it has started and follows logind's session, which it
# does after it has offered the name or not.
watch_as_user() {
  start "$1/PellavinIdle" unprivileged
  WATCHER=$PID
  watcher_on_system_bus() { [ "$(grep -c 'Session.LockedHint' "$artifacts/logind.log")" -ge "$2" ]; }
  wait_until watcher_on_system_bus "$@" || fail "the watcher did not follow the session"
}

start_xscreensaver() {
  output=$artifacts/xscreensaver.log spawn_as_user xscreensaver -no-splash -verbose
  XSCREENSAVER=$SPAWNED
}

# xscreensaver's helper serves org.freedesktop.ScreenSaver however it and
# the watcher come and go, and still locks the screen before sleep.
scenario_xscreensaver_name() {
  for tool in xscreensaver xscreensaver-command xhost dbus-monitor; do
    command -v "$tool" >/dev/null 2>&1 || { fail "$tool is missing (scripts/install-deps installs it)"; return; }
  done
  dir=$(idle_dir xscreensaver_name)
  mkdir -p "$e2e_tmp/home"
  [ -z "$unprivileged" ] || chown nobody "$e2e_tmp/home" "$XDG_RUNTIME_DIR"
  xhost "+si:localuser:$(as_user id -un)" >/dev/null
  # Blanks and locks only when told to (before sleep).
  printf 'mode: blank\nlock: True\nlockTimeout: 0:00:00\ntimeout: 0:30:00\nsplash: False\nfade: False\nunfade: False\n' \
    >"$e2e_tmp/home/.xscreensaver"
  start_logind --user "$(as_user id -un)" || return
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  output=/dev/null spawn_as_user dbus-daemon --session --nofork --address="$DBUS_SESSION_BUS_ADDRESS"
  wait_until test -S "$XDG_RUNTIME_DIR/bus" || { fail "the session bus did not start"; return; }
  watch_as_user "$dir" 1
  expect_owner "alone" PellavinIdle
  start_xscreensaver
  expect_owner "xscreensaver after the watcher" xscreensaver-systemd
  # From here on the name is xscreensaver's alone.
  output=$artifacts/owners.log spawn_as_user dbus-monitor --session \
    "type='signal',member='NameOwnerChanged',arg0='org.freedesktop.ScreenSaver'"
  wait_until grep -q NameAcquired "$artifacts/owners.log" || true
  kill "$WATCHER"
  wait_exit "$WATCHER" || fail "the watcher did not end"
  cp "$artifacts/PellavinIdle.stderr" "$artifacts/PellavinIdle.first.stderr"
  watch_as_user "$dir" 2
  expect_owner "the watcher started again" xscreensaver-systemd
  helper=$(bus GetConnectionUnixProcessID "string:$OWNER" | awk '{ print $NF }')
  kill "$XSCREENSAVER" "$helper"
  wait_gone "$XSCREENSAVER" && wait_gone "$helper" || fail "xscreensaver did not end"
  # A new one will not start while the server still shows the old one's window.
  xscreensaver_gone() { ! as_user xscreensaver-command -version >/dev/null 2>&1; }
  wait_until xscreensaver_gone || fail "xscreensaver's window stayed"
  start_xscreensaver
  expect_owner "xscreensaver started again" xscreensaver-systemd
  new_owners=$(awk '/member=NameOwnerChanged/ { n = 0; next } /^ *string/ && ++n == 3 { print $2 }' \
    "$artifacts/owners.log" | tr -d '"' | grep . | tr '\n' ' ')
  expect "no other owner meanwhile" "$new_owners" "$OWNER "
  expect "what the watcher said of the name" \
    "$(cat "$artifacts"/PellavinIdle*.stderr | grep -c ScreenSaver || true)" 0
  kill -HUP "$LOGIND"
  locked() { as_user xscreensaver-command -time 2>/dev/null | grep -q locked; }
  if wait_until locked; then echo "ok: xscreensaver locks before sleep"; else fail "xscreensaver did not lock before sleep"; fi
}

# film_ends_with_mark: once the player has ended, its end is the mark.
film_ends_with_mark() {
  film_ended() { grep -q ended_at "$film_end"; }
  looks=0
  until film_ended; do
    looks=$((looks + 1))
    [ "$looks" -lt 1200 ] || { fail "the film did not end"; return 1; }
    sleep 0.1
  done
  MARK=$(awk '/ended_at/ { print $2 }' "$film_end")
  MARK_FROM=$MARK
}

# mpv on X11 suspends the screensaver and resets the idle time while it
# plays; when the film ends, the game comes a full delay later.
scenario_mpv_x11() {
  command -v mpv >/dev/null 2>&1 || { fail "mpv is missing (scripts/install-deps installs it)"; return; }
  trap 'stop_player; cleanup' EXIT
  dir=$(idle_dir mpv_x11)
  watch_in "$dir"
  wait_until watching_settings || { fail "the watcher watches no settings"; return; }
  mark
  play_film_x11 $((past_due + 5))
  wait_player_shown || { fail "mpv's window did not show"; return; }
  watch_end "$PLAYER_PID"
  film_end=$ENDS
  no_game_until "$dir" "$past_due" || return
  film_ends_with_mark || return
  game_a_delay_after_mark "$dir" || return
  expect_game_shows after_film
}

# mpv in sway holds an idle inhibitor while it plays; once it is stopped,
# the game comes a full delay later.
scenario_mpv_sway() {
  command -v mpv >/dev/null 2>&1 && command -v wtype >/dev/null 2>&1 || { fail "mpv or wtype is missing (scripts/install-deps installs them)"; return; }
  trap 'stop_player; cleanup' EXIT
  start_sway || { fail "sway did not start"; return; }
  dir=$(idle_dir mpv_sway)
  spawn_as_wayland_user env -u DISPLAY "$dir/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
  WATCHER=$SPAWNED
  e2e_pids="$e2e_pids $WATCHER"
  wait_until watching_settings || { fail "the watcher watches no settings"; return; }
  marked as_wayland_user wtype -P Shift_L -s 100 -p Shift_L
  play_film_sway $((past_due + 30))
  wait_player_shown || { fail "mpv's inhibitor did not come"; return; }
  no_game_until "$dir" "$past_due" || return
  marked stop_player
  game_a_delay_after_mark "$dir" || return
  png=$artifacts/after_film.png
  game_shows() { as_wayland_user grim - >"$png" && shows_black_screen "$png"; }
  if wait_until game_shows; then echo "ok: the game shows"; else fail "the game does not show: $png"; fi
}

scenarios="locker_without_hint xscreensaver_name mpv_x11 mpv_sway"

if [ "$1" = all ]; then run_all; else run_scenario "$1"; fi
