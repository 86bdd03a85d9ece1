// The stand-in's own view of the AviSynth+ C interface, written separately
// from the runner's so that a disagreement between the two (a union member,
// a field offset, the calling convention) shows up as a failing test instead
// of being shared by both sides.
#ifndef STANDIN_AVS_H
#define STANDIN_AVS_H

#include <stdint.h>

#if !defined(STANDIN_CC)
#if defined(_WIN32) && !defined(_WIN64)
#define STANDIN_CC __stdcall
#else
#define STANDIN_CC
#endif
#endif

#if defined(_WIN32)
#define STANDIN_EXPORT extern "C" __declspec(dllexport)
#else
#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))
#endif

struct standin_value {
    short type;
    short array_size;
    union {
        void* clip;
        char boolean;
        int integer;
        float floating_pt;
        const char* string;
        const standin_value* array;
        void* function;
#if UINTPTR_MAX > 0xFFFFFFFFu
        int64_t longlong;
        double double_pt;
#else
        int64_t* longlong;
        double* double_pt;
#endif
    } d;
};

struct standin_video_info {
    int width;
    int height;
    unsigned fps_numerator;
    unsigned fps_denominator;
    int num_frames;
    int pixel_type;
    int audio_samples_per_second;
    int sample_type;
    int64_t num_audio_samples;
    int nchannels;
    int image_type;
};

static_assert(sizeof(standin_video_info) == 48, "AVS_VideoInfo is 48 bytes");
static_assert(sizeof(standin_value) == (sizeof(void*) == 8 ? 16 : 8), "AVS_Value size");

#endif
