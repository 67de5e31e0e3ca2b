; The Windows installer of КАЛВИ-7: kalvi7.exe and kalvi7-ctl.exe with what
; they need to run, for the user who runs it. scripts/windows.sh makes it:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.3 -DVERSION4=1.3.0.0 -DSTAGE=<staged folder> -DICON=<.ico>
;            -DLISTS=<folder of the file lists> -DSIZE_KB=<size> -DOUTFILE=<setup.exe> kalvi7.nsi
;
; STAGE holds the programs as shipped (the zip's folder); LISTS holds
; install-files.nsh and uninstall-files.nsh, written from that folder, so
; the uninstaller removes exactly what the installer put down.
;
; Per user, without administrator rights, into %LOCALAPPDATA%\Programs\kalvi7:
; the program keeps its settings in the %APPDATA% of whoever starts it,
; and an installer run elevated for all users would take the
; administrator's %APPDATA%, PATH and Start menu for everyone's. The
; uninstaller removes the files it installed and nothing else: settings.INI,
; wherever the operator keeps it, and %APPDATA%\kalvi7 stay.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}
SetCompressor /SOLID lzma
; No file times in the installer: two builds of the same files are the same
; installer, and the installed files get the time of the install.
SetDateSave off

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh
!include WinVer.nsh

!define PRODUCT "КАЛВИ-7"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\kalvi7"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\kalvi7"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\kalvi7.exe"
!define MUI_FINISHPAGE_RUN_PARAMETERS "--user-folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
; The first is the one for any language not listed.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString ShortcutComment ${LANG_ENGLISH} "Pre-flight preparation of the KALVI-7 radiosonde"
LangString ShortcutComment ${LANG_RUSSIAN} "Предполётная подготовка радиозонда КАЛВИ-7"
LangString NeedsWindows10 ${LANG_ENGLISH} "${PRODUCT} needs Windows 10 or 11."
LangString NeedsWindows10 ${LANG_RUSSIAN} "${PRODUCT} работает в Windows 10 и 11."
LangString PathTooLong ${LANG_ENGLISH} \
    "Your PATH is too long for this installer to change safely; it was left as it is. \
     To run kalvi7-ctl from a console, add $INSTDIR to PATH yourself."
LangString PathTooLong ${LANG_RUSSIAN} \
    "Переменная PATH слишком длинна, чтобы установщик мог безопасно её изменить; она оставлена как есть. \
     Чтобы запускать kalvi7-ctl из консоли, добавьте в PATH папку $INSTDIR сами."
LangString PathNotCleaned ${LANG_ENGLISH} \
    "Your PATH is too long for the uninstaller to change safely; remove $INSTDIR from it yourself."
LangString PathNotCleaned ${LANG_RUSSIAN} \
    "Переменная PATH слишком длинна, чтобы её безопасно изменить; удалите из неё папку $INSTDIR сами."

VIProductVersion "${VERSION4}"
VIFileVersion "${VERSION4}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "KALVI-7 ground tools"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "© 2026 KALVI-7 ground tools"

; The user's own PATH, HKCU\Environment\Path, as one NSIS string, or a
; reason not to touch it. NSIS strings hold NSIS_MAX_STRLEN characters: a
; longer value reads as an error and a longer result would be cut short,
; and writing either back would lose the user's PATH. So the value is
; changed only when it reads whole and the result fits.
;   out: $R0 the value ("" when there is none), $R9 "ok", "none" or "long"
!macro READ_USER_PATH un
Function ${un}ReadUserPath
    ClearErrors
    ReadRegStr $R0 HKCU "Environment" "Path"
    ${IfNot} ${Errors}
        StrCpy $R9 "ok"
        Return
    ${EndIf}
    ; Not read: missing, or there but too long (or not text).
    StrCpy $R9 "none"
    StrCpy $R0 ""
    StrCpy $0 0
    ${Do}
        EnumRegValue $1 HKCU "Environment" $0
        ${If} $1 == ""
            ${Break}
        ${EndIf}
        ${If} $1 == "Path"
            StrCpy $R9 "long"
            ${Break}
        ${EndIf}
        IntOp $0 $0 + 1
    ${Loop}
FunctionEnd
!macroend
!insertmacro READ_USER_PATH ""
!insertmacro READ_USER_PATH "un."

