// Resource and control ids of the stub. The numbers are fixed: the dialogs, the engine's
// use of the file list and the Win32 UI tests address controls by them.
#pragma once

// Dialogs, icons and cursor are named resources ("MAINDIALOG", "MNICON" ...); the legal
// page is RCDATA 1 and the application manifest RT_MANIFEST 1, the id Windows reads for a
// program.
#define IDR_LEGALPAGE 1
#define IDR_MANIFEST 1

// Main dialog.
#define IDC_EXTRACT 1
#define IDC_CANCEL 2
#define IDC_HELPBUTTON 9
#define IDC_OPENWITH 10
#define IDC_FOLDERLABEL 100
#define IDC_FOLDER 101
#define IDC_SEPARATOR 102
#define IDC_ABOUT 103
#define IDC_FILESLABEL 104
#define IDC_MAKERLINK 105
#define IDC_PACKAGEICON 106
#define IDC_LEGALLINK 107
#define IDC_FILELIST_CHOICE 301
#define IDC_FILELIST_DISPLAY 302
#define IDC_INFOTEXT 303
#define IDC_MODE_OVERWRITE 501
#define IDC_MODE_SKIP 502
#define IDC_MODE_CONFIRM 503
#define IDC_MODEGROUP 509
#define IDC_BROWSE 775
#define IDC_RUNCOMMAND 1007

// System-menu items of the main dialog.
#define IDM_ABOUT 220
#define IDM_LEGAL 221

// Progress dialog ("EXTRACTING"), which is also the overwrite question. Cancel is IDC_CANCEL;
// Yes and No carry the ids of the system's Yes and No answers.
#define IDC_QUESTION_YES 6
#define IDC_QUESTION_NO 7
#define IDC_PROGRESS_NAME 101
#define IDC_PROGRESS_BAR 102
#define IDC_PROGRESS_STATUS 103
#define IDC_PROGRESS_PRODUCT 105
#define IDC_QUESTION_DONTASK 401

// Password dialog ("PASSWD"). OK and Cancel are IDOK and IDC_CANCEL.
#define IDC_PASSWORD 101
#define IDC_PASSWORD_SKIP 102

// The New... button the main dialog adds to the system's folder browser.
#define IDC_BROWSER_NEWFOLDER 220

// New-folder dialog ("DLGNEW"). OK and Cancel are IDOK and IDC_CANCEL.
#define IDC_NEWFOLDER_CURRENTLABEL 101
#define IDC_NEWFOLDER_NAMELABEL 102
#define IDC_NEWFOLDER_CURRENT 3001
#define IDC_NEWFOLDER_NAME 3002
