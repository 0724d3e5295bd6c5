; Setup program of Kelvo Utilities. scripts/package stages the program folder and runs
;   makensis -DVERSION=1.3 -DVERSION_QUAD=1.3.0.0 -DSTAGE=<staged folder> -DOUTFILE=<setup.exe>
;            -DFILES_NSH=<install list> -DUNFILES_NSH=<uninstall list> KelvoUtils.nsi
; The two lists name every staged file, so the uninstaller removes exactly what was installed
; and nothing the program wrote beside itself (undo files, "duplist").

!macro REQUIRE_DEFINE NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: build the setup program with scripts/package"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE VERSION_QUAD
!insertmacro REQUIRE_DEFINE STAGE
!insertmacro REQUIRE_DEFINE OUTFILE
!insertmacro REQUIRE_DEFINE FILES_NSH
!insertmacro REQUIRE_DEFINE UNFILES_NSH

; The program is 64-bit: a 64-bit setup program sees the 64-bit Program Files and registry
; directly, and on a 32-bit Windows, where the program could not run, it does not start at all.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!define PRODUCT "Kelvo Utilities"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvo Utilities"
!define MENU_DIR "$SMPROGRAMS\Kelvo Utilities"

Name "${PRODUCT}"
Caption "${PRODUCT} ${VERSION} Setup"
UninstallCaption "${PRODUCT} ${VERSION} Uninstall"
BrandingText "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kelvo Utilities"
; An update goes where the last installation went, unless /D= says otherwise.
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PRODUCT}"
VIAddVersionKey "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "Copyright (C) ${PRODUCT}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "../resources/gen/KelvoUtils.ico"
!define MUI_UNICON "../resources/gen/KelvoUtils.ico"
!define MUI_ABORTWARNING

; Where the undo files go is worth knowing before the first clean-up.
!define MUI_WELCOMEPAGE_TEXT "Setup will install ${PRODUCT} ${VERSION} on your computer.$\r$\n$\r$\n\
Before every registry clean-up, ${PRODUCT} saves an undo file (*.reg). A copy in a folder \
its user cannot write, such as Program Files, keeps its undo files in the user's own \
%LOCALAPPDATA%\Kelvo Utilities folder.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES

!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the Read Me file"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "${PRODUCT} will be uninstalled from the following folder. \
Your registry undo files (*.reg), the duplicate list file and your settings are kept; \
delete them yourself when you no longer need them."
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "You need administrator rights to install or uninstall ${PRODUCT}." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REQUIRE_ADMIN
  SetShellVarContext all
FunctionEnd

Function un.onInit
  !insertmacro REQUIRE_ADMIN
  SetShellVarContext all
FunctionEnd

Section "${PRODUCT}" SecProgram
  SectionIn RO
  !include "${FILES_NSH}"

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut starts the program in its own folder.
  CreateDirectory "${MENU_DIR}"
  CreateShortcut "${MENU_DIR}\Kelvo Utilities.lnk" "$INSTDIR\KelvoUtils.exe" "" \
    "$INSTDIR\KelvoUtils.exe" 0 SW_SHOWNORMAL "" "Clean up unneeded files, the registry, startup programs and more"
  CreateShortcut "${MENU_DIR}\Uninstall Kelvo Utilities.lnk" "$INSTDIR\uninstall.exe"

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\KelvoUtils.exe,0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
SectionEnd

; Removes what the section above put down, file by file. Undo files, "duplist" (in the
; users' local application data folders, or here when the program ran as an administrator)
; and the settings under HKEY_CURRENT_USER\Software\Kelvo Utils belong to the users and stay;
; the folder goes only when nothing of theirs is left in it.
Section "Uninstall"
  !include "${UNFILES_NSH}"
  Delete "$INSTDIR\uninstall.exe"

  Delete "${MENU_DIR}\Kelvo Utilities.lnk"
  Delete "${MENU_DIR}\Uninstall Kelvo Utilities.lnk"
  RMDir "${MENU_DIR}"

  DeleteRegKey HKLM "${UNINST_KEY}"
  RMDir "$INSTDIR"
SectionEnd
