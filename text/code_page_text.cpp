// Code-page-aware bounded copies and the trailing-backslash test.
#include "text/code_page_text.h"

#include "text/bounded_text.h"

namespace {

// A lead byte directly before the terminator counts as a one-byte character.
DWORD CharLength(const char* p) {
    if (IsDBCSLeadByte(static_cast<BYTE>(p[0])) && p[1] != '\0') {
        return 2;
    }
    return 1;
}

} // namespace

char* TextCopyBounded(char* destination, DWORD capacity, const char* source) {
    if (capacity == 0) {
        return nullptr;
    }
    DWORD written = 0;
    bool whole = true;
    while (*source != '\0') {
        const DWORD length = CharLength(source);
        if (written + length >= capacity) {
            whole = false;
            break;
        }
        for (DWORD i = 0; i < length; ++i) {
            destination[written++] = *source++;
        }
    }
    destination[written] = '\0';
    return whole ? destination : nullptr;
}

char* TextAppendBounded(char* destination, DWORD capacity, const char* source) {
    // The existing text's length in bytes; a lead byte before the terminator
    // is a character of one byte, so whole characters up to the terminator
    // cover every byte before it.
    const DWORD existing = static_cast<DWORD>(LengthWithin(destination, capacity));
    if (existing == capacity) {
        return nullptr;
    }
    if (TextCopyBounded(destination + existing, capacity - existing, source) == nullptr) {
        return nullptr;
    }
    return destination;
}

int EndsWithBackslash(const char* text) {
    const char* last = nullptr;
    for (const char* p = text; *p != '\0'; p = CharNextA(p)) {
        last = p;
    }
    return last != nullptr && *last == '\\' ? 1 : 0;
}
