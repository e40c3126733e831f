; The Windows installer of the cashier client, cashier-setup-<version>.exe. scripts/windows/build.sh makes it:
;   makensis -DVERSION=3.0.1 -DSTAGE=<staged installation> -DICON=<setup.ico> -DOUTFILE=<setup.exe> \
;            -DFILES=<uninstall-files.nsh> cashier.nsi
; The program goes to Program Files; each cashier's files (data.ini, app.config, the payment journal, the log) live
; in %LOCALAPPDATA%\Cashier, where the Start-menu entry starts the client, and stay when it is removed.
; Silent: cashier-setup-<version>.exe /S, and uninstall.exe /S.
Unicode true
; A 64-bit installer for a 64-bit program: Program Files and the registry without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define PRODUCT "柚屿智付"
!define PUBLISHER "柚屿智付"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cashier"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Cashier"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION startClient
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; A running client holds cashier.exe open: it can be neither replaced nor removed until the cashier quits it. Asks
; to quit it and try again; silent, and on 取消, stops with nothing changed (exit code 2).
!macro NOT_RUNNING_CHECK un
Function ${un}ensureNotRunning
    ${IfNot} ${FileExists} "$INSTDIR\cashier.exe"
        Return
    ${EndIf}
    retry:
    ClearErrors
    FileOpen $0 "$INSTDIR\cashier.exe" a
    ${If} ${Errors}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "${PRODUCT}收银软件正在运行。$\r$\n请先退出它（托盘图标菜单中的“退出”），再点“重试”。" \
            /SD IDCANCEL IDRETRY retry
        SetErrorLevel 2
        Quit
    ${EndIf}
    FileClose $0
FunctionEnd
!macroend
!insertmacro NOT_RUNNING_CHECK ""
!insertmacro NOT_RUNNING_CHECK "un."

Function .onInit
    Call ensureNotRunning
FunctionEnd

Function un.onInit
    Call un.ensureNotRunning
FunctionEnd

; The finish page's 运行: started in the cashier's folder, as the Start-menu entry does.
Function startClient
    SetShellVarContext current
    SetOutPath "$LOCALAPPDATA\Cashier"
    Exec '"$INSTDIR\cashier.exe"'
FunctionEnd

Section "install"
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; 程序和功能 (Add/Remove Programs).
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\cashier.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}

    ; The cashier's folder, and the Start-menu entry that starts the client in it (the shortcut's working folder is
    ; the output folder at the time it is made).
    SetShellVarContext current
    CreateDirectory "$LOCALAPPDATA\Cashier"
    SetOutPath "$LOCALAPPDATA\Cashier"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\cashier.exe" "" "$INSTDIR\cashier.exe" 0
    SetOutPath "$INSTDIR"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\卸载${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
    ; Only the files this installer put there: a folder chosen by hand may hold others.
    !include "${FILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    SetShellVarContext current
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\卸载${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The autostart value the client wrote would start a program that is gone.
    ReadRegStr $0 HKCU "${RUN_KEY}" "auto"
    ${If} $0 == "$INSTDIR\cashier.exe"
        DeleteRegValue HKCU "${RUN_KEY}" "auto"
    ${EndIf}
    ; %LOCALAPPDATA%\Cashier stays: the settings, the payment journal and the log are the merchant's records.
SectionEnd
