; The Windows setup program: the programs, the application with Qt's DLLs
; and plugins and the MinGW run-time DLLs, the user manual, Start-menu
; shortcuts, the record file type and an uninstaller. Installs for the user
; who runs it (no administrator rights needed), as the application registers
; its file type for that user too.
;   makensis -DVERSION=1.0.3.1 -DSTAGE=<cmake --install tree> -DOUTFILE=<setup.exe>
;            -DAPPICON=<quillbank-manager.ico> installer.nsi
; The programs are 64-bit; so is the setup program.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define PRODUCT "Quillbank Manager"
!define COMPANY "KDV GmbH"
!define TYPE "QuillbankManager.Document"
!define CLASSES "Software\Classes"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\QuillbankManager"
!define PROGRAM "$INSTDIR\bin\quillbank-manager.exe"
!define MENU "$SMPROGRAMS\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${APPICON}"
UninstallIcon "${APPICON}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  CreateDirectory "${MENU}"
  CreateShortcut "${MENU}\${PRODUCT}.lnk" "${PROGRAM}" "" "${PROGRAM}" 0
  CreateShortcut "${MENU}\User Manual.lnk" "$INSTDIR\share\doc\quillbank-manager\manual\index.html"
  CreateShortcut "${MENU}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

  ; The record file type, as the application registers it: the extension
  ; only when no other type claims it.
  WriteRegStr HKCU "${CLASSES}\${TYPE}" "" "Quillbank Document"
  WriteRegStr HKCU "${CLASSES}\${TYPE}\DefaultIcon" "" "${PROGRAM},1"
  WriteRegStr HKCU "${CLASSES}\${TYPE}\shell\open\command" "" '"${PROGRAM}" "%1"'
  ReadRegStr $0 HKCU "${CLASSES}\.qbd" ""
  StrCmp $0 "" claim
  StrCmp $0 "${TYPE}" claim claimed
  claim:
    WriteRegStr HKCU "${CLASSES}\.qbd" "" "${TYPE}"
    WriteRegStr HKCU "${CLASSES}\.qbd\ShellNew" "NullFile" ""
  claimed:

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "${PROGRAM},0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; SHCNE_ASSOCCHANGED: Explorer shows the type at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  RMDir /r "${MENU}"
  RMDir /r "$INSTDIR\bin"
  RMDir /r "$INSTDIR\share"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"

  ; The file type goes; the extension only where it still names it. The
  ; user's settings and recordings stay.
  DeleteRegKey HKCU "${CLASSES}\${TYPE}"
  ReadRegStr $0 HKCU "${CLASSES}\.qbd" ""
  StrCmp $0 "${TYPE}" 0 +2
    DeleteRegKey HKCU "${CLASSES}\.qbd"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
