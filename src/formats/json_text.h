// JSON text built in memory, so that a whole line goes out in one write.
// Numbers are written the same in every locale and on every platform.
#ifndef ZVK_JSON_TEXT_H
#define ZVK_JSON_TEXT_H

#include <stddef.h>
#include <stdint.h>

// Grows as text is added; failed once memory ran out (the text is then
// incomplete and must not be written).
struct text_buffer {
    char* bytes;
    size_t size;
    size_t capacity;
    bool failed;
};

void text_append(text_buffer* text, const char* bytes, size_t size);
void text_append_text(text_buffer* text, const char* zero_ended);
void text_free(text_buffer* text);

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// values above U+10FFFF).
bool is_utf8(const char* bytes, size_t size);

// A JSON string of UTF-8 text; a byte that is not UTF-8 becomes U+FFFD.
void json_append_string(text_buffer* text, const char* bytes, size_t size);

// A JSON string where the bytes are UTF-8, else {"base64": "..."}.
void json_append_data(text_buffer* text, const char* bytes, size_t size);

void json_append_int(text_buffer* text, int64_t value);

// The shortest digits that read back as the same double, with ".0" where
// they would read as an integer; infinities and NaN, which JSON has no
// number for, as {"float": "inf"}, "-inf" or "nan".
void json_append_float(text_buffer* text, double value);

#endif
