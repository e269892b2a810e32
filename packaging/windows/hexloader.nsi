; The Windows setup of hexloader (makensis, from packaging/windows/CMakeLists.txt). It installs the window
; and the command line with the sample firmware and the documents into %ProgramFiles%\hexloader, puts the
; window into the Start menu and registers the uninstaller with "Apps & features". The uninstaller takes
; away exactly what the setup made: the user's settings (%APPDATA%\hexloader) stay.
;
; Defined on the command line:
;   VERSION   the version of project(), shown as DisplayVersion
;   VERSION4  the same as four numbers, for the setup's own version resource
;   DIST      the folder with the files to install (stripped programs, README.txt, copyright.txt, samples)
;   ICON      the program's icon, also the setup's
;   OUTFILE   the setup program to write
Unicode true
; A 64-bit setup for 64-bit programs: it sees the 64-bit program files folder and registry as they are.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
; Program Files and HKLM need an administrator.
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"

!define PRODUCT_NAME "Кварсел - Загрузчик"
!define PUBLISHER "hexloader developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\hexloader"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\hexloader"
; Installing again (an update) offers the folder of the installation it replaces.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "hexloader ${VERSION}"
; A file that cannot be replaced (the program still running) stops the setup: no half-updated folder.
AllowSkipFiles off

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка: ${PRODUCT_NAME} ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© 2026 The hexloader developers"

Function .onInit
  SetRegView 64
FunctionEnd

Function un.onInit
  SetRegView 64
FunctionEnd

Section
  ; The Start menu of every user, as the program is installed for all of them.
  SetShellVarContext all

  ; An earlier installation, of whatever version, is first taken away by its own uninstaller, so that no
  ; file the new version no longer has stays behind; the new files then take its place.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\uninstall.exe"
    DetailPrint "Удаление предыдущей версии из $0"
    ; _?= runs it in place and waits for it; it leaves itself and its folder to us.
    ExecWait '"$0\uninstall.exe" /S _?=$0'
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}

  SetOutPath "$INSTDIR"
  File "${DIST}\hexloader.exe"
  File "${DIST}\hexloader-cli.exe"
  File "${DIST}\README.txt"
  File "${DIST}\copyright.txt"
  SetOutPath "$INSTDIR\samples"
  File "${DIST}\samples\blink.hex"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\hexloader.exe" "" "$INSTDIR\hexloader.exe" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\hexloader.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as "Apps & features" reads it.
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$INSTDIR\hexloader.exe"
  Delete "$INSTDIR\hexloader-cli.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\copyright.txt"
  Delete "$INSTDIR\samples\blink.hex"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files the user put there stay, and so do their folders.
  RMDir "$INSTDIR\samples"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
