#include "formats/json_text.h"

#include <math.h>
#include <stdlib.h>
#include <string.h>

#include <charconv>

void text_append(text_buffer* text, const char* bytes, size_t size) {
    if (text->failed) return;
    if (text->size + size > text->capacity) {
        size_t capacity = text->capacity < 256 ? 256 : text->capacity;
        while (capacity < text->size + size) capacity *= 2;
        char* grown = (char*)realloc(text->bytes, capacity);
        if (grown == nullptr) {
            text->failed = true;
            return;
        }
        text->bytes = grown;
        text->capacity = capacity;
    }
    if (size > 0) memcpy(text->bytes + text->size, bytes, size);
    text->size += size;
}

void text_append_text(text_buffer* text, const char* zero_ended) {
    text_append(text, zero_ended, strlen(zero_ended));
}

void text_free(text_buffer* text) {
    free(text->bytes);
    *text = {};
}

// The length of the UTF-8 sequence at p, or 0 when it is not one.
static size_t utf8_sequence(const unsigned char* p, size_t left) {
    if (p[0] < 0x80) return 1;
    size_t length = p[0] >= 0xC2 && p[0] <= 0xDF   ? 2
                    : p[0] >= 0xE0 && p[0] <= 0xEF ? 3
                    : p[0] >= 0xF0 && p[0] <= 0xF4 ? 4
                                                   : 0;
    if (length == 0 || length > left) return 0;
    for (size_t i = 1; i < length; i++)
        if ((p[i] & 0xC0) != 0x80) return 0;
    // Overlong three- and four-byte forms, surrogates, beyond U+10FFFF.
    if ((p[0] == 0xE0 && p[1] < 0xA0) || (p[0] == 0xED && p[1] > 0x9F) || (p[0] == 0xF0 && p[1] < 0x90) ||
        (p[0] == 0xF4 && p[1] > 0x8F))
        return 0;
    return length;
}

bool is_utf8(const char* bytes, size_t size) {
    const unsigned char* p = (const unsigned char*)bytes;
    for (size_t i = 0; i < size;) {
        size_t length = utf8_sequence(p + i, size - i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

void json_append_string(text_buffer* text, const char* bytes, size_t size) {
    const unsigned char* p = (const unsigned char*)bytes;
    text_append(text, "\"", 1);
    for (size_t i = 0; i < size;) {
        size_t length = utf8_sequence(p + i, size - i);
        if (length == 0) {
            text_append(text, "\xEF\xBF\xBD", 3);
            i++;
            continue;
        }
        unsigned char c = p[i];
        if (c == '"' || c == '\\') {
            char escaped[2] = {'\\', (char)c};
            text_append(text, escaped, 2);
        } else if (c < 0x20) {
            static const char hex[] = "0123456789abcdef";
            char escaped[6] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 15]};
            text_append(text, escaped, 6);
        } else {
            text_append(text, bytes + i, length);
        }
        i += length;
    }
    text_append(text, "\"", 1);
}

static void append_base64(text_buffer* text, const unsigned char* p, size_t size) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < size; i += 3) {
        unsigned v = (unsigned)p[i] << 16;
        if (i + 1 < size) v |= (unsigned)p[i + 1] << 8;
        if (i + 2 < size) v |= p[i + 2];
        char group[4] = {digits[v >> 18], digits[(v >> 12) & 63], i + 1 < size ? digits[(v >> 6) & 63] : '=',
                         i + 2 < size ? digits[v & 63] : '='};
        text_append(text, group, 4);
    }
}

void json_append_data(text_buffer* text, const char* bytes, size_t size) {
    if (is_utf8(bytes, size)) {
        json_append_string(text, bytes, size);
        return;
    }
    text_append_text(text, "{\"base64\": \"");
    append_base64(text, (const unsigned char*)bytes, size);
    text_append_text(text, "\"}");
}

void json_append_int(text_buffer* text, int64_t value) {
    char digits[24];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    text_append(text, digits, (size_t)(end.ptr - digits));
}

void json_append_float(text_buffer* text, double value) {
    if (!isfinite(value)) {
        text_append_text(text, isnan(value) ? "{\"float\": \"nan\"}"
                               : value > 0  ? "{\"float\": \"inf\"}"
                                            : "{\"float\": \"-inf\"}");
        return;
    }
    // to_chars is locale-free and gives the shortest form that reads back
    // exactly, the same on every platform.
    char digits[40];
    std::to_chars_result end = std::to_chars(digits, digits + sizeof digits - 2, value);
    size_t length = (size_t)(end.ptr - digits);
    if (memchr(digits, '.', length) == nullptr && memchr(digits, 'e', length) == nullptr) {
        memcpy(digits + length, ".0", 2);
        length += 2;
    }
    text_append(text, digits, length);
}
