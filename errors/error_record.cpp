// The error record's operations, the HRESULT form and the kinds of codes.
#include "errors/error_record.h"

#include "errors/error_kind.h"
#include "errors/record_steps.h"
#include "text/bounded_text.h"

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
    RecordNewError(record, &ErrorRecord::module, module, HResultFromCode(code), line, code);
}

void PushTrail(ErrorRecord* record, std::uint32_t module, std::uint32_t line) {
    if (record == nullptr) {
        return;
    }
    AddTrailEntry(record, module, line);
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
    WriteDecimal(record->param1, value);
}
