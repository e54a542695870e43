#!/usr/bin/env bash
# Starts or stops a private PipeWire with pipewire-pulse for tests and for a look at the program,
# in a private runtime folder with its own session bus, with the devices of
# scripts/test-devices.sh. Works as root. The same interface as scripts/pulse-private.sh:
#   eval "$(scripts/pipewire-private.sh start DIR)"   # prints the exports for PULSE_SERVER etc.
#   scripts/pipewire-private.sh stop DIR
set -euo pipefail
cmd=${1:?start|stop}
dir=${2:?runtime folder}
here=$(cd "$(dirname "$0")" && pwd)
socket="$dir/runtime/pulse/native"

# Runs a daemon in the background with the private environment; its pid goes to DIR/NAME.pid.
daemon() { # name, command...
  local name=$1; shift
  env XDG_RUNTIME_DIR="$dir/runtime" HOME="$dir/home" XDG_CONFIG_HOME="$dir/home/.config" \
    DBUS_SESSION_BUS_ADDRESS="$bus" PIPEWIRE_RUNTIME_DIR="$dir/runtime" \
    "$@" </dev/null >"$dir/$name.log" 2>&1 &
  echo $! >"$dir/$name.pid"
}

wait_for() { # seconds, command...
  local tries=$(($1 * 10)); shift
  for _ in $(seq 1 "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

stop_all() {
  PULSE_SERVER="unix:$socket" "$here/test-devices.sh" stop "$dir" 2>/dev/null || true
  for name in pipewire-pulse wireplumber pipewire dbus; do
    if [ -f "$dir/$name.pid" ]; then
      kill "$(cat "$dir/$name.pid")" 2>/dev/null || true
      rm -f "$dir/$name.pid"
    fi
  done
}

case "$cmd" in
  start)
    mkdir -p "$dir/runtime" "$dir/home/.config"
    chmod 700 "$dir/runtime"
    # The session bus: its address on the first line, its pid on the second.
    out=$(env XDG_RUNTIME_DIR="$dir/runtime" dbus-daemon --session --fork --print-address=1 --print-pid=1)
    bus=$(echo "$out" | sed -n 1p)
    echo "$out" | sed -n 2p >"$dir/dbus.pid"
    daemon pipewire pipewire
    if ! wait_for 10 test -S "$dir/runtime/pipewire-0"; then
      echo "PipeWire did not start; see $dir/pipewire.log" >&2
      stop_all
      exit 1
    fi
    daemon wireplumber wireplumber
    daemon pipewire-pulse pipewire-pulse
    if ! wait_for 10 env PULSE_SERVER="unix:$socket" pactl info; then
      echo "pipewire-pulse did not answer; see $dir/pipewire-pulse.log" >&2
      stop_all
      exit 1
    fi
    # WirePlumber's session starts after the server answers; the null sinks are only routed
    # once it runs (until then it offers its own "auto_null").
    wait_for 10 env PULSE_SERVER="unix:$socket" sh -c 'pactl list short sinks | grep -q .' || true
    if ! PULSE_SERVER="unix:$socket" "$here/test-devices.sh" start "$dir"; then
      stop_all
      exit 1
    fi
    echo "export PULSE_SERVER=unix:$socket"
    ;;
  stop)
    stop_all
    ;;
esac
