// Resource ids of MARROWFIN: templates, controls, icon, bitmap and strings.
// Shared by the resource script and the code.
#ifndef MARROWFIN_RESOURCE_H
#define MARROWFIN_RESOURCE_H

#define IDM_ABOUTBOX            0x0010
#define IDD_ABOUTBOX            100
#define IDS_ABOUTBOX            101
#define IDD_MARROWFIN_DIALOG    102
#define IDR_MAINFRAME           128
#define IDB_LOGO                130
#define IDD_WARNING             131

/* Main dialog */
#define IDC_DRIVE_LIST          1000
#define IDC_PROGRESS            1011
#define IDC_LOG                 1012
#define IDC_AUX_TEXT            1013
#define IDC_STATUS              1014
#define IDC_UPGRADE             1015
#define IDC_REVISION            1016

/* Confirmation dialog */
#define IDC_WARN_GREETING       1018
#define IDC_WARN_VERSION_OF     1019
#define IDC_WARN_DRIVE          1020
#define IDC_WARN_FIRMWARE_IS    1021
#define IDC_WARN_REVISION       1022
#define IDC_WARN_TEXT           1023
#define IDC_WARN_SUNKEN         1025
#define IDC_WARN_QUESTION       1026

#ifndef IDC_STATIC
#define IDC_STATIC              (-1)
#endif

#endif
