// The start both decoders make (dcl_decode.cpp, and dcl_decode_compact.cpp,
// the installer's): keep the callbacks and the caller value, read the first
// input and check the header.  Inline, as a program links one decoder.
#pragma once
#include <cstdint>

#include "dcl/dcl_decode.h"

// Reads the first input into work->input, held to kDclInputSize bytes
// whatever the read claims, with the count in work->inputCount, and takes
// the literal mode and the dictionary bits from its header.  Returns DCL_OK
// to go on, or the result that refuses the stream before any output: a
// short input first, then the dictionary, then the mode.
inline std::uint32_t DclStart(DclReadFn read, DclWriteFn write, DclState* work, void* callerValue) {
    work->read = read;
    work->write = write;
    work->callerValue = callerValue;
    work->inputPosition = kDclInputSize; // the size slot of the read
    const std::uint32_t got = read(work->input, &work->inputPosition, callerValue);
    work->inputCount = got > kDclInputSize ? kDclInputSize : got;
    if (work->inputCount <= 4) {
        return DCL_SHORT_INPUT;
    }
    work->literalMode = work->input[0];
    work->dictionaryBits = work->input[1];
    if (work->dictionaryBits < 4 || work->dictionaryBits > 6) {
        return DCL_BAD_DICTIONARY;
    }
    return work->literalMode > 1 ? DCL_BAD_MODE : DCL_OK;
}
