// Identifiers of Quillmere's Windows resources (resources/quillmere.rc).
// Included by the resource script and by the C++ code that loads them.
#pragma once

// ---------------------------------------------------------------- dialogs
#define IDD_ABOUTBOX 100          // "About Quillmere" box
#define IDD_MAIN_DIALOG 102       // template id the main window passes to its base (not a resource)
#define IDD_SKIN_DIALOG 134       // empty popup: the skinned windows' real size and shape come from the skin
#define IDD_ADD_SCHEDULE 139      // "Add Schedule" dialog (scheduled tasks)
#define IDD_RESULT_DETAILS 141    // "Entry details": one result row's details

// Controls of IDD_ABOUTBOX and IDD_RESULT_DETAILS.
#define IDC_ABOUT_VERSION 1020
#define IDC_DETAILS_TEXT 1021

// Controls of IDD_ADD_SCHEDULE.
#define IDC_SCHEDULE_DATE 1001
#define IDC_SCHEDULE_TIME 1002
#define IDC_SCHEDULE_ONCE 1003
#define IDC_SCHEDULE_DAILY 1004
#define IDC_SCHEDULE_WEEKLY 1005
#define IDC_SCHEDULE_MONTHLY 1006

// Child controls created by code.
#define IDC_MAIN_ANIMATION 100    // main screen animation ("SHOCKWAVE")
#define IDC_SCAN_ANIMATION 1009   // result window animation ("SHOCKWAVE2")
#define IDC_SKIN_LIST 1010        // skinned list views

// ---------------------------------------------------------------- icons
#define IDR_MAINFRAME 128         // window icon
#define IDI_TRAY 132              // notification-area icon (also the icon id in the tray record)

// ---------------------------------------------------------------- menus and commands
#define IDR_TRAY_MENU 140         // "Show", "Close"
#define IDR_LIST_MENU 171         // "Select All", "Deselect All"
#define ID_TRAY_SHOW 32771
#define ID_TRAY_CLOSE 32773
#define ID_LIST_SELECT_ALL 32780
#define ID_LIST_DESELECT_ALL 32781
#define IDM_ABOUTBOX 0x0010       // system-menu item that opens the About box

// ---------------------------------------------------------------- strings
#define IDS_ABOUTBOX 101          // "&About Quillmere..."
#define IDS_RECOMMEND_URL 103     // web page of BUTTON_LIVEUPDATE (setting "recommendurl" overrides it)
#define IDS_SUPPORT_URL 104       // web page of BUTTON_SUPPORT (setting "supporturl" overrides it)
