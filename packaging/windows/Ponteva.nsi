; Installer of Ponteva for a school's computers: puts Ponteva.exe, ponteva-cli.exe and
; Zedra.chm into the timetabler's folder, and an uninstaller that removes exactly those.
;
;   makensis -DVERSION=x.y.z -DFILES=dir -DOUTFILE=setup.exe Ponteva.nsi
;
; FILES holds the three files to install. The installer runs without administrator
; rights: it writes only into the chosen folder and into the user's own registry.

; The program is 64-bit, and so is the installer: it runs wherever the program can.
Target amd64-unicode
!ifndef VERSION | FILES | OUTFILE
  !error "Defina VERSION, FILES y OUTFILE"
!endif

!define UNINSTALLER "Desinstalar-Ponteva.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ponteva"

Name "Ponteva ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
InstallDir "C:\Veltrix"
; A reinstallation offers the folder of the last one.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=3082 "ProductName" "Ponteva"
VIAddVersionKey /LANG=3082 "FileDescription" "Instalador de Ponteva"
VIAddVersionKey /LANG=3082 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=3082 "LegalCopyright" ""

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Instalación de Ponteva ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Ponteva pasa los datos del centro entre Zedra y el programa de horarios Veltrix.$\r$\n$\r$\nSe instala en la carpeta de Veltrix, donde Veltrix lo busca: Ponteva.exe, ponteva-cli.exe (la herramienta de línea de órdenes) y Zedra.chm (la ayuda).$\r$\n$\r$\nNo hacen falta permisos de administrador si puede escribir en esa carpeta."
!insertmacro MUI_PAGE_WELCOME

!define MUI_PAGE_HEADER_TEXT "Carpeta de Veltrix"
!define MUI_PAGE_HEADER_SUBTEXT "Elija la carpeta donde está instalado Veltrix."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Ponteva se instala en la carpeta del programa de horarios Veltrix, la misma donde está su archivo Veltrix.ini. Elija esa carpeta."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Carpeta de Veltrix"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Ponteva está instalado"
!define MUI_FINISHPAGE_TEXT "Veltrix ya puede abrir Ponteva. También puede abrirlo por sí solo con Ponteva.exe, en la carpeta de Veltrix.$\r$\n$\r$\nPara quitarlo, use Programas y características del Panel de control, o ${UNINSTALLER} en la misma carpeta."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Spanish"

Section "Ponteva"
  ; The topmost folder this installation makes, if any: the uninstaller removes it again
  ; (and the folders between), when it is empty.
  StrCpy $0 ""
  StrCpy $1 "$INSTDIR"
  made_loop:
    IfFileExists "$1\*.*" made_done
    StrCpy $0 "$1"
    ${GetParent} "$1" $1
    StrCmp $1 "" made_done made_loop
  made_done:

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "${FILES}\Ponteva.exe"
  File "${FILES}\ponteva-cli.exe"
  File "${FILES}\Zedra.chm"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Ponteva"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ponteva.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; A reinstallation into the same folder keeps what the first one made.
  ReadRegStr $2 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  StrCmp $2 "$INSTDIR" 0 +3
    StrCmp $0 "" 0 +2
      ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "CarpetaCreada"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "CarpetaCreada" "$0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
SectionEnd

Section "Uninstall"
  ; Exactly what the installer put here: never Veltrix.ini, the working tables or any
  ; other file of the folder.
  Delete "$INSTDIR\Ponteva.exe"
  Delete "$INSTDIR\ponteva-cli.exe"
  Delete "$INSTDIR\Zedra.chm"
  Delete "$INSTDIR\${UNINSTALLER}"
  ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "CarpetaCreada"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; The folders the installer made, from this one up to the topmost, each only when it
  ; is empty; nothing when the recorded folder does not contain this one.
  StrCmp $0 "" folders_done
  StrLen $2 "$0"
  StrCpy $3 "$INSTDIR" $2
  StrCmp $3 "$0" 0 folders_done
  StrCpy $1 "$INSTDIR"
  folders_loop:
    RMDir "$1"
    StrCmp $1 "$0" folders_done
    ${un.GetParent} "$1" $1
    StrCmp $1 "" folders_done folders_loop
  folders_done:
SectionEnd
