#!/bin/sh
# The idle watcher in a whole GNOME 43 session (scripts/gnome_session.sh),
# started with the session's own environment as a user's autostart entry
# starts it: the session goes idle by itself and GNOME Shell's shield comes.
# `gnome_desktop.sh SCENARIO`, or `gnome_desktop.sh all` side by side.
set -eu
. "$(dirname "$0")/idle_harness.sh"
. "$(dirname "$0")/../../scripts/gnome_session.sh"

# The harness's cleanup ends a desktop by this name: here, the whole session.
stop_desktop() {
  [ -z "${_gnome_session_dir:-}" ] || cp "$_gnome_session_dir/compositor.log" "$artifacts/" 2>/dev/null || true
  stop_gnome_session
}

# Seconds over which the watcher's wake-ups are counted while it has nothing to do.
resting=$((minute / 2))
[ "$resting" -ge 15 ] || resting=15

# session IDLE_DELAY NAME: a session that goes idle after IDLE_DELAY
# seconds, Pellavin installed in it (its menu entry and icon), a watch on its
# bus, and the watcher from a directory NAME, started as the session starts
# its own programs, once it watches its settings.
session() {
  share=$e2e_tmp/share
  mkdir -p "$share/applications" "$share/icons/hicolor/scalable/apps"
  cp "$(dirname "$0")/../../desktop/pellavin.svg" "$share/icons/hicolor/scalable/apps/"
  sed "s|@panel@|$E2E_BIN/Pellavin|" "$(dirname "$0")/../../desktop/pellavin.desktop.in" \
    >"$share/applications/pellavin.desktop"
  export XDG_DATA_DIRS="$share:/usr/local/share:/usr/share"
  start_gnome_session "$desktop_tools" "$1" ||
    { fail "the GNOME session did not start (scripts/install-deps installs it)"; return 1; }
  echo "the session up in $SESSION_START_SECONDS s"
  spawn_as_desktop_user dbus-monitor --session "type='method_call',member='RequestName'" \
    "type='method_call',member='GetActive'" \
    "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
    "type='signal',interface='org.gnome.ScreenSaver',member='ActiveChanged'" \
    "type='signal',interface='org.gnome.SessionManager.Presence'" >"$artifacts/bus.log" 2>&1
  wait_until grep -q NameAcquired "$artifacts/bus.log" || { fail "nothing watches the bus"; return 1; }
  # What the boot clock lags behind the clock of the bus watch's stamps.
  clock_offset=$(/usr/bin/python3 -c 'import time
print(int((time.clock_gettime(time.CLOCK_REALTIME) - time.clock_gettime(time.CLOCK_BOOTTIME)) * 1000))')
  dir=$(idle_dir "$2")
  spawn_as_desktop_user /usr/bin/python3 "$desktop_tools/session_program.py" "$(owner_pid org.freedesktop.ScreenSaver)" \
    "$dir/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
  WATCHER=$SPAWNED
  e2e_pids="$e2e_pids $WATCHER"
  wait_until watching_settings || { fail "the watcher watches no settings"; return 1; }
  grep -qxz XDG_CURRENT_DESKTOP=GNOME "/proc/$WATCHER/environ" || fail "the watcher's environment names no GNOME"
  WATCHER_NAME=$(names_of "$WATCHER")
  [ -n "$WATCHER_NAME" ] || { fail "the watcher is not on the session bus"; return 1; }
}

# bus METHOD ARGUMENT...: the session bus's own answer, its values only.
bus() {
  method=$1
  shift
  _desktop_ask session org.freedesktop.DBus /org/freedesktop/DBus "org.freedesktop.DBus.$method" "$@" |
    sed -n 's/^ *\(string\|uint32\) "*\([^"]*\)"*$/\2/p'
}

owner_pid() { bus GetConnectionUnixProcessID string:"$1"; }

# names_of PID: the process's connections to the session bus.
names_of() {
  for name in $(bus ListNames | grep '^:'); do
    [ "$(owner_pid "$name")" != "$1" ] || echo "$name"
  done
}

# calls MEMBER: each such call on the watched bus, a line of its sender, its
# destination and its string arguments, tab-separated.
calls() {
  awk -v member="$1" '
    function done() { if (call != "") print call; call = "" }
    /^method call / { done(); if ($NF == "member=" member) {
        match($0, /sender=[^ ]*/); sender = substr($0, RSTART + 7, RLENGTH - 7)
        match($0, /destination=[^ ]*/); call = sender "\t" substr($0, RSTART + 12, RLENGTH - 12) }
      next }
    /^[a-z]/ { done() }
    call != "" && /string "/ { sub(/^[^"]*"/, ""); sub(/"$/, ""); call = call "\t" $0 }
    END { done() }' "$artifacts/bus.log"
}

