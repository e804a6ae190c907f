#!/bin/sh
# The control panel as a new user meets it: `panel.sh SCENARIO`.
set -eu
. "$(dirname "$0")/harness.sh"

dialog_title="Pellavin Control Panel"
defaults="00 00 00 00 00 00 0a 00 00 00 00 00"

# The dialog's tab stops in order; the focus starts on the first. Space
# presses the focused button or toggles the focused box.
tab_order="Option1 Command1 Command2 Option3 Option4 Option5 Option6 Text1 Check1 Check2 Check3 Command3 Check4"
tab_stops=13
focus=Option1

tab_stop() {
  echo "$tab_order" | tr ' ' '\n' | grep -n -x "$1" | cut -d: -f1
}

# press CONTROL: tabs from the focus to the control and presses Space.
press() {
  tabs=$((($(tab_stop "$1") - $(tab_stop "$focus") + tab_stops) % tab_stops))
  keys=
  while [ "$tabs" -gt 0 ]; do
    keys="$keys Tab"
    tabs=$((tabs - 1))
  done
  # shellcheck disable=SC2086
  xdotool key $keys space
  focus=$1
}

# open_panel DIR [unprivileged]: starts the panel there; sets PID and
# DIALOG, or fails when the dialog does not show.
open_panel() {
  start "$1/Pellavin" ${2:-}
  focus=Option1
  DIALOG=$(window_of "$PID" "$dialog_title")
  [ -n "$DIALOG" ] || { fail "the dialog did not show"; return 1; }
}

# message_box: the panel's message box (titled with the program's name) on
# the screen; prints its id, or nothing when none shows.
message_box() {
  window_of "$PID" Pellavin
}

# showing TITLE: the panel's windows so titled that are on the screen now.
showing() {
  xdotool search --all --onlyvisible --pid "$PID" --name "^$1\$" || true
}

# expect_message WHAT: a message box shows; sets MESSAGE to its id.
expect_message() {
  MESSAGE=$(message_box)
  if [ -n "$MESSAGE" ]; then echo "ok: $1"; else fail "$1: no message showed"; fi
}

# dialog_whole WINDOW PNG: all that stands on the white root is the dialog,
# inside the window manager's frame when there is one.
dialog_whole() {
  png=$2
  # shellcheck disable=SC2046
  set -- $(geometry "$1") $(xprop -id "$1" _NET_FRAME_EXTENTS | sed -n 's/.*= //p' | tr -d ,) 0 0 0 0
  x=$1 y=$2 width=$3 height=$4 left=$5 right=$6 top=$7 bottom=$8
  [ "$(box "$png" 1920 1080 0 0 white)" = "$((width + left + right))x$((height + top + bottom))+$((x - left))+$((y - top))" ]
}

expect_dialog_whole() {
  png=$(shot_when "$1" dialog_whole "$DIALOG")
  if dialog_whole "$DIALOG" "$png"; then echo "ok: the dialog shows whole"; else fail "the dialog is not whole: $png"; fi
}

holds() { [ "$(bytes "$1")" = "$2" ]; }
has_focus() { [ "$(xdotool getwindowfocus)" = "$1" ]; }
hidden() { ! shows "$1"; }

# expect_note_then_end WHAT STORED: the closing note shows once the record
# is stored; dismissing it ends the panel normally.
expect_note_then_end() {
  note=$(message_box)
  [ -n "$note" ] || { fail "$1 showed no note"; return; }
  expect "$1 stores the record before the note" "$(bytes "$dir/Settings.dat")" "$2"
  shot "$(echo "$1" | tr ' ' -)-note" >/dev/null
  key Return
  if wait_exit "$PID"; then
    expect "dismissing the note after $1 ends the panel with status 0" "$STATUS" 0
  else
    fail "dismissing the note after $1 did not end the panel"
  fi
}

# find_runner [PARENT]: the runner that the panel (or PARENT) started, once
# its window shows; sets RUNNER and RUNNER_WINDOW, or fails.
find_runner() {
  RUNNER_WINDOW=$(timeout 15 xdotool search --sync --onlyvisible --classname '^PellavinRun$' 2>/dev/null | head -n 1)
  [ -n "$RUNNER_WINDOW" ] || { fail "no runner showed"; return 1; }
  RUNNER=$(xdotool getwindowpid "$RUNNER_WINDOW")
  e2e_pids="$e2e_pids $RUNNER"
  expect "the runner's parent" "$(awk '{ print $4 }' "/proc/$RUNNER/stat")" "${1:-$PID}"
}

