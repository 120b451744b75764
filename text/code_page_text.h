// Text operations of the Windows programs that respect the current code
// page: a lead byte of a double-byte character and its trail byte are one
// character of two bytes, never split; a lead byte directly before the
// terminator is a character of one byte.  Windows builds only.
#pragma once
#include <windows.h>

// Copies source into destination (capacity bytes, terminator included) by
// whole characters.  Returns destination when all of source fitted, null
// otherwise; what fitted stays, terminated.  Capacity 0 writes nothing.
char* TextCopyBounded(char* destination, DWORD capacity, const char* source);
// Appends source to the terminated text in destination.  Null and no change
// when destination holds no terminator within capacity; otherwise as
// TextCopyBounded with the remaining capacity.
char* TextAppendBounded(char* destination, DWORD capacity, const char* source);
// 1 when the last character of text is a backslash (a trail byte that looks
// like one does not count).
int EndsWithBackslash(const char* text);
