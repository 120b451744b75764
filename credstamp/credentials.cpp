#include "credstamp/credentials.h"

#include "credstamp/web_launch.h"
#include "digest/md5.h"
#include "registry/client_keys.h"
#include "registry/registry.h"

const char kDefaultSignUpAddress[] =
    "https://accounts.bramblequist.example/signup/new?VendorID=1000&refcode=CREDSTAMP";

namespace {

bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// White space as the C library's isspace sees it in the "C" locale.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

} // namespace

void ClearSecret(void* buffer, size_t count) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(buffer);
    while (count-- > 0)
        *p++ = 0;
}

std::int32_t ParseMachineId(const char* text) {
    while (IsSpace(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    std::uint32_t value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10u + static_cast<std::uint32_t>(*text - '0');
        ++text;
    }
    if (negative)
        value = 0u - value;
    return static_cast<std::int32_t>(value);
}

std::uint32_t TrimBlanks(const char* text, const char** start) {
    std::uint32_t end = 0;
    while (text[end] != '\0')
        ++end;
    // Trailing: step back over blanks, but never past the first byte.
    if (end > 0) {
        std::uint32_t last = end - 1;
        while (last > 0 && IsBlank(text[last]))
            --last;
        end = last + 1;
    }
    // Leading: skip blanks, never past the end.
    std::uint32_t first = 0;
    while (first < end && IsBlank(text[first]))
        ++first;
    *start = text + first;
    return end - first;
}

int NotifyScheduler() {
    HWND scheduler = FindWindowA(kClientSchedulerClass, nullptr);
    if (!scheduler)
        return 0;
    return PostMessageA(scheduler, WM_COMMAND, SCHEDULER_CMD_CREDENTIALS_CHANGED, 0) ? 1 : 0;
}

int StoreCredentials(const char* machineIdText, char* password) {
    const std::int32_t machineId = ParseMachineId(machineIdText);
    if (machineId != 0 && !RegWriteDword(kPersistentKey, "MachineId", static_cast<DWORD>(machineId),
                                         HKEY_LOCAL_MACHINE)) {
        ClearSecret(password, kPasswordTextSize);
        return 0;
    }

    // A password of blanks only is left alone like an empty one: storing
    // the digest of an empty text would make a token nobody typed.
    const char* trimmed = nullptr;
    const std::uint32_t length = TrimBlanks(password, &trimmed);
    int written = 1;
    if (length > 0) {
        // The digest steps of Md5Digest, with a context that is cleared
        // afterwards: it still holds the last block of password bytes.
        std::uint8_t token[kTokenSize];
        Md5Context context;
        Md5Init(&context);
        Md5Update(&context, trimmed, length);
        Md5Final(token, &context);
        ClearSecret(&context, sizeof context);
        ClearSecret(password, kPasswordTextSize);
        written =
            RegWriteBinary(kPersistentKey, "AccessToken", token, kTokenSize, HKEY_LOCAL_MACHINE);
    }
    ClearSecret(password, kPasswordTextSize);
    if (!written)
        return 0;
    NotifyScheduler();
    return 1;
}

void OpenSignUpPage(HWND owner) {
    ErrorRecordW record;
    char address[kAddressSize];
    DWORD size = kAddressSize;
    // WebLaunch reads the configured value again itself and adds the vendor
    // identifier; the built-in address already carries its query.
    if (RegReadString(kWebUrlsKey, "WebRegistration", address, &size, HKEY_LOCAL_MACHINE) == 1 &&
        size > 1)
        WebLaunch(&record, owner, "WebRegistration", 0, nullptr);
    else
        WebLaunch(&record, owner, "WebRegistration", 0, kDefaultSignUpAddress);
}