# Under a window manager, as on a desktop: the dialog opens whole with the
# focus, an empty Settings.dat appears, and the title bar's close box stores
# the defaults, shows the note, and ends the panel.
scenario_fresh_directory() {
  start_wm || return
  dir=$(app_dir fresh)
  open_panel "$dir" || return
  expect "an empty settings file appears" "$(bytes "$dir/Settings.dat")" ""
  expect "the dialog has the focus" "$(xdotool getwindowfocus)" "$DIALOG"
  expect_dialog_whole fresh
  close_box "$DIALOG"
  expect_note_then_end "the close box" "$defaults"
}

# "Save" stores exactly the edits and the dialog stays; "Close" stores again.
scenario_save() {
  dir=$(app_dir save)
  open_panel "$dir" || return
  press Check1
  press Option5
  press Command2
  saved="00 00 ff ff 00 00 1e 00 00 00 00 00"
  wait_until holds "$dir/Settings.dat" "$saved" || true
  expect "Save stores Autoplay off and 30 minutes" "$(bytes "$dir/Settings.dat")" "$saved"
  expect "Save says nothing" "$(showing Pellavin)" ""
  expect_dialog_whole save
  press Command1
  expect_note_then_end "Close" "$saved"
}

# "Preview" stores, then starts the runner over the whole screen; with
# Autoplay off the scene waits for the first arrow, which moves the bottom
# paddle; another key ends the runner, and the dialog is there again.
scenario_preview() {
  dir=$(app_dir preview)
  open_panel "$dir" || return
  press Check1
  press Command3
  find_runner || return
  expect "stored before the runner started" "$(bytes "$dir/Settings.dat")" "00 00 ff ff 00 00 0a 00 00 00 00 00"
  expect "the runner covers the screen" "$(geometry "$RUNNER_WINDOW")" "0 0 1920 1080"
  # The top paddle has steered onto the waiting ball; the bottom paddle sits
  # on the bottom edge.
  scene_waits() { [ "$(box "$1" 1920 1080 0 0)" = 192x1080+33+0 ]; }
  png=$(shot_when preview-waiting scene_waits)
  expect "nothing but the paddles and the ball" "$(box "$png" 1920 1080 0 0)" 192x1080+33+0
  expect "top paddle" "$(box "$png" 1920 17 0 0)" 145x17+33+0
  expect "ball" "$(box "$png" 1920 1046 0 17)" 17x17+104+224
  expect "bottom paddle" "$(box "$png" 1920 17 0 1063)" 145x17+80+1063
  key Right
  moved() { [ "$(box "$1" 1920 12 0 1068)" = 145x12+147+1068 ]; }
  png=$(shot_when preview-arrow moved)
  expect "an arrow moves the bottom paddle 1000 twips right" "$(box "$png" 1920 12 0 1068)" 145x12+147+1068
  key x
  wait_gone "$RUNNER" || fail "a key did not end the runner"
  expect "the panel is still running" "$(kill -0 "$PID" 2>/dev/null && echo yes)" yes
  expect_dialog_whole preview-after
  # With no window manager, nothing gives the focus back: the user clicks the dialog.
  xdotool windowfocus --sync "$DIALOG"
  press Command1
  expect_note_then_end "Close" "00 00 ff ff 00 00 0a 00 00 00 00 00"
}

# The two programs alone, as they have always come, with no watcher beside
# them: Save, Preview and Close store the record and show nothing but the
# closing note; the missing watcher is said once, on stderr.
scenario_two_programs_alone() {
  dir=$e2e_tmp/alone
  mkdir -p "$dir"
  cp "$E2E_BIN/Pellavin" "$E2E_BIN/PellavinRun" "$dir/"
  open_panel "$dir" || return
  press Check3
  press Command2
  stored="00 00 00 00 00 00 0a 00 01 00 00 00"
  wait_until holds "$dir/Settings.dat" "$stored" || true
  expect "Save stores" "$(bytes "$dir/Settings.dat")" "$stored"
  expect "Save shows nothing" "$(showing Pellavin)" ""
  # A box from Save would take these keys, and no runner would come.
  press Command3
  find_runner || return
  expect "Preview shows nothing" "$(showing Pellavin)" ""
  key x
  wait_gone "$RUNNER" || fail "a key did not end the runner"
  xdotool windowfocus --sync "$DIALOG"
  press Command1
  expect_note_then_end "Close" "$stored"
  expect "one line on stderr" "$(grep -c . "$artifacts/Pellavin.stderr")" 1
  expect "naming the watcher" "$(grep -c "$dir/PellavinIdle is not there" "$artifacts/Pellavin.stderr")" 1
}