# signals: the shield's and the session's presence, as watched on the bus:
# "MS MEMBER VALUE", MS on the boot clock.
signals() {
  awk -v offset="$clock_offset" '/^signal .*member=(ActiveChanged|StatusChanged)$/ {
      match($0, /time=[0-9.]*/); at = substr($0, RSTART + 5, RLENGTH - 5) * 1000 - offset
      member = $NF; sub(/.*=/, "", member); getline; printf "%d %s %s\n", at, member, $NF }' "$artifacts/bus.log"
}

# shield_comes SECONDS: GNOME Shell's shield comes by itself, within two
# minutes after SECONDS after the mark: the session goes idle at SHIELD_FROM,
# and the shield is there at SHIELD_AT. (Beside the whole suite, GNOME Shell
# has taken more than the minute after the session went idle.)
shield_comes() {
  seen=$(signals | grep -c ' ActiveChanged true$' || true)
  until [ "$(signals | grep -c ' ActiveChanged true$')" -gt "$seen" ]; do
    [ $(($(now_ms) - MARK)) -lt $(($1 * 1000 + 2 * patience)) ] ||
      { fail "no shield by $((($1 * 1000 + 2 * patience) / 1000)) s after the input"; return 1; }
    sleep 0.5
  done
  SHIELD_AT=$(signals | grep ' ActiveChanged true$' | sed -n "$((seen + 1))s/ .*//p")
  SHIELD_FROM=$(signals | awk -v from="$MARK_FROM" -v at="$SHIELD_AT" '
    $1 >= from && $1 <= at && $2 == "StatusChanged" && $3 == 3 { idle = $1 } END { print idle }')
  [ -n "$SHIELD_FROM" ] || { fail "the shield came, but not with the session idle"; return 1; }
  echo "ok: the session idle $((SHIELD_FROM - MARK)) ms after the input, the shield $((SHIELD_AT - SHIELD_FROM)) ms later"
}

# input: a key, which the session's idle time counts from.
input() { marked mutter_input Shift_L; }

unlocked() {
  marked gnome_unlock || { fail "the shield did not go"; return 1; }
  echo "ok: unlocked in $((MARK - MARK_FROM)) ms"
}

release() {
  kill -USR1 "$1" || { fail "the player has gone"; return 1; }
  wait_until grep -q released "$artifacts/hold.out" || { fail "the player did not let go"; return 1; }
}

# expect_bus_manners OWNERS: the watcher never asked for
# org.freedesktop.ScreenSaver, and asked each of its OWNERS at most once
# whether the screen is blanked: the proxy's NotSupported is an answer.
expect_bus_manners() {
  expect "the watcher's requests for org.freedesktop.ScreenSaver" "$(calls RequestName |
    awk -F '\t' -v me="$WATCHER_NAME" '$1 == me && $3 == "org.freedesktop.ScreenSaver"' | wc -l)" 0
  asked=$(calls GetActive | awk -F '\t' -v me="$WATCHER_NAME" '$1 == me && $2 == "org.freedesktop.ScreenSaver"' | wc -l)
  if [ "$asked" -le "$1" ]; then echo "ok: the watcher asked org.freedesktop.ScreenSaver's $1 owner(s) GetActive $asked time(s)"; else
    fail "the watcher asked org.freedesktop.ScreenSaver's $1 owner(s) GetActive $asked times"; fi
}

expect_resting_watcher() {
  woke=$(wakeups "$WATCHER" "$resting")
  if [ "$woke" -le 5 ]; then echo "ok: the watcher woke $woke times in $resting s $1"; else
    fail "the watcher woke $woke times in $resting s $1"; fi
}

# The session goes idle after the Time Delay: a game a delay after the
# input; the shield comes over it by itself and ends it; none while the
# shield stays, and the watcher rests; the unlock is input, and the next game
# comes a full delay after it.
scenario_shield_over_game() {
  session $((minute * 3 / 2)) shield_over_game || return
  input
  game_a_delay_after_mark "$dir" || return
  expect_shell_shows_game on_time
  watch_end "$GAME"
  shield_comes $((minute * 3 / 2)) || return
  # The bus watch's stamps may come late on a busy machine; the game's end not.
  MARK_FROM=$((SHIELD_FROM - early)) MARK=$SHIELD_AT
  ended_within "the idle session's shield" || return
  echo "ok: the game ended $((ended_at - SHIELD_AT)) ms after the shield came"
  expect "what the game said" "$(grep -v '^PellavinIdle: ' "$artifacts/PellavinIdle.stderr")" ""
  sleep 2
  expect_resting_watcher "under the shield"
  no_game_until "$dir" "$past_due" || return
  unlocked || return
  game_a_delay_after_mark "$dir" || return
  expect_shell_shows_game after_unlock
  expect_bus_manners 1
}

