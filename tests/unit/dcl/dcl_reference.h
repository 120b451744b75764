// A plain, step-by-step DCL implode decoder: 8 look-ahead bits refilled a
// byte at a time, each code matched a bit at a time, a byte loop per match.
// Slow but easy to check against the format: the one the fuzz targets
// compare DclDecode with on arbitrary input, and the one the encoder's
// tests walk its streams with.  Same interface and result codes as
// DclDecode.
#pragma once
#include <cstdint>

#include "dcl/dcl_decode.h"

// What a walk saw of a stream besides its output.
struct ReferenceWalk {
    std::uint64_t bits = 0;          // stream bits after the header that the items took
    std::uint64_t matches = 0;       // matches decoded
    bool reachedBeforeStart = false; // a match reached back before the first byte
};

std::uint32_t ReferenceDecode(DclReadFn read, DclWriteFn write, void* callerValue,
                              ReferenceWalk* walk = nullptr);
