#!/bin/sh
# Every scenario of the idle watcher, each waiting real minutes, side by
# side: left alone (idle.sh), among the lockers and players of a session
# (lockers.sh), in a whole GNOME session (gnome_desktop.sh) and in KDE
# Plasma (plasma_desktop.sh). They spend most of their time waiting for
# minutes to pass; the whole desktops start one at a time
# (scripts/desktops.sh). E2E_IDLE_SCRIPTS names fewer.
set -eu
here=$(dirname "$0")
. "$here/idle_harness.sh"

script() { E2E_ARTIFACTS=${E2E_ARTIFACTS:+$E2E_ARTIFACTS/$1} sh "$here/$1.sh" all; }
# shellcheck disable=SC2086
side_by_side script ${E2E_IDLE_SCRIPTS:-idle lockers gnome_desktop plasma_desktop}
