/*
 * resource.h - identifiers of Kelvo Utilities' resources, controls,
 * commands and strings.
 *
 * Shared by the C++ sources and by KelvoUtils.rc, so it holds nothing
 * but plain #defines.
 */
#ifndef KELVO_RESOURCE_H
#define KELVO_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC                      (-1)
#endif

/* ------------------------------------------------------------------ */
/* Shared resource id 128: program icon, main menu, toolbar layout,    */
/* accelerators and the main window's title string.                    */
/* ------------------------------------------------------------------ */
#define IDR_MAINFRAME                   128

/* ------------------------------------------------------------------ */
/* Dialog templates                                                     */
/* ------------------------------------------------------------------ */
#define IDD_ABOUTBOX                    100     /* "About"                        */
#define IDD_CANCEL                      101     /* scan cancel dialog             */
#define IDD_OPTIONS_JUNK                114     /* page "Unneeded Files"          */
#define IDD_OPTIONS_DRIVES              115     /* page "Drives"                  */
#define IDD_ANIMATION                   116     /* "Loading..." animation dialog  */
#define IDD_TIP                         120     /* tip of the day                 */
#define IDD_ADD_EXTENSION               159     /* "Add Extension"                */
#define IDD_OPTIONS_EXCLUDE             160     /* page "Exclude"                 */
#define IDD_OPTIONS_REGCLEAN            161     /* page "RegClean"                */
#define IDD_OPTIONS_DUPLICATES          163     /* page "Duplicates"              */
#define IDD_OPTIONS_GENERAL             169     /* page "General"                 */
#define IDD_OPTIONS_KEEP                170     /* page "Keep List"               */

/* ------------------------------------------------------------------ */
/* Menus (the main menu is IDR_MAINFRAME)                               */
/* ------------------------------------------------------------------ */
#define IDR_CONTEXT_MENU                118     /* result list right-click menu  */

/* ------------------------------------------------------------------ */
/* Bitmaps                                                              */
/* ------------------------------------------------------------------ */
#define IDB_TIP_BULB                    119     /* 32x32 light bulb, white back  */
#define IDB_REGISTRY_IMAGES             134     /* 16x16 strip, magenta back     */
#define IDB_TOOLBAR_IMAGES              152     /* 16x16 strip, magenta back     */
#define IDB_OUTBAR_IMAGES               155     /* 16x16 strip, magenta back     */
#define IDB_REBAR_BACK                  158     /* rebar band background tile    */
#define IDB_NOTIFIER_SKIN               173     /* notifier skin, magenta outside */

/* Every picture (the bitmaps above and the busy clip) is also drawn for
 * 150% and 200% display scales, one and a half and two times as large
 * (24 and 32 pixel strips, a 48 and 64 pixel bulb, ...): those drawings
 * are the picture's id plus one and two PICTURE_SCALE_STEP. */
#define PICTURE_SCALE_STEP              1000

/* Bitmap 134: pictures of the registry rows (index into the strip). */
#define REGIMG_HKLM                     0       /* HKEY_LOCAL_MACHINE: computer   */
#define REGIMG_HKCU                     1       /* HKEY_CURRENT_USER: one user    */
#define REGIMG_HKU                      2       /* HKEY_USERS: two users          */
#define REGIMG_HKCR                     3       /* HKEY_CLASSES_ROOT: cubes       */
#define REGIMG_KEY                      4       /* registry key (folder)          */
#define REGIMG_STRING                   5       /* string value ("ab")            */
#define REGIMG_BINARY                   6       /* binary/dword value ("011")     */
#define REGIMG_SHAREDDLL                7       /* shared DLL (gear on a page)    */
#define REGIMG_COUNT                    8

/* Bitmap 152: toolbar pictures, in the order of the toolbar's buttons. */
#define TBIMG_UNNEEDED_FILES            0       /* waste bin                      */
#define TBIMG_STARTUP                   1       /* power button                   */
#define TBIMG_REGISTRY                  2       /* registry cubes                 */
#define TBIMG_SHORTCUTS                 3       /* broken shortcut arrow          */
#define TBIMG_HISTORY                   4       /* clock                          */
#define TBIMG_DUPLICATES                5       /* two equal pages                */
#define TBIMG_OPTIONS                   6       /* gear                           */
#define TBIMG_HELP                      7       /* question mark                  */
#define TBIMG_ABOUT                     8       /* "i"                            */
#define TBIMG_SCAN                      9       /* spare: magnifier               */
#define TBIMG_DELETE                    10      /* spare: red cross               */
#define TBIMG_FOLDER                    11      /* spare: open folder             */
#define TBIMG_PROPERTIES                12      /* spare: property page           */
#define TBIMG_BACKUP                    13      /* spare: disk                    */
#define TBIMG_REFRESH                   14      /* spare: circular arrows         */
#define TBIMG_COUNT                     15

