// The installer's error record: a coded failure, the place that recorded
// it (module number and line), up to four text parameters for its message,
// and the trail of places it passed on the way back.  Every failing
// operation of setup fills one; a plain value with no resources.
#pragma once
#include <cstddef>
#include <cstdint>

enum : std::uint32_t {
    kParamSize = 260,    // each text parameter, terminator included
    kTrailCapacity = 50, // trail entries kept; later ones are dropped
    kLiteralTextSize = 500,
};

struct TrailEntry {
    std::uint32_t module;
    std::uint32_t line;
};

struct ErrorRecord {
    ErrorRecord(); // construction: mode 2, no error, empty texts and trail

    std::uint32_t mode;
    std::uint32_t hresult;
    std::uint32_t code;
    std::uint32_t line;
    std::uint32_t module;
    std::uint8_t reserved1;
    std::uint8_t reserved2;
    char param1[kParamSize];
    char param2[kParamSize];
    char param3[kParamSize];
    char param4[kParamSize];
    TrailEntry trail[kTrailCapacity];
    std::int32_t trailCount;
    std::uint32_t reserved3;
    char literalText[kLiteralTextSize];
};

// module and line name the place that reports: the module number of the
// module table and a place number fixed for that place, one of the kLine...
// numbers that errors/error_places.h lists by module (kLineExpand = 48):
// numbers that the records, their texts and the people reading them know a
// place by, not lines of the source.
void SetError(ErrorRecord* record, std::uint32_t module, std::uint32_t line, std::uint32_t code);
void PushTrail(ErrorRecord* record, std::uint32_t module, std::uint32_t line);
void SetParamText(ErrorRecord* record, int index, const char* text); // index 1 or 2
void SetParamUnsigned(ErrorRecord* record, std::uint32_t value);     // into param1
