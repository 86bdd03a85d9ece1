// The RIFF/WAVE stream of the clip's audio: a 44-byte header, then the
// samples exactly as the library delivers them.
#ifndef ZVK_WAV_WRITER_H
#define ZVK_WAV_WRITER_H

#include <stdint.h>

#include "avs/avs_interface.h"

// Sample frames fetched and written per step.
constexpr int64_t WAV_CHUNK_SAMPLES = 65536;

void write_le16(unsigned value);
void write_le32(uint32_t value);

// Writes the stream and ends the run: 0, or 6 to 10.
[[noreturn]] void write_wav_stream(AVS_Clip* clip, const AVS_VideoInfo* vi);

#endif
