#!/usr/bin/env bash
# The Windows side of the client, on Linux: builds the Qt-free Windows parts (the hook DLL,
# the Win32 stand-ins and their tests) with MinGW-w64, compile-checks the Windows files that
# use Qt, and runs the tests under Wine, the keyboard ones under Xvfb with xdotool as the
# pedal. One Wine prefix per run, in a temporary folder. Exits non-zero when anything fails.
#   scripts/test-windows.sh            (build folder: build-windows, or $ZELK_WINDOWS_BUILD_DIR)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)

scripts/install-deps.sh windows

build=${ZELK_WINDOWS_BUILD_DIR:-build-windows}
generator=()
command -v ninja > /dev/null && generator=(-G Ninja)
cmake -S tests/windows -B "$build" "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/MinGW-w64-x86_64.cmake" > /dev/null
cmake --build "$build"

scripts/check-windows-qt.sh

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  WINEPREFIX="$work/prefix" "$wineserver" -k 2> /dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2> /dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# An X server of our own: Wine creates no windows without one, and the hook test needs keys.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$wine" wineboot -i > /dev/null 2>&1
echo "test-windows: Wine prefix ready after $(( $(date +%s) - started )) s"

failures=0
run() { # name [driver]: runs one test program; its own output ends in a PASS or FAILED line
  local name=$1 driver=${2:-}
  echo "--- $name"
  if [ -n "$driver" ]; then
    (cd "$build/bin" && timeout 120 "$wine" "./$name.exe" 2>&1 | cat) > "$work/$name.log" &
    local pid=$!
    "$driver" || true
    wait "$pid" || true
    cat "$work/$name.log"
    grep -q "^PASS $name" "$work/$name.log" || failures=$((failures + 1))
  elif ! (cd "$build/bin" && timeout 120 "$wine" "./$name.exe" 2>&1 | cat; exit "${PIPESTATUS[0]}"); then
    failures=$((failures + 1))
  fi
}

# The keys of tst_keyhook_xvfb, step by step as it asks for them (see the test).
export ZELK_SYNC_DIR="$work/sync"
mkdir -p "$ZELK_SYNC_DIR"
send_keys() { # step, xdotool arguments
  local step=$1
  shift
  for _ in $(seq 600); do [ -e "$ZELK_SYNC_DIR/$step.ready" ] && break; sleep 0.1; done
  [ -e "$ZELK_SYNC_DIR/$step.ready" ] || return 1
  # No window manager: the test's focused window gets the X focus directly.
  xdotool search --name "ZELK hook focus" windowfocus
  sleep 0.2
  xdotool "$@"
  sleep 0.2
  touch "$ZELK_SYNC_DIR/$step.done"
}
keyhook_keys() {
  send_keys hooked keydown alt keydown F12 keyup F12 keyup alt sleep 0.1 \
    keydown F12 keydown alt keyup F12 keyup alt sleep 0.1 key F10 sleep 0.1 key a &&
    send_keys unhooked keydown alt keydown F12 keyup F12 keyup alt sleep 0.1 key F10
}

run tst_keyrouter_win
run tst_win32_standins
run tst_single_instance_win
run tst_keyhook_xvfb keyhook_keys

elapsed=$(( $(date +%s) - started ))
if [ "$failures" -eq 0 ]; then
  echo "test-windows: all passed in ${elapsed} s"
else
  echo "test-windows: $failures test program(s) failed (${elapsed} s)"
  exit 1
fi
