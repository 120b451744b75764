// Resource and command identifiers of the credential tool.
#pragma once

#define IDD_CREDENTIALS 101
#define IDI_MAIN 103

// Commands to the main window.
#define CMD_SHOW_DIALOG 1025
#define CMD_CLOSE_TOOL 1026

// Controls and commands of the credentials dialog.
#define IDC_MACHINE_ID 1025
#define IDC_PASSWORD 1026
#define IDC_SAVE 1027
#define IDC_CLOSE 1028
#define IDC_SIGN_UP 1029
