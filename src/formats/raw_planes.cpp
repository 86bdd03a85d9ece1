#include "formats/raw_planes.h"

#include <limits.h>
#include <string.h>

#include "avs/avs_interface.h"

namespace {

// The kinds of pixel type, by their class bits.
const int class_mask = AVS_CS_PLANAR | AVS_CS_INTERLEAVED | AVS_CS_YUV | AVS_CS_BGR | AVS_CS_YUVA;
const int planar_grey = AVS_CS_PLANAR | AVS_CS_INTERLEAVED | AVS_CS_YUV;
const int planar_yuv = AVS_CS_PLANAR | AVS_CS_YUV;
const int planar_yuva = AVS_CS_PLANAR | AVS_CS_YUVA;
const int planar_rgb = AVS_CS_PLANAR | AVS_CS_BGR;
const int packed_rgb = AVS_CS_INTERLEAVED | AVS_CS_BGR;
const int packed_yuv = AVS_CS_INTERLEAVED | AVS_CS_YUV;

// FFmpeg's names by family, for 8, 10, 12, 14, 16 bits and float.
struct family_names {
    const char* family;
    const char* names[6];
};

const family_names ffmpeg_names[] = {
    {"grey", {"gray", "gray10le", "gray12le", "gray14le", "gray16le", "grayf32le"}},
    {"420", {"yuv420p", "yuv420p10le", "yuv420p12le", "yuv420p14le", "yuv420p16le", nullptr}},
    {"422", {"yuv422p", "yuv422p10le", "yuv422p12le", "yuv422p14le", "yuv422p16le", nullptr}},
    {"444", {"yuv444p", "yuv444p10le", "yuv444p12le", "yuv444p14le", "yuv444p16le", nullptr}},
    {"411", {"yuv411p", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {"410", {"yuv410p", nullptr, nullptr, nullptr, nullptr, nullptr}},
    {"a420", {"yuva420p", "yuva420p10le", nullptr, nullptr, "yuva420p16le", nullptr}},
    {"a422", {"yuva422p", "yuva422p10le", "yuva422p12le", nullptr, "yuva422p16le", nullptr}},
    {"a444", {"yuva444p", "yuva444p10le", "yuva444p12le", nullptr, "yuva444p16le", nullptr}},
    {"rgb", {"gbrp", "gbrp10le", "gbrp12le", "gbrp14le", "gbrp16le", "gbrpf32le"}},
    {"rgba", {"gbrap", "gbrap10le", "gbrap12le", nullptr, "gbrap16le", "gbrapf32le"}},
};

const char* ffmpeg_name(const char* family, int bits) {
    int column;
    switch (bits) {
    case 8: column = 0; break;
    case 10: column = 1; break;
    case 12: column = 2; break;
    case 14: column = 3; break;
    case 16: column = 4; break;
    default: column = 5; break;
    }
    for (const family_names& f : ffmpeg_names)
        if (strcmp(f.family, family) == 0) return f.names[column];
    return nullptr;
}

// Bits per component from the sample-bits code; 0 for a code without one.
int bits_of(int code) {
    static const int bits[8] = {8, 16, 32, 0, 0, 10, 12, 14};
    return bits[code & 7];
}

// The shift of a subsampling code: 3 none, 0 halved, 1 quartered; -1 else.
int shift_of(int code) {
    switch (code) {
    case 3: return 0;
    case 0: return 1;
    case 1: return 2;
    default: return -1;
    }
}

void add_plane(raw_planes* r, int id, int width, int height, int components) {
    raw_plane* p = &r->planes[r->count++];
    p->id = id;
    p->width = width;
    p->height = height;
    p->row_bytes = width * components * r->bytes_per_sample;
}

// The chroma family of a YUV subsampling, or null where no name exists.
const char* yuv_family(int w_shift, int h_shift, bool alpha) {
    if (w_shift == 1 && h_shift == 1) return alpha ? "a420" : "420";
    if (w_shift == 1 && h_shift == 0) return alpha ? "a422" : "422";
    if (w_shift == 0 && h_shift == 0) return alpha ? "a444" : "444";
    if (alpha) return nullptr;
    if (w_shift == 2 && h_shift == 0) return "411";
    if (w_shift == 2 && h_shift == 2) return "410";
    return nullptr;
}

// Planar formats: the pixel type rebuilt from the fields read must be the
// one given, so that stray bits never pass as a known format.
raw_planes planar(int pixel_type, int kind, int width, int height) {
    raw_planes r = {};
    int bits = bits_of(pixel_type >> AVS_CS_SAMPLE_BITS_SHIFT);
    if (bits == 0) return r;
    int w_code = pixel_type & AVS_CS_SUB_WIDTH_MASK;
    int h_code = (pixel_type >> AVS_CS_SUB_HEIGHT_SHIFT) & AVS_CS_SUB_WIDTH_MASK;
    int expected = kind | (pixel_type & (7 << AVS_CS_SAMPLE_BITS_SHIFT));
    const char* family = nullptr;
    int w_shift = 0, h_shift = 0;
    if (kind == planar_yuv || kind == planar_yuva) {
        w_shift = shift_of(w_code);
        h_shift = shift_of(h_code);
        if (w_shift < 0 || h_shift < 0) return r;
        expected |= w_code | h_code << AVS_CS_SUB_HEIGHT_SHIFT;
        expected |= pixel_type & (AVS_CS_VPLANEFIRST | AVS_CS_UPLANEFIRST);
        family = yuv_family(w_shift, h_shift, kind == planar_yuva);
    } else if (kind == planar_rgb) {
        int rgb = pixel_type & (AVS_CS_RGB_TYPE | AVS_CS_RGBA_TYPE);
        if (rgb != AVS_CS_RGB_TYPE && rgb != AVS_CS_RGBA_TYPE) return r;
        expected |= rgb;
        family = rgb == AVS_CS_RGBA_TYPE ? "rgba" : "rgb";
    } else {
        family = "grey";
    }
    if (expected != pixel_type) return r;
    r.bits = bits;
    r.is_float = bits == 32;
    r.bytes_per_sample = bits == 8 ? 1 : bits == 32 ? 4 : 2;
    r.ffmpeg_pix_fmt = family != nullptr ? ffmpeg_name(family, bits) : nullptr;
    if (kind == planar_rgb) {
        add_plane(&r, AVS_PLANAR_G, width, height, 1);
        add_plane(&r, AVS_PLANAR_B, width, height, 1);
        add_plane(&r, AVS_PLANAR_R, width, height, 1);
        if (strcmp(family, "rgba") == 0) add_plane(&r, AVS_PLANAR_A, width, height, 1);
        return r;
    }
    add_plane(&r, AVS_PLANAR_Y, width, height, 1);
    if (kind == planar_grey) return r;
    add_plane(&r, AVS_PLANAR_U, width >> w_shift, height >> h_shift, 1);
    add_plane(&r, AVS_PLANAR_V, width >> w_shift, height >> h_shift, 1);
    if (kind == planar_yuva) add_plane(&r, AVS_PLANAR_A, width, height, 1);
    return r;
}

struct packed_format {
    int pixel_type;
    int components;
    int bits;
    bool bottom_up;
    const char* ffmpeg_pix_fmt;
};

// AviSynth holds packed RGB as B, G, R (, A), bottom row first; YUY2 as
// Y0 U Y1 V, top row first (two components a pixel on average).
const packed_format packed_formats[] = {
    {packed_rgb | AVS_CS_RGB_TYPE, 3, 8, true, "bgr24"},
    {packed_rgb | AVS_CS_RGBA_TYPE, 4, 8, true, "bgra"},
    {packed_rgb | AVS_CS_RGB_TYPE | 1 << AVS_CS_SAMPLE_BITS_SHIFT, 3, 16, true, "bgr48le"},
    {packed_rgb | AVS_CS_RGBA_TYPE | 1 << AVS_CS_SAMPLE_BITS_SHIFT, 4, 16, true, "bgra64le"},
    {packed_yuv | AVS_CS_YUY2_TYPE, 2, 8, false, "yuyv422"},
};

}  // namespace

raw_planes describe_raw_planes(int pixel_type, int width, int height) {
    raw_planes r = {};
    // Eight bytes a pixel at most: every row's size fits an int.
    if (width < 0 || height < 0 || width > INT_MAX / 8) return r;
    int kind = pixel_type & class_mask;
    if (kind == planar_grey || kind == planar_yuv || kind == planar_yuva || kind == planar_rgb)
        return planar(pixel_type, kind, width, height);
    for (const packed_format& f : packed_formats) {
        if (f.pixel_type != pixel_type) continue;
        r.bits = f.bits;
        r.bytes_per_sample = f.bits / 8;
        r.packed = true;
        r.bottom_up = f.bottom_up;
        r.ffmpeg_pix_fmt = f.ffmpeg_pix_fmt;
        add_plane(&r, 0, width, height, f.components);
        return r;
    }
    return r;
}

long long raw_frame_bytes(const raw_planes* layout) {
    long long total = 0;
    for (int i = 0; i < layout->count; i++)
        total += (long long)layout->planes[i].row_bytes * layout->planes[i].height;
    return total;
}
