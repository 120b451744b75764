#include "credstamp/text_wide.h"

#include <cstdio>

bool g_skipThreadCodePage = false;
bool g_codePageProbePending = true;
bool g_versionDetermined = false;
bool g_versionIsNt5OrLater = false;
MultiByteToWideFn g_multiByteToWide = MultiByteToWideChar;

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
        if (codePage == CP_THREAD_ACP && g_skipThreadCodePage)
            continue;
        if (g_multiByteToWide(codePage, 0, source, -1, destination, capacity) > 0) {
            converted = true;
            break;
        }
        // Systems before Windows 2000 do not know the thread's code page;
        // after their first refusal it is not tried again.
        if (codePage == CP_THREAD_ACP && GetLastError() == ERROR_INVALID_PARAMETER &&
            g_codePageProbePending) {
            g_codePageProbePending = false;
            if (!IsNt5OrLater())
                g_skipThreadCodePage = true;
        }
    }
    // A text too long for the destination leaves whatever part of it the
    // conversion wrote; keep that part and terminate it.
    if (!converted)
        destination[capacity - 1] = 0;
    return destination;
}

bool IsNt5OrLater() {
    if (g_versionDetermined)
        return g_versionIsNt5OrLater;
    g_versionDetermined = true;
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = 148; // sizeof(OSVERSIONINFOA)
    if (GetVersionExA(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT)
        g_versionIsNt5OrLater = info.dwMajorVersion >= 5;
    return g_versionIsNt5OrLater;
}
