// Opens a web page of the service in the default browser through the shell.
// The address is given, or read from a named value under the "WebUrls" key,
// in which case the vendor identifier is added to its query; a Machine ID
// can be added too.  Failures go into the caller's error record.
#pragma once
#include "credstamp/error_record_w.h"
#include "errors/error_codes.h" // the codes it records

#include <windows.h>

#include <cstdint>

enum : DWORD {
    kAddressSize = 260, // address and query buffers, terminator included
    kVendorIdSize = 11, // vendor identifier: at most 10 characters
};

// Returns the record's code: 0 when the page was handed to the shell.
// machineId 0 means none; address null means read the value valueName.
std::uint32_t WebLaunch(ErrorRecordW* record, HWND owner, const char* valueName,
                        std::int32_t machineId, const char* address);
