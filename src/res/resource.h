// Resource ids and the texts that the Windows resource script and the other backends share.
#pragma once

#define IDR_MAINFRAME 128
#define IDD_ZYNLAUNCH_DIALOG 102
#define IDS_SOCKETS_INIT_FAILED 103
#define IDB_PICTURE_START 130
#define IDB_PICTURE_FOUND 131
#define IDC_PROGRESS 1000
#define IDC_STATUS 1001
#define IDC_PICTURE 1002

#define ZYN_DIALOG_CAPTION "Tarvo Zyn Vantor VII"
#define ZYN_INITIAL_STATUS "zyn is initialising.."
#define ZYN_SOCKETS_INIT_FAILED_TEXT "Windows sockets initialization failed."
// What the two pictures say, for where they cannot be shown.
#define ZYN_PICTURE_START_TEXT "ZYN VANTOR VII"
#define ZYN_PICTURE_FOUND_TEXT "ZYN VANTOR VII - DEEP LINK"
