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
