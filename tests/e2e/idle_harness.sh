# Sourced by the idle watcher's scenarios (idle.sh, and those among the
# programs of a session): the watcher in a fresh directory, games judged by
# their own start against the moment their delay counts from, and every
# scenario of a script run side by side, each on its own server. They wait
# minutes: E2E_IDLE_MINUTE is the length of a minute in seconds (60, the
# real one, unless the build's tests shorten it through the watcher's
# test-only knob); the scenarios E2E_IDLE_REAL_MINUTE names wait real ones
# whatever it says.
. "$(dirname "$0")/harness.sh"

minute=${E2E_IDLE_MINUTE:-60}
case " ${E2E_IDLE_REAL_MINUTE:-} " in *" ${1:-all} "*) minute=60 ;; esac
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
else
  unset PELLAVIN_IDLE_MINUTE_MS
fi

# now_ms: milliseconds on the kernel's boot clock, the clock of a process's
# start time in /proc; read by the shell itself, so that a look costs no
# program (the kernel gives hundredths).
now_ms() {
  read -r _uptime _ </proc/uptime
  echo $((${_uptime%.*} * 1000 + (1${_uptime#*.} - 100) * 10))
}
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

# for_up_to SECONDS COMMAND...: as wait_until, for longer.
for_up_to() {
  _until=$(($(now_ms) + $1 * 1000))
  shift
  until "$@"; do
    [ "$(now_ms)" -lt "$_until" ] || return 1
    sleep 0.2
  done
}

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
# A game plays on until input ends it: a look a second finds one.
no_game_until() {
  while [ $(($(now_ms) - MARK)) -lt $(($2 * 1000)) ]; do
    if game_seen "$1"; then
      if [ "$GAME_AT" -lt $(($2 * 1000)) ]; then
        fail "a game started $GAME_AT ms after the mark, before $2 s"
        return 1
      fi
      break
    fi
    sleep 1
  done
  echo "ok: no game for $2 s"
}

# game_due DIR MILLISECONDS: a game starts that long after the mark, give or
# take `early` and `late`; sets GAME. A game is judged by its own start: the
# test first sleeps to a moment before it is due, where a game seen already
# has started too early.
game_due() {
  _ahead=$((MARK + $2 - early - $(now_ms)))
  [ "$_ahead" -le 0 ] || sleep "$((_ahead / 1000)).$(printf %03d $((_ahead % 1000)))"
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

# watching_settings: the watcher has read its settings and watches them.
watching_settings() { ls -l "/proc/$WATCHER/fd" 2>/dev/null | grep -q inotify; }

# start_logind [ARGUMENT...]: a system bus of the scenario's own that any
# user may use, with logind's stand-in on it; sets LOGIND.
start_logind() {
  printf '<busconfig><type>system</type><listen>unix:path=%s</listen><auth>EXTERNAL</auth><policy context="default">%s</policy></busconfig>\n' \
    "$e2e_tmp/system_bus" '<allow user="*"/><allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/>' \
    >"$e2e_tmp/system_bus.conf"
  dbus-daemon --config-file="$e2e_tmp/system_bus.conf" --nofork >/dev/null 2>&1 &
  e2e_pids="$e2e_pids $!"
  export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$e2e_tmp/system_bus"
  wait_until test -S "$e2e_tmp/system_bus" || { fail "the system bus did not start"; return 1; }
  : >"$artifacts/logind.log"
  /usr/bin/python3 "$(dirname "$0")/tools/logind.py" --get "$@" >"$artifacts/logind.log" 2>&1 &
  LOGIND=$!
  e2e_pids="$e2e_pids $LOGIND"
  wait_until grep -q owner "$artifacts/logind.log" || { fail "logind's stand-in did not start"; return 1; }
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

# watch_in_desktop DIR: the watcher in the desktop session, as its user.
watch_in_desktop() {
  spawn_as_desktop_user "$1/PellavinIdle" 2>"$artifacts/PellavinIdle.stderr"
  WATCHER=$SPAWNED
  e2e_pids="$e2e_pids $WATCHER"
}

# watcher_asks DIR: the watcher in the desktop, once it has read its
# settings and watches them: the moment it asks for its first delay.
watcher_asks() {
  watch_in_desktop "$1"
  wait_until watching_settings || { fail "the watcher watches no settings"; return 1; }
}

# In GNOME's compositor, as an unprivileged user with a session bus of its
# own: input through its remote desktop interface.
desktop_tools=$(dirname "$0")/tools

mutter_input() {
  as_desktop_user /usr/bin/python3 "$desktop_tools/mutter_input.py" "$@" || fail "no input reached mutter"
}

# expect_shell_shows_game NAME: the runner's black screen, by GNOME Shell's
# screenshot (not behind the shield, which is black too).
expect_shell_shows_game() {
  png=$artifacts/$1.png
  shell_shows_game() { gnome_screenshot "$png" && shows_black_screen "$png"; }
  if wait_until shell_shows_game; then echo "ok: the game shows"; else fail "the game does not show: $png"; fi
}

# side_by_side RUN ITEM...: `RUN ITEM` for every item at once, each its own
# process; then each one's output, under its name and status. Exits 1 when
# any failed, 77 (a skip) when all were skipped.
side_by_side() {
  _run=$1
  shift
  logs=$(mktemp -d)
  trap 'rm -rf "$logs"' EXIT
  for _item in "$@"; do
    "$_run" "$_item" >"$logs/$_item" 2>&1 &
    echo "$!" >"$logs/$_item.pid"
  done
  failed=0
  skipped=0
  for _item in "$@"; do
    status=0
    wait "$(cat "$logs/$_item.pid")" || status=$?
    echo "=== $_item: status $status"
    cat "$logs/$_item"
    case $status in
    0) ;;
    77) skipped=$((skipped + 1)) ;;
    *) failed=$((failed + 1)) ;;
    esac
  done
  # The failures again at the end, where a log cut short still shows them.
  [ "$failed" -eq 0 ] || { echo "$failed of them failed:"; grep '^FAIL: ' "$logs"/* | sed "s|^$logs/||"; exit 1; }
  [ "$skipped" -lt $# ] || exit 77
}

# run_all: every scenario in $scenarios at once, each on its own server:
# they spend most of their time waiting for minutes to pass.
run_all() {
  scenario() { sh "$0" "$1"; }
  # shellcheck disable=SC2086
  side_by_side scenario $scenarios
}
