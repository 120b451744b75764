// One install attempt: stop the client's components, create the folder,
// verify, expand and write each packaged file, write the configuration file
// and start the engine.  The first failure is recorded and ends the attempt.
#include <windows.h>

#include <commctrl.h>

#include "digest/md5.h"
#include "errors/error_codes.h"
#include "errors/error_places.h"
#include "errors/error_record.h"
#include "errors/format.h"
#include "package/chunk_stream.h"
#include "package/package_table.h"
#include "registry/registry.h"
#include "setup/resource.h"
#include "setup/setup.h"
#include "text/code_page_text.h"

namespace {

enum : std::uint32_t {
    kMessageSize = 500,
};

const char kErrorTitle[] = "Bramblequist Setup Error";
const UINT kErrorBoxStyle = MB_TOPMOST | MB_ICONERROR;

// What the attempt holds, released at its exit on failure.
struct Holdings {
    HANDLE file;
};

// Where a file's bytes are expanded on their way to disk, a window at a time:
// one area for every file, so a file of any size takes no more memory, and
// the same pages serve every write.
enum : std::uint32_t { kWriteAreaSize = 256 * 1024 };
std::uint8_t WriteArea[kWriteAreaSize];

// The file being written, as the expansion hands on its windows.
struct FileSink {
    ErrorRecord* record;
    HANDLE file;
    const char* path;
};

// The paths of one attempt, each within kPathSize bytes.
struct AttemptPaths {
    char folder[kPathSize];  // install folder with its trailing backslash
    char setup[kPathSize];   // this program's own path
    char program[kPathSize]; // the engine program
    char tail[kPathSize];    // the engine's command tail
};

const char* TextOrEmpty(const char* text) {
    return text != nullptr ? text : "";
}

std::int32_t UsedFileCount() {
    if (Package.FileCount <= 0) {
        return 0;
    }
    return Package.FileCount < static_cast<std::int32_t>(kMaxPackageFiles)
               ? Package.FileCount
               : static_cast<std::int32_t>(kMaxPackageFiles);
}

// "%s%s" into a kPathSize buffer; 0 when the result would not fit.
int JoinFits(char* out, const char* first, const char* second) {
    return TextCopyBounded(out, kPathSize, first) != nullptr &&
           TextAppendBounded(out, kPathSize, second) != nullptr;
}

const char* SelectedVerb() {
    if (SelectVerbDR) {
        return TextOrEmpty(Package.InitVerbDR);
    }
    if (SelectVerbAutoUp) {
        return TextOrEmpty(Package.InitVerbAutoUp);
    }
    return TextOrEmpty(Package.InitVerb);
}

// Builds the folder with its trailing backslash and checks, before anything
// is created, that every path the attempt will use fits its buffer.  An
// empty folder, or one whose paths do not fit, cannot be installed to.
int PreparePaths(AttemptPaths* paths, const char* folder, int filesOnly) {
    char scratch[kPathSize];
    paths->folder[0] = '\0';
    int fits = folder[0] != '\0' && TextCopyBounded(paths->folder, kPathSize, folder) != nullptr;
    if (fits && !EndsWithBackslash(paths->folder)) {
        fits = TextAppendBounded(paths->folder, kPathSize, "\\") != nullptr;
    }
    const std::int32_t count = UsedFileCount();
    for (std::int32_t i = 0; fits && i < count; ++i) {
        fits = JoinFits(scratch, paths->folder, TextOrEmpty(Package.FileNames[i]));
    }
    if (fits && !filesOnly) {
        fits = JoinFits(scratch, paths->folder, TextOrEmpty(Package.ConfigFileName)) &&
               JoinFits(paths->program, paths->folder, TextOrEmpty(Package.EngineProgram));
        if (fits) {
            const DWORD length = GetModuleFileNameA(nullptr, paths->setup, kPathSize);
            paths->setup[kPathSize - 1] = '\0';
            fits = length > 0 && length < kPathSize && JoinFits(paths->tail, " ", SelectedVerb()) &&
                   (!Package.PassSetupPath ||
                    (TextAppendBounded(paths->tail, kPathSize, " ") != nullptr &&
                     TextAppendBounded(paths->tail, kPathSize, paths->setup) != nullptr));
        }
    }
    return fits;
}

void ShowStatus(const char* status, const char* detail) {
    if (detail != nullptr) {
        SendDlgItemMessageA(FolderDialog, IDC_DETAIL, WM_SETTEXT, 0,
                            reinterpret_cast<LPARAM>(detail));
    }
    SendDlgItemMessageA(FolderDialog, IDC_STATUS, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(status));
}

void AdvanceProgress(std::uint32_t kibibytes) {
    SendDlgItemMessageA(FolderDialog, IDC_PROGRESS, PBM_DELTAPOS, kibibytes, 0);
}

void Fail(ErrorRecord* record, std::uint32_t line, std::uint32_t code, const char* parameter) {
    SetError(record, MODULE_FILE_UNPACK, line, code);
    if (parameter != nullptr) {
        SetParamText(record, 1, parameter);
    }
}

HANDLE CreateTargetFile(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

int WriteWhole(HANDLE file, const void* data, std::uint32_t count) {
    DWORD written = 0;
    return WriteFile(file, data, count, &written, nullptr) && written == count;
}

// Writes one window of the expanded file; a failed write is shown as the
// step it is.
int WriteExpanded(const std::uint8_t* bytes, std::uint32_t count, void* sinkValue) {
    FileSink* sink = static_cast<FileSink*>(sinkValue);
    if (WriteWhole(sink->file, bytes, count)) {
        return 0;
    }
    ShowStatus("Saving File to Disk", nullptr);
    Fail(sink->record, kLineWriteFile, ERR_WRITE_FILE, sink->path);
    return 1;
}

// Verifies, expands and writes packaged file i.
void InstallFile(ErrorRecord* record, const AttemptPaths& paths, std::int32_t i, Holdings* held) {
    char path[kPathSize];
    JoinFits(path, paths.folder, TextOrEmpty(Package.FileNames[i]));
    ShowStatus("Creating File", path);
    held->file = CreateTargetFile(path);
    if (held->file == INVALID_HANDLE_VALUE) {
        Fail(record, kLineCreateFile, ERR_CREATE_FILE, path);
        return;
    }
    const std::uint32_t expanded = Package.ExpandedSizes[i];
    const std::uint32_t stored = Package.StoredSizes[i];
    const std::uint8_t* digest = Package.FileData[i];
    const std::uint8_t* stream = digest + kBlobDigestBytes;
    if (Package.VerifyDigests) {
        Md5Context context;
        std::uint8_t computed[kBlobDigestBytes];
        Md5Init(&context);
        Md5Update(&context, stream, stored);
        Md5Final(computed, &context);
        if (!DigestsEqual(computed, digest)) {
            Fail(record, kLineDigest, ERR_DIGEST_MISMATCH, path);
            return;
        }
    }
    ShowStatus("Decompressing Data", nullptr);
    // A length beyond what the expansion takes is refused as the memory a
    // file of that size would need.
    if (expanded > kMaxStreamLength) {
        Fail(record, kLineNoMemory, ERR_NO_MEMORY, path);
        return;
    }
    FileSink sink = {record, held->file, path};
    if (ExpandStreamThrough(record, stream, static_cast<std::int32_t>(stored),
                            static_cast<std::int32_t>(expanded), WriteArea, kWriteAreaSize,
                            WriteExpanded, &sink) != 0) {
        return;
    }
    // A stream longer than its expansion advances nothing here.
    AdvanceProgress(expanded > stored ? (expanded - stored) >> 10 : 0);
    ShowStatus("Saving File to Disk", nullptr);
    AdvanceProgress(stored >> 10);
    CloseHandle(held->file);
    held->file = INVALID_HANDLE_VALUE;
}

void WriteConfiguration(ErrorRecord* record, const AttemptPaths& paths, Holdings* held) {
    char path[kPathSize];
    JoinFits(path, paths.folder, TextOrEmpty(Package.ConfigFileName));
    ShowStatus("Creating File", path);
    const std::uint8_t* l = Configuration.length;
    const std::uint32_t length =
        static_cast<std::uint32_t>(l[0]) | static_cast<std::uint32_t>(l[1]) << 8 |
        static_cast<std::uint32_t>(l[2]) << 16 | static_cast<std::uint32_t>(l[3]) << 24;
    if (length == 0 || length > kConfigTextSize) {
        Fail(record, kLineConfigLength, ERR_CONFIG_LENGTH, path);
        return;
    }
    held->file = CreateTargetFile(path);
    if (held->file == INVALID_HANDLE_VALUE) {
        Fail(record, kLineCreateConfig, ERR_CREATE_FILE, path);
        return;
    }
    ShowStatus("Saving File to Disk", nullptr);
    if (!WriteWhole(held->file, Configuration.text, length)) {
        Fail(record, kLineWriteConfig, ERR_WRITE_FILE, path);
        return;
    }
    CloseHandle(held->file);
    held->file = INVALID_HANDLE_VALUE;
}

void StartEngine(ErrorRecord* record, AttemptPaths* paths) {
    ShowStatus("Starting Bramblequist Engine", paths->program);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(paths->program, paths->tail, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &process)) {
        Fail(record, kLineStartEngine, ERR_START_ENGINE, paths->program);
        return;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void RunSteps(ErrorRecord* record, const char* folder, int filesOnly, Holdings* held) {
    if (!filesOnly && StopRunningComponents(record) != 0) {
        return;
    }
    AttemptPaths paths;
    if (!PreparePaths(&paths, folder, filesOnly) || CreateFolderTree(record, paths.folder) != 0) {
        // Replaces what folder creation recorded.
        Fail(record, kLineCreateFolder, ERR_CREATE_FOLDER, paths.folder);
        return;
    }
    const std::int32_t count = UsedFileCount();
    for (std::int32_t i = 0; i < count; ++i) {
        InstallFile(record, paths, i, held);
        if (record->code != 0) {
            return;
        }
    }
    if (filesOnly) {
        return;
    }
    WriteConfiguration(record, paths, held);
    if (record->code != 0) {
        return;
    }
    StartEngine(record, &paths);
}

} // namespace

std::uint32_t InstallPackage(ErrorRecord* record, const char* folder, int filesOnly) {
    record->code = 0;
    record->hresult = 0;
    Holdings held = {INVALID_HANDLE_VALUE};
    RunSteps(record, folder, filesOnly, &held);
    if (record->code != 0) {
        if (held.file != INVALID_HANDLE_VALUE) {
            CloseHandle(held.file);
        }
        PushTrail(record, MODULE_FILE_UNPACK, kLineAttemptExit);
    }
    return record->code;
}

void RunInstallAttempt() {
    ErrorRecord record;
    if (InstallPackage(&record, InstallFolder, FilesOnly) == 0) {
        PostQuitMessage(0);
        return;
    }
    if (record.code == ERR_CREATE_FOLDER) {
        MessageBoxA(FolderDialog, "Unable to create chosen folder.  Please select again.",
                    kErrorTitle, kErrorBoxStyle);
        SetFocus(GetDlgItem(FolderDialog, IDC_FOLDER));
    } else {
        char text[kMessageSize];
        GetDisplayText(&record, text, kMessageSize, false);
        MessageBoxA(FolderDialog, text, kErrorTitle, kErrorBoxStyle);
    }
    CloseBrowserWindows();
}
