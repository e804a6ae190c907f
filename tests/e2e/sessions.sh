#!/bin/sh
# The idle watcher in each desktop Debian ships, a whole X11 session as a
# login starts it (Cinnamon, MATE, Xfce and LXQt: scripts/x11_sessions.sh;
# GNOME: scripts/gnome_session.sh; KDE Plasma: scripts/plasma.sh), the
# watcher as its autostart programs start, with a web browser playing a film:
#   - org.freedesktop.ScreenSaver stays the desktop's (MATE has none: there
#     the watcher serves it), also after the desktop's service restarts
#     with the watcher already there;
#   - while the browser plays, no game, and the desktop's own blank is kept
#     off too; a game a delay after it stops;
#   - the desktop's own lock comes over that game and ends it, and no game
#     comes while the screen stays locked.
# `sessions.sh DESKTOP` with Firefox ESR, `sessions.sh DESKTOP_chromium`
# with Chromium. The minute is short (E2E_DESKTOP_MINUTE seconds): real
# minutes prove nothing more here.
set -eu
E2E_IDLE_MINUTE=${E2E_DESKTOP_MINUTE:-10}
. "$(dirname "$0")/idle_harness.sh"
. "$(dirname "$0")/../../scripts/x11_sessions.sh"
. "$(dirname "$0")/../../scripts/gnome_session.sh"
. "$(dirname "$0")/../../scripts/plasma.sh"

tools=$(dirname "$0")/tools
case $1 in
*_chromium) browser=chromium ;;
*) browser=firefox ;;
esac
# The desktop's own blank and lock: after the watcher's game would come.
# xscreensaver-systemd tells xscreensaver of a hold every 50 s, as
# xscreensaver blanks after a minute at the least.
case $1 in
xfce* | lxqt*) desktop_idle=60 ;;
*) desktop_idle=$((minute + 12)) ;;
esac

stop_desktop() {
  [ -z "${XDG_RUNTIME_DIR:-}" ] || cp "$XDG_RUNTIME_DIR/session.log" "$XDG_RUNTIME_DIR/compositor.log" "$artifacts/" \
    2>/dev/null || true
  case ${desktop:-} in
  gnome) stop_gnome_session ;;
  kde) stop_plasma ;;
  *) stop_x11_desktop ;;
  esac
}

# begin DESKTOP: the session, and the watcher in it as the session starts
# its autostart programs.
begin() {
  case $1 in
  gnome)
    GNOME_SESSION_TYPE=x11 start_gnome_session "$tools" "$desktop_idle" || return 1
    in_session "$dir/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
    ;;
  kde)
    start_plasma_x11 "$tools" || return 1
    in_session "$dir/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
    ;;
  *)
    x11_desktop_prepare "$1" "$tools" || return 1
    autostart pellavin-idle "$dir/PellavinIdle"
    start_x11_desktop "$desktop_idle" || { echo "$(tail -n 20 "$XDG_RUNTIME_DIR/session.log")"; return 1; }
    ;;
  esac
}

# in_session PROGRAM ARGUMENT...: a program of the session's user, in the
# environment the session gives its own (GNOME's: that of its screensaver
# proxy, which gnome-session started); SPAWNED: its pid.
in_session() {
  case $desktop in
  gnome) spawn_as_desktop_user /usr/bin/python3 "$tools/session_program.py" "$(program_pid gsd-screensaver)" "$@" ;;
  kde) spawn_as_plasma_user "$@" ;;
  *) spawn_as_session_user "$@" ;;
  esac
}

lock_screen() {
  case $desktop in
  kde) plasma_lock ;;
  *) desktop_lock ;;
  esac
}

screen_locked() {
  case $desktop in
  gnome) _desktop_ask session org.gnome.Shell.ScreenShield /org/gnome/ScreenSaver org.gnome.ScreenSaver.GetActive ;;
  kde) _desktop_ask session org.freedesktop.ScreenSaver /ScreenSaver org.freedesktop.ScreenSaver.GetActive ;;
  *) desktop_locked && echo 'boolean true' ;;
  esac | grep -q 'boolean true'
}

bus() { as_desktop_user dbus-send --session --print-reply=literal --reply-timeout=3000 "$@" 2>/dev/null; }

# owners NAME: the pids of the name's owner and of those queued for it.
owners() {
  for name in $(bus --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.ListQueuedOwners \
    string:"$1" | grep -o ':[0-9.]*'); do
    bus --dest=org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID \
      string:"$name" | awk '{ print $2 }'
  done | sort | tr '\n' ' '
}

