#!/usr/bin/env bash
# Installs the Debian 12 packages Ponteva needs, then configures and builds it in ./build.
# Extra arguments are passed to CMake's configure step (e.g. -DPONTEVA_SANITIZE=ON).
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  libxml2-dev libxml2-utils          # XML parser; xmllint for the benchmark
  qt6-base-dev                       # QtCore for the command-line tool's regional settings
  libgtest-dev                       # unit tests
  python3 python3-dbfread python3-dbf gdal-bin   # independent dBase readers and writers for cross-checks
  time                               # /usr/bin/time for the benchmark's peak memory
  locales                            # a decimal-comma locale, to test number formats under it
  g++-mingw-w64-x86-64 wine wine64   # Ponteva.exe, the window, cross-built and run under Wine
  xvfb xauth imagemagick             # the window's tests on a virtual screen, and its screenshot
  fp-utils libchm-dev                # chmcmd compiles the help file; chmlib reads it back in the tests
  nsis x11-utils xdotool             # the Windows installer; finding windows and pressing F1 in the Wine tests
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# The demo runs under Spanish settings, and a test checks numbers do not follow the locale.
if ! locale -a 2>/dev/null | grep -qi '^es_ES\.utf-\?8$'; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo localedef -i es_ES -c -f UTF-8 es_ES.UTF-8 || echo "setup: could not generate es_ES.UTF-8; one test will be skipped" >&2
fi

build_dir=${PONTEVA_BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DPONTEVA_WERROR=ON "$@"
cmake --build "$build_dir" --parallel "$(nproc)"
