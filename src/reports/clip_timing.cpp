#include "reports/clip_timing.h"

// AviSynth's image_type bits.
enum { IT_BFF = 1 << 0, IT_TFF = 1 << 1, IT_FIELDBASED = 1 << 2 };

static uint64_t gcd(uint64_t a, uint64_t b) {
    while (b != 0) {
        uint64_t t = a % b;
        a = b;
        b = t;
    }
    return a;
}

// numerator / denominator, both non-negative and the denominator positive;
// every product that reaches here fits 64 bits.
static clip_duration fraction(uint64_t numerator, uint64_t denominator) {
    clip_duration d = {};
    uint64_t divisor = gcd(numerator, denominator);
    d.known = true;
    d.numerator = (int64_t)(numerator / divisor);
    d.denominator = (int64_t)(denominator / divisor);
    d.seconds = (double)d.numerator / (double)d.denominator;
    return d;
}

clip_duration video_duration(int frames, uint32_t fps_num, uint32_t fps_den) {
    if (frames < 0 || fps_num == 0 || fps_den == 0) return clip_duration{};
    // Below 2^31 * 2^32: no overflow.
    return fraction((uint64_t)frames * fps_den, fps_num);
}

clip_duration audio_duration(int64_t samples, int rate) {
    if (samples < 0 || rate <= 0) return clip_duration{};
    return fraction((uint64_t)samples, (uint64_t)rate);
}

const char* field_order_name(int image_type) {
    switch (image_type & (IT_BFF | IT_TFF)) {
    case IT_TFF: return "tff";
    case IT_BFF: return "bff";
    default: return nullptr;
    }
}

bool is_field_based(int image_type) { return (image_type & IT_FIELDBASED) != 0; }
