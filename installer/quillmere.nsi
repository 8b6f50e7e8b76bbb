; Installer of Quillmere: quillmere.exe and quillmere-cli.exe in Program Files\Quillmere, a
; Start-menu shortcut and the entry of "Apps and features"; its uninstaller removes all of it.
; Built by CMake (target "installer"), which passes:
;   makensis -DVERSION=1.2.3 -DAPP_EXE=... -DCLI_EXE=... -DICON=... -DOUTFILE=... quillmere.nsi
; Silent: setup /S [/D=FOLDER]; uninstall.exe /S (keeps the settings and backups, as the
; question's default does) or uninstall.exe /S /REMOVEDATA (removes them too).

; A 64-bit installer, as the programs are (and Wine without its 32-bit part runs it too).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware false

!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define PRODUCT "Quillmere"
!define PUBLISHER "Quillmere"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillmere"
!define SETTINGS_KEY "Software\QUILLMERE"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define SHORTCUT "$SMPROGRAMS\Quillmere.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Quillmere"
Icon "${ICON}"
UninstallIcon "${ICON}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs a 64-bit version of Windows." /SD IDOK
    Abort
  ${EndIf}
  ; The programs are 64-bit: their registry is the 64-bit view.
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Quillmere"
  SetOutPath "$INSTDIR"
  File "/oname=quillmere.exe" "${APP_EXE}"
  File "/oname=quillmere-cli.exe" "${CLI_EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the program in its folder, where it keeps ignore.lst and its backups.
  CreateShortCut "${SHORTCUT}" "$INSTDIR\quillmere.exe" "" "$INSTDIR\quillmere.exe" 0 \
      SW_SHOWNORMAL "" "Quillmere registry cleaner"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\quillmere.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  Delete "${SHORTCUT}"
  Delete "$INSTDIR\quillmere.exe"
  Delete "$INSTDIR\quillmere-cli.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; "Start with Windows" of the settings panel: a Run value naming the program removed above.
  DeleteRegValue HKLM "${RUN_KEY}" "QUILLMERE"
  ; The scheduled scans of the user who uninstalls: the task "Quillmere<user name>" starts the
  ; program removed above. The task scheduler's own command, and the task file it keeps in
  ; Windows\Tasks where there is one (older systems, Wine).
  ReadEnvStr $R2 USERNAME
  ${If} $R2 != ""
    nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN "Quillmere$R2" /F'
    Pop $R3
    Delete "$WINDIR\Tasks\Quillmere$R2.job"
  ${EndIf}

  ; The settings and what the repairs kept (the ignore list, the XML backups and the registry
  ; exports) stay unless the user asks otherwise.
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVEDATA" $R1
  ${If} ${Errors}
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Also remove Quillmere's settings and its backups (the ignore list, the FixedOn...xml repair backups and the Registry Backups folder in $INSTDIR)?$\n$\nChoose No to keep them for a later installation." \
        /SD IDNO IDYES remove_data IDNO keep_data
  ${EndIf}
  remove_data:
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    RMDir /r "$INSTDIR\Registry Backups"
    Delete "$INSTDIR\FixedOn*.xml"
    Delete "$INSTDIR\ignore.lst"
  keep_data:

  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: kept data stays where it was.
  RMDir "$INSTDIR"
SectionEnd