# In a directory the user may not write, the panel says why it cannot keep
# the settings and still opens with the defaults; "Save" says so and keeps
# the dialog; closing asks whether to close anyway. What each message says
# is checked on real widgets by panel_qt_tests.
scenario_unwritable_directory() {
  dir=$(app_dir readonly)
  chmod 555 "$dir"
  start "$dir/Pellavin" unprivileged
  focus=Option1
  expect_message "a message before the dialog"
  expect "the dialog waits for it" "$(showing "$dialog_title")" ""
  shot readonly-load >/dev/null
  key Return
  DIALOG=$(window_of "$PID" "$dialog_title")
  [ -n "$DIALOG" ] || { fail "no dialog after the message"; return; }
  expect_dialog_whole readonly-dialog
  press Command2
  expect_message "Save says it could not store"
  shot readonly-save >/dev/null
  key Return
  # With no window manager, nothing gives the focus back: the user clicks the dialog.
  xdotool windowfocus --sync "$DIALOG"
  expect "the dialog stays after Save" "$(shows "$DIALOG" && echo yes)" yes
  expect "nothing was stored" "$(bytes "$dir/Settings.dat")" missing
  press Command1
  expect_message "Close asks whether to close anyway"
  shot readonly-close >/dev/null
  key Return  # Yes, the box's default button
  wait_until hidden "$MESSAGE" || true
  expect_note_then_end "closing anyway" missing
}

# A directory name that a shell would split and run commands from.
scenario_awkward_directory_name() {
  dir=$(app_dir "a dir; with spaces;")
  open_panel "$dir" || return
  press Check3
  press Command3
  find_runner || return
  expect "the runner is the one beside the panel" "$(readlink "/proc/$RUNNER/exe")" "$dir/PellavinRun"
  expect "Preview stored Enable Random Colors there" "$(bytes "$dir/Settings.dat")" "00 00 00 00 00 00 0a 00 01 00 00 00"
  key x
  wait_gone "$RUNNER" || fail "a key did not end the runner"
  xdotool windowfocus --sync "$DIALOG"
  press Command1
  expect_note_then_end "Close" "00 00 00 00 00 00 0a 00 01 00 00 00"
}

# Under a window manager the runner takes the keyboard when it appears: the
# first key, sent to whatever has the focus as soon as the runner's window
# is on the screen, ends it; the dialog then has the focus again.
scenario_window_manager_focus() {
  start_wm || return
  dir=$(app_dir focus)
  open_panel "$dir" || return
  expect "the dialog has the focus" "$(xdotool getwindowfocus)" "$DIALOG"
  # "Preview" by a click on its middle: 1927.5 x 2947.5 twips into the dialog,
  # which is 4395 twips wide.
  width=$(geometry "$DIALOG" | cut -d' ' -f3)
  xdotool mousemove --window "$DIALOG" $((19275 * width / 43950)) $((29475 * width / 43950)) click 1
  find_runner || return
  key x
  wait_gone "$RUNNER" || fail "the first key did not reach the runner"
  wait_until has_focus "$DIALOG" || true
  expect "the dialog has the focus again" "$(xdotool getwindowfocus)" "$DIALOG"
  close_box "$DIALOG"
  expect_note_then_end "the close box" "$defaults"
}

# The panel killed at any moment while "Save" is pressed again and again,
# with "Enable Random Colors" toggled between presses, leaves the whole
# record of one store or the other, never a mix. (settings_robustness_tests
# kills a tight loop of stores far more often; this is the real program.)
scenario_killed_while_saving() {
  changed() { ! holds "$@"; }
  dir=$(app_dir kill)
  random_off=$defaults
  random_on="00 00 00 00 00 00 0a 00 01 00 00 00"
  mixed=
  for round in 1 2 3 4 5 6; do
    open_panel "$dir" || return
    # After the open: in a fresh directory the panel's load makes an empty
    # file, which is not yet a store.
    before=$(bytes "$dir/Settings.dat")
    press Check3
    # From the box: five Tabs to "Save", Space, five back, Space; again and
    # again, until the panel is gone. A slow machine may take the first keys
    # before the dialog has the focus, so the typist goes on in rounds, each
    # left to finish, so that no key stays held down.
    stop=$e2e_tmp/stop-typing
    rm -f "$stop"
    while [ ! -e "$stop" ]; do
      xdotool key --delay 0 --repeat 20 Tab Tab Tab Tab Tab space \
        shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab space
    done &
    typist=$!
    wait_until changed "$dir/Settings.dat" "$before" || { : >"$stop"; wait "$typist"; fail "round $round: no store landed"; return; }
    sleep "0.$(printf %03d $(($(od -An -N2 -tu2 /dev/urandom) % 700)))"
    kill -KILL "$PID"
    wait "$PID" || true
    : >"$stop"
    wait "$typist" || true
    after=$(bytes "$dir/Settings.dat")
    [ "$after" = "$random_off" ] || [ "$after" = "$random_on" ] || mixed="$mixed round $round: $after;"
  done
  expect "every kill left one whole record" "$mixed" ""
}

