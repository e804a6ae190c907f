# The Wayland sessions of `bench/run`, sourced after scripts/sway.sh: two
# headless westons, at 1920x1080 and at 3840x2160 with scale 2, as the
# bench's own user, and one headless sway, as sway.sh runs it, switched
# between the same two outputs before each run.
#
#   start_wayland_sessions   starts what can start; wayland_sessions names
#                            them (weston-1080 weston-4k sway-1080 sway-4k)
#   wayland_probe SESSION NAME PROGRAM [locked]
#                            one run of the probe on that session, its
#                            figures in the results as "SESSION:NAME ...";
#                            "locked" (sway): swaylock comes over the
#                            program a second after it starts, and the
#                            window is measured from the third second on
#   stop_wayland_sessions
#
# Uses probe()'s $bin, $work, $results, $settle and $wl_window.

wayland_sessions=
weston_pids=

# start_weston NAME WIDTH HEIGHT SCALE: the output's size in logical pixels
# (weston's headless output has WIDTH x SCALE device pixels across).
start_weston() {
  command -v weston >/dev/null 2>&1 || return 1
  weston --backend=headless-backend.so --use-pixman --width="$2" --height="$3" --scale="$4" \
    --socket="bench-$1" --idle-time=0 >"$work/$1.log" 2>&1 &
  eval "weston_pid_$(echo "$1" | tr - _)=$!"
  weston_pids="$weston_pids $!"
  tries=0
  until [ -S "$XDG_RUNTIME_DIR/bench-$1" ]; do
    tries=$((tries + 1))
    [ "$tries" -le 100 ] || return 1
    sleep 0.1
  done
  wayland_sessions="$wayland_sessions $1"
}

start_wayland_sessions() {
  start_weston weston-1080 1920 1080 1 || echo "bench: weston did not start; it is left out" >&2
  start_weston weston-4k 1920 1080 2 || echo "bench: weston at 3840x2160 did not start; it is left out" >&2
  weston_runtime=$XDG_RUNTIME_DIR
  if start_sway; then
    sway_runtime=$XDG_RUNTIME_DIR sway_display=$WAYLAND_DISPLAY sway_socket=$SWAYSOCK
    wayland_sessions="$wayland_sessions sway-1080 sway-4k"
  else
    echo "bench: sway did not start; it is left out" >&2
  fi
  # The X11 runs see no Wayland session.
  unset WAYLAND_DISPLAY SWAYSOCK
  XDG_RUNTIME_DIR=$weston_runtime
}

# in_sway COMMAND...: as sway's user, in its session.
in_sway() {
  (
    XDG_RUNTIME_DIR=$sway_runtime WAYLAND_DISPLAY=$sway_display SWAYSOCK=$sway_socket
    export XDG_RUNTIME_DIR WAYLAND_DISPLAY SWAYSOCK
    as_wayland_user "$@"
  )
}

wayland_probe() {
  session=$1 name=$2 program=$3 locked=${4:-}
  wl_settle=$settle
  [ -z "$locked" ] || wl_settle=3
  set -- "$bin/bench_probe" --no-screen --settle "$wl_settle" --window "$wl_window"
  case $session in
    weston-*)
      eval "server=\$weston_pid_$(echo "$session" | tr - _)"
      env -u DISPLAY WAYLAND_DISPLAY="bench-$session" QT_QPA_PLATFORM=wayland \
        "$@" --server-pid "$server" -- "$program" >"$work/out" 2>"$work/err"
      ;;
    sway-*)
      case $session in
        sway-1080) in_sway swaymsg output HEADLESS-1 mode 1920x1080 scale 1 ;;
        sway-4k) in_sway swaymsg output HEADLESS-1 mode 3840x2160 scale 2 ;;
      esac >/dev/null
      in_sway env -u DISPLAY QT_QPA_PLATFORM=wayland \
        "$@" --server-pid "$SWAY_PID" -- "$program" >"$work/out" 2>"$work/err" &
      measured=$!
      [ -z "$locked" ] || lock_sway
      wait "$measured"
      ;;
  esac && status=0 || status=$?
  [ -z "$locked" ] || kill "$locker" 2>/dev/null || true
  if [ "$status" -eq 0 ]; then
    sed "s/^/$session:$name /" "$work/out" >>"$results"
  else
    echo "bench: a run of $name on $session failed: $(cat "$work/err")" >&2
    echo "$session:$name failed 1" >>"$results"
  fi
}

# lock_sway: swaylock over sway's outputs a second from now, as sway's user;
# its pid in locker.
lock_sway() {
  sleep 1
  locker=$(
    XDG_RUNTIME_DIR=$sway_runtime WAYLAND_DISPLAY=$sway_display SWAYSOCK=$sway_socket
    spawn_as_wayland_user swaylock -u -c 000000 >/dev/null 2>&1
    echo "$SPAWNED"
  )
}

stop_wayland_sessions() {
  for pid in $weston_pids; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  weston_pids=
  stop_sway
}
