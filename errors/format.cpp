// Composition of the error text from the record, the kind of its code and
// the catalogue message, with the record's parameters filled in.
#include "errors/format.h"

#include "errors/catalogue.h"
#include "errors/error_kind.h"
#include "errors/error_record.h"
#include "text/bounded_text.h"

#include <cstring>

namespace {

constexpr std::uint32_t kBit31 = 0x80000000u;
constexpr std::uint32_t kCodeMask = 0x2000FFFFu; // bit 29 and the low 16 bits
constexpr std::uint32_t kErrBadErrorCode = 0x20000006u;
constexpr std::uint32_t kErrBadHResult = 0x20000007u;
constexpr std::size_t kAppendedFormLength = 5; // " (%1)"

// Bounded writer: keeps the text NUL-terminated and silently drops what
// does not fit into capacity - 1 characters.  capacity is at least 1.
struct Writer {
    char* out;
    std::size_t capacity;
    std::size_t length;
};

void Put(Writer& w, char c) {
    if (w.length + 1 < w.capacity) {
        w.out[w.length++] = c;
        w.out[w.length] = '\0';
    }
}

void PutText(Writer& w, const char* text) {
    for (; *text != '\0' && w.length + 1 < w.capacity; ++text) {
        Put(w, *text);
    }
}

void PutDecimal(Writer& w, std::uint32_t value) {
    char digits[kDecimalSize];
    WriteDecimal(digits, value);
    PutText(w, digits);
}

void PutHex(Writer& w, std::uint32_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    char digits[8];
    int count = 0;
    do {
        digits[count++] = kDigits[value & 0xFu];
        value >>= 4;
    } while (value != 0);
    while (count > 0) {
        Put(w, digits[--count]);
    }
}

// Starts a text of the code h in out: false when there is nothing to write,
// out untouched when it has no room at all and emptied for code 0, which
// has no text.
bool StartCodeText(char* out, std::size_t capacity, std::uint32_t h) {
    if (out == nullptr || capacity == 0) {
        return false;
    }
    out[0] = '\0';
    return h != 0;
}

// ReplaceAll with a value of known length.
char* ReplaceAllN(char* text, std::size_t capacity, const char* value, std::size_t valueLength,
                  const char* placeholder) {
    if (text == nullptr) {
        return nullptr;
    }
    if (placeholder == nullptr || placeholder[0] == '\0') {
        return text;
    }
    std::size_t length = BoundedLength(text, capacity);
    if (length >= capacity) {
        return nullptr;
    }
    const std::size_t placeholderLength = std::strlen(placeholder);
    char* found = std::strstr(text, placeholder);
    while (found != nullptr) {
        if (length + valueLength + 1 > capacity + placeholderLength) {
            return nullptr;
        }
        char* rest = found + placeholderLength;
        const std::size_t restLength = length - static_cast<std::size_t>(rest - text);
        std::memmove(found + valueLength, rest, restLength + 1);
        if (valueLength != 0) {
            std::memcpy(found, value, valueLength);
        }
        length = length - placeholderLength + valueLength;
        found = std::strstr(found + valueLength, placeholder);
    }
    return text;
}

char* Param(ErrorRecord* record, int n) {
    switch (n) {
    case 1:
        return record->param1;
    case 2:
        return record->param2;
    case 3:
        return record->param3;
    default:
        return record->param4;
    }
}

} // namespace

char* ReplaceAll(char* text, std::size_t capacity, const char* value, const char* placeholder) {
    if (value == nullptr) {
        value = "";
    }
    return ReplaceAllN(text, capacity, value, std::strlen(value), placeholder);
}

char* FormatCode(char* out, std::size_t capacity, std::uint32_t h) {
    if (!StartCodeText(out, capacity, h)) {
        return out;
    }
    const std::uint32_t number = h & kCodeMask;
    Writer w{out, capacity, 0};
    const char* message = "";
    switch (ClassifyHResult(h)) {
    case ErrorKind::Application:
        message = ApplicationMessage(number);
        Put(w, 'A');
        PutDecimal(w, number & 0xDFFFFFFFu);
        break;
    case ErrorKind::Win32:
        message = Win32Message(number);
        Put(w, 'W');
        PutDecimal(w, number);
        break;
    case ErrorKind::HResult:
        message = HResultMessage(h);
        Put(w, 'H');
        PutDecimal(w, HResultFacility(h));
        Put(w, '-');
        PutDecimal(w, h & 0xFFFFu);
        break;
    case ErrorKind::Undefined:
        Put(w, 'U');
        PutDecimal(w, h);
        PutText(w, ": Undefined error code (0x");
        PutHex(w, h);
        Put(w, ')');
        break;
    }
    // Without a message the separator is left out as well; only the
    // separator, so a text cut by a small capacity keeps its digits.
    if (message[0] != '\0') {
        PutText(w, ": ");
        PutText(w, message);
    }
    out[capacity - 1] = '\0';
    return out;
}

