; The Windows setup of hexloader (makensis, from packaging/windows/CMakeLists.txt). It installs the window
; and the command line with the sample firmware and the read-me into %ProgramFiles%\hexloader, puts the
; window into the Start menu and registers the uninstaller with "Apps & features". The uninstaller takes
; away exactly what the setup made: the user's settings and images stay.
;
; Two passes, so that the uninstaller describes itself as what it is: makensis with EXPORT_UNINSTALLER
; writes only the uninstaller (with its own version resource) to that file; makensis with UNINSTALLER
; then makes the setup, which ships that file as uninstall.exe.
;
; Defined on the command line:
;   VERSION       the version of project(), shown as DisplayVersion
;   VERSION4      the same as four numbers, for the version resources
;   PRODUCT_NAME  the application's title; PUBLISHER, COPYRIGHT as the programs' version resources say
;   RUNNING_MARK  the name of the mutex the running programs hold (core/running_mark.h)
;   ICON          the program's icon, also the setup's and the uninstaller's
;   EXPORT_UNINSTALLER  first pass: the uninstaller to write
;   DIST, UNINSTALLER, OUTFILE  second pass: the folder with the files to install (stripped programs,
;                 README.txt, copyright.txt, samples), the uninstaller made by the first pass, the setup
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

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\hexloader"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"
; The status of a setup or uninstaller that found the programs running and changed nothing.
!define STATUS_PROGRAM_RUNNING 3

Name "${PRODUCT_NAME}"
!ifdef EXPORT_UNINSTALLER
  ; The installer of this pass is thrown away; the uninstaller is copied out once it is made.
  OutFile "${EXPORT_UNINSTALLER}.pass.exe"
  !uninstfinalize 'cp "%1" "${EXPORT_UNINSTALLER}"'
!else
  OutFile "${OUTFILE}"
!endif
InstallDir "$PROGRAMFILES64\hexloader"
; Installing again (an update) offers the folder of the installation it replaces.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "hexloader ${VERSION}"
; A file that cannot be replaced stops the setup: no half-updated folder.
AllowSkipFiles off

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; "Запустить": the program as the user who is logged on, from the Start-menu shortcut (RunProgram).
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
!insertmacro MUI_PAGE_FINISH
!ifdef EXPORT_UNINSTALLER
  !insertmacro MUI_UNPAGE_CONFIRM
  !insertmacro MUI_UNPAGE_INSTFILES
!endif
!insertmacro MUI_LANGUAGE "Russian"

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
!ifdef EXPORT_UNINSTALLER
  VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Удаление: ${PRODUCT_NAME} ${VERSION}"
!else
  VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка: ${PRODUCT_NAME} ${VERSION}"
!endif
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${COPYRIGHT}"

