// The error record's operations, the HRESULT form and the kinds of codes.
#include "errors/error_record.h"

#include "errors/error_kind.h"

namespace {

constexpr std::uint32_t kBit29 = 0x20000000u;
constexpr std::uint32_t kFacilityWin32 = 7;

char* ParamField(ErrorRecord* record, int index) {
    switch (index) {
    case 1:
        return record->param1;
    case 2:
        return record->param2;
    default:
        return nullptr;
    }
}

} // namespace

ErrorRecord::ErrorRecord()
    : mode(2), hresult(0), code(0), line(0), module(0), reserved1(0),
      reserved2(0), param1{}, param2{}, param3{}, param4{}, trail{}, trailCount(0),
      reserved3(0), literalText{} {}

std::uint32_t HResultFromCode(std::uint32_t code) {
    if (code == 0) {
        return 0;
    }
    return (code & (kBit29 | 0xFFFFu)) | 0x80070000u;
}

bool IsWin32Code(std::uint32_t value) {
    return (value & kBit29) == 0;
}

bool IsApplicationCode(std::uint32_t value) {
    return value >= 0x20000000u && value <= 0x2000270Fu;
}

ErrorKind ClassifyHResult(std::uint32_t h) {
    if (HResultFacility(h) == kFacilityWin32) {
        const std::uint32_t value = h & (kBit29 | 0xFFFFu);
        if (IsWin32Code(value)) {
            return ErrorKind::Win32;
        }
        if (IsApplicationCode(value)) {
            return ErrorKind::Application;
        }
        return ErrorKind::Undefined;
    }
    return (h & kBit29) == 0 ? ErrorKind::HResult : ErrorKind::Undefined;
}

void SetError(ErrorRecord* record, std::uint32_t module, std::uint32_t line, std::uint32_t code) {
    if (record == nullptr) {
        return;
    }
    record->hresult = HResultFromCode(code);
    record->line = line;
    record->code = code;
    record->module = module;
    record->reserved1 = 0;
    record->reserved2 = 0;
    record->trailCount = 0;
    record->mode = 0;
    record->param1[0] = '\0';
    record->param2[0] = '\0';
    record->param3[0] = '\0';
    record->param4[0] = '\0';
}

void PushTrail(ErrorRecord* record, std::uint32_t module, std::uint32_t line) {
    if (record == nullptr) {
        return;
    }
    // A count outside 0..49 (a record overwritten by hand) adds nothing.
    if (record->trailCount < 0 || record->trailCount >= static_cast<std::int32_t>(kTrailCapacity)) {
        return;
    }
    record->trail[record->trailCount].module = module;
    record->trail[record->trailCount].line = line;
    ++record->trailCount;
}

void SetParamText(ErrorRecord* record, int index, const char* text) {
    if (record == nullptr) {
        return;
    }
    char* field = ParamField(record, index);
    if (field == nullptr) {
        return;
    }
    // A text that is too long is cut to 259 characters without notice.
    CopyBounded(field, kParamSize, text != nullptr ? text : "NULL");
}

void SetParamUnsigned(ErrorRecord* record, std::uint32_t value) {
    if (record == nullptr) {
        return;
    }
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = 0; i < count; ++i) {
        record->param1[i] = digits[count - 1 - i];
    }
    record->param1[count] = '\0';
}

char* CopyBounded(char* dst, std::size_t capacity, const char* src) {
    if (dst == nullptr || capacity == 0) {
        return nullptr;
    }
    if (src == nullptr) {
        src = "";
    }
    dst[capacity - 1] = '\0';
    std::size_t i = 0;
    for (; i < capacity && src[i] != '\0'; ++i) {
        dst[i] = src[i];
    }
    for (; i < capacity; ++i) {
        dst[i] = '\0';
    }
    if (dst[capacity - 1] != '\0') {
        dst[capacity - 1] = '\0';
        return nullptr;
    }
    return dst;
}
