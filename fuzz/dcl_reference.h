// A plain, step-by-step DCL implode decoder: 8 look-ahead bits refilled a
// byte at a time, a drop routine per code, a byte loop per match.  Slow but
// easy to check against the format; the fuzz targets compare DclDecode with
// it on arbitrary input.  Same interface and result codes as DclDecode.
#pragma once
#include <cstdint>

#include "dcl/dcl_decode.h"

std::uint32_t ReferenceDecode(DclReadFn read, DclWriteFn write, void* callerValue);