# notices: the watcher's notifications, and those GNOME Shell was handed.
notices() {
  shell=$(bus GetNameOwner string:org.gnome.Shell)
  calls Notify | awk -F '\t' -v me="$WATCHER_NAME" -v shell="$shell" -v summary="Pellavin's game did not show" '
    $1 == me && $2 == "org.freedesktop.Notifications" { sent++ }
    $2 == shell && $5 == summary { shown++ }
    END { print sent + 0, shown + 0 }'
}

banner_pixels() {
  convert "$1" -crop 520x70+700+40 +repage -fuzz 10% -fill white -opaque 'rgb(65,65,65)' -fill black +opaque white \
    -format '%[fx:round(mean*w*h)]' info:
}

banner_shows() { gnome_screenshot "$1" && [ "$(banner_pixels "$1")" -gt 20000 ]; }

# The session blanks before the Time Delay: no game, a line on stderr, and
# once the user is back, one notification from Pellavin, even after a
# second blank. Then with a later blank: the proxy that gnome-session starts
# again owns org.freedesktop.ScreenSaver, never the watcher; a player's hold
# through it holds the game off, the watcher resting; a full delay after it
# lets go, the game.
scenario_blank_first() {
  blank=$((minute / 3))
  [ "$blank" -ge 10 ] || blank=10
  session "$blank" blank_first || return
  input
  shield_comes "$blank" || return
  no_game_until "$dir" "$past_due" || return
  expect "said that the desktop blanked first" "$(grep -c 'before the Time Delay' "$artifacts/PellavinIdle.stderr")" 1
  expect "no notification while the shield is up" "$(notices)" "0 0"
  unlocked || return
  # The watcher's call, and the notification service's to GNOME Shell.
  notified() { [ "$(grep -c 'member=Notify$' "$artifacts/bus.log")" -ge 2 ]; }
  wait_until notified || true
  expect "the notification, handed to GNOME Shell" "$(notices)" "1 1"
  expect "from Pellavin with its icon and menu entry" "$(calls Notify |
    awk -F '\t' -v me="$WATCHER_NAME" '$1 == me { print $3, $4, $7, $8 }')" "Pellavin pellavin desktop-entry pellavin"
  banner=$artifacts/banner.png
  if wait_until banner_shows "$banner"; then echo "ok: the banner shows: $banner"; else fail "no banner: $banner"; fi
  input
  shield_comes "$blank" || return
  # From now on the blank comes later than the Time Delay.
  as_desktop_user gsettings set org.gnome.desktop.session idle-delay $((2 * minute)) || fail "the idle delay stays"
  unlocked || return
  proxy=$(owner_pid org.freedesktop.ScreenSaver)
  [ -n "$proxy" ] || { fail "no proxy to end"; return; }
  kill "$proxy"
  new_owner() { owner=$(owner_pid org.freedesktop.ScreenSaver) && [ -n "$owner" ] && [ "$owner" != "$proxy" ]; }
  wait_until new_owner || { fail "nothing owns org.freedesktop.ScreenSaver after the proxy"; return; }
  # A player's hold, then no input.
  input
  spawn_as_desktop_user /usr/bin/python3 "$desktop_tools/gnome_screensaver_hold.py" Pellavin "Playing a film" \
    >"$artifacts/hold.out" 2>&1
  holder=$SPAWNED
  e2e_pids="$e2e_pids $holder"
  wait_until grep -q held "$artifacts/hold.out" || { fail "the player could not hold"; return; }
  expect "the new owner of org.freedesktop.ScreenSaver" "$(readlink "/proc/$owner/exe")" /usr/libexec/gsd-screensaver-proxy
  expect "the name's queue: the owner alone" "$(bus ListQueuedOwners string:org.freedesktop.ScreenSaver)" \
    "$(bus GetNameOwner string:org.freedesktop.ScreenSaver)"
  expect_resting_watcher "under a player's hold"
  no_game_until "$dir" "$past_due" || return
  marked release "$holder" || return
  game_a_delay_after_mark "$dir" || return
  expect "said once, in the whole session" "$(grep -c 'before the Time Delay' "$artifacts/PellavinIdle.stderr")" 1
  expect "notified once, in the whole session" "$(notices)" "1 1"
  expect_bus_manners 2
}

scenarios="shield_over_game blank_first"

if [ "$1" = all ]; then run_all; else run_scenario "$1"; fi
