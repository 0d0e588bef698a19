#!/usr/bin/env bash
# Compiles the help sources in SOURCE_DIR (UTF-8) into the HTML Help file OUTPUT (.chm).
#
#   scripts/build-chm.sh SOURCE_DIR OUTPUT
#
# The topics are converted to Windows-1252, the code page of the help file's language
# (Spanish, 0x0C0A), which the viewer uses for the contents and the index.
#
# chmcmd (fp-utils 3.2.2) writes each context-map target ([ALIAS]/[MAP]) as the project's
# directory followed by the topic's name, i.e. as an absolute path of the building machine
# that no other machine has. So it runs with the staged help folder as its root directory,
# in a private mount namespace: the project's directory is then "/", and the targets come
# out as paths inside the help file itself ("/index.htm").
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "uso: $0 DIRECTORIO_FUENTES SALIDA.chm" >&2
  exit 2
fi
src=$(cd "$1" && pwd)
out=$2
project=Zedra.hhp

chmcmd=$(command -v chmcmd) || { echo "build-chm: falta chmcmd (paquete fp-utils)" >&2; exit 1; }
chmcmd=$(readlink -f "$chmcmd")

stage="$out.root"
rm -rf "$stage"
mkdir -p "$stage"
trap 'rm -rf "$stage"' EXIT

for f in "$src"/*; do
  name=$(basename "$f")
  case "$name" in
    *.htm | *.html | *.hhc | *.hhk | *.hhp | *.css)
      iconv -f UTF-8 -t WINDOWS-1252 "$f" | sed 's/charset=utf-8/charset=windows-1252/I' >"$stage/$name"
      ;;
    *) cp "$f" "$stage/$name" ;;
  esac
done

# What chmcmd needs from the system: the program and the C library. On a merged-/usr
# system /lib and /lib64 are links into /usr.
mkdir "$stage/usr"
mounts="mount --rbind /usr '$stage/usr'"
for d in lib lib64; do
  [ -e "/$d" ] || continue
  if [ -L "/$d" ]; then
    ln -s "$(readlink "/$d")" "$stage/$d"
  else
    mkdir "$stage/$d"
    mounts="$mounts && mount --rbind '/$d' '$stage/$d'"
  fi
done

compile="$mounts && exec chroot '$stage' '$chmcmd' --no-html-scan /$project"
if [ "$(id -u)" -eq 0 ]; then
  ns=(unshare --mount --propagation private)
else
  ns=(unshare --map-root-user --mount --propagation private)
fi
if ! "${ns[@]}" sh -c "$compile" >"$stage.log" 2>&1; then
  cat "$stage.log" >&2
  echo "build-chm: chmcmd no pudo compilar la ayuda (hace falta un espacio de montaje propio:" \
    "root, o espacios de nombres de usuario)" >&2
  rm -f "$stage.log"
  exit 1
fi
rm -f "$stage.log"

chm=$(sed -n 's/^Compiled file=//p' "$stage/$project" | tr -d '\r')
mv "$stage/$chm" "$out"
