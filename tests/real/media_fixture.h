// The real-media group's fixture: media made by ffmpeg at test time, read
// through the ffms2 source plugin, and readers of the runner's streams.
#ifndef ZVK_MEDIA_FIXTURE_H
#define ZVK_MEDIA_FIXTURE_H

#include <stddef.h>

#include <string>
#include <vector>

#include "real_test.h"

struct medium {
    const char* file;
    const char* make;  // ffmpeg's arguments before the output file
    int frames;
    int gop;
};

// H.264 with a long GOP and B-frames, HEVC 10-bit; FLAC 5.1 of the same
// length as the H.264 clip, 1920 samples a frame (frame_audio_bytes).
extern const medium video_media[2];
extern const medium flac_51;
// H.264 whose frames last 40, then 80, then 20 ms: ffms2 gives each frame
// its own duration.
extern const medium vfr_h264;
extern const size_t frame_audio_bytes;

class RealMedia : public RealTest {
protected:
    // A medium's path, made on first use; every test of the run shares it.
    std::string media(const medium& m);
    // A script that loads the plugin and opens the medium.
    std::string video_source(const medium& m);
    // The H.264 clip with the FLAC audio dubbed in.
    std::string dubbed_source();
    // The runner's output for clip.avs; the run must succeed.
    std::string render(const std::vector<std::string>& args);
    // The frames of a Y4M stream, without their FRAME lines; a test failure
    // when the stream is not whole frames of frame_bytes.
    static std::vector<std::string> y4m_frames(const std::string& y4m, size_t frame_bytes);
    // The samples of a WAV stream, after its data chunk's header.
    static std::string wav_samples(const std::string& wav);
};

#endif
