#include "formats/type_names.h"

#include "avs/avs_interface.h"

struct named_type {
    int value;
    const char* name;
};

// The pixel_type values of AviSynth+ 3.7 with the names its scripts use.
static const named_type pixel_types[] = {
    {1342177281, "RGB24"},
    {1342177282, "RGB32"},
    {1610612740, "YUY2"},
    {-1610611957, "YV24"},
    {-1610611960, "YV16"},
    {-1610612728, "YV12"},
    {-1610612471, "YUV9"},
    {-1610611959, "YV411"},
    {-536870912, "Y8"},
    {-1610285048, "YUV420P10"},
    {-1610284280, "YUV422P10"},
    {-1610284277, "YUV444P10"},
    {-536543232, "Y10"},
    {-1610219512, "YUV420P12"},
    {-1610218744, "YUV422P12"},
    {-1610218741, "YUV444P12"},
    {-536477696, "Y12"},
    {-1610153976, "YUV420P14"},
    {-1610153208, "YUV422P14"},
    {-1610153205, "YUV444P14"},
    {-536412160, "Y14"},
    {-1610547192, "YUV420P16"},
    {-1610546424, "YUV422P16"},
    {-1610546421, "YUV444P16"},
    {-536805376, "Y16"},
    {-1610481656, "YUV420PS"},
    {-1610480888, "YUV422PS"},
    {-1610480885, "YUV444PS"},
    {-536739840, "Y32"},
    {1342242817, "RGB48"},
    {1342242818, "RGB64"},
    {-1879048191, "RGBP"},
    {-1878720511, "RGBP10"},
    {-1878654975, "RGBP12"},
    {-1878589439, "RGBP14"},
    {-1878982655, "RGBP16"},
    {-1878917119, "RGBPS"},
    {-2013265912, "YUVA420"},
    {-2013265144, "YUVA422"},
    {-2013265141, "YUVA444"},
    {-2012938232, "YUVA420P10"},
    {-2012937464, "YUVA422P10"},
    {-2012937461, "YUVA444P10"},
    {-2012872696, "YUVA420P12"},
    {-2012871928, "YUVA422P12"},
    {-2012871925, "YUVA444P12"},
    {-2012807160, "YUVA420P14"},
    {-2012806392, "YUVA422P14"},
    {-2012806389, "YUVA444P14"},
    {-2013200376, "YUVA420P16"},
    {-2013199608, "YUVA422P16"},
    {-2013199605, "YUVA444P16"},
    {-2013134840, "YUVA420PS"},
    {-2013134072, "YUVA422PS"},
    {-2013134069, "YUVA444PS"},
    {-1879048190, "RGBAP"},
    {-1878720510, "RGBAP10"},
    {-1878654974, "RGBAP12"},
    {-1878589438, "RGBAP14"},
    {-1878982654, "RGBAP16"},
    {-1878917118, "RGBAPS"},
    // I420 is YV12 with its planes swapped; AviSynth names it YV12 too.
    {-1610612720, "YV12"},
};

static const named_type sample_types[] = {
    {AVS_SAMPLE_INT8, "int8"},   {AVS_SAMPLE_INT16, "int16"}, {AVS_SAMPLE_INT24, "int24"},
    {AVS_SAMPLE_INT32, "int32"}, {AVS_SAMPLE_FLOAT, "float"},
};

template <int N>
static const char* find_name(const named_type (&table)[N], int value) {
    for (const named_type& t : table)
        if (t.value == value) return t.name;
    return nullptr;
}

const char* pixel_type_name(int pixel_type) { return find_name(pixel_types, pixel_type); }

const char* sample_type_name(int sample_type) { return find_name(sample_types, sample_type); }
