// Bounded text operations shared by the installer, the credential tool and
// the error texts.
#include "text/bounded_text.h"

std::size_t LengthWithin(const char* text, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && text[length] != '\0') {
        ++length;
    }
    return length;
}

std::size_t BoundedLength(const char* text, std::size_t capacity) {
    if (text == nullptr) {
        return 0;
    }
    const std::size_t length = LengthWithin(text, capacity);
    return length < capacity ? length : kUnterminatedLength;
}

char* CopyBounded(char* dst, std::size_t capacity, const char* src, std::size_t srcLimit) {
    if (dst == nullptr || capacity == 0) {
        return nullptr;
    }
    if (src == nullptr) {
        src = "";
    }
    const std::size_t length = LengthWithin(src, srcLimit < capacity ? srcLimit : capacity);
    // A text of capacity or more characters fills every byte but the last.
    const std::size_t kept = length < capacity ? length : capacity - 1;
    for (std::size_t i = 0; i < capacity; ++i) {
        dst[i] = i < kept ? src[i] : '\0';
    }
    return length < capacity ? dst : nullptr;
}

char* AppendBounded(char* dst, std::size_t capacity, const char* src, std::size_t srcLimit) {
    if (dst == nullptr || capacity == 0) {
        return nullptr;
    }
    std::size_t used = BoundedLength(dst, capacity);
    if (used >= capacity) {
        return nullptr;
    }
    if (src == nullptr) {
        src = "";
    }
    std::size_t copied = 0;
    while (used < capacity && copied < srcLimit) {
        const char c = src[copied];
        dst[used] = c;
        if (c == '\0') {
            return dst;
        }
        ++used;
        ++copied;
    }
    if (used == capacity) {
        dst[capacity - 1] = '\0';
    } else {
        dst[used] = '\0';
    }
    return nullptr;
}
