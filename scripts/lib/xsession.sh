# Helpers for scripts that run the client on a private X server against a private zelk-server.
# Source it; every process started here is stopped by zelk_stop_all (set as an EXIT trap).

zelk_pids=()

zelk_stop_all() {
  local p
  for p in "${zelk_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  for p in "${zelk_pids[@]}"; do wait "$p" 2>/dev/null || true; done
  zelk_pids=()
}

# Starts Xvfb on a free display and exports DISPLAY.
zelk_start_xvfb() {
  local fifo
  fifo="$(mktemp -u)"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  zelk_pids+=($!)
  local number
  read -r -t 10 number <"$fifo" || { echo "Xvfb did not start" >&2; rm -f "$fifo"; return 1; }
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# Starts zelk-server ($1: its executable) on a free loopback port; sets zelk_server_port.
zelk_start_server() {
  local out
  out="$(mktemp)"
  "$1" --port 0 --quiet --no-stdin >"$out" 2>/dev/null &
  zelk_pids+=($!)
  local i
  for i in $(seq 1 50); do
    zelk_server_port="$(head -1 "$out" | sed -n 's/.*:\([0-9][0-9]*\)$/\1/p')"
    [[ -n "$zelk_server_port" ]] && break
    sleep 0.1
  done
  rm -f "$out"
  [[ -n "$zelk_server_port" ]] || { echo "zelk-server did not start" >&2; return 1; }
}

# Writes the machine settings hive in $1 so that a client whose program folder is $2 connects
# to 127.0.0.1:$3, as an administrator would in /etc/xdg/Kestrova/HKEY_LOCAL_MACHINE.ini.
zelk_write_machine_settings() {
  local key
  key="$(printf '%s' "${2%/}" | tr ' /\\' '___' | tr -d ':')"
  mkdir -p "$1"
  cat >"$1/HKEY_LOCAL_MACHINE.ini" <<INI
[SOFTWARE]
Kestrova\\${key}\\ServerSettings\\ServerName=127.0.0.1
Kestrova\\${key}\\ServerSettings\\ServerPort=$3
INI
}

# Waits until the client's log $1 reports its first drawn call list (or $2 seconds pass).
zelk_wait_for_call_list() {
  local i
  for i in $(seq 1 $(( ${2:-30} * 10 ))); do
    grep -q "first call list was drawn" "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  return 1
}

# Resident memory of process $1 in MB.
zelk_rss_mb() {
  awk '/^VmRSS:/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"
}

# Whether process $1 has a Mesa/GL driver mapped.
zelk_gl_driver_loaded() {
  if grep -qE 'dri/|_dri\.so|libgallium|llvmpipe|swrast|libLLVM' "/proc/$1/maps"; then echo yes; else echo no; fi
}