/* Bitmap 155: outlook bar item pictures. */
#define OBIMG_DELETE                    0       /* "Delete Selected": page + cross */
#define OBIMG_SCAN                      1       /* "Scan", "Refresh List", "Start" */
#define OBIMG_REFRESH                   2       /* circular arrows                */
#define OBIMG_DELETE_ALL                3       /* "Delete All": waste bin        */
#define OBIMG_FOLDER                    4       /* open folder                    */
#define OBIMG_BACKUP                    5       /* "Backup": disk                 */
#define OBIMG_REMOVE                    6       /* "Remove ...": cube + minus     */
#define OBIMG_UPDATE                    7       /* "Update", "Fix ...": check mark */
#define OBIMG_OPTIONS                   8       /* gear                           */
#define OBIMG_HELP                      9       /* question mark                  */
#define OBIMG_START                     10      /* play triangle                  */
#define OBIMG_ERASER                    11      /* eraser                         */
#define OBIMG_REGEDIT                   12      /* "Open With RegEdit": cubes+pen */
#define OBIMG_DUPLICATES                13      /* two equal pages                */
#define OBIMG_SHORTCUT                  14      /* shortcut arrow                 */
#define OBIMG_COUNT                     15

/* ------------------------------------------------------------------ */
/* Other resources                                                      */
/* ------------------------------------------------------------------ */
#define IDC_HAND_CURSOR                 133     /* link / folder header cursor   */
#define IDR_BUSY_AVI                    135     /* type "AVI": 48x16 busy clip    */
#define IDR_NOTIFY_WAVE                 171     /* type "WAVE": notify chime      */

/* ------------------------------------------------------------------ */
/* Dialog controls                                                      */
/* ------------------------------------------------------------------ */
/* Tip of the day (120) */
#define IDC_TIP_FRAME                   65535   /* white frame around the tip     */
#define IDC_TIP_BULB                    1000
#define IDC_TIP_STARTUP                 1001    /* "&Show Tips"                   */
#define IDC_TIP_NEXT                    1002    /* "&Next Tip"                    */
#define IDC_TIP_TEXT                    1061

/* Animation dialog (116) */
#define IDC_ANIM_TEXT                   1005
#define IDC_ANIM_CLIP                   1019

/* About box (100) */
#define IDC_ABOUT_VERSION               1050
#define IDC_ABOUT_LINK                  1038

/* Add Extension (159) */
#define IDC_EXT_EDIT                    1035

/* Lists and buttons shared by the Options pages */
#define IDC_PAGE_LIST                   1030    /* "Unneeded Files", "Exclude", "RegClean" */
#define IDC_PAGE_ADD                    1031
#define IDC_PAGE_REMOVE                 1032
#define IDC_PAGE_HELP                   1034
#define IDC_PAGE_LIST2                  1037    /* "Drives", "Duplicates"         */

/* The same controls by page */
#define IDC_JUNK_LIST                   1030
#define IDC_JUNK_ADD                    1031
#define IDC_JUNK_REMOVE                 1032
#define IDC_JUNK_HELP                   1034
#define IDC_CLEAN_TEMP                  1039    /* "Clean Temp Files Folder"      */
#define IDC_ZERO_LENGTH                 1040    /* "Find All Zero Length Files"   */

#define IDC_DRIVE_LIST                  1037

#define IDC_EXCLUDE_LIST                1030
#define IDC_EXCLUDE_ADD                 1031
#define IDC_EXCLUDE_REMOVE              1032
#define IDC_EXCLUDE_HELP                1034

#define IDC_UNDO_LIST                   1030
#define IDC_UNDO                        1031
#define IDC_VIEW_UNDO                   1032
#define IDC_ADVANCED                    1034
#define IDC_SCAN_USER_HIVES             1039    /* "Invalid Paths in HKCU/HKAU"   */
#define IDC_SCAN_MACHINE_HIVE           1040    /* "Invalid Paths in HKLM"        */
#define IDC_SCAN_FILE_ASSOC             1041    /* "Invalid File Associations"    */
#define IDC_SCAN_CLASS_IDS              1042    /* "Invalid CLSID and TypeLib Entries" */
#define IDC_SCAN_FOR_GROUP              1057    /* "Scan For" (hidden)            */
#define IDC_REMOVABLE_MEDIA             1060

#define IDC_SAME_SIZE                   1039
#define IDC_SAME_CONTENTS               1040
#define IDC_SAME_NAME                   1041
#define IDC_SAME_TIME                   1042
#define IDC_SCAN_LISTED                 1048    /* "Scan only following files"    */
#define IDC_SCAN_ALL                    1049    /* "Scan All files"               */
#define IDC_DUP_LIST                    1037
#define IDC_DUP_ADD                     1031
#define IDC_DUP_REMOVE                  1032
#define IDC_DUP_HELP                    1034

