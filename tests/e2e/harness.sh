# Sourced by the end-to-end scenarios: the real programs, copied into fresh
# directories, on a private X server with a white root window (so that a
# window that fails to cover the screen shows), driven with xdotool and
# checked with screenshots, the files' bytes and the processes.
#
# The scenario script defines scenario_<name> functions and ends with
# `run_scenario "$1"`. Environment: E2E_BIN, the directory of the built
# programs; E2E_TOOLS, of the test's own tools; E2E_ARTIFACTS, where
# screenshots and logs are kept. A script may set e2e_screen (WIDTHxHEIGHT)
# for an X screen of another size, or e2e_session=sway (and e2e_scale) for a
# Wayland session instead of an X server, whose programs run as the
# compositor's user.

. "$(dirname "$0")/../../scripts/xvfb.sh"
. "$(dirname "$0")/../../scripts/sway.sh"
. "$(dirname "$0")/../../scripts/desktops.sh"

e2e_failures=0
e2e_tmp=
e2e_pids=

skip() {
  echo "SKIP: $*"
  exit 77
}

fail() {
  echo "FAIL: $*"
  e2e_failures=$((e2e_failures + 1))
}

# expect DESCRIPTION ACTUAL EXPECTED
expect() {
  if [ "$2" = "$3" ]; then
    echo "ok: $1"
  else
    fail "$1: got '$2', expected '$3'"
  fi
}

cleanup() {
  for pid in $e2e_pids; do kill -9 "$pid" 2>/dev/null || true; done
  if command -v stop_desktop >/dev/null 2>&1; then stop_desktop; fi
  stop_xvfb
  stop_sway
  if [ -n "$e2e_tmp" ]; then
    chmod -R u+w "$e2e_tmp" 2>/dev/null || true
    rm -rf "$e2e_tmp"
  fi
}

run_scenario() {
  if [ "${e2e_session:-x11}" = sway ]; then _needed="grim wtype swaymsg convert compare"; else
    _needed="xdotool xwininfo xprop convert compare"; fi
  for _tool in $_needed; do
    command -v "$_tool" >/dev/null 2>&1 || { echo "FAIL: $_tool is missing (scripts/install-deps installs it)"; exit 1; }
  done
  [ -x "$E2E_BIN/PellavinRun" ] || { echo "FAIL: $E2E_BIN/PellavinRun has not been built"; exit 1; }
  e2e_tmp=$(mktemp -d)
  chmod 755 "$e2e_tmp"  # an unprivileged user must reach the programs below it
  trap cleanup EXIT
  trap 'exit 130' INT TERM
  if [ "${e2e_session:-x11}" = sway ]; then
    start_sway "${e2e_scale:-1}" || skip "no Wayland compositor can run here (sway did not start)"
  else
    start_xvfb -wr ${e2e_screen:+-screen 0 ${e2e_screen}x24} || skip "no X server can run here (Xvfb did not start)"
    mkdir -p "$e2e_tmp/xdg"
    chmod 700 "$e2e_tmp/xdg"
    export XDG_RUNTIME_DIR="$e2e_tmp/xdg"
  fi
  # The panel gives the session it runs in an autostart entry: the
  # scenario's session keeps its configuration here.
  export XDG_CONFIG_HOME="$e2e_tmp/config"
  artifacts=${E2E_ARTIFACTS:-$e2e_tmp/artifacts}/$1
  rm -rf "$artifacts"
  mkdir -p "$artifacts"
  echo "scenario $1 on ${WAYLAND_DISPLAY:-$DISPLAY}; screenshots in $artifacts"
  "scenario_$1"
  if [ "$e2e_failures" -gt 0 ]; then
    echo "$e2e_failures check(s) failed"
    exit 1
  fi
}

# app_dir NAME: a fresh directory with the built programs, and the helpers
# they run beside them, in it; prints its path.
app_dir() {
  dir=$e2e_tmp/$1
  mkdir -p "$dir"
  for program in PellavinRun Pellavin PellavinIdle PellavinMessageBox; do
    if [ -x "$E2E_BIN/$program" ]; then cp "$E2E_BIN/$program" "$dir/"; fi
  done
  echo "$dir"
}