; --- the programs running ---
; The window and the command line hold the mutex RUNNING_MARK while they run. It is looked for before
; anything is touched: the wizard asks to close them (Retry) or gives up (Cancel); a silent run says why
; (SayWhy) and ends with STATUS_PROGRAM_RUNNING. Either way the installation stays as it was.
!macro PROGRAM_RUNNING_CHECK un what
  ; $0: 1 when a program of ours runs in this session (a mutex we may not open runs too).
  Function ${un}ProgramRunning
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MARK}") p .r1 ?e'
    Pop $2
    StrCpy $0 0
    ${If} $1 P<> 0
      System::Call 'kernel32::CloseHandle(p r1)'
      StrCpy $0 1
    ${ElseIf} $2 = 5  ; ERROR_ACCESS_DENIED
      StrCpy $0 1
    ${EndIf}
  FunctionEnd

  ; A line for whoever started the silent run: into its standard error when that is a file or a pipe
  ; (UTF-8), else onto the console of the command line it was started from, if any (UTF-16).
  Function ${un}SayWhy
    Exch $3
    System::Call 'kernel32::GetStdHandle(i -12) p .r4'
    System::Call 'kernel32::GetFileType(p r4) i .r5'
    ${If} $5 = 1  ; FILE_TYPE_DISK
    ${OrIf} $5 = 3  ; FILE_TYPE_PIPE
      System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w "$3$\r$\n", i -1, p 0, i 0, p 0, p 0) i .r5'
      System::Alloc $5
      Pop $6
      System::Call 'kernel32::WideCharToMultiByte(i 65001, i 0, w "$3$\r$\n", i -1, p r6, i r5, p 0, p 0)'
      IntOp $5 $5 - 1  ; without the terminating null
      System::Call 'kernel32::WriteFile(p r4, p r6, i r5, *i .r5, p 0)'
      System::Free $6
    ${Else}
      System::Call 'kernel32::AttachConsole(i -1) i .r4'
      System::Call 'kernel32::CreateFileW(w "CONOUT$$", i 0x40000000, i 2, p 0, i 3, i 0, p 0) p .r4'
      ${If} $4 P<> -1
        StrLen $5 "$3$\r$\n"
        System::Call 'kernel32::WriteConsoleW(p r4, w "$3$\r$\n", i r5, *i .r5, p 0)'
        System::Call 'kernel32::CloseHandle(p r4)'
      ${EndIf}
    ${EndIf}
    Pop $3
  FunctionEnd

  Function ${un}WaitUntilProgramClosed
    ${Do}
      Call ${un}ProgramRunning
      ${IfThen} $0 = 0 ${|} ${ExitDo} ${|}
      ${If} ${Silent}
        Push "hexloader: программа «${PRODUCT_NAME}» запущена (окно или hexloader-cli.exe); закройте её и повторите ${what}. Ничего не изменено."
        Call ${un}SayWhy
        SetErrorLevel ${STATUS_PROGRAM_RUNNING}
        Quit
      ${EndIf}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Программа «${PRODUCT_NAME}» запущена: окно или командная строка hexloader-cli.exe.$\r$\n$\r$\nЗакройте её и нажмите «Повтор». «Отмена» прекращает ${what}, ничего не меняя." IDRETRY again
      SetErrorLevel ${STATUS_PROGRAM_RUNNING}
      Quit
      again:
    ${Loop}
  FunctionEnd
!macroend

!insertmacro PROGRAM_RUNNING_CHECK "" "установку"
!ifdef EXPORT_UNINSTALLER
  !insertmacro PROGRAM_RUNNING_CHECK "un." "удаление"
!endif

; --- the setup ---
Function .onInit
  SetRegView 64
  Call WaitUntilProgramClosed
FunctionEnd

; Runs the program as the user who is logged on, not as the administrator the setup runs as: the shell
; of the desktop opens the Start-menu shortcut, which starts the program in the user's folder.
Function RunProgram
  SetShellVarContext all
  Exec '"$WINDIR\explorer.exe" "${SHORTCUT}"'
FunctionEnd

Section
  ; The Start menu of every user, as the program is installed for all of them.
  SetShellVarContext all
!ifdef EXPORT_UNINSTALLER
  WriteUninstaller "$INSTDIR\uninstall.exe"  ; never run: it only makes the uninstaller exist
!else
  ; Again, right before anything is touched: the program may have been started since the first page.
  Call WaitUntilProgramClosed

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
  File "/oname=uninstall.exe" "${UNINSTALLER}"

  ; The shortcut starts the program in the user's own profile folder, which the shell names when the
  ; program starts (the working folder is the output folder when the shortcut is made): the images it
  ; writes into its current folder then land where the user may write and find them.
  StrCpy $OUTDIR "%USERPROFILE%"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\hexloader.exe" "" "$INSTDIR\hexloader.exe" 0
  SetOutPath "$INSTDIR"

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
!endif
SectionEnd

; --- the uninstaller ---
!ifdef EXPORT_UNINSTALLER
Function un.onInit
  SetRegView 64
  Call un.WaitUntilProgramClosed
FunctionEnd

Section "Uninstall"
  SetShellVarContext all
  Call un.WaitUntilProgramClosed
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
!endif
