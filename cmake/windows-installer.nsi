; The Windows installer: per user, without administrator rights, into
; %LOCALAPPDATA%\Programs\Zorvi, with a Start-menu shortcut, an entry in the
; user's installed programs, and the settings key when it is absent.
; cmake/windows-installer.cmake runs makensis on it with these defined:
;   VERSION, VERSION4 (four numbers), OUTFILE, ICON, FILES and UNFILES (the
;   File and Delete lines of what the zip holds), LICENCE (the licence's text).
; Silent: setup.exe /S, uninstall.exe /S; uninstall.exe /S /REMOVESETTINGS
; also removes the settings key.

Unicode true
Target amd64-unicode
RequestExecutionLevel user
ManifestDPIAware true
SetCompressor /SOLID lzma

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvi"
!define SETTINGS_KEY "SOFTWARE\screen-capture-rvk"

Name "Zorvi ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zorvi"
; Installed again, it goes where it went before.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"

VIProductVersion "${VERSION4}"
VIAddVersionKey ProductName "Zorvi"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileDescription "Zorvi ${VERSION} installer"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey LegalCopyright "Copyright 2026 The Zorvi developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\zorvi.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running picker holds its files open and its mutex: replacing or removing
; them under it would fail halfway.
!macro RefuseWhilePickerRuns
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "SCRM-TAVRO") p .r0'
    ${If} $0 P<> 0
        System::Call 'kernel32::CloseHandle(p r0)'
        MessageBox MB_ICONEXCLAMATION|MB_OK "Zorvi is running. Close it, then try again." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
!macroend

Function .onInit
    !insertmacro RefuseWhilePickerRuns
FunctionEnd

Section
    SetOutPath "$INSTDIR"
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Zorvi.lnk" "$INSTDIR\zorvi.exe" "" "$INSTDIR\zorvi.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Zorvi"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zorvi.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Zorvi developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0

    ; The picker never creates its key. zorvi-settings init does, as on
    ; Linux: with show_capture 1 when absent, never overwriting a value.
    nsExec::ExecToLog '"$INSTDIR\zorvi-settings.exe" init'
    Pop $0
    ${If} $0 != 0
        MessageBox MB_ICONEXCLAMATION|MB_OK "The settings key could not be created ($0): Zorvi keeps nothing until zorvi-settings init has run." /SD IDOK
    ${EndIf}
SectionEnd

; Before the program's files: the uninstall entry, removed last, says when
; everything else is gone.
Section /o "un.Settings" RemoveSettings
    DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd
!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${RemoveSettings} "The region, its switches and the frame's thickness. Left, they are there for the next install."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Section "-un.Zorvi"
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Zorvi.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Function un.onInit
    !insertmacro RefuseWhilePickerRuns
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${RemoveSettings} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
