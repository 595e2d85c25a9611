#!/usr/bin/env bash
# Resident memory of the idle client, its call list drawn, under Xvfb, for each choice of the
# drum device: the automatic choice, the Software device and the OpenGL (Hardware) device.
# Usage: scripts/measure-memory.sh [build dir]    (needs ZELK_WCallClient and zelk-server built)
# Prints one line per device: its name, the resident size in MB, and whether a GL driver is
# mapped into the client.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/xsession.sh
bin="$(realpath "${1:-build}")/bin"
idle_seconds="${ZELK_MEASURE_IDLE:-3}"
work="$(mktemp -d)"
trap 'zelk_stop_all; rm -rf "$work"' EXIT

zelk_start_xvfb
zelk_start_server "$bin/zelk-server"

measure() { # $1: label, $2: ZELK_RENDERER value
  local dir="$work/$1"
  mkdir -p "$dir/client" "$dir/registry" "$dir/runtime"
  chmod 700 "$dir/runtime"
  ln -sf "$bin/libKV_HookKeyboard.so" "$dir/client/libKV_HookKeyboard.so"
  zelk_write_machine_settings "$dir/registry" "$dir/client" "$zelk_server_port"
  (cd "$dir/client" && exec env ZELK_RENDERER="$2" ZELK_REGISTRY_DIR="$dir/registry" \
      XDG_RUNTIME_DIR="$dir/runtime" XDG_DATA_HOME="$dir" XDG_SESSION_ID="measure-$1" \
      QT_QPA_PLATFORM=xcb "$bin/ZELK_WCallClient" >"$dir/client.log" 2>&1) &
  local pid=$!
  if ! zelk_wait_for_call_list "$dir/client.log" 30; then
    echo "$1: no call list drawn" >&2
    cat "$dir/client.log" >&2
    kill "$pid"; return 1
  fi
  sleep "$idle_seconds"
  local device
  device="$(grep -o 'Device: [A-Za-z]*' "$dir/client.log" | tail -1 || true)"
  printf '%-10s %6s MB  GL driver loaded: %s\n' "$1" "$(zelk_rss_mb "$pid")" "$(zelk_gl_driver_loaded "$pid")"
  kill "$pid"; wait "$pid" 2>/dev/null || true
}

echo "Idle client under Xvfb, call list drawn, after ${idle_seconds} s (resident set):"
measure automatic ""
measure software software
measure hardware hardware
