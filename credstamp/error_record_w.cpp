#include "credstamp/error_record_w.h"

#include "credstamp/text_wide.h"

namespace {

const WCHAR kUnreadableText[] = L"[-?-?-]";

WCHAR* ParamOf(ErrorRecordW* record, int index) {
    if (index == 1)
        return record->param1;
    if (index == 2)
        return record->param2;
    return nullptr;
}

// Writes the decimal digits of value, after an optional minus sign, into
// param1; 11 characters at most, far below the parameter's size.
void WriteDecimal(ErrorRecordW* record, bool negative, std::uint32_t magnitude) {
    WCHAR digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<WCHAR>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    WCHAR* out = record->param1;
    if (negative)
        *out++ = L'-';
    while (count > 0)
        *out++ = digits[--count];
    *out = 0;
}

} // namespace

ErrorRecordW::ErrorRecordW()
    : mode(2), hresult(0), code(0), line(0), name(nullptr), reserved1(0),
      reserved2(0), param1{}, param2{}, param3{}, param4{}, trail{}, trailCount(0),
      reserved3(0), literalText{} {}

std::uint32_t HResultFromCodeW(std::uint32_t code) {
    return code == 0 ? 0 : ((code & 0x2000FFFFu) | 0x80070000u);
}

void SetError(ErrorRecordW* record, const char* name, std::uint32_t line, std::uint32_t code) {
    record->hresult = HResultFromCodeW(code);
    record->line = line;
    record->code = code;
    record->name = name;
    record->reserved1 = 0;
    record->reserved2 = 0;
    record->trailCount = 0;
    record->mode = 0;
    record->param1[0] = 0;
    record->param2[0] = 0;
    record->param3[0] = 0;
    record->param4[0] = 0;
}

void PushTrail(ErrorRecordW* record, const char* name, std::uint32_t line) {
    if (record->trailCount < 0 || record->trailCount >= static_cast<std::int32_t>(kTrailCapacityW))
        return;
    record->trail[record->trailCount].name = name;
    record->trail[record->trailCount].line = line;
    ++record->trailCount;
}

void SetParamText(ErrorRecordW* record, int index, const char* text) {
    WCHAR* param = ParamOf(record, index);
    if (!param)
        return;
    if (!text)
        text = "NULL";
    // Built without exceptions, so a source that faults while being read is
    // detected beforehand: the system probes it up to its terminator under
    // its own fault handler.  Single-threaded, so the text cannot change
    // between the probe and the conversion.
    if (IsBadStringPtrA(text, ~static_cast<UINT_PTR>(0))) {
        lstrcpyW(param, kUnreadableText);
        return;
    }
    ToWideFallback(param, text, kParamSizeW);
}

void SetParamSigned(ErrorRecordW* record, std::int32_t value) {
    const bool negative = value < 0;
    const std::uint32_t bits = static_cast<std::uint32_t>(value);
    WriteDecimal(record, negative, negative ? 0u - bits : bits);
}

void SetParamUnsigned(ErrorRecordW* record, std::uint32_t value) {
    WriteDecimal(record, false, value);
}
