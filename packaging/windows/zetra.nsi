; The zetra setup program for one architecture, built by scripts/build-windows.sh with
;   makensis -DARCH=x86|x64 -DVERSION=... -DPROGRAM_DIR=<folder of zetra.exe> -DOUTFILE=...
;   [-DDRIVER_DIR=<the kvusb driver package>]
; It installs for the current user without administrator rights (or, with /AllUsers from an
; administrator, for everyone), adds a Start-menu entry and the .ztr file type, and registers an
; uninstaller that removes only what it installed: recordings and settings stay. /S is silent.
Unicode true
!if ${ARCH} == x64
  Target amd64-unicode
!endif
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh

!define PRODUCT "zetra"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\zetra-${ARCH}"
!define CLASSES "Software\Classes"
!define FILE_TYPE "zetra.Recording"

Name "zetra ${VERSION} (${ARCH})"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
InstallDir "$LOCALAPPDATA\Programs\zetra"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "zetra"
VIAddVersionKey "FileDescription" "zetra ${VERSION} setup (${ARCH})"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" ""

Var AllUsers  ; 1: installed for every user (HKLM, Program Files), else for the current user

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

; Keys go under HKLM for everyone, HKCU for the current user.
!macro WriteKey KEY NAME VALUE
  ${If} $AllUsers == 1
    WriteRegStr HKLM "${KEY}" "${NAME}" `${VALUE}`
  ${Else}
    WriteRegStr HKCU "${KEY}" "${NAME}" `${VALUE}`
  ${EndIf}
!macroend

Function .onInit
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/AllUsers" $R1
  ${If} ${Errors}
    StrCpy $AllUsers 0
    SetShellVarContext current
  ${Else}
    UserInfo::GetAccountType
    Pop $R2
    ${If} $R2 != "Admin"
      MessageBox MB_ICONSTOP "Installing for all users needs an administrator: start the setup$\r$\nwith $\"Run as administrator$\", or leave out /AllUsers to install for yourself." /SD IDOK
      SetErrorLevel 740
      Quit
    ${EndIf}
    StrCpy $AllUsers 1
    ; Program Files, unless /D named another folder.
    ${If} $INSTDIR == "$LOCALAPPDATA\Programs\zetra"
      !if ${ARCH} == x64
        StrCpy $INSTDIR "$PROGRAMFILES64\zetra"
      !else
        StrCpy $INSTDIR "$PROGRAMFILES32\zetra"
      !endif
    ${EndIf}
    SetShellVarContext all
  ${EndIf}
  !if ${ARCH} == x64
    ${IfNot} ${RunningX64}
      MessageBox MB_ICONSTOP "This is the 64-bit zetra; this Windows is 32-bit. Use the x86 setup." /SD IDOK
      Quit
    ${EndIf}
  !endif
FunctionEnd

Section "zetra" SecProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${PROGRAM_DIR}\zetra.exe"
  File "${PROGRAM_DIR}\ztrtool.exe"
  File "${PROGRAM_DIR}\kvwin32-demo.dll"
  File "${PROGRAM_DIR}\zetrat.html"
  File "${PROGRAM_DIR}\zetra-recording.ico"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ; Where the uninstaller finds its way back, and whose keys it removes.
  WriteINIStr "$INSTDIR\uninstall.ini" "install" "AllUsers" "$AllUsers"

  CreateDirectory "$SMPROGRAMS\zetra"
  CreateShortcut "$SMPROGRAMS\zetra\zetra.lnk" "$INSTDIR\zetra.exe" "" "$INSTDIR\zetra.exe" 0
  CreateShortcut "$SMPROGRAMS\zetra\zetra with the simulated unit.lnk" "$INSTDIR\zetra.exe" "--demo-unit" "$INSTDIR\zetra.exe" 0
  CreateShortcut "$SMPROGRAMS\zetra\zetra help.lnk" "$INSTDIR\zetrat.html"

  ; The .ztr file type: its icon and Open (zetra.exe "%1").
  !insertmacro WriteKey "${CLASSES}\.ztr" "" "${FILE_TYPE}"
  !insertmacro WriteKey "${CLASSES}\${FILE_TYPE}" "" "zetra recording"
  !insertmacro WriteKey "${CLASSES}\${FILE_TYPE}\DefaultIcon" "" "$INSTDIR\zetra-recording.ico"
  !insertmacro WriteKey "${CLASSES}\${FILE_TYPE}\shell\open\command" "" '"$INSTDIR\zetra.exe" "%1"'
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  !insertmacro WriteKey "${UNINSTALL_KEY}" "DisplayName" "zetra ${VERSION} (${ARCH})"
  !insertmacro WriteKey "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  !insertmacro WriteKey "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zetra.exe"
  !insertmacro WriteKey "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  !insertmacro WriteKey "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  !insertmacro WriteKey "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
SectionEnd

!ifdef DRIVER_DIR
; The base unit's driver package, copied beside the program; installing it into Windows needs
; an administrator and test-signing mode (README), so it is left to pnputil run by hand.
Section /o "Driver package for the USB base unit (kvusb)" SecDriver
  SetOutPath "$INSTDIR\driver"
  File /r "${DRIVER_DIR}\*.*"
SectionEnd
!endif

Function un.onInit
  ReadINIStr $AllUsers "$INSTDIR\uninstall.ini" "install" "AllUsers"
  ${If} $AllUsers == 1
    SetShellVarContext all
  ${Else}
    StrCpy $AllUsers 0
    SetShellVarContext current
  ${EndIf}
FunctionEnd

!macro DeleteKey KEY
  ${If} $AllUsers == 1
    DeleteRegKey HKLM "${KEY}"
  ${Else}
    DeleteRegKey HKCU "${KEY}"
  ${EndIf}
!macroend

; Only what the setup put there goes: recordings, zetrat.set, zetrat.ports and journals stay,
; and with them the folder.
Section "Uninstall"
  Delete "$INSTDIR\zetra.exe"
  Delete "$INSTDIR\ztrtool.exe"
  Delete "$INSTDIR\kvwin32-demo.dll"
  Delete "$INSTDIR\zetrat.html"
  Delete "$INSTDIR\zetra-recording.ico"
  Delete "$INSTDIR\uninstall.ini"
  RMDir /r "$INSTDIR\driver"
  Delete "$SMPROGRAMS\zetra\zetra.lnk"
  Delete "$SMPROGRAMS\zetra\zetra with the simulated unit.lnk"
  Delete "$SMPROGRAMS\zetra\zetra help.lnk"
  RMDir "$SMPROGRAMS\zetra"

  ; The file type goes only while it still opens this installation's zetra.
  ${If} $AllUsers == 1
    ReadRegStr $0 HKLM "${CLASSES}\${FILE_TYPE}\shell\open\command" ""
  ${Else}
    ReadRegStr $0 HKCU "${CLASSES}\${FILE_TYPE}\shell\open\command" ""
  ${EndIf}
  ${If} $0 == '"$INSTDIR\zetra.exe" "%1"'
    !insertmacro DeleteKey "${CLASSES}\${FILE_TYPE}"
    !insertmacro DeleteKey "${CLASSES}\.ztr"
    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
  ${EndIf}
  !insertmacro DeleteKey "${UNINSTALL_KEY}"

  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
