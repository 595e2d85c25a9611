#!/usr/bin/env bash
# Installs what is missing, builds, starts the demo server with its demo data and the
# calling client against it. The server stops when the client ends; its log is run/server.log.
# Without a display the client runs on a virtual X server (Xvfb :99); take a look with
#   DISPLAY=:99 import -window root /tmp/zelk.png
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
bin="$PWD/build/bin"
run_dir="$PWD/run"
mkdir -p "$run_dir/registry"
# The demo keeps its settings apart from a real installation's.
export ZELK_REGISTRY_DIR="${ZELK_REGISTRY_DIR:-$run_dir/registry}"
port="${ZELK_DEMO_PORT:-4400}"

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT INT TERM

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  Xvfb :99 -screen 0 1920x1080x24 >/dev/null 2>&1 &
  pids+=($!)
  export DISPLAY=:99
  sleep 1
  echo "No display: the client runs on Xvfb $DISPLAY."
fi

if [[ -x "$bin/zelk-server" ]]; then
  # Demo control: socat - UNIX-CONNECT:run/zelk-server.ctl, then e.g. "call 3" or "help".
  "$bin/zelk-server" --port "$port" --state "$run_dir/server-state.json" --no-stdin \
    --control "$run_dir/zelk-server.ctl" 2>"$run_dir/server.log" &
  pids+=($!)
  sleep 0.5
fi

# The client has a working folder of its own: its settings key, background pictures and
# the check for its hook library all go by that folder.
client_dir="$run_dir/client"
mkdir -p "$client_dir"
ln -sf "$bin/libKV_HookKeyboard.so" "$client_dir/libKV_HookKeyboard.so"
cd "$client_dir"
"$bin/ZELK_WCallClient" SERVERNAME=127.0.0.1 SERVERPORT="$port" "$@"
