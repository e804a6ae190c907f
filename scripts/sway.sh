# The one way the scripts and tests get a Wayland session: a private sway,
# headless, drawing in software, with one 1920x1080 output on a white
# background (what a window fails to cover shows). sway refuses to
# run as root, so as root it runs as nobody, and so do its clients, in a
# runtime directory of their own.
#
# Sourced:  start_sway [SCALE] starts it (the output at that scale, 1 by
#           default), sets WAYLAND_DISPLAY, XDG_RUNTIME_DIR, SWAYSOCK and
#           SWAY_PID, or fails when no compositor can run;
#           as_wayland_user COMMAND... runs a command in that session as
#           the compositor's user, spawn_as_wayland_user in the background;
#           stop_sway ends it.

sway_user() {
  if [ "$(id -u)" -eq 0 ]; then echo nobody; else id -un; fi
}

# The session's own variables only once they are known: sway takes an empty
# SWAYSOCK for a path.
as_wayland_user() {
  _as_wayland_user "" "$@"
}

# spawn_as_wayland_user COMMAND...: the same in the background; SPAWNED is
# the command's own process id.
spawn_as_wayland_user() {
  (_as_wayland_user exec "$@") &
  SPAWNED=$!
}

_as_wayland_user() {
  _exec=$1
  shift
  set -- ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY=$WAYLAND_DISPLAY} ${SWAYSOCK:+SWAYSOCK=$SWAYSOCK} "$@"
  if [ "$(id -u)" -eq 0 ]; then
    $_exec setpriv --reuid=nobody --regid=nogroup --clear-groups -- \
      env -u WAYLAND_DISPLAY -u SWAYSOCK HOME="$XDG_RUNTIME_DIR" XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" "$@"
  else
    $_exec env -u WAYLAND_DISPLAY -u SWAYSOCK "$@"
  fi
}

start_sway() {
  command -v sway >/dev/null 2>&1 || return 1
  _sway_dir=$(mktemp -d) || return 1
  chmod 700 "$_sway_dir"
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$_sway_dir"
  cat >"$_sway_dir/config" <<CONFIG
output HEADLESS-1 mode 1920x1080 position 0 0 scale ${1:-1}
default_border none
output * bg #FFFFFF solid_color
default_floating_border none
focus_follows_mouse no
CONFIG
  chmod 644 "$_sway_dir/config"
  XDG_RUNTIME_DIR=$_sway_dir
  WAYLAND_DISPLAY=
  SWAYSOCK=
  export XDG_RUNTIME_DIR
  WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    spawn_as_wayland_user sway -c "$_sway_dir/config" >"$_sway_dir/sway.log" 2>&1
  SWAY_PID=$SPAWNED
  _tries=0
  while :; do
    WAYLAND_DISPLAY=$(cd "$_sway_dir" && ls wayland-[0-9] 2>/dev/null | head -n 1)
    SWAYSOCK=$(ls "$_sway_dir"/sway-ipc.*.sock 2>/dev/null | head -n 1)
    if [ -n "$WAYLAND_DISPLAY" ] && [ -n "$SWAYSOCK" ] && as_wayland_user swaymsg -t get_outputs >/dev/null 2>&1; then
      export WAYLAND_DISPLAY SWAYSOCK
      return 0
    fi
    _tries=$((_tries + 1))
    if [ "$_tries" -gt 100 ] || ! kill -0 "$SWAY_PID" 2>/dev/null; then
      stop_sway
      return 1
    fi
    sleep 0.1
  done
}

stop_sway() {
  if [ -n "${SWAY_PID:-}" ]; then
    kill "$SWAY_PID" 2>/dev/null || true
    wait "$SWAY_PID" 2>/dev/null || true
    SWAY_PID=
  fi
  if [ -n "${_sway_dir:-}" ]; then
    rm -rf "$_sway_dir"
    _sway_dir=
  fi
  unset WAYLAND_DISPLAY SWAYSOCK
}
