#!/usr/bin/env bash
# Makes the two things a school installs Ponteva from, out of a Windows build:
#
#   Ponteva-<version>-win64.zip    Ponteva.exe, ponteva-cli.exe, Zedra.chm and LEEME.txt
#   Ponteva-<version>-setup.exe    the installer (NSIS)
#
#   scripts/package-windows.sh [WINDOWS_BUILD_DIR [OUTPUT_DIR]]
#
# WINDOWS_BUILD_DIR (default build-win) is a Windows build (scripts/setup.sh --windows):
# app/Ponteva.exe with app/Zedra.chm beside it, and cli/ponteva-cli.exe. OUTPUT_DIR
# defaults to WINDOWS_BUILD_DIR/package. The Windows build runs this itself.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

build=${1:-${PONTEVA_WIN_BUILD_DIR:-build-win}}
out=${2:-$build/package}
[ -d "$build" ] || { echo "package-windows: no existe $build (compile antes la versión de Windows)" >&2; exit 1; }

version=${PONTEVA_VERSION:-$(sed -n 's/^project(Ponteva VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")}
[ -n "$version" ] || { echo "package-windows: no se encuentra la versión en CMakeLists.txt" >&2; exit 1; }

command -v makensis >/dev/null || { echo "package-windows: falta makensis (paquete nsis)" >&2; exit 1; }

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/files"
for f in app/Ponteva.exe cli/ponteva-cli.exe app/Zedra.chm; do
  [ -f "$build/$f" ] || { echo "package-windows: falta $build/$f" >&2; exit 1; }
  cp "$build/$f" "$stage/files/"
done
# The build keeps debugging information; a school does not need it.
strip=${PONTEVA_STRIP:-x86_64-w64-mingw32-strip}
if command -v "$strip" >/dev/null; then
  "$strip" --strip-debug "$stage/files/Ponteva.exe" "$stage/files/ponteva-cli.exe"
fi
# The notes are read in Notepad on a Spanish Windows: Windows-1252, CRLF.
sed "s/@VERSION@/$version/g" "$root/packaging/windows/LEEME.txt" |
  iconv -f UTF-8 -t WINDOWS-1252 | sed 's/$/\r/' >"$stage/files/LEEME.txt"

mkdir -p "$out"
out=$(cd "$out" && pwd)
zip="$out/Ponteva-$version-win64.zip"
setup="$out/Ponteva-$version-setup.exe"
rm -f "$zip" "$setup"

# The files' dates are the last commit's, so that the same sources give the same archive.
stamp=$(git -C "$root" log -1 --format=%cd --date=format-local:"%Y-%m-%d %H:%M:%S" 2>/dev/null || date -u "+%Y-%m-%d %H:%M:%S")
(cd "$stage/files" &&
  cmake -E tar cf "$zip" --format=zip --mtime="$stamp" Ponteva.exe ponteva-cli.exe Zedra.chm LEEME.txt)

makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$stage/files" -DOUTFILE="$setup" \
  "$root/packaging/windows/Ponteva.nsi"

echo "$zip"
echo "$setup"
