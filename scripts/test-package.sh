#!/usr/bin/env bash
# Builds the Debian packages from the build tree, installs them with dpkg into a temporary
# root, checks the installed client (--version and --help without a display; started as its
# login autostart entry starts it, on Xvfb against the installed zelk-server: it connects,
# draws its call list and shows no box), removes the packages again and runs lintian.
# Usage: scripts/test-package.sh        (build tree: $ZELK_BUILD_DIR, default build/)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/xsession.sh
build="$(realpath "${ZELK_BUILD_DIR:-build}")"
work="$(mktemp -d)"
trap 'zelk_stop_all; rm -rf "$work"' EXIT
fail() { echo "test-package: FAIL: $*" >&2; exit 1; }
step() { echo "test-package: $*"; }

# Only what the packages hold, in the existing tree.
[[ -f "$build/CMakeCache.txt" ]] || scripts/build.sh -DZELK_BUILD_BENCH=OFF
cmake --build "$build" --target ZELK_WCallClient zelk-glprobe KV_HookKeyboard zelk-server \
  zelk_translations zelk_package_files
step "building the packages"
cpack --config "$build/CPackConfig.cmake" -B "$work/packages" >"$work/cpack.log" 2>&1 \
  || { cat "$work/cpack.log"; fail "cpack"; }
client_deb="$(ls "$work"/packages/zelk-client_*.deb)"
server_deb="$(ls "$work"/packages/zelk-server_*.deb)"
ls -l "$client_deb" "$server_deb"
mkdir -p "$build/packages"
cp "$client_deb" "$server_deb" "$build/packages/"

step "installing into a temporary root"
root="$work/root"
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
# The root's dpkg database knows none of the system's libraries; the dependencies themselves
# are installed on this machine.
dpkg_root=(dpkg --root="$root" --force-not-root --force-depends --log=/dev/null)
"${dpkg_root[@]}" -i "$client_deb" "$server_deb" >"$work/dpkg.log" 2>&1 \
  || { cat "$work/dpkg.log"; fail "dpkg -i"; }
autostart="$root/etc/xdg/autostart/zelk-client.desktop"
for f in "$autostart" "$root/usr/share/applications/zelk-client.desktop" \
         "$root/usr/share/icons/hicolor/scalable/apps/zelk-client.svg" "$root/usr/bin/zelk-server"; do
  [[ -e "$f" ]] || fail "not installed: ${f#"$root"}"
done
program_folder="$(sed -n 's/^Path=//p' "$autostart")"
exec_line="$(sed -n 's/^Exec=//p' "$autostart")"
[[ -n "$program_folder" && -n "$exec_line" ]] || fail "autostart entry without Path= or Exec="
for f in ZELK_WCallClient libKV_HookKeyboard.so zelk-glprobe zelk_qt_sv.qm; do
  [[ -e "$root$program_folder/$f" ]] || fail "not in the program folder: $f"
done
client="$root${exec_line%% *}"

step "--version and --help without a display"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
version="$("${no_display[@]}" "$client" --version)" || fail "--version exit code $?"
[[ "$version" == "ZELK Windows Kallelseklient "* ]] || fail "--version printed: $version"
help="$("${no_display[@]}" "$client" --help)" || fail "--help exit code $?"
for word in NAME= PLACE= COLOR= AUTOREGISTER= CALLLIST= SERVERNAME= SERVERPORT= RESTARTING= \
            ZELK_RENDERER ZELK_REGISTRY_DIR; do
  grep -q -- "$word" <<<"$help" || fail "--help does not name $word"
done

step "starting the client as its autostart entry does, on Xvfb, against the installed server"
zelk_start_xvfb
zelk_start_server "$root/usr/bin/zelk-server"
home="$work/home"
mkdir -p "$home/runtime" "$home/registry"
chmod 700 "$home/runtime"
# The administrator's machine-wide setting of the server, for this program folder.
zelk_write_machine_settings "$home/registry" "$root$program_folder" "$zelk_server_port"
log="$work/client.log"
(cd "$root$program_folder" && exec env HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$home/runtime" \
    ZELK_REGISTRY_DIR="$home/registry" QT_QPA_PLATFORM=xcb "$root$exec_line" >"$log" 2>&1) &
client_pid=$!
zelk_pids+=("$client_pid")
zelk_wait_for_call_list "$log" 30 || { cat "$log"; fail "no call list was drawn"; }
sleep 1
kill -0 "$client_pid" 2>/dev/null || { cat "$log"; fail "the client ended"; }
grep -q "$root$program_folder/libKV_HookKeyboard.so" "/proc/$client_pid/maps" \
  || fail "the hook library was not loaded from the program folder"
if grep -qi "not found" "$log"; then cat "$log"; fail "the client reported something not found"; fi
boxes="$(xdotool search --onlyvisible --name '^(Information|Fråga|Varning|Fel)$' 2>/dev/null || true)"
[[ -z "$boxes" ]] || fail "a message box is showing: $(for w in $boxes; do xdotool getwindowname "$w"; done)"
kill "$client_pid"; wait "$client_pid" 2>/dev/null || true

step "removing the packages"
"${dpkg_root[@]}" -r zelk-client zelk-server >>"$work/dpkg.log" 2>&1 \
  || { cat "$work/dpkg.log"; fail "dpkg -r"; }
[[ ! -e "$root$program_folder/ZELK_WCallClient" ]] || fail "the client is still installed"
[[ ! -e "$root/usr/bin/zelk-server" ]] || fail "the server is still installed"

step "lintian"
lintian --fail-on error --suppress-tags initial-upload-closes-no-bugs \
  "$client_deb" "$server_deb" 2>&1 | grep -v 'running with root privileges' || true
lintian --fail-on error "$client_deb" "$server_deb" >/dev/null 2>&1 || fail "lintian reports errors"
step "packages in $build/packages: OK"
