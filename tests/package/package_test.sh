#!/bin/sh
# Builds the Debian package as `make package` does and checks it as a
# distribution would: lintian finds no error and no warning, nor hardening
# missing; it holds the
# files of packaging/contents.txt and no others; its menu entry names the
# installed panel; apt-get would install it on this machine; and dpkg
# installs it into an empty root and removes it leaving nothing behind.
# Usage: package_test.sh BUILD_DIR CONTENTS_FILE
set -eu

build=$1
contents=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "package test: $*" >&2
  exit 1
}
for tool in cpack lintian dpkg-deb dpkg-shlibdeps apt-get; do
  command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing (scripts/install-deps installs it)"
done

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  fail "cpack failed: $(cat "$work/cpack.log")"
deb=$(ls "$work"/out/*.deb)
echo "built $(basename "$deb")"

lintian -I "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -q '^[EW]:' "$work/lintian.log" || fail "lintian reports errors or warnings"
# Built as the distribution builds: its hardening, nothing less.
! grep -q 'hardening-no-' "$work/lintian.log" || fail "the programs are built without the distribution's hardening"

dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ *\./, ""); print }' | sort >"$work/have"
grep -v '^#' "$contents" | sort >"$work/want"
diff -u "$work/want" "$work/have" >"$work/diff" || fail "the package's files differ from $contents: $(cat "$work/diff")"

dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/pellavin.desktop >"$work/entry"
grep -qx 'Exec="/usr/lib/pellavin/Pellavin"' "$work/entry" || fail "the menu entry starts: $(grep Exec "$work/entry")"

apt-get -s -o Debug::NoLocking=1 install "$deb" >"$work/apt.log" 2>&1 ||
  fail "apt-get cannot install it: $(cat "$work/apt.log")"

# An empty root of dpkg's own: its dependencies are not there, nor wanted.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
: >"$root/var/lib/dpkg/status"
dpkg="dpkg --root=$root --force-not-root --force-depends --force-script-chrootless"
$dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || fail "dpkg -i failed: $(cat "$work/dpkg.log")"
[ -x "$root/usr/lib/pellavin/Pellavin" ] || fail "dpkg -i installed no panel"
$dpkg -r pellavin >"$work/dpkg.log" 2>&1 || fail "dpkg -r failed: $(cat "$work/dpkg.log")"
left=$(find "$root" -path "$root/var" -prune -o ! -path "$root" -print)
[ -z "$left" ] || fail "dpkg -r left: $left"
echo "package test: passed"
