; The Windows installer of the cashier client, cashier-setup-<version>.exe. scripts/windows/build.sh makes it:
;   makensis -DVERSION=3.0.1 -DSTAGE=<staged installation> -DICON=<setup.ico> -DOUTFILE=<setup.exe> \
;            -DFILES=<uninstall-files.nsh> cashier.nsi
; A per-machine install: the program goes to Program Files with the gateway's address beside it (site.ini, for every
; account), the Start-menu entry is every user's. Each cashier's files (data.ini, app.config, the payment journal, the
; log) live in that cashier's %LOCALAPPDATA%\Cashier, made by the client at its first start there; they stay when the
; program is removed or upgraded.
; Silent: cashier-setup-<version>.exe /S [/GATEWAY=<url>] [/SITE=<url>], and uninstall.exe /S.
; Exit codes: 0 installed; 2 the client is running (nothing changed); 3 a newer version is installed (nothing
; changed); 4 /GATEWAY= or /SITE= is not a web address; 5 the installed version could not be removed first.
Unicode true
; A 64-bit installer for a 64-bit program: Program Files and the registry without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WordFunc.nsh"
!include "nsDialogs.nsh"

!define PRODUCT "柚屿智付"
!define PUBLISHER "柚屿智付"
; Names no other program is likely to take.
!define PRODUCT_ID "YouyuZhifuCashier"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT_ID}"
; Where the first Windows release installed itself, under names too plain to be sure of: taken as ours only when its
; name and publisher are.
!define OLD_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Cashier"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT_ID}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=2052 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "FileDescription" "${PRODUCT} 安装程序"
VIAddVersionKey /LANG=2052 "LegalCopyright" "${PUBLISHER}"

Var Gateway
Var Site
Var OldVersion
Var OldDir
Var GatewayField
Var SiteField

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
; No 运行 on the finish page: it would start the client as the administrator who installed it, writing sales into that
; account's folder. The cashier starts it from the Start menu.
!insertmacro MUI_PAGE_DIRECTORY
Page custom gatewayPage gatewayPageLeave
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

; A running client holds cashier.exe open: it can be neither replaced nor removed until the cashier quits it. Asks
; to quit it and try again; silent, and on 取消, stops with nothing changed (exit code 2). $R9: the program's folder.
!macro NOT_RUNNING_CHECK un
Function ${un}ensureNotRunning
    ${IfNot} ${FileExists} "$R9\cashier.exe"
        Return
    ${EndIf}
    retry:
    ClearErrors
    FileOpen $0 "$R9\cashier.exe" a
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

; The value of the command-line option NAME (e.g. "/GATEWAY=", on the stack) in $R0: what follows it up to the next
; " /" or the end, without surrounding quotes; the error flag when it is not there. (FileFunc's GetOptions would end
; the value at its first slash.)
Function optionValue
    Exch $R1
    Push $R2
    Push $R3
    Push $R4
    Push $R5
    Push $R6
    ${GetParameters} $R2
    StrLen $R5 $R1
    StrLen $R6 $R2
    StrCpy $R3 0
    StrCpy $R0 ""
    find:
        IntCmp $R3 $R6 absent 0 absent
        StrCpy $R4 $R2 $R5 $R3
        ${If} $R4 == $R1
            IntOp $R4 $R3 - 1
            StrCpy $R4 $R2 1 $R4
            ${If} $R3 == 0
            ${OrIf} $R4 == " "
            ${OrIf} $R4 == '"'
                IntOp $R3 $R3 + $R5
                StrCpy $R0 $R2 "" $R3
                Goto cut
            ${EndIf}
        ${EndIf}
        IntOp $R3 $R3 + 1
        Goto find
    cut:
        StrLen $R6 $R0
        StrCpy $R3 0
        next:
            IntCmp $R3 $R6 unquote 0 unquote
            StrCpy $R4 $R0 2 $R3
            ${If} $R4 == " /"
                StrCpy $R0 $R0 $R3
                Goto unquote
            ${EndIf}
            IntOp $R3 $R3 + 1
            Goto next
    unquote:
        StrCpy $R4 $R0 1
        ${If} $R4 == '"'
            StrCpy $R0 $R0 "" 1
        ${EndIf}
        StrCpy $R4 $R0 1 -1
        ${If} $R4 == '"'
            StrCpy $R0 $R0 -1
        ${EndIf}
        ClearErrors
        Goto done
    absent:
        SetErrors
    done:
    Pop $R6
    Pop $R5
    Pop $R4
    Pop $R3
    Pop $R2
    Pop $R1
