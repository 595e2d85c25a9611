#!/usr/bin/env bash
# Compile-checks every Windows source file (*_win.cpp) with MinGW-w64 against Debian's Qt
# headers, as the client's Windows build compiles them: Debian has no Qt for Windows, so the
# files that use Qt cannot be linked here, but every error of the language, of Qt's API and
# of Win32 shows. (The plain Win32 ones are also built and run by tests/windows.) Fails when
# one file does not compile.
set -euo pipefail
cd "$(dirname "$0")/.."

CXX=${ZELK_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
QT=${ZELK_QT_INCLUDE:-/usr/include/x86_64-linux-gnu/qt6}

generated=$(mktemp -d)
trap 'rm -rf "$generated"' EXIT
version=$(sed -n 's/^project(ZELK VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
sed "s/@PROJECT_VERSION@/$version/" cmake/ZelkBuildInfo.h.in > "$generated/ZelkBuildInfo.h"

flags=(-std=c++20 -fsyntax-only -Wall -Wextra -Werror
  -DUNICODE -D_UNICODE -DNOMINMAX
  -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -DQT_NO_CAST_FROM_BYTEARRAY -DQT_NO_URL_CAST_FROM_STRING
  -DQT_NO_NARROWING_CONVERSIONS_IN_CONNECT -DQT_NO_CONTEXTLESS_CONNECT -DQT_USE_QSTRINGBUILDER -DQT_NO_KEYWORDS
  -I. -I"$generated" -isystem "$QT")
for module in QtCore QtGui QtWidgets QtNetwork QtDBus QtTextToSpeech; do
  flags+=(-isystem "$QT/$module")
done

# The client's sources; tests/windows is built whole by its own project.
mapfile -t files < <({ git ls-files '*_win.cpp'; git ls-files --others --exclude-standard '*_win.cpp'; } \
  | grep -v '^tests/windows/' | sort -u)
failed=0
withQt=0
for file in "${files[@]}"; do
  extra=()
  case "$file" in keyhook/KV_HookKeyboard_win.cpp) extra=(-DKV_HOOKKEYBOARD_BUILD) ;; esac
  # -H lists every header read: whether the file uses Qt shows there.
  if "$CXX" "${flags[@]}" "${extra[@]}" -H "$file" 2> "$generated/log"; then
    if grep -q '/qt6/' "$generated/log"; then
      echo "ok      $file (Qt)"
      withQt=$((withQt + 1))
    else
      echo "ok      $file (plain Win32)"
    fi
  else
    # The compiler's messages without -H's header tree and its closing list of headers.
    grep -v '^\.' "$generated/log" | sed '/^Multiple include guards/,$d' >&2 || true
    echo "FAILED  $file"
    failed=$((failed + 1))
  fi
done
echo "check-windows-qt: ${#files[@]} Windows files ($withQt with Qt) compiled against Qt's headers, $failed failed"
[ "$failed" -eq 0 ] && [ "$withQt" -gt 0 ]
