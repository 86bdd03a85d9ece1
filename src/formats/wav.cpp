#include "formats/wav.h"

#include <stdio.h>
#include <stdlib.h>

#include "avs/avs_library.h"
#include "exit_status.h"
#include "pipe/stream_out.h"
#include "run/outputs.h"

static void write_le16(unsigned value) {
    unsigned char bytes[2] = {(unsigned char)value, (unsigned char)(value >> 8)};
    fwrite(bytes, 1, 2, stream_file());
}

static void write_le32(uint32_t value) {
    unsigned char bytes[4] = {(unsigned char)value, (unsigned char)(value >> 8), (unsigned char)(value >> 16),
                              (unsigned char)(value >> 24)};
    fwrite(bytes, 1, 4, stream_file());
}

static void write_tag(const char* tag) { fwrite(tag, 1, 4, stream_file()); }

static void write_le64(uint64_t value) {
    write_le32((uint32_t)value);
    write_le32((uint32_t)(value >> 32));
}

int pcm_bytes_per_sample(int sample_type) {
    switch (sample_type) {
    case AVS_SAMPLE_INT16: return 2;
    case AVS_SAMPLE_INT24: return 3;
    case AVS_SAMPLE_INT32: return 4;
    case AVS_SAMPLE_FLOAT: return 4;
    default: return 0;
    }
}

// The header bytes a RIFF chunk size counts besides the data: "WAVE", the
// format chunk (16 or 40 bytes) and the two chunk headers.
static int64_t riff_overhead(int64_t fmt_size) { return 4 + 8 + fmt_size + 8; }
// An RF64 stream's 64-bit sizes count the 36 bytes of the ds64 chunk too.
static int64_t rf64_overhead(int64_t fmt_size) { return riff_overhead(fmt_size) + 36; }

// The speakers of the channels: the library's where it knows them, else
// the usual layout of the count (FC; FL FR; FL FR FC; FL FR BL BR;
// FL FR FC BL BR; FL FR FC LFE BL BR; FL FR FC LFE BC SL SR;
// FL FR FC LFE BL BR SL SR), none past eight.
static uint32_t channel_mask(const AVS_VideoInfo* vi) {
    const AVS_Library* avs = avs_library;
    if (avs->avs_is_channel_mask_known != nullptr && avs->avs_get_channel_mask != nullptr &&
        avs->avs_is_channel_mask_known(vi))
        return avs->avs_get_channel_mask(vi);
    static const uint32_t usual[] = {0, 0x4, 0x3, 0x7, 0x33, 0x37, 0x3F, 0x70F, 0x63F};
    return vi->nchannels < 9 ? usual[vi->nchannels] : 0;
}

