// Error text: turns an error record into the one-line text the installer
// shows ("LA2211: Unable to create directory (W5 C:\x\)"), and the
// placeholder replacement that fills a message in.  Every text written is
// NUL-terminated within the capacity it is given; nothing is written
// outside it.
#pragma once
#include <cstddef>
#include <cstdint>

struct ErrorRecord;

// Full text of the record (origin letter L), followed by a blank line and
// the code's help text when withHelp.  A negative size counts as 0.
char* GetDisplayText(ErrorRecord* record, char* out, std::int32_t size, bool withHelp);

// Text of the record.  origin 1 gives the letter R and leaves out the
// parameters that the message does not mention; any other origin gives L.
// shortForm gives the kind letter and number alone, without origin letter.
// A code of the wrong form is rewritten in the record first (to A6 when an
// HRESULT was recorded as the code, to A7 when the HRESULT form is not one).
char* FormatText(ErrorRecord* record, char* out, std::int32_t size, int origin, bool shortForm);

// Kind letter, number and catalogue message of the HRESULT value h.
char* FormatCode(char* out, std::size_t capacity, std::uint32_t h);
// Kind letter and number alone.
char* FormatCodeShort(char* out, std::size_t capacity, std::uint32_t h);
// Help text of h; empty for nearly every code.
char* GetHelpText(char* out, std::size_t capacity, std::uint32_t h);

// Replaces every placeholder in text by value, left to right, never
// expanding inserted values again.  Returns text, or null when a
// replacement does not fit; that occurrence and those after it stay.
char* ReplaceAll(char* text, std::size_t capacity, const char* value, const char* placeholder);
