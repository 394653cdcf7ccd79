; The Windows installer of OrvelConfigurator, made by `make package-windows`
; with Debian's NSIS:
;   makensis -DVERSION=<a.b.c.d> -DPROGRAM=<OrvelConfigurator.exe>
;            -DRES=<the tree's res/> -DOUTFILE=<setup.exe> OrvelConfigurator.nsi
; 64-bit (amd64-unicode): installs into Program Files the program, the sample
; log4cplus.conf, a Start-menu entry and an uninstaller listed under the
; installed programs. Removal leaves the operator's settings
; (HKEY_CURRENT_USER\SOFTWARE\Lunder\Orvel4) alone.

!ifndef VERSION | PROGRAM | RES | OUTFILE
  !error "VERSION, PROGRAM, RES and OUTFILE must be given with -D"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define NAME "OrvelConfigurator"
!define PUBLISHER "OrvelConfigurator maintainers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${NAME}"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${NAME}"
Icon "${RES}\OrvelConfigurator.ico"
UninstallIcon "${RES}\OrvelConfigurator.ico"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}"
VIFileVersion "${VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${NAME}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${NAME} utility setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext all
  SetRegView 64
  SetOutPath "$INSTDIR"
  File "/oname=OrvelConfigurator.exe" "${PROGRAM}"
  File "${RES}\log4cplus.conf"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; Started in the program's folder, where the sample log4cplus.conf is.
  CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\OrvelConfigurator.exe" "" \
    "$INSTDIR\OrvelConfigurator.exe" 0 SW_SHOWNORMAL "" "${NAME} utility"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\OrvelConfigurator.exe,0"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  SetRegView 64
  Delete "$SMPROGRAMS\${NAME}.lnk"
  Delete "$INSTDIR\OrvelConfigurator.exe"
  Delete "$INSTDIR\log4cplus.conf"
  Delete "$INSTDIR\Uninstall.exe"
  ; What the sample configuration writes when the program runs there.
  Delete "$INSTDIR\OrvelConfigurator.log"
  Delete "$INSTDIR\OrvelConfigurator.log.?"
  ; Only when empty: anything else the operator put there stays.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The operator's settings in HKEY_CURRENT_USER\SOFTWARE\Lunder\Orvel4 stay.
SectionEnd