#define IDC_SHOW_TIPS                   1039    /* "Show Tips at StartUp"         */
#define IDC_TASK_NOTIFY                 1040    /* "Show Taskbar Messages"        */
#define IDC_PLAY_SOUND                  1041    /* "Play Notify Sound"            */

#define IDC_KEEP_LIST                   1030
#define IDC_KEEP_REMOVE                 1032
#define IDC_KEEP_HELP                   1034

/* ------------------------------------------------------------------ */
/* Child windows of the main frame                                      */
/* ------------------------------------------------------------------ */
#define IDW_MESSAGE_BAR                 30001
#define IDW_STATUS_BAR                  59393   /* 0xE801 */
#define IDW_SPLITTER                    59648   /* 0xE900 */

/* ------------------------------------------------------------------ */
/* Commands: menus, toolbar and accelerators                            */
/* ------------------------------------------------------------------ */
#define ID_TIP_OF_THE_DAY               121

#define ID_TOOL_UNNEEDED_FILES          32772
#define ID_TOOL_REGISTRY                32773
#define ID_TOOL_SHORTCUTS               32774
#define ID_TOOL_STARTUP                 32775
#define ID_APP_ABOUTBOX                 32776   /* "&About"                       */
#define ID_OPTIONS                      32777   /* "Options..."  Ctrl+S           */
#define ID_TOOLBAR_HELP                 32780   /* toolbar "Help"                 */
#define ID_TOOL_HISTORY                 32781
#define ID_TOOL_DUPLICATES              32782

#define ID_ITEM_OPEN                    32783   /* "&Open\tEnter"                 */
#define ID_ITEM_PROPERTIES              32784   /* "Properties"                   */
#define ID_ITEM_OPTIONS                 32785   /* "O&ptions..."                  */
#define ID_ITEM_REGEDIT                 32786   /* "Open in &RegEdit"             */
#define ID_VIEW_STATUSBAR               32788
#define ID_VIEW_SAVE_POSITION           32789
#define ID_HELP_TOPIC                   32792   /* "Help on Topic...\tF1"         */
#define ID_HELP_FAQ                     32793
#define ID_HELP_CONTENTS                32796
#define ID_VIEW_AUTOSIZE_COLUMNS        32798
#define ID_HELP_LICENSE                 32799
#define ID_ITEM_DRIVES                  32800   /* context menu "Drives To Scan..." */
#define ID_ITEM_OPEN_WITH               32801
#define ID_SUPPORT_FEEDBACK             32802
#define ID_SUPPORT_DOWNLOAD             32803
#define ID_SUPPORT_HOMEPAGE             32804
#define ID_CONFIG_DRIVES                32807   /* main menu "Drives To Scan..."  */
#define ID_HELP_TUTORIAL                32808
#define ID_ITEM_KEEP                    32809   /* context menu "&Keep (never list again)" */

#define ID_NEXT_PANE                    57680   /* 0xE150, F6                     */
#define ID_PREV_PANE                    57681   /* 0xE151, Shift+F6               */

/* ------------------------------------------------------------------ */
/* Outlook bar: folder (tool) ids and command item ids                  */
/* ------------------------------------------------------------------ */
#define SCANMODE_UNNEEDED_FILES         0
#define SCANMODE_REGISTRY               1
#define SCANMODE_STARTUP                2
#define SCANMODE_SHORTCUTS              3
#define SCANMODE_HISTORY                4
#define SCANMODE_DUPLICATES             5

#define IDF_STARTUP                     3001    /* "AutoStart Programs"           */
#define IDF_REGISTRY                    3002    /* "Clean System Registry"        */
#define IDF_UNNEEDED_FILES              3003    /* "Remove Unneeded Files"        */
#define IDF_SHORTCUTS                   3004    /* "Fix Invalid Shortcuts"        */
#define IDF_HISTORY                     3005    /* "Erase Your History"           */
#define IDF_DUPLICATES                  3006    /* "Find Duplicate Files"         */

