#pragma once
// Resource and control ids of Savanto. The numbers are fixed: stored
// accelerators, tests and the dialog templates all rely on them.

// Dialogs
#define IDD_PREF_GENERAL     101
#define IDD_ABOUT            104
#define IDD_MAIN             105
#define IDD_PREF_COPY        111
#define IDD_COPY_PROGRESS    112
#define IDD_PREFERENCES      149

// Menus and accelerators
#define IDR_MAIN_MENU        108
#define IDR_ACCELERATORS     110
#define IDR_LIST_MENU        125

// Icons and cursors
#define IDI_APP              106
#define IDI_PLAYLIST         117
#define IDI_PLAYLIST_ROOT    148
#define IDC_SPLITTER_CURSOR  139

// Main window controls
#define IDC_MEDIA_LIST       1005
#define IDC_IPOD_SELECTOR    1007
#define IDC_SCAN             1008
#define IDC_SEARCH           1009
#define IDC_CLEAR_SEARCH     1039
#define IDC_COPY             1046
#define IDC_PLAYLIST_TREE    1059

// Copy progress dialog controls
#define IDC_OVERALL_PROGRESS 1024
#define IDC_CURRENT_NAME     1032
#define IDC_ITEM_COUNTER     1033
#define IDC_FILE_PROGRESS    1078
#define IDC_PAUSE            1079
#define IDC_ELAPSED_TIME     1083

// About box controls; its Close button is IDCLOSE (8)
#define IDC_ABOUT_LINK       1027
#define IDC_ABOUT_ICON       1038
#define IDC_ABOUT_VERSION    1052
#define IDC_ABOUT_TRADEMARKS 1054
#define IDC_ABOUT_BUILD      1080

// Preferences dialog and its General and Copy pages
#define IDC_PREF_DEST_FOLDER   1028
#define IDC_PREF_RULE          1029
#define IDC_PREF_RULE_HELP     1030
#define IDC_PREF_BROWSE        1031
#define IDC_PREF_CHECK_UPDATES 1053
#define IDC_PREF_TABS          1061
#define IDC_PREF_OVERWRITE     1065
#define IDC_PREF_IGNORE        1066
#define IDC_PREF_STARTUP_SCAN  1069
#define IDC_PREF_TOOLTIPS      1075
#define IDC_PREF_ASK_DEST      1084
#define IDC_PREF_DEFAULT_DEST  1085

// Main menu commands
#define IDM_CHECK_ALL        40003
#define IDM_UNCHECK_ALL      40004
#define IDM_INVERT_CHECKS    40006
#define IDM_SCAN             40007
#define IDM_EXIT             40008
#define IDM_HELP_TOPICS      40010
#define IDM_ABOUT            40011
#define IDM_GRID_LINES       40015
#define IDM_PREFERENCES      40017
#define IDM_CHECK_UPDATES    40045
#define IDM_COPY             40049
#define IDM_EJECT            40050
#define IDM_WRITE_PLAYLISTS  40060
#define IDM_WRITE_LIBRARY_FILE 40061
#define IDM_SAVE_COVERS      40062

// Media list context menu commands
#define IDM_LIST_CHECK_ALL       40029
#define IDM_LIST_UNCHECK_ALL     40030
#define IDM_LIST_INVERT_CHECKS   40031
#define IDM_LIST_COPY            40032
#define IDM_LIST_CHECK_SELECTION   40051
#define IDM_LIST_UNCHECK_SELECTION 40052

// Main window timers
#define IDT_SEARCH           600
#define IDT_DRIVE_CHANGES    700
#define IDT_COPY_DISPLAY     800
