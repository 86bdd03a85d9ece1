// What --info derives from the clip's numbers: the duration of a stream as
// an exact fraction of seconds, and the field order of image_type. Pure,
// for the table-driven tests.
#ifndef ZVK_CLIP_TIMING_H
#define ZVK_CLIP_TIMING_H

#include <stdint.h>

struct clip_duration {
    bool known;  // false: the numbers give no duration (no rate, a negative count)
    int64_t numerator;
    int64_t denominator;  // the fraction in lowest terms, denominator > 0
    double seconds;
};

// frames * fps_den / fps_num seconds.
clip_duration video_duration(int frames, uint32_t fps_num, uint32_t fps_den);

// samples / rate seconds.
clip_duration audio_duration(int64_t samples, int rate);

// "tff", "bff", or null where image_type says neither (or both).
const char* field_order_name(int image_type);

// image_type's field-based flag.
bool is_field_based(int image_type);

#endif
