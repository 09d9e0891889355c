// Resource identifiers shared by Quillet.rc and the program's code.
#pragma once

// Dialog templates.
#define IDD_ABOUTBOX 100
#define IDD_MAIN 102
#define IDD_START_CONFIRM 129
#define IDD_COMPLETION 131
#define IDD_OLD_VERSION 132
#define IDD_CAUTION 133

// Icons: the application's (also in the about box), the start confirmation's, the caution's.
#define IDR_MAINFRAME 128
#define IDI_START_CONFIRM 130
#define IDI_CAUTION 134

// Strings. The caution dialog paints lines 1 to 13 in order, coloured by the mask (one
// character a line, "1" red); the completion notice paints its three lines. The restart note is
// not shown: the program restarts nothing.
#define IDS_ABOUTBOX 101
#define IDS_EJECT_DISC 102
#define IDS_CAUTION_1 103
#define IDS_CAUTION_2 104
#define IDS_CAUTION_3 105
#define IDS_CAUTION_4 106
#define IDS_CAUTION_5 107
#define IDS_CAUTION_6 108
#define IDS_CAUTION_7 109
#define IDS_CAUTION_8 110
#define IDS_CAUTION_9 111
#define IDS_CAUTION_10 112
#define IDS_CAUTION_11 113
#define IDS_CAUTION_12 114
#define IDS_CAUTION_13 115
#define IDS_RESTART_NOTE 116
#define IDS_COMPLETION_1 117
#define IDS_COMPLETION_2 118
#define IDS_COMPLETION_3 119
#define IDS_CAUTION_MASK 120

// Controls of the main dialog; "Close" is the standard IDCANCEL (2).
#define IDC_DRIVE_LABEL 1000
#define IDC_PROGRESS 1001
#define IDC_CURRENT_VERSION_LABEL 1002
#define IDC_SOURCE_VERSION_LABEL 1003
#define IDC_CURRENT_VERSION 1004
#define IDC_DRIVE_COMBO 1006
#define IDC_SOURCE_COMBO 1007
#define IDC_UPDATE 1008

// Controls of the notice dialogs.
#define IDC_CONFIRM_TEXT 1009
#define IDC_CONFIRM_ICON 1010
#define IDC_OLD_VERSION_TEXT 1011

// The system-menu command that opens the about box.
#define IDM_ABOUTBOX 0x0010