# Installed by root where only root may write, and used from its link in
# bin/ by an ordinary user with a fresh home: the panel opens without a
# word, Save keeps the user's own settings, by which the watcher and the
# runner play, and "Enable Screensaver" puts the watcher into the session
# and takes it out again. Nothing is ever written into the installation.
scenario_installed_for_a_user() {
  [ "$(id -u)" -eq 0 ] || skip "an installation only root may write needs root"
  start_wm || return
  prefix=$e2e_tmp/usr
  (umask 022 && cmake --install "$E2E_BIN/.." --prefix "$prefix" >/dev/null) || { fail "the install failed"; return; }
  programs=$prefix/lib/pellavin
  home=$e2e_tmp/home
  config=$home/.config
  own=$config/pellavin/Settings.dat
  entry=$config/autostart/pellavin-idle.desktop
  mkdir -m 700 "$home"
  chown nobody:nogroup "$home" "$XDG_RUNTIME_DIR"
  touch "$e2e_tmp/installed"
  # The user's session as a login gives it; the watcher's minute is a second.
  $unprivileged env HOME="$home" XDG_CONFIG_HOME="$config" PELLAVIN_IDLE_MINUTE_MS=1000 "$prefix/bin/Pellavin" \
    2>"$artifacts/Pellavin.stderr" &
  PID=$!
  e2e_pids="$e2e_pids $PID"
  focus=Option1
  DIALOG=$(window_of "$PID" "$dialog_title")
  [ -n "$DIALOG" ] || { fail "the dialog did not show: $(cat "$artifacts/Pellavin.stderr")"; return; }
  expect "no message with the dialog" "$(showing Pellavin)" ""
  watchers() { running "$programs/PellavinIdle"; }
  watching() { [ "$(watchers | wc -l)" -eq "$1" ]; }

  # Autoplay off, a custom delay of 3 minutes, saved twice: one watcher.
  press Check1
  press Option6
  xdotool key Tab ctrl+a type 3
  focus=Text1
  press Command2
  saved="00 00 ff ff 00 00 03 00 00 00 00 00"
  wait_until holds "$own" "$saved" || true
  expect "Save stores into the user's own file" "$(bytes "$own")" "$saved"
  expect "in a directory of their own" "$(stat -c '%U %a' "$config/pellavin")" "nobody 700"
  # The entry follows the record, a moment later.
  wait_until test -e "$entry" || true
  expect "the autostart entry is valid" "$(desktop-file-validate "$entry" 2>&1)" ""
  expect "and starts the installed watcher" "$(grep '^Exec=' "$entry")" "Exec=\"$programs/PellavinIdle\""
  wait_until watching 1 || fail "Save started no watcher"
  press Command2
  wait_until grep -q 'watching this session already' "$artifacts/Pellavin.stderr" || fail "no second watcher was tried"
  # The second has said so; it may still be on its way out.
  wait_until watching 1 || true
  expect "one watcher for the session" "$(watchers | wc -l)" 1
  watcher=$(watchers)
  expect "it is the user's" "$(stat -c %U "/proc/$watcher")" nobody
  expect "with the session's environment, not what the panel set for itself" \
    "$(tr '\0' '\n' <"/proc/$watcher/environ" | grep -c '^QT_XCB_NO_MITSHM=')" 0

  # Left alone for the delay, the watcher starts the game, which waits for an arrow.
  find_runner "$watcher" || return
  expect "the watcher started the installed runner" "$(readlink "/proc/$RUNNER/exe")" "$programs/PellavinRun"
  scene_waits() { [ "$(box "$1" 1920 1080 0 0)" = 192x1080+33+0 ]; }
  png=$(shot_when installed-game scene_waits)
  expect "the game plays the user's Autoplay off" "$(box "$png" 1920 1080 0 0)" 192x1080+33+0
  key x
  wait_gone "$RUNNER" || fail "a key did not end the game"

  # "Enable Screensaver" off: the entry goes, and the watcher ends by itself.
  xdotool windowfocus --sync "$DIALOG"
  press Check4
  press Command2
  wait_until watching 0 || fail "the watcher went on with Enable Screensaver off"
  expect "the entry is gone" "$(bytes "$entry")" missing
  expect "Enable Screensaver off is stored" "$(bytes "$own")" "00 00 ff ff 00 00 03 00 00 00 01 00"
  press Command1
  dir=$config/pellavin
  expect_note_then_end "Close" "00 00 ff ff 00 00 03 00 00 00 01 00"
  expect "nothing written into the installation" "$(find "$prefix" -newer "$e2e_tmp/installed")" ""
}

run_scenario "$1"