; A PATH value without the entries that name a folder (letter case and a
; trailing backslash aside); every other entry, empty ones too, kept as it
; is and in its place.
;   in: $R0 the value, $R1 the folder
;   out: $R2 the value without them, $R3 how many there were
!macro PATH_WITHOUT un
Function ${un}PathWithout
    StrCpy $R2 ""
    StrCpy $R3 0
    StrCpy $R4 ""  ; the entry being read
    StrCpy $R5 0   ; where in the value
    StrCpy $R8 0   ; entries kept so far
    StrLen $R6 $R0
    ${Do}
        StrCpy $R7 $R0 1 $R5
        ${If} $R5 >= $R6
        ${OrIf} $R7 == ";"
            StrCpy $0 $R4
            StrCpy $1 $R4 1 -1
            ${If} $1 == "\"
                StrCpy $0 $R4 -1
            ${EndIf}
            ${If} $R4 != ""
            ${AndIf} $0 == $R1
                IntOp $R3 $R3 + 1
            ${Else}
                ${If} $R8 > 0
                    StrCpy $R2 "$R2;"
                ${EndIf}
                StrCpy $R2 "$R2$R4"
                IntOp $R8 $R8 + 1
            ${EndIf}
            StrCpy $R4 ""
            ${If} $R5 >= $R6
                ${Break}
            ${EndIf}
        ${Else}
            StrCpy $R4 "$R4$R7"
        ${EndIf}
        IntOp $R5 $R5 + 1
    ${Loop}
FunctionEnd
!macroend
!insertmacro PATH_WITHOUT ""
!insertmacro PATH_WITHOUT "un."

; Consoles opened from now on see the change.
!macro ANNOUNCE_ENVIRONMENT
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
!macroend

Function AddToUserPath
    Call ReadUserPath
    ${If} $R9 == "long"
        DetailPrint "$(PathTooLong)"
        MessageBox MB_OK|MB_ICONINFORMATION "$(PathTooLong)" /SD IDOK
        Return
    ${EndIf}
    StrCpy $R1 $INSTDIR
    Call PathWithout
    ${If} $R3 > 0
        Return  ; there already
    ${EndIf}
    StrLen $0 $R0
    StrLen $1 $INSTDIR
    IntOp $0 $0 + $1
    IntOp $0 $0 + 1
    ${If} $0 >= ${NSIS_MAX_STRLEN}
        DetailPrint "$(PathTooLong)"
        MessageBox MB_OK|MB_ICONINFORMATION "$(PathTooLong)" /SD IDOK
        Return
    ${EndIf}
    StrCpy $1 $R0 1 -1
    ${If} $R0 == ""
        StrCpy $R0 $INSTDIR
    ${ElseIf} $1 == ";"
        StrCpy $R0 "$R0$INSTDIR"
    ${Else}
        StrCpy $R0 "$R0;$INSTDIR"
    ${EndIf}
    ; Expandable, as Windows keeps it: other entries may name %USERPROFILE%.
    WriteRegExpandStr HKCU "Environment" "Path" $R0
    !insertmacro ANNOUNCE_ENVIRONMENT
FunctionEnd

Function un.RemoveFromUserPath
    Call un.ReadUserPath
    ${If} $R9 == "long"
        DetailPrint "$(PathNotCleaned)"
        MessageBox MB_OK|MB_ICONINFORMATION "$(PathNotCleaned)" /SD IDOK
        Return
    ${EndIf}
    StrCpy $R1 $INSTDIR
    Call un.PathWithout
    ${If} $R3 == 0
        Return
    ${EndIf}
    ${If} $R2 == ""
        DeleteRegValue HKCU "Environment" "Path"
    ${Else}
        WriteRegExpandStr HKCU "Environment" "Path" $R2
    ${EndIf}
    !insertmacro ANNOUNCE_ENVIRONMENT
FunctionEnd

; The Qt the programs are built with runs on Windows 10 and later only.
Function .onInit
    ${IfNot} ${AtLeastWin10}
        MessageBox MB_OK|MB_ICONSTOP "$(NeedsWindows10)" /SD IDOK
        Abort
    ${EndIf}
FunctionEnd

Section
    SetShellVarContext current
    !include "${LISTS}/install-files.nsh"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; The shortcut starts the window in the per-user folder, which the
    ; program makes and enters itself (--user-folder): a shortcut runs no
    ; command before it. Its working folder is the install folder, which
    ; exists whenever the shortcut does.
    SetOutPath "$INSTDIR"
    CreateShortcut "${SHORTCUT}" "$INSTDIR\kalvi7.exe" "--user-folder" "$INSTDIR\kalvi7.exe" 0 \
        SW_SHOWNORMAL "" "$(ShortcutComment)"

    ; Add/Remove Programs (Settings > Apps).
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "KALVI-7 ground tools"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kalvi7.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}

    ; kalvi7-ctl from any console opened after the install.
    Call AddToUserPath
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "${SHORTCUT}"
    !include "${LISTS}/uninstall-files.nsh"
    Delete "$INSTDIR\uninstall.exe"
    ; Not /r: the folder stays while anything of the user's is in it, a
    ; settings.INI of a start from a console among them.
    RMDir "$INSTDIR"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
    Call un.RemoveFromUserPath
SectionEnd
