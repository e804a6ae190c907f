#!/bin/sh
# Installs the build into a fresh prefix and checks what a desktop sees: the
# programs side by side in lib/pellavin, links to them in bin, a valid menu
# entry and the icon; then starts the runner through its link and checks
# that it keeps its settings beside the real program.
# Usage: install_test.sh BUILD_DIR PROGRAM...
set -eu

build=$1
shift
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
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

entry=$prefix/share/applications/pellavin.desktop
complaints=$(desktop-file-validate "$entry" 2>&1) || fail "invalid menu entry: $complaints"
[ -z "$complaints" ] || fail "menu entry: $complaints"
grep -qx 'Name=Pellavin' "$entry" || fail "the menu entry is not named Pellavin"
grep -qx "Exec=\"$programs/Pellavin\"" "$entry" || fail "the menu entry does not start $programs/Pellavin"
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/pellavin.svg" || fail "no icon"

# Started from elsewhere through its link, the runner creates its settings
# file beside the real program.
runtime_dir=$prefix/runtime
mkdir -m 700 "$runtime_dir"
cd "$prefix"
QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$runtime_dir "$prefix/bin/PellavinRun" 2>"$prefix/errors" &
runner=$!
tries=0
until [ -e "$programs/Settings.dat" ]; do
  kill -0 "$runner" 2>/dev/null || fail "the runner ended by itself: $(cat "$prefix/errors")"
  tries=$((tries + 1))
  [ "$tries" -le 600 ] || fail "no Settings.dat in lib/pellavin after a minute"
  sleep 0.1
done
kill -TERM "$runner"
status=0
wait "$runner" || status=$?
[ "$status" -eq 143 ] || fail "the runner ended with status $status instead of by SIGTERM"
[ ! -s "$programs/Settings.dat" ] || fail "the new Settings.dat is not empty"
[ ! -e "$prefix/bin/Settings.dat" ] && [ ! -e "$prefix/Settings.dat" ] || fail "Settings.dat made beside the link"
# Qt's offscreen platform has its own say on stderr; only ours matters here.
! grep -q 'default settings' "$prefix/errors" || fail "the runner complained: $(cat "$prefix/errors")"
