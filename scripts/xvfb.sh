# The one way the scripts and tests get an X server: a private Xvfb at
# 1920x1080 on a display number it picks itself (-displayfd), so that runs
# side by side never collide. -noreset keeps it up between clients.
#
# Sourced:  start_xvfb [XVFB ARGUMENT...] sets DISPLAY and XVFB_PID, or
#           fails when no server can be started; stop_xvfb ends it.
# Run:      sh scripts/xvfb.sh COMMAND... runs COMMAND on a server of its
#           own and exits with its status, or with 77 (a skip to CTest)
#           when no server can be started.

start_xvfb() {
  command -v Xvfb >/dev/null 2>&1 || return 1
  _xvfb_fifo=$(mktemp -u) && mkfifo "$_xvfb_fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset "$@" 3>"$_xvfb_fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  read -r _xvfb_display <"$_xvfb_fifo" || _xvfb_display=
  rm -f "$_xvfb_fifo"
  if [ -z "$_xvfb_display" ]; then
    wait "$XVFB_PID" 2>/dev/null || true
    return 1
  fi
  DISPLAY=":$_xvfb_display"
  export DISPLAY
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=
}

case $0 in
*xvfb.sh)
  set -eu
  [ $# -gt 0 ] || { echo "usage: sh $0 COMMAND..." >&2; exit 2; }
  start_xvfb || { echo "SKIP: no X server can run here (Xvfb did not start)"; exit 77; }
  trap stop_xvfb EXIT
  status=0
  "$@" || status=$?
  exit "$status"
  ;;
esac