# program_pid NAME: the one process of the session so named.
program_pid() {
  for _pid in $(grep -l -s -F "XDG_RUNTIME_DIR=$XDG_RUNTIME_DIR" /proc/[0-9]*/environ | cut -d/ -f3); do
    [ "$(cat "/proc/$_pid/comm" 2>/dev/null)" != "$1" ] || { echo "$_pid"; return 0; }
  done
  return 1
}

# The program that serves org.freedesktop.ScreenSaver in this desktop.
service_program() {
  case $1 in
  gnome) echo gsd-screensaver ;;
  kde) echo ksmserver ;;
  cinnamon) echo csd-screensaver ;;
  mate) echo PellavinIdle ;;
  *) echo xscreensaver-sy ;;
  esac
}

expect_name_served_by() {
  for_up_to 20 test -n "$(owners org.freedesktop.ScreenSaver)" || true
  expect "org.freedesktop.ScreenSaver's owner and those queued for it $2" "$(owners org.freedesktop.ScreenSaver)" \
    "$(program_pid "$1") "
}

# The desktop's service again, the watcher there first: cinnamon-session
# and gnome-session start their proxies again by themselves;
# xscreensaver-systemd as xscreensaver starts it.
restart_service() {
  kill "$(program_pid "$(service_program "$1")")"
  case $1 in
  cinnamon | gnome) ;;
  *) spawn_as_session_user /usr/libexec/xscreensaver/xscreensaver-systemd --verbose >"$artifacts/xscreensaver-systemd.log" 2>&1 ;;
  esac
  sleep 2
}

# The film, once for every scenario: with a sound track, as a <video>
# without one takes no hold.
film() {
  _films=${E2E_ARTIFACTS:-$e2e_tmp}/film
  mkdir -p "$_films"
  (
    flock 8
    [ -s "$_films/pv.webm" ] && exit
    ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x180:rate=25 \
      -f lavfi -i sine=frequency=440:sample_rate=48000 -t 20 -c:v libvpx -deadline realtime -cpu-used 8 -b:v 200k \
      -c:a libopus -shortest -f webm "$_films/pv.webm.part" && mv "$_films/pv.webm.part" "$_films/pv.webm"
  ) 8>"$_films/lock"
  cp "$_films/pv.webm" "$XDG_RUNTIME_DIR/pv.webm"
  echo '<video src="pv.webm" autoplay loop muted style="width:100vw;height:100vh"></video>' >"$XDG_RUNTIME_DIR/pv.html"
  chmod 644 "$XDG_RUNTIME_DIR/pv.webm" "$XDG_RUNTIME_DIR/pv.html"
}

play() {
  film
  # What the browser asks of whom, for the log.
  spawn_as_desktop_user dbus-monitor --session "type='method_call',member='Inhibit'" \
    "type='method_call',member='UnInhibit'" "type='method_call',member='Uninhibit'" >"$artifacts/holds.log" 2>&1
  e2e_pids="$e2e_pids $SPAWNED"
  _profile=$e2e_tmp/browser
  mkdir -p "$_profile"
  case $browser in
  firefox)
    for pref in 'media.autoplay.default", 0' 'media.autoplay.blocking_policy", 0' \
      'media.block-autoplay-until-in-foreground", false' 'browser.shell.checkDefaultBrowser", false' \
      'datareporting.policy.dataSubmissionEnabled", false' 'toolkit.telemetry.reportingpolicy.firstRun", false' \
      'browser.aboutwelcome.enabled", false'; do
      echo "user_pref(\"$pref);"
    done >"$_profile/user.js"
    [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$_profile"
    in_session /usr/bin/firefox-esr --no-remote --profile "$_profile" --kiosk "file://$XDG_RUNTIME_DIR/pv.html"
    ;;
  chromium)
    [ "$(id -u)" -ne 0 ] || chown -R nobody:nogroup "$_profile"
    in_session /usr/bin/chromium --user-data-dir="$_profile" --no-first-run --no-default-browser-check \
      --autoplay-policy=no-user-gesture-required --disable-gpu --password-store=basic --kiosk "file://$XDG_RUNTIME_DIR/pv.html"
    ;;
  esac >"$artifacts/$browser.log" 2>&1
  PLAYER=$SPAWNED
  e2e_pids="$e2e_pids $PLAYER"
}

# held_soon DESKTOP: the player's hold there within a minute, with input
# meanwhile: no game may come while a slow browser starts.
held_soon() {
  _until=$(($(now_ms) + 60000))
  xdotool mousemove_relative -- 1 1
  until player_holds "$1"; do
    [ "$(now_ms)" -lt "$_until" ] || return 1
    xdotool mousemove_relative -- 1 1
    sleep 1
  done
}

