// The credential tool's error record: a coded failure, the name of the
// function that recorded it and the line, up to four wide-character text
// parameters for its message, and the trail of places it passed on the way
// back.  The web page launcher fills one per call; the tool shows nothing
// from it.  A plain value with no resources.
#pragma once
#include <windows.h>

#include <cstdint>

enum : std::uint32_t {
    kParamSizeW = 260,    // each text parameter in wide characters, terminator included
    kTrailCapacityW = 50, // trail entries kept; later ones are dropped
    kLiteralTextSizeW = 500,
};

struct TrailEntryW {
    const char* name; // reporting function; not copied
    std::uint32_t line;
};

struct ErrorRecordW {
    ErrorRecordW(); // mode 2, no error, empty texts and trail

    std::uint32_t mode;
    std::uint32_t hresult;
    std::uint32_t code;
    std::uint32_t line;
    const char* name;
    std::uint8_t reserved1;
    std::uint8_t reserved2;
    WCHAR param1[kParamSizeW];
    WCHAR param2[kParamSizeW];
    WCHAR param3[kParamSizeW];
    WCHAR param4[kParamSizeW];
    TrailEntryW trail[kTrailCapacityW];
    std::int32_t trailCount;
    std::uint32_t reserved3;
    WCHAR literalText[kLiteralTextSizeW];
};

// Records a new error, replacing what the record held: code, hresult, name
// and line set; trail and parameters emptied; mode 0.
void SetError(ErrorRecordW* record, const char* name, std::uint32_t line, std::uint32_t code);
// Adds (name, line) to the trail while it holds fewer than 50 entries.
void PushTrail(ErrorRecordW* record, const char* name, std::uint32_t line);
// Converts a multibyte text into param1 or param2 (index 1 or 2; other
// indexes are ignored).  Null becomes "NULL"; a text that cannot be read
// becomes "[-?-?-]".
void SetParamText(ErrorRecordW* record, int index, const char* text);
// Writes the value into param1 as a decimal number.
void SetParamSigned(ErrorRecordW* record, std::int32_t value);
void SetParamUnsigned(ErrorRecordW* record, std::uint32_t value);