/* The command items of the folders: what each runs is the tool table's (app/tooltable.cpp). */
#define ID_STARTUP_UPDATE               3008    /* "Update"                       */
#define ID_STARTUP_DELETE_ALL           3010    /* "Delete All"                   */
#define ID_STARTUP_DELETE_SELECTED      3011    /* "Delete Selected"              */
#define ID_STARTUP_REFRESH              3013    /* "Refresh List"                 */
#define ID_REG_SCAN                     3015    /* "Scan"                         */
#define ID_REG_REMOVE_SELECTED          3016    /* "Remove Selected"              */
#define ID_REG_REMOVE_ALL               3017    /* "Remove All"                   */
#define ID_REG_BACKUP                   3019    /* "Backup"                       */
#define ID_REG_OPEN_REGEDIT             3020    /* "Open With RegEdit"            */
#define ID_SHORTCUTS_SCAN               3021    /* "Scan"                         */
#define ID_SHORTCUTS_FIX_SELECTED       3022    /* "Fix Selected"                 */
#define ID_SHORTCUTS_FIX_ALL            3023    /* "Fix All"                      */
#define ID_SHORTCUTS_DELETE_ALL         3024    /* "Delete All"                   */
#define ID_SHORTCUTS_DELETE_SELECTED    3025    /* "Delete Selected"              */
#define ID_HISTORY_START                3027    /* "Start"                        */
#define ID_JUNK_SCAN                    3029    /* "Scan"                         */
#define ID_JUNK_DELETE_SELECTED         3030    /* "Delete Selected"              */
#define ID_JUNK_DELETE_ALL              3031    /* "Delete All"                   */
#define ID_DUP_DELETE_SELECTED          3033    /* "Delete Selected"              */
#define ID_DUP_SCAN                     3034    /* "Scan"                         */

#define IDT_STARTUP_UPDATE              3008    /* "Update"                       */
#define IDT_STARTUP_DELETE_ALL          3010    /* "Delete All"                   */
#define IDT_STARTUP_DELETE_SELECTED     3011    /* "Delete Selected"              */
#define IDT_STARTUP_REFRESH             3013    /* "Refresh List"                 */
#define IDT_REGISTRY_SCAN               3015    /* "Scan"                         */
#define IDT_REGISTRY_REMOVE_SELECTED    3016    /* "Remove Selected"              */
#define IDT_REGISTRY_REMOVE_ALL         3017    /* "Remove All"                   */
#define IDT_REGISTRY_BACKUP             3019    /* "Backup"                       */
#define IDT_REGISTRY_REGEDIT            3020    /* "Open With RegEdit"            */
#define IDT_SHORTCUTS_SCAN              3021    /* "Scan"                         */
#define IDT_SHORTCUTS_FIX_SELECTED      3022    /* "Fix Selected"                 */
#define IDT_SHORTCUTS_FIX_ALL           3023    /* "Fix All"                      */
#define IDT_SHORTCUTS_DELETE_ALL        3024    /* "Delete All"                   */
#define IDT_SHORTCUTS_DELETE_SELECTED   3025    /* "Delete Selected"              */
#define IDT_HISTORY_START               3027    /* "Start"                        */
#define IDT_UNNEEDED_SCAN               3029    /* "Scan"                         */
#define IDT_UNNEEDED_DELETE_SELECTED    3030    /* "Delete Selected"              */
#define IDT_UNNEEDED_DELETE_ALL         3031    /* "Delete All"                   */
#define IDT_DUPLICATES_DELETE_SELECTED  3033    /* "Delete Selected"              */
#define IDT_DUPLICATES_SCAN             3034    /* "Scan"                         */
/* 3009, 3012, 3014, 3018, 3026, 3028 and 3032 are not used by any item. */

/* ------------------------------------------------------------------ */
/* String table                                                         */
/* ------------------------------------------------------------------ */
/* IDR_MAINFRAME (128): window title and document template fields.    */
#define IDS_PLEASE_WAIT                 112     /* "Please Wait..."               */
#define IDS_OPTIONS_TITLE               113     /* "Options"                      */
#define IDS_DID_YOU_KNOW                123     /* "Did you know..."              */
#define IDS_TIPS_FILE_MISSING           124
#define IDS_TIPS_FILE_TROUBLE           125
#define IDS_APP_TITLE                   57344   /* 0xE000 "Kelvo Utils"           */
#define IDS_IDLE_MESSAGE                57345   /* 0xE001 "Press F1 for Help"     */
#ifndef AFX_IDS_APP_TITLE
#define AFX_IDS_APP_TITLE               0xE000
#endif
#ifndef AFX_IDS_IDLEMESSAGE
#define AFX_IDS_IDLEMESSAGE             0xE001
#endif
#define IDS_SELECT_ITEMS                61206   /* "Please select item(s)"        */
#define IDS_LIST_EMPTY                  61207   /* "List Empty."                  */
#define IDS_BACKUP_HINT                 61208
#define IDS_NOTIFY_UNNEEDED_FILES       61209
#define IDS_NOTIFY_REGISTRY             61210
#define IDS_DUPLICATE_DELETE_WARNING    61211
/* The status-bar prompts of the commands carry the commands' own ids. */

#endif /* KELVO_RESOURCE_H */