# Where the player's hold lands in this desktop, and that it is there.
player_holds() {
  case $1 in
  gnome | cinnamon | mate)
    bus --dest=org.gnome.SessionManager /org/gnome/SessionManager org.gnome.SessionManager.IsInhibited uint32:8 |
      grep -q true
    ;;
  kde)
    bus --dest=org.kde.Solid.PowerManagement.PolicyAgent /org/kde/Solid/PowerManagement/PolicyAgent \
      org.kde.Solid.PowerManagement.PolicyAgent.HasInhibition uint32:4 | grep -q true
    ;;
  *) grep -q "inhibited by \"$browser" "$artifacts/xscreensaver-systemd.log" ;;
  esac
}

player_let_go() {
  case $1 in
  gnome | kde | cinnamon | mate) ! player_holds "$1" ;;
  *) grep -q "uninhibit" "$artifacts/xscreensaver-systemd.log" ;;
  esac
}

close_player() {
  xdotool mousemove_relative -- 1 1
  stop_player
}

stop_player() {
  kill "$PLAYER" 2>/dev/null || true
  # The browser's helpers go with it, or with the next look.
  for_up_to 10 gone "$PLAYER" || kill -9 "$PLAYER" 2>/dev/null || true
}

scenario() {
  desktop=$1
  _command=$browser
  [ "$browser" != firefox ] || _command=firefox-esr
  command -v "$_command" >/dev/null 2>&1 || skip "no $_command (scripts/install-deps --test installs it)"
  dir=$(idle_dir "$desktop")
  begin "$desktop" || { fail "$desktop did not start (scripts/install-deps --test installs it)"; return; }
  for_up_to 30 program_pid PellavinIdle >/dev/null || { fail "the session did not start the watcher"; return; }
  WATCHER=$(program_pid PellavinIdle)
  expect_name_served_by "$(service_program "$desktop")" "with the watcher started second"
  if [ "$desktop" != mate ] && [ "$desktop" != kde ]; then
    restart_service "$desktop"
    expect_name_served_by "$(service_program "$desktop")" "after the desktop's service came again, the watcher first"
  fi

  # A game the session's first idle minute brought (on a slow start) ends
  # with a key, as a user ends it.
  ! game_seen "$dir" || end_game key x
  # A browser that crashes as it starts on a busy machine is started again:
  # its crash is not what is tried here.
  play
  if ! held_soon "$desktop" && gone "$PLAYER"; then
    echo "$browser ended before it held anything: once more"
    play
  fi
  held_soon "$desktop" || {
    import -window root "$artifacts/no_hold.png"
    fail "$browser's hold did not reach the desktop: $(tail -n 5 "$artifacts/$browser.log")"
    return
  }
  echo "ok: $browser holds the screen on"
  mark
  no_game_until "$dir" "$past_due" || return
  ! screen_locked || fail "the desktop blanked over the film"
  import -window root "$artifacts/film.png"
  # The user closes the browser: input, from which the desktop's own blank
  # counts again, and the end of the hold, from which the game counts.
  marked close_player
  for_up_to 20 player_let_go "$desktop" || fail "$browser's hold outlived it"
  game_a_delay_after_mark "$dir" || return
  expect_game_shows game

  # The desktop's own blank and lock come over the game: where they come
  # only after a whole minute (MATE, KDE, xscreensaver), its own command
  # asks for them instead.
  watch_end "$GAME"
  if [ "$desktop_idle" -ge 60 ] || [ "$desktop" = mate ] || [ "$desktop" = kde ]; then marked lock_screen; else
    for_up_to $((desktop_idle + 20)) screen_locked || { fail "the desktop did not lock"; return; }
    MARK=$(now_ms)
    MARK_FROM=$((MARK - 1000))
  fi
  for_up_to 20 screen_locked || fail "the desktop's locker does not say it locked"
  wait_gone "$GAME" && wait_until grep -q ended_at "$ENDS" || fail "the lock did not end the game"
  echo "ok: the game ended $(($(awk '/ended_at/ { print $2 }' "$ENDS") - MARK)) ms from the moment the locker was seen locked"
  import -window root "$artifacts/locked.png"
  mark
  no_game_until "$dir" "$past_due" || return
  screen_locked || fail "the screen was unlocked on its own"
  cat "$artifacts/PellavinIdle.stderr" 2>/dev/null || grep -s '^PellavinIdle' "$XDG_RUNTIME_DIR/session.log" || true
}

for _row in gnome kde cinnamon mate xfce lxqt; do
  eval "scenario_$_row() { scenario $_row; }; scenario_${_row}_chromium() { scenario $_row; }"
done

run_scenario "$1"