FunctionEnd

; True (1 in $R0) for an http or https address with a host.
Function isWebAddress
    Exch $R1
    Push $R2
    StrCpy $R0 0
    StrCpy $R2 $R1 8
    ${If} $R2 == "https://"
        StrCpy $R2 $R1 1 8
    ${Else}
        StrCpy $R2 $R1 7
        ${If} $R2 == "http://"
            StrCpy $R2 $R1 1 7
        ${Else}
            StrCpy $R2 "/"
        ${EndIf}
    ${EndIf}
    ${If} $R2 != ""
    ${AndIf} $R2 != "/"
    ${AndIf} $R2 != " "
        StrCpy $R0 1
    ${EndIf}
    Pop $R2
    Pop $R1
FunctionEnd

Function .onInit
    ; What is installed: this product's entry, else the first release's (same name and publisher).
    ReadRegStr $OldVersion HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ReadRegStr $OldDir HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $OldVersion == ""
        ReadRegStr $0 HKLM "${OLD_UNINSTALL_KEY}" "DisplayName"
        ReadRegStr $1 HKLM "${OLD_UNINSTALL_KEY}" "Publisher"
        ${If} $0 == "${PRODUCT}"
        ${AndIf} $1 == "${PUBLISHER}"
            ReadRegStr $OldVersion HKLM "${OLD_UNINSTALL_KEY}" "DisplayVersion"
            ReadRegStr $OldDir HKLM "${OLD_UNINSTALL_KEY}" "InstallLocation"
        ${EndIf}
    ${EndIf}
    ${If} $OldDir == ""
        StrCpy $OldVersion ""
    ${EndIf}

    ; An older client must never run over a newer one's files: its journal may be of a newer kind, which the older
    ; client would put aside as unreadable.
    ${If} $OldVersion != ""
        ${VersionCompare} "${VERSION}" "$OldVersion" $0
        ${If} $0 == 2
            MessageBox MB_OK|MB_ICONSTOP \
                "本机已安装${PRODUCT}收银软件的较新版本 $OldVersion，不能用较旧的版本 ${VERSION} 覆盖它。$\r$\n如确需换回旧版本，请先在“程序和功能”中卸载新版本。" \
                /SD IDOK
            SetErrorLevel 3
            Quit
        ${EndIf}
        StrCpy $R9 $OldDir
        Call ensureNotRunning
    ${EndIf}
    StrCpy $R9 $INSTDIR
    Call ensureNotRunning

    ; The addresses: the command line's, else the ones the installed version was given.
    Push "/GATEWAY="
    Call optionValue
    StrCpy $Gateway $R0
    ${If} ${Errors}
    ${AndIf} $OldDir != ""
        ReadINIStr $Gateway "$OldDir\site.ini" "data_config" "gatewayUrl"
    ${EndIf}
    Push "/SITE="
    Call optionValue
    StrCpy $Site $R0
    ${If} ${Errors}
    ${AndIf} $OldDir != ""
        ReadINIStr $Site "$OldDir\site.ini" "data_config" "vendorUrl"
    ${EndIf}
    ${If} ${Silent}
        ${If} $Gateway != ""
            Push $Gateway
            Call isWebAddress
            ${If} $R0 != 1
                SetErrorLevel 4
                Quit
            ${EndIf}
        ${EndIf}
        ${If} $Site != ""
            Push $Site
            Call isWebAddress
            ${If} $R0 != 1
                SetErrorLevel 4
                Quit
            ${EndIf}
        ${EndIf}
    ${EndIf}
FunctionEnd

Function un.onInit
    StrCpy $R9 $INSTDIR
    Call un.ensureNotRunning
FunctionEnd

; The gateway's address (https by default) and the vendor's site, asked once for the whole computer.
Function gatewayPage
    !insertmacro MUI_HEADER_TEXT "网关地址" "收银软件连接的支付网关，本机所有账户共用"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateLabel} 0 0 100% 24u "支付网关地址（服务商提供，例如 https://pay.example.com/api.php/Gateway/index）："
    Pop $0
    ${If} $Gateway == ""
        StrCpy $Gateway "https://"
    ${EndIf}
    ${NSD_CreateText} 0 26u 100% 12u "$Gateway"
    Pop $GatewayField
    ${NSD_CreateLabel} 0 48u 100% 12u "官方网站（可不填；不填时用网关所在的网站）："
    Pop $0
    ${NSD_CreateText} 0 62u 100% 12u "$Site"
    Pop $SiteField
    ${NSD_CreateLabel} 0 84u 100% 36u "以后更改：重新运行本安装程序，或编辑程序文件夹中的 site.ini（需要管理员权限）。$\r$\n某个收银员自己的 data.ini 中的 gatewayUrl 优先。"
    Pop $0
    nsDialogs::Show
