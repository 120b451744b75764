#include "credstamp/error_record_w.h"

#include "credstamp/text_wide.h"
#include "errors/error_kind.h"
#include "errors/record_steps.h"
#include "text/bounded_text.h"

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
void WriteParamDecimal(ErrorRecordW* record, bool negative, std::uint32_t magnitude) {
    WCHAR* out = record->param1;
    if (negative)
        *out++ = L'-';
    WriteDecimal(out, magnitude);
}

} // namespace

ErrorRecordW::ErrorRecordW()
    : mode(2), hresult(0), code(0), line(0), name(nullptr), reserved1(0),
      reserved2(0), param1{}, param2{}, param3{}, param4{}, trail{}, trailCount(0),
      reserved3(0), literalText{} {}

void SetError(ErrorRecordW* record, const char* name, std::uint32_t line, std::uint32_t code) {
    RecordNewError(record, &ErrorRecordW::name, name, HResultFromCode(code), line, code);
}

void PushTrail(ErrorRecordW* record, const char* name, std::uint32_t line) {
    AddTrailEntry(record, name, line);
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
    WriteParamDecimal(record, negative, negative ? 0u - bits : bits);
}

void SetParamUnsigned(ErrorRecordW* record, std::uint32_t value) {
    WriteParamDecimal(record, false, value);
}
