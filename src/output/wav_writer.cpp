#include "output/wav_writer.h"

#include <stdio.h>
#include <stdlib.h>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "output/progress.h"
#include "output/stream_writer.h"
#include "process_setup.h"
#include "run_end.h"

static void write_le16(unsigned value) {
    unsigned char bytes[2] = {(unsigned char)value, (unsigned char)(value >> 8)};
    fwrite(bytes, 1, 2, stdout);
}

static void write_le32(uint32_t value) {
    unsigned char bytes[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                              (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
    fwrite(bytes, 1, 4, stdout);
}

static void write_le64(uint64_t value) {
    write_le32((uint32_t)value);
    write_le32((uint32_t)(value >> 32));
}

// Bytes of one sample of one channel; 0 for a type the stream cannot carry.
static int wav_bytes_per_sample(int sample_type) {
    switch (sample_type) {
    case AVS_SAMPLE_INT16: return 2;
    case AVS_SAMPLE_INT24: return 3;
    case AVS_SAMPLE_INT32: return 4;
    case AVS_SAMPLE_FLOAT: return 4;
    default: return 0;
    }
}

// The largest data size whose RIFF chunk size (data + 36) fits 32 bits.
static const int64_t wav_max_data_size = 4294967259LL;
// An RF64 stream's 64-bit sizes count the 72 bytes of header after the
// first 8 too.
static const int64_t rf64_max_data_size = INT64_MAX - 72;

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

int write_wav_stream(AVS_Clip* clip, const AVS_VideoInfo* vi, const audio_span* span, bool rf64) {
    // Without a channel, or with a count below zero, there is no audio to
    // write either; a header claiming otherwise would be corrupt.
    if (vi->audio_samples_per_second == 0 || vi->nchannels < 1 || vi->num_audio_samples < 0) {
        fprintf(stderr, "script has no audio\n");
        return 6;
    }
    int bytes_per_sample = wav_bytes_per_sample(vi->sample_type);
    if (bytes_per_sample == 0) {
        fprintf(stderr, "unsupported Avisynth audio sample type for WAV output: %d\n",
                vi->sample_type);
        return 7;
    }
    // The header has 16 bits for the channels and the block align and 32 for
    // the rates: values beyond them would be written cut.
    int64_t block_align = (int64_t)vi->nchannels * bytes_per_sample;
    if (block_align > 0xFFFF || vi->audio_samples_per_second < 0 ||
        block_align * vi->audio_samples_per_second > 0xFFFFFFFFLL) {
        fprintf(stderr, "WAV header cannot describe %d channels at %d Hz\n", vi->nchannels,
                vi->audio_samples_per_second);
        return 8;
    }
    int64_t byte_rate = block_align * vi->audio_samples_per_second;
    int64_t start = span != nullptr ? span->start : 0;
    int64_t total = span != nullptr ? span->count : vi->num_audio_samples;
    // Compared before multiplying: a count near 2^63 must not wrap the
    // product into an accepted size.
    if (total > (rf64 ? rf64_max_data_size : wav_max_data_size) / block_align) {
        fprintf(stderr, rf64 ? "WAV output would exceed RF64 size limit\n"
                             : "WAV output would exceed RIFF size limit\n");
        return 8;
    }
    int64_t data_size = block_align * total;
    bool fits_riff = data_size <= wav_max_data_size;

    if (fits_riff) {
        fwrite("RIFF", 1, 4, stdout);
        write_le32((uint32_t)(data_size + 36));
        fwrite("WAVE", 1, 4, stdout);
    } else {
        // The 32-bit sizes say "see ds64", which holds the real ones.
        fwrite("RF64", 1, 4, stdout);
        write_le32(0xFFFFFFFFu);
        fwrite("WAVE", 1, 4, stdout);
        fwrite("ds64", 1, 4, stdout);
        write_le32(28);
        write_le64((uint64_t)data_size + 72);  // the RIFF size
        write_le64((uint64_t)data_size);
        write_le64((uint64_t)total);           // sample frames
        write_le32(0);                         // no table of other sizes
    }
    fwrite("fmt ", 1, 4, stdout);
    write_le32(16);
    write_le16(vi->sample_type == AVS_SAMPLE_FLOAT ? 3 : 1);
    write_le16((unsigned)vi->nchannels);
    write_le32((uint32_t)vi->audio_samples_per_second);
    write_le32((uint32_t)byte_rate);
    write_le16((unsigned)block_align);
    write_le16((unsigned)bytes_per_sample * 8);
    fwrite("data", 1, 4, stdout);
    write_le32(fits_riff ? (uint32_t)data_size : 0xFFFFFFFFu);

    // One step is fetched while the step before it is written: two buffers.
    // At most 65535 x 65536 bytes each, which fits a 32-bit size; where the
    // second cannot be had, the steps take turns in one.
    size_t buffer_size = (size_t)block_align * (size_t)WAV_CHUNK_SAMPLES;
    unsigned char* buffers[2] = {(unsigned char*)malloc(buffer_size), nullptr};
    if (buffers[0] == nullptr) {
        fprintf(stderr, "failed to allocate audio buffer\n");
        return 10;
    }
    buffers[1] = (unsigned char*)malloc(buffer_size);
    stream_writer_start();
    // Steps that may still be unwritten when the next is fetched.
    int in_flight = buffers[1] != nullptr ? 1 : 0;
    int status = 0;
    int next = 0;
    for (int64_t done = 0; done < total; done += WAV_CHUNK_SAMPLES) {
        if (run_interruption() != 0) {
            status = STATUS_INTERRUPTED;
            break;
        }
        int64_t count = total - done < WAV_CHUNK_SAMPLES ? total - done : WAV_CHUNK_SAMPLES;
        unsigned char* buffer = buffers[next];
        stream_writer_wait(in_flight);  // the step that last used this buffer is out
        double fetch_start = monotonic_seconds();
        if (avs_library->avs_get_audio(clip, buffer, start + done, count) != 0) {
            clip_error_text suffix = clip_error_suffix(clip);
            stream_writer_wait(0);
            fprintf(stderr, "failed to get audio at sample %lld%s%s\n", (long long)(start + done),
                    suffix.separator, suffix.message);
            status = 9;
            break;
        }
        stream_chunk chunk = {};
        add_chunk_part(&chunk, buffer, 0, (size_t)(block_align * count), 1);
        stream_writer_hand(&chunk, monotonic_seconds() - fetch_start);
        next = in_flight - next;
    }
    stream_writer_wait(0);
    free(buffers[0]);
    free(buffers[1]);
    return status;
}
