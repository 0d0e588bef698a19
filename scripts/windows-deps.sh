#!/usr/bin/env bash
# Builds the libraries the Windows build links statically, once, into a cache folder, and
# prints that folder:
#   - libxml2 from Debian's own source package of the version installed here, so that
#     Debian's security patches come with it (without iconv, ICU, lzma, zlib, HTTP, FTP
#     and Python);
#   - GoogleTest from the sources libgtest-dev ships.
# A folder is named after the versions: a new version gets a new build, an old one is
# reused. PONTEVA_CACHE_DIR overrides the cache ($XDG_CACHE_HOME/ponteva or ~/.cache/ponteva).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
toolchain=$root/cmake/mingw-w64-x86_64.cmake

cache=${PONTEVA_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ponteva}
xml_version=$(dpkg-query -W -f='${Version}' libxml2)
gtest_version=$(dpkg-query -W -f='${Version}' libgtest-dev)
mingw_version=$(dpkg-query -W -f='${Version}' g++-mingw-w64-x86-64-posix)
key=$(printf 'libxml2-%s_gtest-%s_mingw-%s' "$xml_version" "$gtest_version" "$mingw_version" | tr -c 'A-Za-z0-9._\n-' '_')
prefix=$cache/win64/$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

mkdir -p "$cache/win64"
# Several working trees on one machine may get here at once: one builds, the others wait.
exec 9>"$cache/win64/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/ponteva-windeps-XXXXXX")
trap 'rm -rf "$work"' EXIT
chmod 755 "$work" # apt-get source downloads as the _apt user where it can
staging=$work/prefix

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if ! apt-cache showsrc libxml2 2>/dev/null | grep -q "^Version: $xml_version\$"; then
  # Debian's images ship without source entries: add bookworm's.
  if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    $sudo tee /etc/apt/sources.list.d/ponteva-deb-src.sources >/dev/null <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
  fi
  $sudo apt-get -o DPkg::Lock::Timeout=600 update >&2
fi

(cd "$work" && apt-get source --only-source "libxml2=$xml_version" >&2)
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'libxml2-*' | head -n 1)

cmake -S "$src" -B "$work/libxml2-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$staging" \
  -DBUILD_SHARED_LIBS=OFF -DHAVE_PTHREAD_H=OFF \
  -DLIBXML2_WITH_ICONV=OFF -DLIBXML2_WITH_ICU=OFF -DLIBXML2_WITH_LZMA=OFF -DLIBXML2_WITH_ZLIB=OFF \
  -DLIBXML2_WITH_HTTP=OFF -DLIBXML2_WITH_FTP=OFF -DLIBXML2_WITH_PYTHON=OFF \
  -DLIBXML2_WITH_MODULES=OFF -DLIBXML2_WITH_PROGRAMS=OFF -DLIBXML2_WITH_TESTS=OFF >&2
cmake --build "$work/libxml2-build" --parallel "$(nproc)" >&2
cmake --install "$work/libxml2-build" >&2

cmake -S /usr/src/googletest -B "$work/gtest-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$staging" \
  -DBUILD_GMOCK=OFF >&2
cmake --build "$work/gtest-build" --parallel "$(nproc)" >&2
cmake --install "$work/gtest-build" >&2

touch "$staging/.complete"
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
mv "$staging" "$prefix"
echo "$prefix"
