#include "output/wav_writer.h"

#include <stdio.h>
#include <stdlib.h>

#include "avs/avs_library.h"
#include "avs/import_script.h"
#include "output/stream_out.h"
#include "run_end.h"

void write_le16(unsigned value) {
    unsigned char bytes[2] = {(unsigned char)value, (unsigned char)(value >> 8)};
    fwrite(bytes, 1, 2, stdout);
}

void write_le32(uint32_t value) {
    unsigned char bytes[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                              (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
    fwrite(bytes, 1, 4, stdout);
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

void write_wav_stream(AVS_Clip* clip, const AVS_VideoInfo* vi) {
    // Without a channel, or with a count below zero, there is no audio to
    // write either; a header claiming otherwise would be corrupt.
    if (vi->audio_samples_per_second == 0 || vi->nchannels < 1 || vi->num_audio_samples < 0) {
        fprintf(stderr, "script has no audio\n");
        end_run(6);
    }
    int bytes_per_sample = wav_bytes_per_sample(vi->sample_type);
    if (bytes_per_sample == 0) {
        fprintf(stderr, "unsupported Avisynth audio sample type for WAV output: %d\n",
                vi->sample_type);
        end_run(7);
    }
    // The header has 16 bits for the channels and the block align and 32 for
    // the rates: values beyond them would be written cut.
    int64_t block_align = (int64_t)vi->nchannels * bytes_per_sample;
    if (block_align > 0xFFFF || vi->audio_samples_per_second < 0 ||
        block_align * vi->audio_samples_per_second > 0xFFFFFFFFLL) {
        fprintf(stderr, "WAV header cannot describe %d channels at %d Hz\n", vi->nchannels,
                vi->audio_samples_per_second);
        end_run(8);
    }
    int64_t byte_rate = block_align * vi->audio_samples_per_second;
    int64_t total = vi->num_audio_samples;
    // Compared before multiplying: a count near 2^63 must not wrap the
    // product into an accepted size.
    if (total > wav_max_data_size / block_align) {
        fprintf(stderr, "WAV output would exceed RIFF size limit\n");
        end_run(8);
    }
    int64_t data_size = block_align * total;

    fwrite("RIFF", 1, 4, stdout);
    write_le32((uint32_t)(data_size + 36));
    fwrite("WAVE", 1, 4, stdout);
    fwrite("fmt ", 1, 4, stdout);
    write_le32(16);
    write_le16(vi->sample_type == AVS_SAMPLE_FLOAT ? 3 : 1);
    write_le16((unsigned)vi->nchannels);
    write_le32((uint32_t)vi->audio_samples_per_second);
    write_le32((uint32_t)byte_rate);
    write_le16((unsigned)block_align);
    write_le16((unsigned)bytes_per_sample * 8);
    fwrite("data", 1, 4, stdout);
    write_le32((uint32_t)data_size);

    // At most 65535 x 65536 bytes: fits a 32-bit size.
    void* buffer = malloc((size_t)block_align * (size_t)WAV_CHUNK_SAMPLES);
    if (buffer == nullptr) {
        fprintf(stderr, "failed to allocate audio buffer\n");
        end_run(10);
    }
    for (int64_t start = 0; start < total; start += WAV_CHUNK_SAMPLES) {
        int64_t count = total - start < WAV_CHUNK_SAMPLES ? total - start : WAV_CHUNK_SAMPLES;
        if (avs_library->avs_get_audio(clip, buffer, start, count) != 0) {
            free(buffer);
            clip_error_text suffix = clip_error_suffix(clip);
            fprintf(stderr, "failed to get audio at sample %lld%s%s\n", (long long)start,
                    suffix.separator, suffix.message);
            end_run(9);
        }
        stream_write(buffer, (size_t)(block_align * count));
        stream_flush();  // the buffer is filled again next
    }
    free(buffer);
    end_run(0);
}