// The format chunk: 16 bytes of PCM (1) or IEEE float (3), or the 40 of
// WAVE_FORMAT_EXTENSIBLE, whose sub-format GUID carries that code.
static void write_format_chunk(const AVS_VideoInfo* vi, int64_t fmt_size, int64_t block_align,
                               int bytes_per_sample) {
    unsigned code = vi->sample_type == AVS_SAMPLE_FLOAT ? 3 : 1;
    write_tag("fmt ");
    write_le32((uint32_t)fmt_size);
    write_le16(fmt_size == 40 ? 0xFFFE : code);
    write_le16((unsigned)vi->nchannels);
    write_le32((uint32_t)vi->audio_samples_per_second);
    write_le32((uint32_t)(block_align * vi->audio_samples_per_second));
    write_le16((unsigned)block_align);
    write_le16((unsigned)bytes_per_sample * 8);
    if (fmt_size != 40) return;
    write_le16(22);                              // the extension's size
    write_le16((unsigned)bytes_per_sample * 8);  // valid bits: all of them
    write_le32(channel_mask(vi));
    write_le32(code);
    static const unsigned char guid_rest[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    fwrite(guid_rest, 1, sizeof guid_rest, stream_file());
}

// floor(frame * rate * fps_den / fps_num) without overflow: the product
// needs up to 94 bits. INT64_MAX where the quotient does not fit.
static int64_t sample_at_frame(int64_t frame, int64_t rate, uint32_t fps_num, uint32_t fps_den) {
    uint64_t a = (uint64_t)frame * (uint64_t)rate;  // below 2^62
    uint64_t low = (a & 0xFFFFFFFFu) * fps_den;
    uint64_t high = (a >> 32) * fps_den + (low >> 32);  // the product is high * 2^32 + low's 32 bits
    uint64_t quotient_high = high / fps_num;
    uint64_t remainder = high % fps_num;
    uint64_t quotient_low = ((remainder << 32) | (low & 0xFFFFFFFFu)) / fps_num;
    if (quotient_high >= ((uint64_t)1 << 31)) return INT64_MAX;
    return (int64_t)((quotient_high << 32) + quotient_low);
}

bool audio_of_frames(const AVS_VideoInfo* vi, int first, int last, audio_span* span) {
    if (vi->fps_numerator == 0) return false;
    int64_t total = vi->num_audio_samples > 0 ? vi->num_audio_samples : 0;
    int64_t rate = vi->audio_samples_per_second > 0 ? vi->audio_samples_per_second : 0;
    int64_t start = sample_at_frame(first, rate, vi->fps_numerator, vi->fps_denominator);
    int64_t end = last >= vi->num_frames - 1
                      ? total
                      : sample_at_frame((int64_t)last + 1, rate, vi->fps_numerator, vi->fps_denominator);
    if (start > total) start = total;
    if (end > total) end = total;
    span->start = start;
    span->count = end > start ? end - start : 0;
    return true;
}

int audio_of_job(const run_job* job, audio_span* span) {
    const AVS_VideoInfo* vi = job->script->video_info;
    *span = {0, vi->num_audio_samples};
    if (job->frame_range &&
        !audio_of_frames(vi, job->first_frame, job->first_frame + job->frame_count - 1, span)) {
        fprintf(stderr, "--frames needs a clip frame rate to find the audio of frames\n");
        return STATUS_CANNOT_START;
    }
    return STATUS_DONE;
}

// What a WAV stream keeps between its steps. One step is fetched while the
// step before it is written: two buffers, used in turn; where the second
// cannot be had, the steps take turns in one.
struct wav_state {
    audio_span audio;  // the sample frames to write
    int64_t block_align;
    unsigned char* buffers[2];
    int buffer_count;
};

// The header of the stream: the canonical 44 bytes (status 8 past the
// RIFF size limit), the same turning into RF64 past it, or
// WAVE_FORMAT_EXTENSIBLE turning into RF64 past it.
enum wav_header { WAV_RIFF, WAV_RF64, WAV_EXTENSIBLE };

static int prepare_stream(run_job* job, wav_header header) {
    const AVS_VideoInfo* vi = job->script->video_info;
    wav_state* wav = (wav_state*)job->state;
    int status = audio_of_job(job, &wav->audio);
    if (status != STATUS_DONE) return status;
    // Without a channel, or with a count below zero, there is no audio to
    // write either; a header claiming otherwise would be corrupt.
    if (vi->audio_samples_per_second == 0 || vi->nchannels < 1 || vi->num_audio_samples < 0) {
        fprintf(stderr, "script has no audio\n");
        return STATUS_NO_AUDIO;
    }
    int bytes_per_sample = pcm_bytes_per_sample(vi->sample_type);
    if (bytes_per_sample == 0) {
        fprintf(stderr, "unsupported Avisynth audio sample type for WAV output: %d\n", vi->sample_type);
        return STATUS_SAMPLE_TYPE;
    }
    // The header has 16 bits for the channels and the block align and 32 for
    // the rates: values beyond them would be written cut.
    int64_t block_align = (int64_t)vi->nchannels * bytes_per_sample;
    if (block_align > 0xFFFF || vi->audio_samples_per_second < 0 ||
        block_align * vi->audio_samples_per_second > 0xFFFFFFFFLL) {
        fprintf(stderr, "WAV header cannot describe %d channels at %d Hz\n", vi->nchannels,
                vi->audio_samples_per_second);
        return STATUS_WAV_TOO_LARGE;
    }
    int64_t total = wav->audio.count;
    int64_t fmt_size = header == WAV_EXTENSIBLE ? 40 : 16;
    bool rf64 = header != WAV_RIFF;
    int64_t riff_max_data_size = 0xFFFFFFFFLL - riff_overhead(fmt_size);
    // Compared before multiplying: a count near 2^63 must not wrap the
    // product into an accepted size.
    if (total > (rf64 ? INT64_MAX - rf64_overhead(fmt_size) : riff_max_data_size) / block_align) {
        fprintf(stderr, rf64 ? "WAV output would exceed RF64 size limit\n"
                             : "WAV output would exceed RIFF size limit\n");
        return STATUS_WAV_TOO_LARGE;
    }
    int64_t data_size = block_align * total;
    bool fits_riff = data_size <= riff_max_data_size;

    if (fits_riff) {
        write_tag("RIFF");
        write_le32((uint32_t)(data_size + riff_overhead(fmt_size)));
        write_tag("WAVE");
    } else {
        // The 32-bit sizes say "see ds64", which holds the real ones.
        write_tag("RF64");
        write_le32(0xFFFFFFFFu);
        write_tag("WAVE");
        write_tag("ds64");
        write_le32(28);
        write_le64((uint64_t)(data_size + rf64_overhead(fmt_size)));  // the RIFF size
        write_le64((uint64_t)data_size);
        write_le64((uint64_t)total);  // sample frames
        write_le32(0);                // no table of other sizes
    }
    write_format_chunk(vi, fmt_size, block_align, bytes_per_sample);
    write_tag("data");
    write_le32(fits_riff ? (uint32_t)data_size : 0xFFFFFFFFu);

    // After the header, which callers of a run that fails with status 10
    // find on standard output. At most 65535 x 65536 bytes each, which fits
    // a 32-bit size.
    size_t buffer_size = (size_t)block_align * (size_t)WAV_CHUNK_SAMPLES;
    wav->buffers[0] = (unsigned char*)malloc(buffer_size);
    if (wav->buffers[0] == nullptr) {
        fprintf(stderr, "failed to allocate audio buffer\n");
        return STATUS_NO_AUDIO_BUFFER;
    }
    wav->buffers[1] = (unsigned char*)malloc(buffer_size);
    wav->buffer_count = wav->buffers[1] != nullptr ? 2 : 1;

    wav->block_align = block_align;
    job->units = (total + WAV_CHUNK_SAMPLES - 1) / WAV_CHUNK_SAMPLES;
    job->unit_seconds = (double)WAV_CHUNK_SAMPLES / vi->audio_samples_per_second;
    job->total_seconds = (double)total / vi->audio_samples_per_second;
    // The step that last used a buffer must be out before the buffer is
    // fetched into again.
    job->overlap = wav->buffer_count - 1;
    return STATUS_DONE;
}

static int wav_prepare(run_job* job) { return prepare_stream(job, WAV_RIFF); }
static int rf64_prepare(run_job* job) { return prepare_stream(job, WAV_RF64); }
static int wav_extensible_prepare(run_job* job) { return prepare_stream(job, WAV_EXTENSIBLE); }

static int wav_fetch(run_job* job, int64_t n, unit* u) {
    wav_state* wav = (wav_state*)job->state;
    int64_t done = n * WAV_CHUNK_SAMPLES;
    int64_t left = wav->audio.count - done;
    int64_t count = left < WAV_CHUNK_SAMPLES ? left : WAV_CHUNK_SAMPLES;
    unsigned char* buffer = wav->buffers[n % wav->buffer_count];
    int64_t at = wav->audio.start + done;
    if (avs_library->avs_get_audio(job->script->clip, buffer, at, count) != 0) {
        job->failure = {"failed to get audio at sample", at, clip_error_suffix(job->script->clip)};
        return STATUS_AUDIO_FAILED;
    }
    add_chunk_part(&u->chunk, buffer, 0, (size_t)(wav->block_align * count), 1);
    return STATUS_DONE;
}

static int wav_finish(run_job* job, int status) {
    wav_state* wav = (wav_state*)job->state;
    free(wav->buffers[0]);
    free(wav->buffers[1]);
    return status;
}

const output_steps wav_output = {
    nullptr,            // progress_label: none
    true,               // streams
    true,               // guards_stdout
    -1,                 // validation_blank: not set
    sizeof(wav_state),  // state_size
    wav_prepare,        // prepare
    nullptr,            // header: none
    wav_fetch,          // fetch
    nullptr,            // release: none
    wav_finish,         // finish
};

const output_steps rf64_output = {
    nullptr,            // progress_label: none
    true,               // streams
    true,               // guards_stdout
    -1,                 // validation_blank: not set
    sizeof(wav_state),  // state_size
    rf64_prepare,       // prepare
    nullptr,            // header: none
    wav_fetch,          // fetch
    nullptr,            // release: none
    wav_finish,         // finish
};

const output_steps wav_extensible_output = {
    nullptr,                 // progress_label: none
    true,                    // streams
    true,                    // guards_stdout
    -1,                      // validation_blank: not set
    sizeof(wav_state),       // state_size
    wav_extensible_prepare,  // prepare
    nullptr,                 // header: none
    wav_fetch,               // fetch
    nullptr,                 // release: none
    wav_finish,              // finish
};
