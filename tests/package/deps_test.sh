#!/bin/sh
# What `make run` and `make test` install on a fresh Debian 12 (debootstrap's
# minbase, in a root of the test's own): the first only what building and
# running need, well under half of what the tests add. Skips without root or
# without a reachable Debian mirror.
set -eu
here=$(dirname "$0")
[ "$(id -u)" -eq 0 ] && command -v debootstrap >/dev/null 2>&1 || { echo "SKIP: debootstrap needs root"; exit 77; }
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >"$root.log" 2>&1 ||
  { echo "SKIP: no Debian mirror answers: $(tail -n 1 "$root.log")"; rm -f "$root.log"; exit 77; }
rm -f "$root.log"
cp /etc/resolv.conf "$root/etc/"
chroot "$root" apt-get update -q >/dev/null
run=$(sh "$here/../../scripts/install-deps" --count "$root")
all=$(sh "$here/../../scripts/install-deps" --test --count "$root")
run_count=${run%% *}
all_count=${all%% *}
echo "make run installs $run_count packages, make test $all_count"
[ "$run_count" -gt 0 ] || { echo "FAIL: apt-get would install nothing: $run"; exit 1; }
[ $((run_count * 2)) -lt "$all_count" ] || { echo "FAIL: make run installs $run_count of $all_count: $run"; exit 1; }
