# Sourced by the benchmark and the end-to-end tests: a private X server on a
# display number it picks itself (-displayfd), so that runs side by side
# never collide. Extra arguments go to Xvfb.

# Sets DISPLAY and XVFB_PID; fails when no server can be started.
start_xvfb() {
  command -v Xvfb >/dev/null 2>&1 || return 1
  _xvfb_fifo=$(mktemp -u) && mkfifo "$_xvfb_fifo" || return 1
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp "$@" 3>"$_xvfb_fifo" >/dev/null 2>&1 &
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