FunctionEnd

Function gatewayPageLeave
    ${NSD_GetText} $GatewayField $Gateway
    ${NSD_GetText} $SiteField $Site
    ${If} $Gateway == "https://"
    ${OrIf} $Gateway == "http://"
        StrCpy $Gateway ""
    ${EndIf}
    ${If} $Gateway != ""
        Push $Gateway
        Call isWebAddress
        ${If} $R0 != 1
            MessageBox MB_OK|MB_ICONEXCLAMATION "网关地址应以 https:// 或 http:// 开头，后面是网关的主机名。"
            Abort
        ${EndIf}
    ${Else}
        MessageBox MB_YESNO|MB_ICONQUESTION "没有填写网关地址，收银软件将无法登录。仍然继续吗？" IDYES +2
        Abort
    ${EndIf}
    ${If} $Site != ""
        Push $Site
        Call isWebAddress
        ${If} $R0 != 1
            MessageBox MB_OK|MB_ICONEXCLAMATION "官方网站应以 https:// 或 http:// 开头，或者不填。"
            Abort
        ${EndIf}
    ${EndIf}
FunctionEnd

Section "install"
    ; The installed version goes first, through its own uninstaller (which leaves every cashier's files alone), so
    ; that nothing the new version no longer ships stays behind.
    ${If} $OldVersion != ""
        ; Whether the installing account's client starts with Windows: removing the old program takes that value.
        ReadRegStr $R1 HKCU "${RUN_KEY}" "auto"
        DetailPrint "正在卸载已安装的版本 $OldVersion"
        ClearErrors
        ExecWait '"$OldDir\uninstall.exe" /S _?=$OldDir' $0
        ${If} ${Errors}
        ${OrIf} $0 != 0
            MessageBox MB_OK|MB_ICONSTOP "无法卸载已安装的版本 $OldVersion（$OldDir）。请先在“程序和功能”中卸载它，再运行本安装程序。" /SD IDOK
            SetErrorLevel 5
            Quit
        ${EndIf}
        ; Run in place (_?=), the uninstaller leaves itself and its folder.
        Delete "$OldDir\uninstall.exe"
        RMDir "$OldDir"
        ${If} $R1 == "$OldDir\cashier.exe"
            WriteRegStr HKCU "${RUN_KEY}" "auto" "$INSTDIR\cashier.exe"
        ${EndIf}
    ${EndIf}

    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    ; The addresses every account's client falls back to (a cashier's data.ini may name others).
    Delete "$INSTDIR\site.ini"
    ${If} $Gateway != ""
        WriteINIStr "$INSTDIR\site.ini" "data_config" "gatewayUrl" "$Gateway"
    ${EndIf}
    ${If} $Site != ""
        WriteINIStr "$INSTDIR\site.ini" "data_config" "vendorUrl" "$Site"
    ${EndIf}

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

    ; Every user's Start-menu entry, started in the program's folder (the shortcut's working folder is the output
    ; folder at the time it is made): the client moves to the cashier's own %LOCALAPPDATA%\Cashier from there.
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\cashier.exe" "" "$INSTDIR\cashier.exe" 0
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\卸载${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
SectionEnd

Section "Uninstall"
    ; Only the files this installer put there: a folder chosen by hand may hold others.
    !include "${FILES}"
    Delete "$INSTDIR\site.ini"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\卸载${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The autostart value the client wrote would start a program that is gone (this account's; another account's
    ; value stays, and Windows passes over a program that is not there).
    ReadRegStr $0 HKCU "${RUN_KEY}" "auto"
    ${If} $0 == "$INSTDIR\cashier.exe"
        DeleteRegValue HKCU "${RUN_KEY}" "auto"
    ${EndIf}
    ; Every %LOCALAPPDATA%\Cashier stays: the settings, the payment journal and the log are the merchant's records.
SectionEnd
