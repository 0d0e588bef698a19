#!/usr/bin/env bash
# Help from the window under Wine, in a private prefix inside a temporary folder: the
# program lies with Zedra.chm in a folder of its own and starts from another current
# directory; the "F1 Ayuda" button asks the HTML Help viewer for the contents of that
# Zedra.chm, and the F1 key for help context 3, which the viewer resolves to the main
# topic inside the same file. Wine draws no page content, so the viewer's own trace
# tells which file and entry it opened; the viewer's window must come up as well.
#
#   tests/package/test-help-wine.sh PONTEVA_EXE ZEDRA_CHM PULSAR_EXE
#
# Needs an X display (run under xvfb-run) and xdotool for the real F1 key press.
set -euo pipefail

ponteva=$(readlink -f "$1")
chm=$(readlink -f "$2")
pulsar=$(readlink -f "$3")

work=$(mktemp -d)
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX="$work/prefix"
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko prompts
export HOME="$work/home"
mkdir -p "$HOME"
WINEDEBUG=-all wineboot -i >/dev/null 2>&1
wineserver -w

c="$WINEPREFIX/drive_c"
mkdir -p "$c/Veltrix" "$c/otra"
cp "$ponteva" "$c/Veltrix/Ponteva.exe"
cp "$chm" "$c/Veltrix/Zedra.chm"
cp "$pulsar" "$c/pulsar.exe"

failures=0
passes=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@"; then
    passes=$((passes + 1))
  else
    echo "FALLO: $what" >&2
    failures=$((failures + 1))
  fi
}
# Waits up to 30 s for a fixed text in the trace.
traced() {
  for _ in $(seq 1 60); do
    grep -aqF "$1" "$work/trace" && return 0
    sleep 0.5
  done
  return 1
}
window_id() { xdotool search --name "^$1\$" 2>/dev/null | head -n 1; }
wait_window() {
  for _ in $(seq 1 60); do
    [ -n "$(window_id "$1")" ] && return 0
    sleep 0.5
  done
  return 1
}

caption='Exportar e importar datos entre Veltrix y Zedra'
file='C:\\Veltrix\\Zedra.chm'
(cd "$c/otra" && WINEDEBUG=trace+htmlhelp exec wine 'C:\Veltrix\Ponteva.exe') >/dev/null 2>"$work/trace" &
check "la ventana aparece" wait_window "$caption"

# F1: a real key press on the window.
win=$(window_id "$caption")
xdotool windowfocus --sync "$win" 2>/dev/null || true
xdotool key --clearmodifiers F1
check "F1 pide el contexto 3 de Zedra.chm junto al programa" \
  traced "L\"$file\", command=HH_HELP_CONTEXT, data=3)"
check "el contexto 3 lleva al tema principal dentro del archivo" \
  traced "navigate_url L\"mk:@MSITStore:$file::/index.htm\""
check "se abre el visor de ayuda" wait_window 'Ayuda de Ponteva'

# The help button: the contents of the same file.
(cd "$c" && WINEDEBUG=-all wine 'C:\pulsar.exe' "$caption" 'F1 Ayuda') && pressed=yes || pressed=no
check "el botón F1 Ayuda existe" test "$pressed" = yes
check "el botón F1 Ayuda pide el contenido de Zedra.chm junto al programa" \
  traced "L\"$file\", command=HH_DISPLAY_TOC, data=0)"

echo "help-wine: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
