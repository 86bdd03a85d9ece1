// The parts of the AviSynth+ C interface this program uses: opaque handles,
// the tagged value, the video information and the constants. Declared here
// from the interface's published binary layout; nothing is linked against.
#ifndef ZVK_AVS_INTERFACE_H
#define ZVK_AVS_INTERFACE_H

#include <stdint.h>

// 32-bit Windows builds of AviSynth+ export every C function as __stdcall;
// everywhere else the platform's one C convention applies. (A build may
// define it: the tests build a runner with the wrong one, which must fail.)
#if !defined(AVSC_CC)
#if defined(_WIN32) && !defined(_WIN64)
#define AVSC_CC __stdcall
#else
#define AVSC_CC
#endif
#endif

struct AVS_ScriptEnvironment;
struct AVS_Clip;
struct AVS_VideoFrame;
struct AVS_Map;

// Passed and returned by value, so every union member is kept: the member
// set decides which registers carry the value.
struct AVS_Value {
    short type;
    short array_size;
    union {
        void* clip;
        char boolean;
        int integer;
        float floating_pt;
        const char* string;
        const AVS_Value* array;
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

struct AVS_VideoInfo {
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

enum {
    AVS_PLANAR_Y = 1,
    AVS_PLANAR_U = 2,
    AVS_PLANAR_V = 4,
    AVS_PLANAR_A = 16,
    AVS_PLANAR_R = 32,
    AVS_PLANAR_G = 64,
    AVS_PLANAR_B = 128,
};

// The bit fields of pixel_type.
enum {
    AVS_CS_YUVA = 1 << 27,
    AVS_CS_BGR = 1 << 28,
    AVS_CS_YUV = 1 << 29,
    AVS_CS_INTERLEAVED = 1 << 30,
    AVS_CS_PLANAR = (int)(1u << 31),
    AVS_CS_SUB_WIDTH_MASK = 7,    // 3: none, 0: halved, 1: quartered
    AVS_CS_VPLANEFIRST = 1 << 3,  // the plane order in memory only
    AVS_CS_UPLANEFIRST = 1 << 4,
    AVS_CS_SUB_HEIGHT_SHIFT = 8,    // the same codes as the width's
    AVS_CS_SAMPLE_BITS_SHIFT = 16,  // 0: 8, 5: 10, 6: 12, 7: 14, 1: 16, 2: float
    AVS_CS_RGB_TYPE = 1 << 0,
    AVS_CS_RGBA_TYPE = 1 << 1,
    AVS_CS_YUY2_TYPE = 1 << 2,
};

enum {
    AVS_SAMPLE_INT8 = 1,
    AVS_SAMPLE_INT16 = 2,
    AVS_SAMPLE_INT24 = 4,
    AVS_SAMPLE_INT32 = 8,
    AVS_SAMPLE_FLOAT = 16,
};

// Error codes of the frame property getters.
enum {
    AVS_GETPROPERROR_SUCCESS = 0,
    AVS_GETPROPERROR_UNSET = 1,
    AVS_GETPROPERROR_TYPE = 2,
    AVS_GETPROPERROR_ERROR = 3,
    AVS_GETPROPERROR_INDEX = 4,
};

enum { AVS_INTERFACE_VERSION = 8 };

#endif