char* FormatCodeShort(char* out, std::size_t capacity, std::uint32_t h) {
    if (FormatCode(out, capacity, h) == nullptr || capacity == 0) {
        return out;
    }
    char* colon = std::strchr(out, ':');
    if (colon != nullptr) {
        *colon = '\0';
    }
    return out;
}

char* GetHelpText(char* out, std::size_t capacity, std::uint32_t h) {
    if (!StartCodeText(out, capacity, h)) {
        return out;
    }
    const char* help =
        ClassifyHResult(h) == ErrorKind::Application ? ApplicationHelp(h & kCodeMask) : "";
    CopyBounded(out, capacity, help);
    return out;
}

char* FormatText(ErrorRecord* record, char* out, std::int32_t size, int origin, bool shortForm) {
    if (out == nullptr) {
        return out;
    }
    if (record == nullptr || record->code == 0) {
        if (size > 0) {
            out[0] = '\0';
        }
        return out;
    }
    const std::size_t capacity = size < 0 ? 0 : static_cast<std::size_t>(size);

    if (record->mode == 1) {
        if (capacity > 0) {
            // A record's text is never read past its field.
            CopyBounded(out, capacity, record->literalText, kLiteralTextSize);
        }
        return out;
    }

    // Form check: the code must be an error code and its HRESULT form an
    // HRESULT; otherwise the record is rewritten to say what went wrong.
    if ((record->code & kBit31) != 0) {
        SetParamUnsigned(record, record->code);
        record->code = kErrBadErrorCode;
        record->hresult = HResultFromCode(kErrBadErrorCode);
    } else if ((record->hresult & kBit31) == 0) {
        SetParamUnsigned(record, record->hresult);
        record->code = kErrBadHResult;
        record->hresult = HResultFromCode(kErrBadHResult);
    }

    if (shortForm) {
        if (capacity > 0) {
            FormatCodeShort(out, capacity, record->hresult);
        }
        return out;
    }
    // The full form needs room for the origin letter and a terminator.
    if (capacity < 2) {
        if (capacity == 1) {
            out[0] = '\0';
        }
        return out;
    }
    out[0] = origin == 1 ? 'R' : 'L';
    char* body = out + 1;
    const std::size_t bodyCapacity = capacity - 1;

    // The text into which the parameters go, and its capacity.
    char* text = body;
    std::size_t textCapacity = bodyCapacity;
    if (record->mode == 2 && record->literalText[0] != '\0') {
        FormatCodeShort(body, bodyCapacity, record->hresult);
        const std::size_t codeLength = std::strlen(body);
        text = body + codeLength;
        textCapacity = bodyCapacity - codeLength;
        if (textCapacity >= 3) { // the separator and a terminator
            std::memcpy(text, ": ", 3);
            text += 2;
            textCapacity -= 2;
            AppendBounded(text, textCapacity, record->literalText, kLiteralTextSize);
        }
    } else {
        FormatCode(body, bodyCapacity, record->hresult);
    }

    static const char* const kPlaceholders[] = {"%1", "%2", "%3", "%4"};
    static const char* const kAppendedForms[] = {" (%1)", " (%2)", " (%3)", " (%4)"};
    if (origin != 1) {
        for (int n = 0; n < 4; ++n) {
            if (Param(record, n + 1)[0] == '\0' || std::strstr(text, kPlaceholders[n]) != nullptr) {
                continue;
            }
            const std::size_t length = std::strlen(text);
            if (length + kAppendedFormLength < textCapacity) {
                std::memcpy(text + length, kAppendedForms[n], kAppendedFormLength + 1);
                textCapacity -= kAppendedFormLength;
            }
        }
    }
    for (int n = 0; n < 4; ++n) {
        const char* value = Param(record, n + 1);
        ReplaceAllN(text, textCapacity, value, LengthWithin(value, kParamSize), kPlaceholders[n]);
    }
    return out;
}

char* GetDisplayText(ErrorRecord* record, char* out, std::int32_t size, bool withHelp) {
    if (out == nullptr) {
        return out;
    }
    if (size < 0) {
        size = 0;
    }
    FormatText(record, out, size, 0, false);
    if (withHelp && size > 0) {
        const std::size_t capacity = static_cast<std::size_t>(size);
        AppendBounded(out, capacity, "\n\n", capacity);
        const std::size_t n = BoundedLength(out, capacity);
        // The help of the code as the form check may have rewritten it; a
        // record without an error has none.
        const std::uint32_t h = record != nullptr && record->code != 0 ? record->hresult : 0;
        GetHelpText(out + n, capacity - n, h);
    }
    return out;
}
