#include "formats/mkv_layout.h"

#include <math.h>
#include <string.h>

#include "formats/ebml.h"

// The element IDs used.
enum : uint32_t {
    EBML = 0x1A45DFA3,
    EBML_VERSION = 0x4286,
    EBML_READ_VERSION = 0x42F7,
    EBML_MAX_ID_LENGTH = 0x42F2,
    EBML_MAX_SIZE_LENGTH = 0x42F3,
    DOC_TYPE = 0x4282,
    DOC_TYPE_VERSION = 0x4287,
    DOC_TYPE_READ_VERSION = 0x4285,
    SEGMENT = 0x18538067,
    INFO = 0x1549A966,
    TIMESTAMP_SCALE = 0x2AD7B1,
    MUXING_APP = 0x4D80,
    WRITING_APP = 0x5741,
    TRACKS = 0x1654AE6B,
    TRACK_ENTRY = 0xAE,
    TRACK_NUMBER = 0xD7,
    TRACK_UID = 0x73C5,
    TRACK_TYPE = 0x83,
    FLAG_LACING = 0x9C,
    CODEC_ID = 0x86,
    DEFAULT_DURATION = 0x23E383,
    VIDEO = 0xE0,
    PIXEL_WIDTH = 0xB0,
    PIXEL_HEIGHT = 0xBA,
    COLOUR_SPACE = 0x2EB524,
    AUDIO = 0xE1,
    SAMPLING_FREQUENCY = 0xB5,
    CHANNELS = 0x9F,
    BIT_DEPTH = 0x6264,
    CLUSTER = 0x1F43B675,
    TIMESTAMP = 0xE7,
    SIMPLE_BLOCK = 0xA3,
};

int mkv_video_track(const mkv_tracks* tracks) { return tracks->has_video ? 1 : 0; }
int mkv_audio_track(const mkv_tracks* tracks) { return tracks->has_audio ? (tracks->has_video ? 2 : 1) : 0; }

static void put_track_start(ebml_buffer* b, int number, int type, const char* codec) {
    ebml_put_uint(b, TRACK_NUMBER, (uint64_t)number);
    ebml_put_uint(b, TRACK_UID, (uint64_t)number);
    ebml_put_uint(b, TRACK_TYPE, (uint64_t)type);
    ebml_put_uint(b, FLAG_LACING, 0);
    ebml_put_string(b, CODEC_ID, codec);
}

static void put_video_track(ebml_buffer* b, const mkv_tracks* t) {
    size_t entry = ebml_open_master(b, TRACK_ENTRY);
    put_track_start(b, mkv_video_track(t), 1, "V_UNCOMPRESSED");
    if (t->frame_duration_ns > 0) ebml_put_uint(b, DEFAULT_DURATION, t->frame_duration_ns);
    size_t video = ebml_open_master(b, VIDEO);
    ebml_put_uint(b, PIXEL_WIDTH, (uint64_t)t->width);
    ebml_put_uint(b, PIXEL_HEIGHT, (uint64_t)t->height);
    ebml_put_binary(b, COLOUR_SPACE, t->fourcc, 4);
    ebml_close_master(b, video);
    ebml_close_master(b, entry);
}

static void put_audio_track(ebml_buffer* b, const mkv_tracks* t) {
    size_t entry = ebml_open_master(b, TRACK_ENTRY);
    put_track_start(b, mkv_audio_track(t), 2, t->is_float ? "A_PCM/FLOAT/IEEE" : "A_PCM/INT/LIT");
    size_t audio = ebml_open_master(b, AUDIO);
    ebml_put_float(b, SAMPLING_FREQUENCY, (double)t->sample_rate);
    ebml_put_uint(b, CHANNELS, (uint64_t)t->channels);
    ebml_put_uint(b, BIT_DEPTH, (uint64_t)t->bits);
    ebml_close_master(b, audio);
    ebml_close_master(b, entry);
}

size_t mkv_header(const mkv_tracks* tracks, unsigned char* out, size_t capacity) {
    ebml_buffer b = {out, capacity, 0, false};
    size_t ebml = ebml_open_master(&b, EBML);
    ebml_put_uint(&b, EBML_VERSION, 1);
    ebml_put_uint(&b, EBML_READ_VERSION, 1);
    ebml_put_uint(&b, EBML_MAX_ID_LENGTH, 4);
    ebml_put_uint(&b, EBML_MAX_SIZE_LENGTH, 8);
    ebml_put_string(&b, DOC_TYPE, "matroska");
    ebml_put_uint(&b, DOC_TYPE_VERSION, 4);
    ebml_put_uint(&b, DOC_TYPE_READ_VERSION, 2);
    ebml_close_master(&b, ebml);

    ebml_put_id(&b, SEGMENT);
    ebml_put_unknown_size(&b);
    size_t info = ebml_open_master(&b, INFO);
    ebml_put_uint(&b, TIMESTAMP_SCALE, MKV_TIMESTAMP_SCALE_NS);
    ebml_put_string(&b, MUXING_APP, "zvk_avs_runner");
    ebml_put_string(&b, WRITING_APP, "zvk_avs_runner");
    ebml_close_master(&b, info);

    size_t list = ebml_open_master(&b, TRACKS);
    if (tracks->has_video) put_video_track(&b, tracks);
    if (tracks->has_audio) put_audio_track(&b, tracks);
    ebml_close_master(&b, list);
    return b.overflow ? 0 : b.size;
}

