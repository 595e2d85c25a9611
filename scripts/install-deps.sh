#!/usr/bin/env bash
# Installs the Debian 12 packages the client, the demo server and the tests need.
# Idempotent: only packages that are missing are installed.
#   scripts/install-deps.sh            the Linux build and its tests
#   scripts/install-deps.sh windows    the Windows parts on Linux: MinGW-w64, Wine, Xvfb, xdotool
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-speech-dev qt6-declarative-dev
  qt6-speech-speechd-plugin qt6-translations-l10n qt6-l10n-tools qt6-qpa-plugins
  speech-dispatcher speech-dispatcher-espeak-ng espeak-ng
  libxcb-xinput-dev libxi-dev libx11-dev libxkbcommon-dev libgl-dev libgl1-mesa-dri
  xvfb xdotool xauth imagemagick fonts-liberation socat dbus-daemon
  libbenchmark-dev clang libclang-rt-dev ccache
  dpkg-dev file lintian openbox x11-utils
)

if [ "${1:-}" = windows ]; then
  packages=(cmake ninja-build git g++-mingw-w64-x86-64-posix wine64 xvfb xdotool qt6-base-dev qt6-speech-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
