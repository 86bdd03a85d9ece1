// The RIFF/WAVE stream of the clip's audio: a 44-byte header, then the
// samples exactly as the library delivers them. Under --rf64 a stream whose
// data does not fit a RIFF header gets an RF64 header (EBU Tech 3306) instead.
#ifndef ZVK_WAV_WRITER_H
#define ZVK_WAV_WRITER_H

#include <stdint.h>

#include "avs/avs_interface.h"

// Sample frames fetched and written per step.
constexpr int64_t WAV_CHUNK_SAMPLES = 65536;

// A stretch of the clip's audio, in sample frames.
struct audio_span {
    int64_t start;
    int64_t count;
};

// The audio of frames first to last: from the first sample at or after the
// start of frame first to the last before the start of frame last + 1, or to
// the end of the audio when last is the clip's last frame, so that the spans
// of adjacent ranges tile the clip's samples exactly. False when the clip's
// frame rate cannot place frames in time (a numerator of 0).
bool audio_of_frames(const AVS_VideoInfo* vi, int first, int last, audio_span* span);

// Writes the stream of a span of the audio (null: all of it) and returns 0,
// STATUS_INTERRUPTED, or 6 to 10 (reported). rf64: past the RIFF size limit,
// an RF64 stream instead of status 8.
int write_wav_stream(AVS_Clip* clip, const AVS_VideoInfo* vi, const audio_span* span, bool rf64);

#endif
