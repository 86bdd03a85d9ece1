// The audio of a range of frames, where the exact product of frame, rate and
// denominator needs up to 94 bits.
#include <gtest/gtest.h>

#include "formats/wav.h"

namespace {

AVS_VideoInfo clip(int frames, unsigned num, unsigned den, int rate, int64_t samples) {
    AVS_VideoInfo vi = {};
    vi.num_frames = frames;
    vi.fps_numerator = num;
    vi.fps_denominator = den;
    vi.audio_samples_per_second = rate;
    vi.num_audio_samples = samples;
    return vi;
}

TEST(AudioOfFrames, ExactWhereTheProductPasses64Bits) {
    struct {
        int frame;
        unsigned num, den;
        int rate;
    } cases[] = {
        {2147483646, 1, 4294967295u, 2147483647},
        {2147483646, 4294967295u, 4294967295u, 2147483647},
        {1000000, 30000, 1001, 44100},
        {123456789, 7, 4294967291u, 96000},
    };
    for (const auto& c : cases) {
        // Frames 0 to frame - 1 end where frame starts, in a clip long
        // enough, with audio longer still.
        AVS_VideoInfo vi = clip(2147483647, c.num, c.den, c.rate, INT64_MAX);
        audio_span span;
        ASSERT_TRUE(audio_of_frames(&vi, 0, c.frame - 1, &span));
        unsigned __int128 exact = (unsigned __int128)c.frame * (unsigned)c.rate * c.den / c.num;
        int64_t expected = exact > (unsigned __int128)INT64_MAX ? INT64_MAX : (int64_t)exact;
        EXPECT_EQ(span.start, 0);
        EXPECT_EQ(span.count, expected) << c.frame << " " << c.num << " " << c.den;
    }
}

TEST(AudioOfFrames, TheLastRangeTakesTheRestAndNothingPassesTheEnd) {
    AVS_VideoInfo vi = clip(10, 30000, 1001, 44100, 15000);
    audio_span span;
    ASSERT_TRUE(audio_of_frames(&vi, 9, 9, &span));
    EXPECT_EQ(span.start, 13243);  // floor(9 * 44100 * 1001 / 30000)
    EXPECT_EQ(span.count, 15000 - 13243);
    AVS_VideoInfo short_audio = clip(10, 25, 1, 100, 30);
    ASSERT_TRUE(audio_of_frames(&short_audio, 8, 8, &span));
    EXPECT_EQ(span.start, 30);
    EXPECT_EQ(span.count, 0);
    AVS_VideoInfo no_rate = clip(10, 0, 1, 100, 30);
    EXPECT_FALSE(audio_of_frames(&no_rate, 0, 1, &span));
}

}  // namespace
