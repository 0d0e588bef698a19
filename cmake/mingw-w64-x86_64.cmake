# Cross-builds for 64-bit Windows with Debian's mingw-w64 (the POSIX-threads variant, which
# std::thread and std::mutex need), and runs what it builds under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PONTEVA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PONTEVA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PONTEVA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${PONTEVA_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PONTEVA_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests and the tools the build runs go through Wine.
find_program(PONTEVA_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PONTEVA_WINE})
