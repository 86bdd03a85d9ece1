// The RIFF/WAVE stream of the clip's audio: a 44-byte header, then the
// samples exactly as the library delivers them. Under --rf64 a stream whose
// data does not fit a RIFF header gets an RF64 header (EBU Tech 3306)
// instead. Under --wav-extensible the header is WAVE_FORMAT_EXTENSIBLE's
// (68 bytes: valid bits, channel mask, sub-format), RF64 where RIFF cannot
// describe the data. Its outputs, wav_output, rf64_output and
// wav_extensible_output, are in run/outputs.h.
#ifndef ZVK_WAV_H
#define ZVK_WAV_H

#include <stdint.h>

#include "avs/avs_interface.h"

// A stretch of the clip's audio, in sample frames.
struct audio_span {
    int64_t start;
    int64_t count;
};

// Sample frames fetched and written per step.
constexpr int64_t WAV_CHUNK_SAMPLES = 65536;

// The audio of frames first to last: from the first sample at or after the
// start of frame first to the last before the start of frame last + 1, or to
// the end of the audio when last is the clip's last frame, so that the spans
// of adjacent ranges tile the clip's samples exactly. False when the clip's
// frame rate cannot place frames in time (a numerator of 0).
bool audio_of_frames(const AVS_VideoInfo* vi, int first, int last, audio_span* span);

// The audio a stream of the job's frames carries: all of it, or that of
// the range (audio_of_frames). 0, or 2 (reported) when the clip has no frame
// rate to find a range's audio by.
struct run_job;
int audio_of_job(const run_job* job, audio_span* span);

// Bytes of one sample of one channel as the streams carry it: 16-, 24- and
// 32-bit integers and 32-bit float; 0 for another type.
int pcm_bytes_per_sample(int sample_type);

#endif
