#!/bin/sh
# Installs the build into a fresh prefix and checks what a desktop sees: the
# programs side by side in lib/pellavin, links to them in bin, a valid menu
# entry, the icon and the panel's AppStream description, and nothing that
# starts by itself; then starts the panel through its link, on the X server
# of DISPLAY, and checks that its Preview starts the installed runner and
# that both keep their settings beside the real programs; and that the
# watcher, started through its link, starts that runner too.
# Usage: install_test.sh BUILD_DIR PROGRAM...
set -eu

build=$1
shift
prefix=$(mktemp -d)
started=
trap 'for pid in $started; do kill -9 "$pid" 2>/dev/null || true; done; rm -rf "$prefix"' EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null
programs=$prefix/lib/pellavin

for program in "$@"; do
  [ -f "$programs/$program" ] && [ -x "$programs/$program" ] || fail "no $program in lib/pellavin"
  [ "$(readlink "$prefix/bin/$program")" = "../lib/pellavin/$program" ] || fail "bin/$program is no link to it"
done

# The game shows a run-time error's box with the helper beside it.
[ -x "$programs/PellavinMessageBox" ] && [ ! -e "$prefix/bin/PellavinMessageBox" ] ||
  fail "no PellavinMessageBox beside the programs, or a link to it in bin"

entry=$prefix/share/applications/pellavin.desktop
complaints=$(desktop-file-validate "$entry" 2>&1) || fail "invalid menu entry: $complaints"
[ -z "$complaints" ] || fail "menu entry: $complaints"
grep -qx 'Name=Pellavin' "$entry" || fail "the menu entry is not named Pellavin"
grep -qx "Exec=\"$programs/Pellavin\"" "$entry" || fail "the menu entry does not start $programs/Pellavin"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/pellavin.svg" || fail "no icon"

metainfo=$prefix/share/metainfo/pellavin.metainfo.xml
complaints=$(appstreamcli validate --no-net --pedantic "$metainfo" 2>&1) || fail "invalid AppStream file: $complaints"
! echo "$complaints" | grep -q '^[EWIP]:' || fail "AppStream file: $complaints"
grep -q '<launchable type="desktop-id">pellavin.desktop</launchable>' "$metainfo" || fail "the AppStream file names no menu entry"

[ -z "$(find "$prefix" -path '*autostart*')" ] || fail "an autostart entry was installed: $(find "$prefix" -path '*autostart*')"

# Started from elsewhere through its link, the panel makes its settings file
# beside the real program, and "Preview" (the twelfth stop in the dialog's
# tab order) starts the runner that stands there.
runtime_dir=$prefix/runtime
mkdir -m 700 "$runtime_dir"
cd "$prefix"
XDG_RUNTIME_DIR=$runtime_dir XDG_CONFIG_HOME=$prefix/config "$prefix/bin/Pellavin" 2>"$prefix/errors" &
panel=$!
started=$panel
dialog=$(timeout 60 xdotool search --sync --onlyvisible --pid "$panel" | head -n 1)
[ -n "$dialog" ] || fail "the installed panel showed no dialog: $(cat "$prefix/errors")"
[ -f "$programs/Settings.dat" ] && [ ! -s "$programs/Settings.dat" ] || fail "no empty Settings.dat in lib/pellavin"
xdotool key Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
window=$(timeout 60 xdotool search --sync --onlyvisible --classname '^PellavinRun$' | head -n 1)
[ -n "$window" ] || fail "Preview showed no runner: $(cat "$prefix/errors")"
runner=$(xdotool getwindowpid "$window")
started="$started $runner"
[ "$(readlink "/proc/$runner/exe")" = "$programs/PellavinRun" ] || fail "Preview started $(readlink "/proc/$runner/exe")"
[ "$(awk '{ print $4 }' "/proc/$runner/stat")" = "$panel" ] || fail "the runner was not started by the panel"

# A key ends the runner; "Enable Screensaver", the next stop, is cleared,
# so that the panel starts no watcher of its own; "Close", two stops on,
# stores and shows the note, and Enter dismisses it.
xdotool key x
tries=0
while [ -e "/proc/$runner" ]; do
  tries=$((tries + 1))
  [ "$tries" -le 600 ] || fail "a key did not end the runner"
  sleep 0.1
done
xdotool windowfocus --sync "$dialog" key Tab space Tab Tab space
tries=0
until xdotool search --all --onlyvisible --pid "$panel" --name '^Pellavin$' >/dev/null; do
  tries=$((tries + 1))
  [ "$tries" -le 600 ] || fail "Close showed no note"
  sleep 0.1
done
xdotool key Return
status=0
wait "$panel" || status=$?
[ "$status" -eq 0 ] || fail "the panel ended with status $status"
[ "$(od -An -tx1 "$programs/Settings.dat" | tr -d ' \n')" = 0000000000000a0000000100 ] ||
  fail "lib/pellavin/Settings.dat does not hold the defaults with Enable Screensaver off"
[ ! -e "$prefix/bin/Settings.dat" ] && [ ! -e "$prefix/Settings.dat" ] || fail "Settings.dat made beside the link"
! grep -q 'default settings' "$prefix/errors" || fail "the runner complained: $(cat "$prefix/errors")"

# The watcher, started through its link with a delay of one minute (made a
# tenth of a second by its test-only knob), starts the installed runner.
printf '\0\0\0\0\0\0\1\0\0\0\0\0' >"$programs/Settings.dat"
XDG_RUNTIME_DIR=$runtime_dir PELLAVIN_IDLE_MINUTE_MS=100 "$prefix/bin/PellavinIdle" 2>"$prefix/idle-errors" &
watcher=$!
started="$started $watcher"
window=$(timeout 60 xdotool search --sync --onlyvisible --classname '^PellavinRun$' | head -n 1)
[ -n "$window" ] || fail "the watcher started no runner: $(cat "$prefix/idle-errors")"
runner=$(xdotool getwindowpid "$window")
started="$started $runner"
[ "$(readlink "/proc/$runner/exe")" = "$programs/PellavinRun" ] || fail "the watcher started $(readlink "/proc/$runner/exe")"
[ "$(awk '{ print $4 }' "/proc/$runner/stat")" = "$watcher" ] || fail "the runner was not started by the watcher"
[ ! -e "$prefix/bin/Settings.dat" ] || fail "the watcher made Settings.dat beside its link"
