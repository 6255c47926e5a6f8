// Identifiers of the executable's resources, shared by the resource script and the code.
#pragma once

#define IDD_QUELLINIMG_DIALOG 102
#define IDR_MAINFRAME 128

// Title strip buttons, resources of type "PNG".
#define IDB_PNG_MAXIMIZE 154
#define IDB_PNG_CLOSE 155
#define IDB_PNG_MINIMIZE 157

// Controls of the main window's template.
#define IDC_BUTTON_CLOSE 1023
#define IDC_STATIC_LOGO 1024
#define IDC_STATIC_TITLE 1025
#define IDC_BUTTON_MAXIMIZE 1026
#define IDC_BUTTON_MINIMIZE 1027

// The open dialog's filter.
#define IDS_OPEN_FILTER 500
