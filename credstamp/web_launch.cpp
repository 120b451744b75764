#include "credstamp/web_launch.h"

#include "credstamp/text_wide.h"
#include "errors/error_places.h"
#include "hardening/system_dlls.h"
#include "registry/client_keys.h"
#include "registry/registry.h"
#include "text/code_page_text.h"

namespace {

const char kWebLaunch[] = "WebLaunch";

// Appends the formatted query to the address.  A query that does not fit is
// recorded, with "0" for the shell result; the cut address is still opened.
void AppendQuery(ErrorRecordW* record, char* address, char* query, std::uint32_t line) {
    if (!TextAppendBounded(address, kAddressSize, query)) {
        SetError(record, kWebLaunch, line, ERR_UNABLE_TO_VIEW);
        SetParamSigned(record, 0);
        SetParamText(record, 2, address);
    }
}

void AppendMachineId(ErrorRecordW* record, char* address, char* query, std::int32_t machineId,
                     std::uint32_t line) {
    TextFormatBounded(query, kAddressSize, "?MachineID=%ld", static_cast<long>(machineId));
    AppendQuery(record, address, query, line);
}

// Hands the address to the shell's default handler for web addresses.  The
// shell is loaded from the system folder at this first use; a shell that
// cannot be loaded counts as the shell's failure 0 (out of resources).
void OpenAddress(ErrorRecordW* record, HWND owner, const char* address, std::uint32_t line) {
    typedef HINSTANCE(WINAPI * ShellExecuteProc)(HWND, const char*, const char*, const char*,
                                                 const char*, INT);
    const ShellExecuteProc shellExecute = reinterpret_cast<ShellExecuteProc>(
        reinterpret_cast<void*>(SystemFunction("shell32.dll", "ShellExecuteA")));
    HINSTANCE result = shellExecute != nullptr
                           ? shellExecute(owner, nullptr, address, nullptr, nullptr, SW_SHOWNORMAL)
                           : nullptr;
    const UINT_PTR value = reinterpret_cast<UINT_PTR>(result);
    if (value <= 32) {
        SetError(record, kWebLaunch, line, ERR_UNABLE_TO_VIEW);
        SetParamUnsigned(record, static_cast<std::uint32_t>(value));
        SetParamText(record, 2, address);
    }
}

} // namespace

std::uint32_t WebLaunch(ErrorRecordW* record, HWND owner, const char* valueName,
                        std::int32_t machineId, const char* address) {
    char url[kAddressSize];
    char query[kAddressSize];
    char vendor[kVendorIdSize];
    record->hresult = 0;
    record->code = 0;

    if (address) {
        // An address that does not fit is cut without notice.
        TextCopyBounded(url, kAddressSize, address);
        if (machineId != 0)
            AppendMachineId(record, url, query, machineId, kLineGivenQuery);
        OpenAddress(record, owner, url, kLineGivenOpen);
    } else {
        DWORD size = kAddressSize;
        if (RegReadString(kWebUrlsKey, valueName, url, &size, HKEY_LOCAL_MACHINE) == 1 &&
            size > 1) {
            if (machineId != 0)
                AppendMachineId(record, url, query, machineId, kLineConfiguredQuery);
            // A vendor identifier that is missing, empty or longer than ten
            // characters does not fit the buffer and adds nothing.
            DWORD vendorSize = kVendorIdSize;
            if (RegReadString(kPersistentKey, "VendorId", vendor, &vendorSize,
                              HKEY_LOCAL_MACHINE) == 1 &&
                vendorSize > 1) {
                TextFormatBounded(query, kAddressSize,
                                  machineId != 0 ? "&VendorID=%s" : "?VendorID=%s", vendor);
                AppendQuery(record, url, query, kLineVendorQuery);
            }
            OpenAddress(record, owner, url, kLineConfiguredOpen);
        } else {
            TextFormatBounded(query, kAddressSize, "%s\\%s", kWebUrlsKey, valueName);
            SetError(record, kWebLaunch, kLineMissingValue, ERR_REGISTRY_KEY_MISSING);
            SetParamText(record, 1, query);
        }
    }

    if (record->code != 0)
        PushTrail(record, kWebLaunch, kLineWebLaunchExit);
    return record->code;
}
