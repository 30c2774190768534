; SPDX-License-Identifier: GPL-3.0-or-later
; Lumora's Windows installer, made of the portable folder by scripts/package-windows.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=<version> -DSOURCE=<portable folder> -DFILES=<its file list>
;            -DOUTFILE=<setup.exe> lumora.nsi
; FILES is an include that deletes each file of the folder and then its directories, deepest first; the
; uninstaller takes away only what the installer put there, whatever folder the user chose.
; Per user, without administrator rights. Lumora works in the folder it is started in, so the Start-menu
; entry starts it in the user's data folder, which the installer fills with the sample pictures and the
; manual once, when the folder is new, and which nothing here removes or fills again.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!macro Required name
  !ifndef ${name}
    !error "Give ${name} (scripts/package-windows.sh gives VERSION, SOURCE, FILES and OUTFILE)"
  !endif
!macroend
!insertmacro Required VERSION
!insertmacro Required SOURCE
!insertmacro Required FILES
!insertmacro Required OUTFILE

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lumora"
!define DATA_DIR "$APPDATA\Lumora"
!define SHORTCUT "$SMPROGRAMS\Lumora.lnk"

Name "Lumora ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Lumora"
; An update goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

!include LogicLib.nsh
!include MUI2.nsh
!define MUI_ICON "${__FILEDIR__}\..\..\assets\icons\lumora.ico"
!define MUI_UNICON "${MUI_ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section
  SetOutPath "$INSTDIR"
  File /r "${SOURCE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${IfNot} ${FileExists} "${DATA_DIR}\*.*"
    SetOutPath "${DATA_DIR}"
    File /r "${SOURCE}\img"
    File "${SOURCE}\使用说明.txt"
  ${EndIf}
  ; The shortcut's "Start in" is the output folder at the time it is made.
  SetOutPath "${DATA_DIR}"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\lumora.exe"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lumora"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lumora.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  Delete "${SHORTCUT}"
  !include /CHARSET=UTF8 "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
