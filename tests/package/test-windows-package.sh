#!/usr/bin/env bash
# The Windows package under Wine, in a private prefix inside a temporary folder:
#   - the ZIP holds exactly Ponteva.exe, ponteva-cli.exe, Zedra.chm and LEEME.txt;
#   - the installer, run silently (/S /D=...), puts the three files into the timetabler's
#     folder and registers its uninstaller under the user's key;
#   - from there ponteva-cli.exe exports the bundled example and Ponteva.exe starts;
#   - the uninstaller removes exactly what was installed: Veltrix.ini, the timetabler's own
#     files and the working tables stay; a folder the installer made goes.
#
#   tests/package/test-windows-package.sh ZIP SETUP EXAMPLE_XML
#
# Ponteva.exe needs a display: run under xvfb-run when DISPLAY is not set.
set -euo pipefail

zip=$(readlink -f "$1")
setup=$(readlink -f "$2")
example=$(readlink -f "$3")

work=$(mktemp -d)
cleanup() {
  WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX="$work/prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="   # no Mono or Gecko prompts
export HOME="$work/home"
# A Spanish school: Windows' regional settings read "2,5" hours with the decimal comma.
export LANG=es_ES.UTF-8
unset LC_ALL
mkdir -p "$HOME"

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
absent() { [ ! -e "$1" ]; }
listing() { (cd "$1" && LC_ALL=C ls -A) | LC_ALL=C sort | tr '\n' ' '; }
same_text() { [ "$(cat "$1")" = "$2" ]; }
reg_has_key() { wine reg query "$1" >/dev/null 2>&1; }
reg_lacks_key() { ! reg_has_key "$1"; }

wineboot -i >/dev/null 2>&1
wineserver -w
c="$WINEPREFIX/drive_c"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ponteva'

# --- The ZIP -------------------------------------------------------------------------
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
check "el ZIP lleva exactamente los cuatro archivos" \
  same_text <(listing "$work/zip") "LEEME.txt Ponteva.exe Zedra.chm ponteva-cli.exe "
check "LEEME.txt está en Windows-1252 con CRLF" \
  grep -q $'Versi\xf3n .*\r$' "$work/zip/LEEME.txt"

# --- Silent installation into the timetabler's folder --------------------------------
veltrix="$c/Veltrix"
mkdir -p "$veltrix" "$c/VTEMP" "$c/datos"
printf '[Transformadores]\r\nTransformado=1\r\n[Veltrix]\r\nIdioma=es\r\n' >"$veltrix/Veltrix.ini"
echo "programa de horarios" >"$veltrix/Veltrix.exe"
ini_before=$(cat "$veltrix/Veltrix.ini")

wine "$setup" /S '/D=C:\Veltrix' >/dev/null 2>&1
wineserver -w
for f in Ponteva.exe ponteva-cli.exe Zedra.chm; do
  check "instalado $f" cmp -s "$veltrix/$f" "$work/zip/$f"
done
check "instalado el desinstalador" test -f "$veltrix/Desinstalar-Ponteva.exe"
check "registrado el desinstalador del usuario" reg_has_key "$key"
check "nada más en la carpeta de Veltrix" \
  same_text <(listing "$veltrix") \
  "Desinstalar-Ponteva.exe Ponteva.exe Veltrix.exe Veltrix.ini Zedra.chm ponteva-cli.exe "

# --- From there, the command-line tool exports the bundled example ------------------
cp "$example" "$c/datos/centro.xml"
(cd "$veltrix" && wine ponteva-cli.exe exportar 'C:\datos\centro.xml' --dir 'C:\VTEMP' \
  >"$work/export.out" 2>&1) && rc=0 || rc=$?
wineserver -w
if ! check "ponteva-cli.exe exporta el ejemplo (salida $rc)" test "$rc" -eq 0; then
  cat "$work/export.out" >&2
fi
check "ponteva-cli.exe termina con Proceso finalizado" grep -q 'Proceso finalizado' "$work/export.out"
for t in ASIGNOMT PROFT AULAT GRUPOST DIASHORAST ASIGT; do
  check "escrita la tabla $t.DBF" test -s "$c/VTEMP/$t.DBF"
done

# --- Ponteva.exe starts and stays up with its window ---------------------------------
wine "$veltrix/Ponteva.exe" >/dev/null 2>&1 &
gui=$!
started=no
for _ in $(seq 1 30); do
  sleep 1
  if ! kill -0 "$gui" 2>/dev/null; then
    break
  fi
  if command -v xwininfo >/dev/null; then
    if xwininfo -root -tree 2>/dev/null | grep -q 'Exportar e importar datos entre Veltrix y Zedra'; then
      started=yes
      break
    fi
  elif [ "$_" -ge 5 ]; then
    started=yes
    break
  fi
done
check "Ponteva.exe arranca y muestra su ventana" test "$started" = yes
wineserver -k >/dev/null 2>&1 || true
wait "$gui" 2>/dev/null || true

# --- Uninstallation ------------------------------------------------------------------
wine "$veltrix/Desinstalar-Ponteva.exe" /S >/dev/null 2>&1
wineserver -w
for f in Ponteva.exe ponteva-cli.exe Zedra.chm Desinstalar-Ponteva.exe; do
  check "desinstalado $f" absent "$veltrix/$f"
done
check "Veltrix.ini sigue igual" same_text "$veltrix/Veltrix.ini" "$ini_before"
check "los archivos de Veltrix siguen" test -f "$veltrix/Veltrix.exe"
check "las tablas de trabajo siguen" test -s "$c/VTEMP/ASIGT.DBF"
check "borrada la clave de desinstalación" reg_lacks_key "$key"

# --- Folders the installer made go with the uninstallation --------------------------
# /D= takes the rest of the command line as it is, spaces included. Wine would quote an
# argument with spaces, so the line goes through cmd as a school's script would write it.
cp "$setup" "$c/setup.exe"
wine cmd /c 'C:\setup.exe /S /D=C:\Nueva carpeta\Ponteva' >/dev/null 2>&1
wineserver -w
check "instalado en una carpeta nueva con espacios" test -f "$c/Nueva carpeta/Ponteva/Ponteva.exe"
wine "$c/Nueva carpeta/Ponteva/Desinstalar-Ponteva.exe" /S >/dev/null 2>&1
wineserver -w
check "borradas las carpetas que hizo el instalador" absent "$c/Nueva carpeta"
check "borrada la clave tras la segunda desinstalación" reg_lacks_key "$key"

# An existing folder with something else in it stays.
mkdir -p "$c/Compartida"
echo "de otro programa" >"$c/Compartida/otro.txt"
wine cmd /c 'C:\setup.exe /S /D=C:\Compartida' >/dev/null 2>&1
wineserver -w
wine "$c/Compartida/Desinstalar-Ponteva.exe" /S >/dev/null 2>&1
wineserver -w
check "una carpeta que ya existía queda con lo suyo" \
  same_text <(listing "$c/Compartida") "otro.txt "

echo "windows-package: $passes passed, $failures failed"
[ "$failures" -eq 0 ]