bool mkv_needs_cluster(const mkv_clusters* clusters, int64_t time) {
    return !clusters->open || time < clusters->start || time - clusters->start > 32767;
}

size_t mkv_block_header(mkv_clusters* clusters, int track, int64_t time, uint64_t data_size,
                        unsigned char out[MKV_BLOCK_HEADER_MAX]) {
    ebml_buffer b = {out, MKV_BLOCK_HEADER_MAX, 0, false};
    if (mkv_needs_cluster(clusters, time)) {
        ebml_put_id(&b, CLUSTER);
        ebml_put_unknown_size(&b);
        ebml_put_uint(&b, TIMESTAMP, (uint64_t)time);
        clusters->open = true;
        clusters->start = time;
    }
    // Track number, 16-bit time relative to the Cluster, flags: every
    // block of raw video or PCM is a key frame.
    int64_t relative = time - clusters->start;
    unsigned char head[4] = {(unsigned char)(0x80 | track), (unsigned char)(relative >> 8),
                             (unsigned char)relative, 0x80};
    ebml_put_id(&b, SIMPLE_BLOCK);
    ebml_put_size8(&b, data_size + sizeof head);
    memcpy(out + b.size, head, sizeof head);
    return b.size + sizeof head;
}

int64_t mkv_sample_time(int64_t sample, int rate) {
    // Past 292 years of samples the product would wrap; a double is near enough there.
    if (sample > (INT64_MAX - rate) / 1000000) {
        double time = (double)sample / rate * 1e6;
        return time < 9e18 ? (int64_t)time : INT64_MAX;
    }
    return (sample * 1000000 + rate / 2) / rate;
}

int64_t mkv_samples_before(double ms, int rate) {
    double samples = ceil(ms * (double)rate / 1000.0);
    // Durations of a frame property can sum past any count of samples.
    if (!(samples < 9e18)) return INT64_MAX;
    return samples > 0 ? (int64_t)samples : 0;
}

// As FFmpeg's raw video reader names the layouts.
static const struct {
    const char* pix_fmt;
    char fourcc[4];
} raw_fourccs[] = {
    {"yuv420p", {'I', '4', '2', '0'}},    {"yuv422p", {'Y', '4', '2', 'B'}},
    {"yuv444p", {'4', '4', '4', 'P'}},    {"yuv411p", {'Y', '4', '1', 'B'}},
    {"yuv410p", {'Y', 'U', 'V', '9'}},    {"gray", {'Y', '8', '0', '0'}},
    {"gray10le", {'Y', '1', 0, 10}},      {"gray12le", {'Y', '1', 0, 12}},
    {"gray14le", {'Y', '1', 0, 14}},      {"gray16le", {'Y', '1', 0, 16}},
    {"yuv420p10le", {'Y', '3', 11, 10}},  {"yuv420p12le", {'Y', '3', 11, 12}},
    {"yuv420p14le", {'Y', '3', 11, 14}},  {"yuv420p16le", {'Y', '3', 11, 16}},
    {"yuv422p10le", {'Y', '3', 10, 10}},  {"yuv422p12le", {'Y', '3', 10, 12}},
    {"yuv422p14le", {'Y', '3', 10, 14}},  {"yuv422p16le", {'Y', '3', 10, 16}},
    {"yuv444p10le", {'Y', '3', 0, 10}},   {"yuv444p12le", {'Y', '3', 0, 12}},
    {"yuv444p14le", {'Y', '3', 0, 14}},   {"yuv444p16le", {'Y', '3', 0, 16}},
    {"yuva420p", {'Y', '4', 11, 8}},      {"yuva420p10le", {'Y', '4', 11, 10}},
    {"yuva420p16le", {'Y', '4', 11, 16}}, {"yuva422p", {'Y', '4', 10, 8}},
    {"yuva422p10le", {'Y', '4', 10, 10}}, {"yuva422p12le", {'Y', '4', 10, 12}},
    {"yuva422p16le", {'Y', '4', 10, 16}}, {"yuva444p", {'Y', '4', 0, 8}},
    {"yuva444p10le", {'Y', '4', 0, 10}},  {"yuva444p12le", {'Y', '4', 0, 12}},
    {"yuva444p16le", {'Y', '4', 0, 16}},  {"gbrp", {'G', '3', 0, 8}},
    {"gbrp10le", {'G', '3', 0, 10}},      {"gbrp12le", {'G', '3', 0, 12}},
    {"gbrp14le", {'G', '3', 0, 14}},      {"gbrp16le", {'G', '3', 0, 16}},
    {"gbrap", {'G', '4', 0, 8}},          {"gbrap10le", {'G', '4', 0, 10}},
    {"gbrap12le", {'G', '4', 0, 12}},     {"gbrap16le", {'G', '4', 0, 16}},
    {"bgr24", {'B', 'G', 'R', 24}},       {"bgra", {'B', 'G', 'R', 'A'}},
    {"bgr48le", {'B', 'G', 'R', 48}},     {"bgra64le", {'B', 'R', 'A', 64}},
    {"yuyv422", {'Y', 'U', 'Y', '2'}},
};

const char* mkv_raw_fourcc(const char* ffmpeg_pix_fmt) {
    if (ffmpeg_pix_fmt == nullptr) return nullptr;
    for (const auto& row : raw_fourccs)
        if (strcmp(row.pix_fmt, ffmpeg_pix_fmt) == 0) return row.fourcc;
    return nullptr;
}
