// Text helpers of the credential tool: bounded formatting, conversion of
// multibyte text to wide characters with a code-page fallback, and the
// operating system version test that the fallback needs.
#pragma once
#include <windows.h>

#include <cstdarg>

// Formats like _vsnprintf into at most capacity bytes; when capacity is not
// 0 the last byte is then set to 0, so the result is always terminated and
// cut to capacity - 1 characters.  Returns _vsnprintf's count.
int TextFormatBounded(char* buffer, size_t capacity, const char* format, ...);

// Converts source into destination (capacity wide characters) with the
// first code page that accepts it: the thread's, the system's ANSI, the OEM
// code page.  The thread's code page is skipped for the rest of the process
// once a system older than Windows 2000 refused it.  Returns destination, or
// null when either pointer is null.  A text that does not fit is cut; the
// destination always ends terminated when capacity is not 0.
WCHAR* ToWideFallback(WCHAR* destination, const char* source, int capacity);

// True on a Windows NT platform with major version 5 or later; determined
// once per process.
bool IsNt5OrLater();

// Process-wide state of the conversion (set once, never reset by the tool).
extern bool SkipThreadCodePage; // the thread code page is no longer tried
extern bool CodePageProbePending;
extern bool VersionDetermined;
extern bool VersionIsNt5OrLater;
// The conversion function used by ToWideFallback: the system's
// MultiByteToWideChar.  Tests put a recording substitute here.
typedef int(WINAPI* MultiByteToWideFn)(UINT, DWORD, LPCCH, int, LPWSTR, int);
extern MultiByteToWideFn MultiByteToWide;
