// EBML, the element coding of Matroska: an element is its ID, the size of
// its data as a variable-length number, then the data. These functions
// append elements to a buffer of fixed capacity and make no system call,
// so the bytes of any element can be checked alone.
#ifndef ZVK_EBML_H
#define ZVK_EBML_H

#include <stddef.h>
#include <stdint.h>

struct ebml_buffer {
    unsigned char* bytes;
    size_t capacity;
    size_t size;
    bool overflow;  // something did not fit: the bytes are not to be used
};

// An ID as the EBML standard writes it, its marker bits included
// (0x1A45DFA3 is four bytes, 0xA3 one).
void ebml_put_id(ebml_buffer* b, uint32_t id);

// A size in the fewest bytes that hold it (one to eight).
void ebml_put_size(ebml_buffer* b, uint64_t size);

// A size in eight bytes, so that it can be written before it is known.
void ebml_put_size8(ebml_buffer* b, uint64_t size);

// The size that says "unknown": the element runs until one that cannot be
// its child. A stream written front to back cannot go back to tell.
void ebml_put_unknown_size(ebml_buffer* b);

// Elements holding one value: an unsigned integer in the fewest bytes, a
// float in eight, a string without its terminating zero, or bytes.
void ebml_put_uint(ebml_buffer* b, uint32_t id, uint64_t value);
void ebml_put_float(ebml_buffer* b, uint32_t id, double value);
void ebml_put_string(ebml_buffer* b, uint32_t id, const char* value);
void ebml_put_binary(ebml_buffer* b, uint32_t id, const void* data, size_t size);

// A master element whose children follow: open writes its ID and room for
// an eight-byte size and returns where the children start; close, once
// they are written, fills the size in.
size_t ebml_open_master(ebml_buffer* b, uint32_t id);
void ebml_close_master(ebml_buffer* b, size_t children_start);

#endif
