#!/bin/sh
# An upgrade as a user meets it: the package of this build at an older
# version, installed (into an empty root of dpkg's own), a user's settings
# and autostart entry, their watcher running; then this version installed
# over it. The user's files stay as they were, the watcher goes on watching
# (it still ends when the user switches the screensaver off), and `dpkg -r`
# takes away what the package put there and nothing of the user's.
# Usage: upgrade_test.sh BUILD_DIR, on an X server (scripts/xvfb.sh).
set -eu
build=$1
work=$(mktemp -d)
chmod 755 "$work"
watcher=
trap '[ -z "$watcher" ] || kill "$watcher" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
  echo "upgrade test: $*" >&2
  exit 1
}
[ "$(id -u)" -eq 0 ] || { echo "SKIP: the user's side needs another user"; exit 77; }

for version in 0.9 1.0; do
  cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/$version" -D CPACK_PACKAGE_VERSION=$version \
    >"$work/cpack.log" 2>&1 || fail "cpack failed: $(cat "$work/cpack.log")"
done
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
: >"$root/var/lib/dpkg/status"
dpkg="dpkg --root=$root --force-not-root --force-depends --force-script-chrootless"
$dpkg -i "$work"/0.9/*.deb >"$work/dpkg.log" 2>&1 || fail "installing 0.9 failed: $(cat "$work/dpkg.log")"

# The user's settings (the Time Delay, 7 minutes) and autostart entry, as
# their panel stores them, and their watcher.
home=$work/home
config=$home/.config
mkdir -p "$config/pellavin" "$config/autostart"
printf '\0\0\0\0\0\0\7\0\0\0\0\0' >"$config/pellavin/Settings.dat"
printf '[Desktop Entry]\nType=Application\nName=Pellavin idle watcher\nExec=%s\nHidden=false\n' \
  "$root/usr/lib/pellavin/PellavinIdle" >"$config/autostart/pellavin-idle.desktop"
mkdir -m 700 "$work/runtime"
chown -R nobody "$home" "$work/runtime"
before=$(cd "$home" && find . -type f -exec md5sum {} + | sort)
setpriv --reuid=nobody --regid=nogroup --clear-groups -- env HOME="$home" XDG_CONFIG_HOME="$config" \
  XDG_RUNTIME_DIR="$work/runtime" "$root/usr/lib/pellavin/PellavinIdle" 2>"$work/watcher.log" &
watcher=$!
watching() { ls -l "/proc/$watcher/fd" 2>/dev/null | grep -q inotify; }
tries=0
until watching; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || fail "the watcher did not start: $(cat "$work/watcher.log")"
  sleep 0.1
done

$dpkg -i "$work"/1.0/*.deb >"$work/dpkg.log" 2>&1 || fail "installing 1.0 over 0.9 failed: $(cat "$work/dpkg.log")"
version=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Version}' pellavin)
[ "$version" = 1.0 ] || fail "the version installed is $version"
[ "$(cd "$home" && find . -type f -exec md5sum {} + | sort)" = "$before" ] || fail "the user's files changed"
kill -0 "$watcher" 2>/dev/null || fail "the watcher ended at the upgrade: $(cat "$work/watcher.log")"
# Still watching: switched off, it ends by itself.
printf '\0\0\0\0\0\0\7\0\0\0\377\377' >"$config/pellavin/Settings.dat"
tries=0
while kill -0 "$watcher" 2>/dev/null; do
  tries=$((tries + 1))
  [ "$tries" -lt 100 ] || fail "the watcher no longer follows the settings"
  sleep 0.1
done
status=0
wait "$watcher" || status=$?
watcher=
[ "$status" -eq 0 ] || fail "the watcher ended with status $status: $(cat "$work/watcher.log")"

$dpkg -r pellavin >"$work/dpkg.log" 2>&1 || fail "dpkg -r failed: $(cat "$work/dpkg.log")"
left=$(find "$root" -path "$root/var" -prune -o ! -path "$root" -print)
[ -z "$left" ] || fail "dpkg -r left: $left"
[ -f "$config/pellavin/Settings.dat" ] && [ -f "$config/autostart/pellavin-idle.desktop" ] ||
  fail "dpkg -r took the user's files"
echo "upgrade test: 0.9 to 1.0 kept the user's files and watcher; dpkg -r left nothing of the package"
