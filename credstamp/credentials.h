// What the credential tool does with the entered values: the Machine ID
// text becomes a number, the password an access token (the MD5 digest of
// its trimmed bytes); both are stored in the registry and a running
// scheduler of the client is told.  Also the sign-up page command.
#pragma once
#include <windows.h>

#include <cstdint>

#include "package/package_format.h" // kClientSchedulerClass

enum : DWORD {
    kMachineIdTextSize = 40, // Machine ID box read and shown: 39 characters at most
    kPasswordTextSize = 120, // password box read: 119 characters at most
    kTokenSize = 16,         // the access token, an MD5 digest
};

enum : WORD {
    SCHEDULER_CMD_CREDENTIALS_CHANGED = 13200,
};

extern const char kDefaultSignUpAddress[]; // the service's sign-up page

// Converts like the C library's atol: leading white space, one optional
// sign, decimal digits up to the first other character; no digits give 0.
// The value is accumulated in 32 bits and wraps on overflow.
std::int32_t ParseMachineId(const char* text);

// Finds the trimmed part of a password: bytes of 32 or less (compared
// unsigned) are blanks.  Trailing blanks are dropped, never the first byte;
// then leading blanks are skipped, never past the end.  Returns the length
// of the trimmed part and sets *start to its first byte.  A text of blanks
// only gives length 0.
std::uint32_t TrimBlanks(const char* text, const char** start);

// Stores the entered values: the Machine ID when it converts to a number
// other than 0, the access token when the trimmed password is not empty,
// then tells a running scheduler.  Stops at the first failed registry write
// (the scheduler is then not told).  The password buffer (kPasswordTextSize
// bytes) and every copy made of it here are cleared before returning.
// Returns 1 when everything was stored, 0 when a write failed.
int StoreCredentials(const char* machineIdText, char* password);

// Posts the credentials-changed command to the scheduler's window, if one
// exists; returns 1 when posted.
int NotifyScheduler();

// Opens the configured sign-up page with the vendor identifier, or the
// built-in address when none is configured.  Failures are not shown.
void OpenSignUpPage(HWND owner);

// Clears a buffer in a way the compiler cannot drop.
void ClearSecret(void* buffer, size_t count);
