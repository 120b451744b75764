#include "credstamp/text_wide.h"

#include <cstdio>

bool SkipThreadCodePage = false;
bool CodePageProbePending = true;
bool VersionDetermined = false;
bool VersionIsNt5OrLater = false;
MultiByteToWideFn MultiByteToWide = MultiByteToWideChar;

int TextFormatBounded(char* buffer, size_t capacity, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    const int count = _vsnprintf(buffer, capacity, format, arguments);
    va_end(arguments);
    if (capacity != 0)
        buffer[capacity - 1] = '\0';
    return count;
}

WCHAR* ToWideFallback(WCHAR* destination, const char* source, int capacity) {
    if (!source || !destination)
        return nullptr;
    if (capacity <= 0)
        return destination;
    destination[0] = 0;
    static const UINT kCodePages[] = {CP_THREAD_ACP, CP_ACP, CP_OEMCP};
    bool converted = false;
    for (UINT codePage : kCodePages) {
        if (codePage == CP_THREAD_ACP && SkipThreadCodePage)
            continue;
        if (MultiByteToWide(codePage, 0, source, -1, destination, capacity) > 0) {
            converted = true;
            break;
        }
        // Systems before Windows 2000 do not know the thread's code page;
        // after their first refusal it is not tried again.
        if (codePage == CP_THREAD_ACP && GetLastError() == ERROR_INVALID_PARAMETER &&
            CodePageProbePending) {
            CodePageProbePending = false;
            if (!IsNt5OrLater())
                SkipThreadCodePage = true;
        }
    }
    // A text too long for the destination leaves whatever part of it the
    // conversion wrote; keep that part and terminate it.
    if (!converted)
        destination[capacity - 1] = 0;
    return destination;
}

bool IsNt5OrLater() {
    if (VersionDetermined)
        return VersionIsNt5OrLater;
    VersionDetermined = true;
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = 148; // sizeof(OSVERSIONINFOA)
    if (GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT)
        VersionIsNt5OrLater = info.dwMajorVersion >= 5;
    return VersionIsNt5OrLater;
}
