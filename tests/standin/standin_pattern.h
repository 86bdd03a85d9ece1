// The bytes the stand-in serves, as functions of their position, shared with
// the tests so that they can compute every expected output byte exactly.
#ifndef STANDIN_PATTERN_H
#define STANDIN_PATTERN_H

#include <stdint.h>
#include <string.h>

// Frame n is served from slot n % period (see the description format).
inline unsigned char standin_pixel(int slot, int plane, int row, int column) {
    return (unsigned char)(slot * 37 + plane * 101 + row * 11 + column * 3 + ((row ^ column) & 7));
}

// Sample frames repeat with this period; prime, so a fetch that restarted at
// the wrong sample never matches by accident.
enum { STANDIN_AUDIO_PERIOD = 65521 };

inline int standin_bytes_per_sample(int sample_type) {
    switch (sample_type) {
    case 1: return 1;
    case 2: return 2;
    case 4: return 3;
    case 8: return 4;
    case 16: return 4;
    default: return 2;
    }
}

// One sample of one channel, little-endian, in the clip's sample type.
inline void standin_sample(int sample_type, int64_t sample, int channel, unsigned char* out) {
    uint32_t s = (uint32_t)(sample % STANDIN_AUDIO_PERIOD);
    uint32_t u = s * 2654435761u ^ (uint32_t)channel * 0x9E3779B9u;
    if (sample_type == 16) {
        // Exact in binary and never NaN, so a decoder's round trip is exact.
        float f = (float)((int)(u % 2001u) - 1000) / 1024.0f;
        memcpy(&u, &f, 4);
    }
    int n = standin_bytes_per_sample(sample_type);
    for (int i = 0; i < n; i++) out[i] = (unsigned char)(u >> (8 * i));
}

#endif
