// The RIFF/WAVE stream of the clip's audio: a 44-byte header, then the
// samples exactly as the library delivers them. Under --rf64 a stream whose
// data does not fit a RIFF header gets an RF64 header (EBU Tech 3306)
// instead. Its outputs, wav_output and rf64_output, are in run/outputs.h.
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

#endif
