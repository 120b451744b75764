// Identifiers of the installer's resources and dialog controls.
#pragma once

#define IDI_SETUP 101
#define IDD_FOLDER 103

#define IDC_PROGRESS 1000
#define IDC_FOLDER 1001
#define IDC_STATUS 1002
#define IDC_DETAIL 1003
#define IDC_BROWSE 1005
#define IDC_NEXT 1006
