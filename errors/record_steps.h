// The steps the installer's error record and the credential tool's wide one
// take alike: recording a new error and adding a place to the trail.  The
// records differ in their text parameters' characters and in how a place is
// named (a module number, or the reporting function's name); these
// templates serve both.
#pragma once
#include <cstdint>

// Replaces what the record held: code, its HRESULT form, place and line
// set; trail and parameters emptied; mode 0.
template <typename Record, typename Place>
void RecordNewError(Record* record, Place Record::*placeField, Place place, std::uint32_t hresult,
                    std::uint32_t line, std::uint32_t code) {
    record->hresult = hresult;
    record->line = line;
    record->code = code;
    record->*placeField = place;
    record->reserved1 = 0;
    record->reserved2 = 0;
    record->trailCount = 0;
    record->mode = 0;
    record->param1[0] = 0;
    record->param2[0] = 0;
    record->param3[0] = 0;
    record->param4[0] = 0;
}

// Adds (place, line) while the trail has room; a count outside the trail
// (a record overwritten by hand) adds nothing.
template <typename Record, typename Place>
void AddTrailEntry(Record* record, Place place, std::uint32_t line) {
    constexpr std::int32_t capacity = sizeof record->trail / sizeof record->trail[0];
    if (record->trailCount < 0 || record->trailCount >= capacity) {
        return;
    }
    record->trail[record->trailCount] = {place, line};
    ++record->trailCount;
}
