// The bytes of a Matroska stream written front to back: the header (EBML
// header, a Segment of unknown size, its Info and Tracks), and before each
// block its SimpleBlock header, after the header of a new Cluster (of
// unknown size too) where the block's time needs one. Timestamps are in
// microseconds. Pure functions: the caller writes the bytes.
#ifndef ZVK_MKV_LAYOUT_H
#define ZVK_MKV_LAYOUT_H

#include <stddef.h>
#include <stdint.h>

// One microsecond, in nanoseconds: fine enough for frame times to the
// microsecond, while a Cluster still spans 32.767 ms of blocks.
constexpr uint64_t MKV_TIMESTAMP_SCALE_NS = 1000;

struct mkv_tracks {
    bool has_video;
    int width;
    int height;
    char fourcc[4];              // the raw layout, as FFmpeg names it
    uint64_t frame_duration_ns;  // the clip's rate; 0: none
    bool has_audio;
    int sample_rate;
    int channels;
    int bits;       // per sample
    bool is_float;  // IEEE float, else little-endian integer
};

// Track numbers: the video is 1, the audio 2, or 1 without video.
int mkv_video_track(const mkv_tracks* tracks);
int mkv_audio_track(const mkv_tracks* tracks);

// The header into out; its size, or 0 where it does not fit.
size_t mkv_header(const mkv_tracks* tracks, unsigned char* out, size_t capacity);

// The Cluster the blocks go into so far.
struct mkv_clusters {
    bool open;
    int64_t start;  // microseconds
};

// True when a block at `time` cannot go into the open Cluster: none is
// open, or its 16-bit relative time would not hold the distance.
bool mkv_needs_cluster(const mkv_clusters* clusters, int64_t time);

// A Cluster header and a SimpleBlock header take at most this.
enum { MKV_BLOCK_HEADER_MAX = 36 };

// The header of a block of data_size bytes on a track at `time`, with a
// new Cluster before it where one is needed; returns its size.
size_t mkv_block_header(mkv_clusters* clusters, int track, int64_t time, uint64_t data_size,
                        unsigned char out[MKV_BLOCK_HEADER_MAX]);

// The time of an audio sample frame from the start of the stream's audio,
// to the nearest microsecond.
int64_t mkv_sample_time(int64_t sample, int rate);

// The sample frames that start before a time in milliseconds.
int64_t mkv_samples_before(double ms, int rate);

// FFmpeg's fourcc for a raw pixel format's name, or null where it has none.
const char* mkv_raw_fourcc(const char* ffmpeg_pix_fmt);

#endif
