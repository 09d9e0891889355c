// Resource identifiers shared by Quillet.rc and the program's code.
#pragma once

// Dialog templates.
#define IDD_MAIN 102

// Controls of the main dialog; "Close" is the standard IDCANCEL (2).
#define IDC_DRIVE_LABEL 1000
#define IDC_PROGRESS 1001
#define IDC_CURRENT_VERSION_LABEL 1002
#define IDC_SOURCE_VERSION_LABEL 1003
#define IDC_CURRENT_VERSION 1004
#define IDC_DRIVE_COMBO 1006
#define IDC_SOURCE_COMBO 1007
#define IDC_UPDATE 1008
