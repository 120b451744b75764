#include "setup_test_util.h"

#include <gtest/gtest.h>

#include "package/package_table.h"
#include "setup/setup.h"

namespace setup_test {

void ResetSettings() {
    lstrcpyA(InstallFolder, "C:\\Program Files\\Bramblequist");
    UseRegistryFolder = 1;
    SelectVerbDR = 0;
    SelectVerbAutoUp = 0;
    FilesOnly = 0;
    Package.AskForFolder = 1;
    Package.PassSetupPath = 1;
    Package.VerifyDigests = 1;
}

std::string MakeTempFolder() {
    static int counter = 0;
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    for (;;) {
        char name[MAX_PATH];
        wsprintfA(name, "%sbqsetup%lu_%d", base, GetCurrentProcessId(), ++counter);
        if (CreateDirectoryA(name, nullptr)) {
            return name;
        }
    }
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            const std::string path = folder + "\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(folder.c_str());
}

std::string ReadFileBytes(const std::string& path, bool* exists) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (exists != nullptr) {
        *exists = file != INVALID_HANDLE_VALUE;
    }
    std::string bytes;
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        bytes.append(buffer, got);
    }
    CloseHandle(file);
    return bytes;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void MakePlainFile(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, handle) << path;
    CloseHandle(handle);
}

void ExpectTrail(const ErrorRecord& record, std::initializer_list<TrailEntry> entries) {
    ASSERT_EQ(static_cast<int>(entries.size()), record.trailCount);
    int i = 0;
    for (const TrailEntry& entry : entries) {
        EXPECT_EQ(entry.module, record.trail[i].module) << i;
        EXPECT_EQ(entry.line, record.trail[i].line) << i;
        ++i;
    }
}

} // namespace setup_test