# $unprivileged COMMAND...: runs the command as a user to whom file
# permissions apply (nobody), when we are root; as ourselves otherwise.
if [ "$(id -u)" -eq 0 ]; then unprivileged="setpriv --reuid=nobody --regid=nogroup --clear-groups --"; else
  unprivileged=; fi

# running PROGRAM: the pids of the processes that run that very file. The
# shell reads each process's name itself and looks further only where the
# name is the program's (the kernel keeps its first 15 bytes): scenarios
# that look often, side by side, must not load the machine they measure.
running() {
  _name=${1##*/}
  for _proc in /proc/[0-9]*; do
    { read -r _comm <"$_proc/comm"; } 2>/dev/null || continue
    case $_name in "$_comm"*) ;; *) continue ;; esac
    [ "$(readlink "$_proc/exe" 2>/dev/null)" != "$1" ] || echo "${_proc#/proc/}"
  done
}

# start PATH [unprivileged]: starts a program, its stderr kept in
# $artifacts/<name>.stderr; sets PID. "unprivileged" runs it as a user to
# whom file permissions apply (nobody, when we are root), and who cannot
# reach a configuration directory of their own either: what they may not
# write stays unwritten.
start() {
  stderr=$artifacts/$(basename "$1").stderr
  # Emptied here, not only by the redirection in the child: a scenario that
  # waits for a word in it must never read the last run's.
  : >"$stderr"
  if [ "${2:-}" = unprivileged ]; then
    mkdir -p "$e2e_tmp/unreachable"
    chmod 000 "$e2e_tmp/unreachable"
    [ -z "$unprivileged" ] || chown nobody "$XDG_RUNTIME_DIR"
    XDG_CONFIG_HOME=$e2e_tmp/unreachable/config $unprivileged "$1" 2>"$stderr" &
  else
    "$1" 2>"$stderr" &
  fi
  PID=$!
  e2e_pids="$e2e_pids $PID"
}

# window_of PID [TITLE]: the program's visible window (the one so titled);
# prints its id, or nothing when none shows within ten seconds. Each look is
# a fresh search: one that meets a window going away (a message box just
# answered) ends with an X error, and the next look goes on.
window_of() {
  looks=0
  while [ "$looks" -lt 100 ]; do
    if [ $# -gt 1 ]; then
      shown_window=$(xdotool search --all --onlyvisible --pid "$1" --name "^$2\$" 2>/dev/null | head -n 1)
    else
      shown_window=$(xdotool search --onlyvisible --pid "$1" 2>/dev/null | head -n 1)
    fi
    [ -z "$shown_window" ] || { echo "$shown_window"; return; }
    looks=$((looks + 1))
    sleep 0.1
  done
}

# shows WINDOW: whether the window is on the screen now.
shows() {
  xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# start_wm: a window manager on the server, as on a desktop; returns once it
# manages windows. Its own settings only, whatever the user has configured.
start_wm() {
  command -v openbox >/dev/null 2>&1 && command -v wmctrl >/dev/null 2>&1 ||
    { fail "openbox or wmctrl is missing (scripts/install-deps installs them)"; return 1; }
  XDG_CONFIG_HOME=$e2e_tmp/wm openbox --sm-disable >"$artifacts/openbox.log" 2>&1 &
  e2e_pids="$e2e_pids $!"
  wait_until wmctrl -m >/dev/null 2>&1 || { fail "the window manager did not start"; return 1; }
}

# close_box WINDOW: what the title bar's close box does: the window manager
# asks the program to close the window (WM_DELETE_WINDOW).
close_box() {
  wmctrl -i -c "$1"
}

# geometry WINDOW: prints "X Y WIDTH HEIGHT", the position on the screen.
# (xdotool's getwindowgeometry misplaces a window that a window manager has
# framed.)
geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
    /^ *Width:/ { w = $NF } /^ *Height:/ { h = $NF }
    END { print x, y, w, h }'
}

key() {
  xdotool key "$1"
}

click() {
  xdotool mousemove "$1" "$2" click 1
}

# shot NAME: a screenshot of the whole screen; prints the PNG's path.
shot() {
  png=$artifacts/$1.png
  "$E2E_TOOLS/screen_probe" shot "$png"
  echo "$png"
}

# box PNG WIDTH HEIGHT X Y [BACKGROUND]: the bounding box, as WxH+X+Y, of
# what is not BACKGROUND (black, white or #rrggbb) in that part of the
# screenshot; "none" when there is nothing else.
box() { "$E2E_TOOLS/screen_probe" box "$@"; }

# shows_black_screen PNG: the runner's black covers the screen; its shapes
# cover a quarter of a percent of it, wherever they are.
shows_black_screen() { "$E2E_TOOLS/screen_probe" black "$1"; }

# pixel PNG X Y: "R,G,B" from 0 to 255.
pixel() { "$E2E_TOOLS/screen_probe" pixel "$@"; }

# shot_when NAME CONDITION...: takes screenshots until CONDITION (a command
# given the PNG's path last) holds, for up to ten seconds; prints the last
# one's path. Programs paint a moment after their window maps, and a busy
# machine's a while after.
shot_when() { shots_until shot "$@"; }

# shots_until SHOOTER NAME CONDITION...: as shot_when, with the screenshots
# SHOOTER NAME takes.
shots_until() {
  shooter=$1
  name=$2
  shift 2
  tries=0
  while :; do
    png=$("$shooter" "$name")
    if "$@" "$png" || [ "$tries" -ge 30 ]; then break; fi
    tries=$((tries + 1))
    sleep 0.3
  done
  echo "$png"
}

# wait_until COMMAND...: runs the command every tenth of a second until it
# succeeds, for up to ten seconds; returns nonzero when it never does.
wait_until() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || return 1
    sleep 0.1
  done
}

