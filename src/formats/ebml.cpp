#include "formats/ebml.h"

#include <string.h>

static void put_bytes(ebml_buffer* b, const void* data, size_t size) {
    if (b->overflow || size > b->capacity - b->size) {
        b->overflow = true;
        return;
    }
    memcpy(b->bytes + b->size, data, size);
    b->size += size;
}

// value in its low `count` bytes, most significant first.
static void put_big_endian(ebml_buffer* b, uint64_t value, int count) {
    unsigned char bytes[8];
    for (int i = 0; i < count; i++) bytes[i] = (unsigned char)(value >> (8 * (count - 1 - i)));
    put_bytes(b, bytes, (size_t)count);
}

void ebml_put_id(ebml_buffer* b, uint32_t id) {
    int count = id > 0xFFFFFF ? 4 : id > 0xFFFF ? 3 : id > 0xFF ? 2 : 1;
    put_big_endian(b, id, count);
}

// A size of `count` bytes: the marker bit at the top of the first, then
// 7 * count bits of value. All ones would mean unknown, so a value of
// 2^(7 count) - 1 takes a byte more.
static void put_size_bytes(ebml_buffer* b, uint64_t size, int count) {
    put_big_endian(b, size | (uint64_t)1 << (7 * count), count);
}

void ebml_put_size(ebml_buffer* b, uint64_t size) {
    int count = 1;
    while (count < 8 && size >= ((uint64_t)1 << (7 * count)) - 1) count++;
    put_size_bytes(b, size, count);
}

void ebml_put_size8(ebml_buffer* b, uint64_t size) { put_size_bytes(b, size, 8); }

void ebml_put_unknown_size(ebml_buffer* b) { put_big_endian(b, 0x01FFFFFFFFFFFFFFull, 8); }

void ebml_put_uint(ebml_buffer* b, uint32_t id, uint64_t value) {
    int count = 1;
    while (count < 8 && value >> (8 * count) != 0) count++;
    ebml_put_id(b, id);
    ebml_put_size(b, (uint64_t)count);
    put_big_endian(b, value, count);
}

void ebml_put_float(ebml_buffer* b, uint32_t id, double value) {
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    ebml_put_id(b, id);
    ebml_put_size(b, 8);
    put_big_endian(b, bits, 8);
}

void ebml_put_string(ebml_buffer* b, uint32_t id, const char* value) {
    ebml_put_binary(b, id, value, strlen(value));
}

void ebml_put_binary(ebml_buffer* b, uint32_t id, const void* data, size_t size) {
    ebml_put_id(b, id);
    ebml_put_size(b, (uint64_t)size);
    put_bytes(b, data, size);
}

size_t ebml_open_master(ebml_buffer* b, uint32_t id) {
    ebml_put_id(b, id);
    ebml_put_size8(b, 0);
    return b->size;
}

void ebml_close_master(ebml_buffer* b, size_t children_start) {
    if (b->overflow) return;
    ebml_buffer size_field = {b->bytes + children_start - 8, 8, 0, false};
    ebml_put_size8(&size_field, (uint64_t)(b->size - children_start));
}
