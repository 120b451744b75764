// Creating the install folder with every missing parent level.
#include "errors/error_codes.h"
#include "errors/error_places.h"
#include "errors/error_record.h"
#include "setup/setup.h"
#include "text/bounded_text.h"
#include "text/code_page_text.h"

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Appends count bytes of text to work (length in *used); the caller keeps
// the total within kPathSize - 1.
void AppendBytes(char* work, std::uint32_t* used, const char* text, std::uint32_t count) {
    CopyBounded(work + *used, kPathSize - *used, text, count);
    *used += count;
}

void RecordLevelFailure(ErrorRecord* record, DWORD error, const char* path) {
    SetError(record, MODULE_FILE_IO32, kLineCreateLevel, ERR_CREATE_DIRECTORY);
    SetParamUnsigned(record, error);
    SetParamText(record, 2, path);
}

} // namespace

std::uint32_t CreateDirectoryChain(ErrorRecord* record, const char* path) {
    record->code = 0;
    record->hresult = 0;
    const std::uint32_t length = static_cast<std::uint32_t>(LengthWithin(path, kPathSize));
    if (length == kPathSize) {
        RecordLevelFailure(record, ERROR_FILENAME_EXCED_RANGE, "");
        PushTrail(record, MODULE_FILE_IO32, kLineChainExit);
        return record->code;
    }
    // Drive ("C:" or nothing), then the directory part up to and including
    // the last separator.
    const std::uint32_t driveLength = length >= 2 && path[1] == ':' ? 2 : 0;
    const char* directory = path + driveLength;
    const char* directoryEnd = directory; // one past the last separator
    for (const char* p = directory; *p != '\0'; p = CharNextA(p)) {
        if (IsSeparator(*p)) {
            directoryEnd = p + 1;
        }
    }
    if (directoryEnd - directory <= 1) {
        return 0; // no directory part, or only the root
    }

    char work[kPathSize];
    std::uint32_t used = 0;
    AppendBytes(work, &used, path, driveLength);
    // The first segment keeps its leading separator; the search for its end
    // starts at the directory part's second character.
    const char* segment = directory;
    const char* p = CharNextA(directory);
    while (segment < directoryEnd) {
        while (p < directoryEnd && !IsSeparator(*p)) {
            p = CharNextA(p);
        }
        AppendBytes(work, &used, segment, static_cast<std::uint32_t>(p - segment));
        if (!CreateDirectoryA(work, nullptr)) {
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS) {
                RecordLevelFailure(record, error, path);
                break;
            }
        }
        AppendBytes(work, &used, "\\", 1);
        segment = p + 1; // past the separator
        p = segment;
    }
    if (record->code != 0) {
        PushTrail(record, MODULE_FILE_IO32, kLineChainExit);
    }
    return record->code;
}

std::uint32_t CreateFolderTree(ErrorRecord* record, const char* path) {
    record->code = 0;
    record->hresult = 0;
    char folder[kPathSize];
    CopyBounded(folder, kPathSize, path);
    const std::uint32_t length = static_cast<std::uint32_t>(LengthWithin(folder, kPathSize));
    if (!EndsWithBackslash(folder)) {
        if (length + 1 >= kPathSize) {
            RecordLevelFailure(record, ERROR_FILENAME_EXCED_RANGE, folder);
            PushTrail(record, MODULE_FILE_IO32, kLineChainExit);
        } else {
            folder[length] = '\\';
            folder[length + 1] = '\0';
        }
    }
    if (record->code == 0) {
        CreateDirectoryChain(record, folder);
    }
    if (record->code != 0) {
        PushTrail(record, MODULE_FILE_IO32, kLineTreeExit);
    }
    return record->code;
}