# gone PID: the process has ended (it may wait to be reaped).
gone() {
  { read -r _stat <"/proc/$1/stat"; } 2>/dev/null || return 0
  _stat=${_stat##*) }
  [ "${_stat%% *}" = Z ]
}

# wait_gone PID: waits for a process to end; returns nonzero (and ends it)
# when it is still running after ten seconds.
wait_gone() {
  wait_until gone "$1" && return 0
  kill -9 "$1" 2>/dev/null || true
  return 1
}

# wait_exit PID: as wait_gone, for a program started here; sets STATUS to
# its exit status (128 + the signal that ended it).
wait_exit() {
  wait_gone "$1" || return 1
  STATUS=0
  wait "$1" || STATUS=$?
}

# wakeups PID SECONDS: how often the process woke in that time, counted by
# the kernel: the voluntary context switches of all its threads.
wakeups() {
  _switches() { cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^voluntary_ctxt_switches/ { s += $2 } END { print s + 0 }'; }
  _before=$(_switches "$1")
  sleep "$2"
  echo $(($(_switches "$1") - _before))
}

# expect_resting WHAT PID: once it has settled (within ten seconds), the
# process wakes at most once a second over five.
expect_resting() {
  _tries=0
  while [ "$(wakeups "$2" 1)" -gt 1 ] && [ "$_tries" -lt 10 ]; do _tries=$((_tries + 1)); done
  _woke=$(wakeups "$2" 5)
  if gone "$2"; then
    fail "the game has gone $1"
  elif [ "$_woke" -le 5 ]; then echo "ok: $_woke wake-ups in 5 s $1"; else fail "$_woke wake-ups in 5 s $1"; fi
}

# expect_ended WHAT PID: the runner has ended, normally, within a few seconds.
expect_ended() {
  if wait_exit "$2"; then
    expect "$1 ends the runner with status 0" "$STATUS" 0
  else
    fail "$1 did not end the runner"
  fi
}

# record GameType NoAutoplay NoResumeOnClick DelayMinutes RandomColors
# NoScreensaver: the 12 bytes of a settings record, each a little-endian
# 16-bit integer.
record() {
  for value in "$@"; do
    value=$(((value + 65536) % 65536))
    printf "\\$(printf %03o $((value % 256)))\\$(printf %03o $((value / 256)))"
  done
}

# bytes FILE: the file's bytes in hex, or "missing".
bytes() {
  if [ -e "$1" ]; then od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; else echo missing; fi
}
