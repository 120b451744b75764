// The installer's process-wide state: settings from the command line and
// the registry, window handles, and the picker's references while it is open.
#include "setup/setup.h"

char InstallFolder[kPathSize];
// Set to 1 by WinMain before the command line is read (an initialised
// variable would cost the image a data section of its own).
int UseRegistryFolder;
int SelectVerbDR = 0;
int SelectVerbAutoUp = 0;
int FilesOnly = 0;
HINSTANCE InstanceHandle = nullptr;
HWND FolderDialog = nullptr;
HWND MainWindow = nullptr;
std::uint32_t ProgressRangeKb = 0;
char* PickerPathBuffer = nullptr;
int* PickerChosenFlag = nullptr;

int EndsWithBackslash(const char* text) {
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; p = CharNextA(p)) {
        last = p;
    }
    return last != nullptr && *last == '\\' ? 1 : 0;
}

std::uint32_t BoundedTextLength(const char* text, std::uint32_t capacity) {
    std::uint32_t length = 0;
    while (length < capacity && text[length] != '\0') {
        ++length;
    }
    return length;
}
