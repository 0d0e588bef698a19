#!/usr/bin/env bash
# Installs the Debian 12 packages Ponteva needs, then configures and builds it.
#
#   scripts/setup.sh [--linux | --windows | --all] [CMake arguments...]
#
#   --linux    (the default) the Linux build, in build/ ($PONTEVA_BUILD_DIR)
#   --windows  the Windows build, cross-built with mingw-w64, in build-win/
#              ($PONTEVA_WIN_BUILD_DIR): ponteva-cli.exe and the test suites, to run under Wine
#   --all      both
#
# Extra arguments go to CMake's configure step of each tree built
# (e.g. PONTEVA_BUILD_DIR=build-asan scripts/setup.sh -DPONTEVA_SANITIZE=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

linux=1
windows=0
case "${1:-}" in
--linux) shift ;;
--windows) linux=0 windows=1; shift ;;
--all) windows=1; shift ;;
esac

packages=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libxml2-utils          # XML parser; xmllint for the benchmark
  libgtest-dev                       # unit tests (its sources serve the Windows build too)
  python3 python3-dbfread python3-dbf gdal-bin   # independent dBase readers and writers for cross-checks
  time                               # /usr/bin/time for the benchmark's peak memory
  locales                            # a decimal-comma locale, to test number formats under it
  clang-14 libfuzzer-14-dev          # fuzz targets (tests/fuzz, PONTEVA_FUZZ=ON)
  xvfb xauth imagemagick             # the window tests on a virtual screen, and its screenshot
  fp-utils libchm-dev                # chmcmd compiles the help file; chmlib reads it back in the tests
)
if [ "$windows" = 1 ]; then
  packages+=(
    g++-mingw-w64-x86-64-posix       # the Windows cross-compiler (POSIX threads for std::thread)
    wine wine64                      # runs the Windows tests
    dpkg-dev                         # apt-get source, for libxml2's Debian sources
    nsis                             # the installer of the Windows package
    x11-utils xdotool                # the help and package tests: finding windows, pressing F1
  )
fi

# Each step says how long it took.
timed() {
  local name=$1 start=$SECONDS
  shift
  "$@"
  echo "setup: $name took $((SECONDS - start)) s"
}

install_packages() {
  local missing=() p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    # Waits for another apt run on the same machine rather than failing.
    $sudo apt-get -o DPkg::Lock::Timeout=600 update
    DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
  fi
}

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
timed "packages" install_packages

# The demo runs under Spanish settings, and tests read numbers under it (Wine follows it too).
if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  $sudo localedef -i es_ES -c -f UTF-8 es_ES.UTF-8 || echo "setup: could not generate es_ES.UTF-8; some tests will be skipped" >&2
fi

win_dir=${PONTEVA_WIN_BUILD_DIR:-build-win}
build_linux() {
  local linux_args=()
  # The CLI tests then also drive the Windows build's ponteva-cli.exe under Wine.
  [ "$windows" = 1 ] && linux_args+=(-DPONTEVA_WINDOWS_CLI="$PWD/$win_dir/cli/ponteva-cli.exe")
  cmake -S . -B "$build_dir" -G Ninja -DPONTEVA_WERROR=ON "${linux_args[@]}" "$@"
  cmake --build "$build_dir" --parallel "$(nproc)"
}

build_windows() {
  cmake -S . -B "$win_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
    -DPONTEVA_WIN_DEPS="$deps" -DPONTEVA_WERROR=ON "$@"
  cmake --build "$win_dir" --parallel "$(nproc)"
}

build_dir=${PONTEVA_BUILD_DIR:-build}
[ "$linux" = 1 ] && timed "Linux build ($build_dir)" build_linux "$@"
if [ "$windows" = 1 ]; then
  start=$SECONDS
  deps=$(scripts/windows-deps.sh)
  echo "setup: Windows libraries ($deps) took $((SECONDS - start)) s"
  timed "Windows build ($win_dir)" build_windows "$@"
fi
