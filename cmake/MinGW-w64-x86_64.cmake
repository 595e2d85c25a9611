# Cross-compiling the Win32 parts of the client on Linux with MinGW-w64 (x86_64, POSIX
# threads: std::thread and std::mutex need them). Used by tests/windows, which builds the
# Qt-free Windows parts; Debian has no Qt for Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZELK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZELK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZELK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${ZELK_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZELK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
